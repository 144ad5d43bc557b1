// Reading the Mesh objects of .x files: geometry, normals, coordinates, colours, materials and
// skin weights, every count and index checked against the data.
#pragma once

#include <d3dx9mesh.h>
#include <d3dx9xof.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::d3dx9::xmesh {

struct EffectParam {
    std::string name;
    D3DXEFFECTDEFAULTTYPE type = D3DXEDT_DWORD;
    std::vector<uint8_t> value;  // a string keeps its terminating zero
};

struct Material {
    D3DMATERIAL9 material{};
    bool hasTexture = false;
    std::string texture;
    bool hasEffect = false;  // an EffectInstance came with the material
    bool hasEffectFile = false;
    std::string effectFile;
    std::vector<EffectParam> params;
};

struct SkinWeights {
    std::string bone;
    std::vector<DWORD> vertices;  // original vertex numbers of the Mesh
    std::vector<float> weights;
    D3DXMATRIX offset;
};

// One Mesh object as the file gives it.
struct XMesh {
    std::vector<D3DXVECTOR3> positions;
    std::vector<uint32_t> faceStart;  // one more entry than faces: where each face's corners begin
    std::vector<uint32_t> corners;    // position numbers
    bool hasNormals = false;
    std::vector<D3DXVECTOR3> normals;
    std::vector<uint32_t> normalCorners;  // normal numbers, beside `corners`; empty: the same numbers
    bool hasTexcoords = false;
    std::vector<D3DXVECTOR2> texcoords;  // one per position
    bool hasColors = false;
    std::vector<D3DCOLOR> colors;  // one per position; white where the file gives none
    bool hasMaterials = false;
    std::vector<Material> materials;
    std::vector<uint32_t> faceMaterials;  // one per face
    bool hasSkin = false;                 // an XSkinMeshHeader or SkinWeights came with the mesh
    std::vector<SkinWeights> bones;

    size_t FaceCount() const { return faceStart.empty() ? 0 : faceStart.size() - 1; }
    uint32_t NormalAt(size_t corner) const { return normalCorners.empty() ? corners[corner] : normalCorners[corner]; }
};

// Reads a Mesh data object (or a reference to one). Fails with D3DXERR_INVALIDDATA on data that
// does not hold together, E_OUTOFMEMORY when memory runs out.
HRESULT ReadMesh(ID3DXFileData* data, XMesh* out);

// Type of a data object, or GUID_NULL when it cannot be asked.
GUID TypeOf(ID3DXFileData* data);
// Reads a FrameTransformMatrix object.
HRESULT ReadMatrix(ID3DXFileData* data, D3DXMATRIX* out);

}  // namespace platform::d3dx9::xmesh
