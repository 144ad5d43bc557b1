// ID3DXSkinInfo: the bones of a mesh, their offset matrices and the vertices they move.
#pragma once

#include <d3dx9mesh.h>

#include "common/com.h"

#include <string>
#include <vector>

namespace platform::d3dx9 {

struct Bone {
    std::string name;
    D3DXMATRIX offset;
    std::vector<DWORD> vertices;
    std::vector<float> weights;
};

class SkinInfo final : public ComObject<ID3DXSkinInfo> {
public:
    // Every bone's vertices must be below `numVertices`; `fvf` describes the skinned vertices.
    SkinInfo(DWORD numVertices, DWORD fvf, std::vector<Bone> bones)
        : numVertices_(numVertices), fvf_(fvf), bones_(std::move(bones)) {}

    DWORD STDMETHODCALLTYPE GetNumBones() override { return DWORD(bones_.size()); }
    LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD Bone) override;
    D3DXMATRIX* STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD Bone) override;
    DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD Bone) override;
    HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD Bone, DWORD* vertices, FLOAT* weights) override;
    HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* maxVertexInfluences) override;
    DWORD STDMETHODCALLTYPE GetFVF() override { return fvf_; }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override;
    HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(const D3DXMATRIX* pBoneTransforms,
                                                const D3DXMATRIX* pBoneInvTransposeTransforms,
                                                LPCVOID pVerticesSrc, PVOID pVerticesDst) override;

protected:
    bool Implements(REFIID riid) const override { return riid == IID_ID3DXSkinInfo; }

private:
    DWORD numVertices_;
    DWORD fvf_;
    std::vector<Bone> bones_;
};

}  // namespace platform::d3dx9
