#include "test_meshes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace scenetest {

ID3DXMesh* MakeMesh(IDirect3DDevice9* device, const std::vector<D3DXVECTOR3>& positions,
                    const std::vector<DWORD>& indexes, const std::vector<DWORD>& attributes, DWORD fvf,
                    DWORD options, D3DCOLOR colour) {
    const DWORD faces = DWORD(indexes.size() / 3);
    ID3DXMesh* mesh = nullptr;
    HRESULT hr = D3DXCreateMeshFVF(faces, DWORD(positions.size()), options, fvf, device, &mesh);
    EXPECT_EQ(hr, D3D_OK);
    if (FAILED(hr)) return nullptr;

    const DWORD stride = D3DXGetFVFVertexSize(fvf);
    BYTE* v = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(0, (LPVOID*)&v), D3D_OK);
    for (size_t i = 0; i < positions.size(); i++) {
        BYTE* p = v + i * stride;
        std::memcpy(p, &positions[i], 12);
        size_t at = 12;
        if (fvf & D3DFVF_NORMAL) {
            const float n[3] = {0, 1, 0};
            std::memcpy(p + at, n, 12);
            at += 12;
        }
        if (fvf & D3DFVF_DIFFUSE) {
            std::memcpy(p + at, &colour, 4);
            at += 4;
        }
        if ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) {
            const float t[2] = {0.25f, 0.75f};
            std::memcpy(p + at, t, 8);
        }
    }
    mesh->UnlockVertexBuffer();

    void* ib = nullptr;
    EXPECT_EQ(mesh->LockIndexBuffer(0, &ib), D3D_OK);
    for (size_t i = 0; i < indexes.size(); i++) {
        if (options & D3DXMESH_32BIT)
            static_cast<DWORD*>(ib)[i] = indexes[i];
        else
            static_cast<WORD*>(ib)[i] = WORD(indexes[i]);
    }
    mesh->UnlockIndexBuffer();

    DWORD* attr = nullptr;
    EXPECT_EQ(mesh->LockAttributeBuffer(0, &attr), D3D_OK);
    for (DWORD f = 0; f < faces; f++) attr[f] = f < attributes.size() ? attributes[f] : 0;
    mesh->UnlockAttributeBuffer();
    return mesh;
}

void BoxGeometry(const D3DXVECTOR3& min, const D3DXVECTOR3& max, std::vector<D3DXVECTOR3>* positions,
                 std::vector<DWORD>* indexes) {
    positions->clear();
    for (int i = 0; i < 8; i++)
        positions->push_back(D3DXVECTOR3(i & 1 ? max.x : min.x, i & 2 ? max.y : min.y, i & 4 ? max.z : min.z));
    // Two triangles per side, by corner bits.
    const DWORD quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    const D3DXVECTOR3 centre = (min + max) * 0.5f;
    indexes->clear();
    for (const auto& q : quads) {
        const DWORD triangles[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (const auto& t : triangles) {
            DWORD a = t[0], b = t[1], c = t[2];
            const D3DXVECTOR3& p0 = (*positions)[a];
            const D3DXVECTOR3& p1 = (*positions)[b];
            const D3DXVECTOR3& p2 = (*positions)[c];
            D3DXVECTOR3 e1 = p2 - p1, e2 = p1 - p0, n;
            D3DXVec3Cross(&n, &e1, &e2);
            D3DXVECTOR3 out = (p0 + p1 + p2) / 3.0f - centre;
            if (D3DXVec3Dot(&n, &out) < 0) std::swap(b, c);
            indexes->insert(indexes->end(), {a, b, c});
        }
    }
}

CMeshContainerEx* Container(ID3DXMesh* mesh, const std::vector<float>& alphas,
                            const std::vector<IDirect3DTexture9*>& textures) {
    CMeshContainerEx* c = new CMeshContainerEx();
    c->MeshData.Type = D3DXMESHTYPE_MESH;
    c->MeshData.pMesh = mesh;
    c->NumMaterials = DWORD(alphas.size());
    c->pMaterials = new D3DXMATERIAL[alphas.size()];
    for (size_t i = 0; i < alphas.size(); i++) {
        D3DMATERIAL9& m = c->pMaterials[i].MatD3D;
        std::memset(&m, 0, sizeof m);
        m.Diffuse.r = 0.1f * float(i + 1);
        m.Diffuse.g = 0.5f;
        m.Diffuse.b = 0.25f;
        m.Diffuse.a = alphas[i];
        m.Ambient = m.Diffuse;
        c->pMaterials[i].pTextureFilename = nullptr;
    }
    if (!textures.empty()) {
        c->ppTextures = new IDirect3DTexture9*[alphas.size()];
        for (size_t i = 0; i < alphas.size(); i++) {
            c->ppTextures[i] = textures[i];
            if (textures[i]) textures[i]->AddRef();
        }
    }
    return c;
}

std::vector<D3DXVECTOR3> Positions(ID3DXMesh* mesh) {
    std::vector<D3DXVECTOR3> out;
    const DWORD stride = mesh->GetNumBytesPerVertex();
    BYTE* v = nullptr;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, (LPVOID*)&v))) return out;
    for (DWORD i = 0; i < mesh->GetNumVertices(); i++) {
        D3DXVECTOR3 p;
        std::memcpy(&p, v + size_t(i) * stride, 12);
        out.push_back(p);
    }
    mesh->UnlockVertexBuffer();
    return out;
}

}  // namespace scenetest
