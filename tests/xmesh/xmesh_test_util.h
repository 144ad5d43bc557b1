// Shared pieces of the mesh tests: a device for the whole run, a private folder for generated
// files, loading helpers and readers of mesh contents.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <d3dx9xof.h>

#include <gtest/gtest.h>

#include "../xfile/xsamples.h"
#include "../xfile/xtest_util.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xmeshtest {

using xtest::Enc;
using xtest::Ref;
using V2 = std::array<float, 2>;
using V3 = std::array<float, 3>;

// The device shared by every test (made by the test environment).
IDirect3DDevice9* Device();

// Every test checks that it gave back all the references it took on the device.
class MeshTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `bytes` to a new file of the run's private folder and returns its path.
    static std::string WriteFile(const std::string& name, const std::string& bytes);

private:
    ULONG deviceRefs_ = 0;
};

struct Loaded {
    HRESULT hr = E_FAIL;
    Ref<ID3DXMesh> mesh;
    Ref<ID3DXBuffer> adjacency;
    Ref<ID3DXBuffer> materials;
    Ref<ID3DXBuffer> effects;
    DWORD numMaterials = 0xDEAD;

    const D3DXMATERIAL* Material(size_t i) const {
        return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()) + i;
    }
    const DWORD* Adjacency() const { return static_cast<const DWORD*>(adjacency->GetBufferPointer()); }
};

// Writes `bytes` to a new file of the run's private folder and returns its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes);

// D3DXLoadMeshFromXA on a file written from `text` in the given encoding.
Loaded LoadText(const std::string& text, Enc encoding = Enc::Text, DWORD options = D3DXMESH_SYSTEMMEM);
Loaded LoadPath(const std::string& path, DWORD options = D3DXMESH_SYSTEMMEM);

// Reads of a mesh's buffers.
std::vector<uint8_t> VertexBytes(ID3DXMesh* mesh);
std::vector<uint32_t> Indices(ID3DXMesh* mesh);
std::vector<DWORD> Attributes(ID3DXMesh* mesh);
std::vector<D3DXATTRIBUTERANGE> AttributeTable(ID3DXMesh* mesh);
// The FLOAT3 at `offset` of vertex `v`, or the two floats there.
D3DXVECTOR3 Vec3At(const std::vector<uint8_t>& vertices, UINT stride, size_t v, UINT offset);
D3DXVECTOR2 Vec2At(const std::vector<uint8_t>& vertices, UINT stride, size_t v, UINT offset);

// A mesh made with D3DXCreateMeshFVF and filled with positions (x, y, z first in each vertex),
// triangles and attributes.
Ref<ID3DXMesh> MakeMesh(DWORD fvf, const std::vector<V3>& positions, const std::vector<std::array<uint32_t, 3>>& faces,
                        const std::vector<DWORD>& attributes = {}, DWORD options = D3DXMESH_SYSTEMMEM);

::testing::AssertionResult Near(const D3DXVECTOR3& actual, const V3& expected, float tolerance = 1e-5f);

// Encodings that every model is tried in.
const std::vector<Enc>& AllEncodings();

}  // namespace xmeshtest
