// Meshes made in the tests: from positions and faces, the box of eight vertices, and a wrapper
// around a real mesh whose locks can be made to fail.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include <vector>

#include "meshcontainer.h"

namespace scenetest {

const DWORD kGameFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// A mesh with the given positions and triangles (three indexes each) and one attribute per face.
// Normals are (0, 1, 0), texture coordinates (0.25, 0.75), colours white, where the format has them.
ID3DXMesh* MakeMesh(IDirect3DDevice9* device, const std::vector<D3DXVECTOR3>& positions,
                    const std::vector<DWORD>& indexes, const std::vector<DWORD>& attributes = {},
                    DWORD fvf = kGameFVF, DWORD options = D3DXMESH_SYSTEMMEM, D3DCOLOR colour = 0xFFFFFFFF);

// A container that takes the mesh, with one material per alpha (material i has red 0.1 * (i + 1))
// and, when given, one texture per material.
CMeshContainerEx* Container(ID3DXMesh* mesh, const std::vector<float>& alphas,
                            const std::vector<IDirect3DTexture9*>& textures = {});

// The eight corners of a box and its twelve triangles, each wound so that the shadow volume's
// normal (p2 - p1) x (p1 - p0) points out of the box.
void BoxGeometry(const D3DXVECTOR3& min, const D3DXVECTOR3& max, std::vector<D3DXVECTOR3>* positions,
                 std::vector<DWORD>* indexes);

// The positions of a mesh's vertices, read back.
std::vector<D3DXVECTOR3> Positions(ID3DXMesh* mesh);

// A real mesh whose vertex or index buffer locks fail on request; everything else is passed on.
class LockFailingMesh : public ID3DXMesh {
public:
    explicit LockFailingMesh(ID3DXMesh* inner) : inner_(inner) {}
    virtual ~LockFailingMesh() { inner_->Release(); }

    bool failVertexLock = false;
    bool failIndexLock = false;
    int vertexLocks = 0, indexLocks = 0;  // held now

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return inner_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD a) override { return inner_->DrawSubset(a); }
    DWORD STDMETHODCALLTYPE GetNumFaces() override { return inner_->GetNumFaces(); }
    DWORD STDMETHODCALLTYPE GetNumVertices() override { return inner_->GetNumVertices(); }
    DWORD STDMETHODCALLTYPE GetFVF() override { return inner_->GetFVF(); }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9 d[MAXD3DDECLLENGTH]) override {
        return inner_->GetDeclaration(d);
    }
    DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override { return inner_->GetNumBytesPerVertex(); }
    DWORD STDMETHODCALLTYPE GetOptions() override { return inner_->GetOptions(); }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* d) override { return inner_->GetDevice(d); }
    HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD o, DWORD f, LPDIRECT3DDEVICE9 d, ID3DXMesh** m) override {
        return inner_->CloneMeshFVF(o, f, d, m);
    }
    HRESULT STDMETHODCALLTYPE CloneMesh(DWORD o, const D3DVERTEXELEMENT9* e, LPDIRECT3DDEVICE9 d,
                                        ID3DXMesh** m) override {
        return inner_->CloneMesh(o, e, d, m);
    }
    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* vb) override {
        return inner_->GetVertexBuffer(vb);
    }
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ib) override {
        return inner_->GetIndexBuffer(ib);
    }
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD f, LPVOID* p) override {
        if (failVertexLock) return D3DERR_INVALIDCALL;
        HRESULT hr = inner_->LockVertexBuffer(f, p);
        if (SUCCEEDED(hr)) vertexLocks++;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override {
        HRESULT hr = inner_->UnlockVertexBuffer();
        if (SUCCEEDED(hr)) vertexLocks--;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD f, LPVOID* p) override {
        if (failIndexLock) return D3DERR_INVALIDCALL;
        HRESULT hr = inner_->LockIndexBuffer(f, p);
        if (SUCCEEDED(hr)) indexLocks++;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override {
        HRESULT hr = inner_->UnlockIndexBuffer();
        if (SUCCEEDED(hr)) indexLocks--;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* t, DWORD* n) override {
        return inner_->GetAttributeTable(t, n);
    }
    HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT e, DWORD* a) override { return inner_->GenerateAdjacency(e, a); }
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD f, DWORD** p) override {
        return inner_->LockAttributeBuffer(f, p);
    }
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override { return inner_->UnlockAttributeBuffer(); }
    HRESULT STDMETHODCALLTYPE Optimize(DWORD f, const DWORD* ai, DWORD* ao, DWORD* fr, LPD3DXBUFFER* vr,
                                       ID3DXMesh** m) override {
        return inner_->Optimize(f, ai, ao, fr, vr, m);
    }
    HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD f, const DWORD* ai, DWORD* ao, DWORD* fr,
                                              LPD3DXBUFFER* vr) override {
        return inner_->OptimizeInplace(f, ai, ao, fr, vr);
    }
    HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* t, DWORD n) override {
        return inner_->SetAttributeTable(t, n);
    }

private:
    ID3DXMesh* inner_;
    ULONG refs_ = 1;
};

}  // namespace scenetest
