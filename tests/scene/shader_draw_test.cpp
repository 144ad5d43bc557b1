// The shader path: vertex shaders assembled from files, meshes loaded for shaders, containers
// drawn range by range through a shader, and the draw lists that stop at a refused container.
#include <string>

#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

using scenetest::Container;
using scenetest::kXHeader;
using scenetest::MakeMesh;
using scenetest::Scratch;

namespace {

// Positions go through c0..c3 as a matrix's columns; the colour is c4.
const char* const kTintShader =
    "vs_1_1\n"
    "dcl_position v0\n"
    "m4x4 oPos, v0, c0   ; to clip space\n"
    "mov oD0, c4\n";

const D3DVERTEXELEMENT9 kPositionOnly[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};

class ShaderPath : public scenetest::DeviceTest {
protected:
    void TearDown() override {
        for (IUnknown* u : std::initializer_list<IUnknown*>{shader_, declaration_})
            if (u) u->Release();
        scenetest::DeviceTest::TearDown();
    }
    DWORD State(D3DRENDERSTATETYPE s) {
        DWORD v = 0;
        device_->GetRenderState(s, &v);
        return v;
    }
    static int Draws(const std::vector<std::string>& trace) {
        int n = 0;
        for (const std::string& call : trace) n += call.rfind("DrawIndexedPrimitive", 0) == 0;
        return n;
    }
    Scratch scratch_;
    IDirect3DVertexShader9* shader_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
};

TEST_F(ShaderPath, RangesAreDrawnThroughTheShaderWithTheirMaterialsAlpha) {
    std::string file = scratch_.Write("tint.vsh", kTintShader);
    ASSERT_EQ(LoadVertexShader(&shader_, device_, file.c_str(), kPositionOnly, &declaration_), S_OK);
    ASSERT_NE(shader_, nullptr);
    ASSERT_NE(declaration_, nullptr);

    // Three upright quads in clip space with attributes 0, 2 and 3; material 2 is translucent and
    // attribute 3 has no material.
    std::vector<D3DXVECTOR3> p;
    std::vector<DWORD> idx;
    for (int q = 0; q < 3; q++) {
        DWORD b = DWORD(p.size());
        float x = -1.0f + 0.7f * float(q);
        p.insert(p.end(), {{x, -1, 0.5f}, {x + 0.6f, -1, 0.5f}, {x, 1, 0.5f}, {x + 0.6f, 1, 0.5f}});
        idx.insert(idx.end(), {b, b + 2, b + 1, b + 1, b + 2, b + 3});
    }
    ID3DXMesh* mesh = MakeMesh(device_, p, idx, {0, 0, 2, 2, 3, 3});
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // A range of no faces for attribute 1 between the first two.
    D3DXATTRIBUTERANGE ranges[4] = {};
    DWORD count = 3;
    ASSERT_EQ(mesh->GetAttributeTable(ranges, &count), D3D_OK);
    ASSERT_EQ(count, 3u);
    ranges[3] = ranges[2], ranges[2] = ranges[1];
    ranges[1] = {1, ranges[2].FaceStart, 0, 0, 0};
    ASSERT_EQ(mesh->SetAttributeTable(ranges, 4), D3D_OK);
    CMeshContainerEx* c = Container(mesh, {1.0f, 1.0f, 0.5f});
    // A skinned copy off the screen: the shader draws the source mesh.
    c->pSkinnedMesh = MakeMesh(device_, {{5, 5, 0.5f}, {6, 5, 0.5f}, {5, 6, 0.5f}}, {0, 1, 2});
    c->pSkinnedMesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);

    const float constants[20] = {1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.5f, 0.5f, 0.5f, 1};
    device_->SetVertexShaderConstantF(0, constants, 5);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF404040, 1.0f, 0);
    device_->BeginScene();
    platform::hooks::StartD3DTrace();
    EXPECT_EQ(DrawMeshWithShader(c, shader_, declaration_), S_OK);
    EXPECT_EQ(Draws(TakeTrace()), 2);  // the ranges with faces and a material
    device_->EndScene();

    auto grey = [](DWORD c) { return int(c & 0xFF); };
    EXPECT_NEAR(grey(Pixel(10, 32)), 0x80, 2);            // opaque: the shader's colour
    EXPECT_NEAR(grey(Pixel(32, 32)), 0x80 + 0x10, 2);     // ONE / DESTCOLOR over 0x40
    EXPECT_EQ(Pixel(54, 32), 0xFF404040u);                // no material, not drawn
    EXPECT_EQ(Pixel(10, 4), 0xFF404040u);                 // the shader halved the height
    // Blending ended otherwise than it began: the caller's three states are back.
    EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(State(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(State(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
    IDirect3DVertexShader9* left = shader_;
    device_->GetVertexShader(&left);
    EXPECT_EQ(left, nullptr);
    delete c;
}

TEST_F(ShaderPath, LoadVertexShaderMakesOnlyWhatItCanAndLeavesNothingOnFailure) {
    std::string file = scratch_.Write("tint.vsh", kTintShader);
    IDirect3DVertexDeclaration9* untouched = reinterpret_cast<IDirect3DVertexDeclaration9*>(8);
    ASSERT_EQ(LoadVertexShader(&shader_, device_, file.c_str(), nullptr, &untouched), S_OK);
    EXPECT_NE(shader_, nullptr);
    EXPECT_EQ(untouched, reinterpret_cast<IDirect3DVertexDeclaration9*>(8));

    IDirect3DVertexShader9* none = nullptr;
    const D3DVERTEXELEMENT9 crooked[] = {{0, 2, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(LoadVertexShader(&none, device_, file.c_str(), crooked, &declaration_), D3DERR_INVALIDCALL);
    std::string wrong = scratch_.Write("wrong.vsh", "vs_1_1\nfrobnicate r0, v0\n");
    // Without a shader no declaration is made either.
    EXPECT_EQ(LoadVertexShader(&none, device_, wrong.c_str(), kPositionOnly, &declaration_), D3DXERR_INVALIDDATA);
    const std::string missing = scratch_.Path("none.vsh");
    EXPECT_TRUE(FAILED(LoadVertexShader(&none, device_, missing.c_str(), kPositionOnly, &declaration_)));
    EXPECT_EQ(LoadVertexShader(&none, nullptr, file.c_str(), kPositionOnly, &declaration_), E_FAIL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(declaration_, nullptr);
}

// Four triangles over three of four materials, used out of order.
std::string ThreeGroups() {
    std::string s = std::string(kXHeader) + "Mesh M {\n 4;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;,\n"
                    " 1.0;1.0;0.0;;\n 4;\n 3;0,1,2;,\n 3;1,3,2;,\n 3;0,2,3;,\n 3;0,1,3;;\n"
                    " MeshMaterialList {\n  4;\n  4;\n  2,\n  0,\n  1,\n  0;\n";
    for (int i = 0; i < 4; i++) s += "  Material {\n   1.0;1.0;1.0;1.0;;\n   0.0;\n   0.0;0.0;0.0;;\n   0.0;0.0;0.0;;\n  }\n";
    return s + " }\n}\n";
}

TEST_F(ShaderPath, AMeshForShadersHoldsItsRangesAndCloneBuffersAndNoMaterials) {
    std::string file = scratch_.Write("groups.x", ThreeGroups());
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    CMeshContainerEx* first = nullptr;
    ASSERT_EQ(LoadMeshForShader(&first, device_, file.c_str(), D3DFVF_XYZ, nullptr, nullptr), S_OK);
    ASSERT_NE(first, nullptr);

    // A reload handed the first load's buffers: they stay the first container's.
    CMeshContainerEx* c = nullptr;
    ASSERT_EQ(LoadMeshForShader(&c, device_, file.c_str(), fvf, first->pVertexBuffer, first->pIndexBuffer), S_OK);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(first->pVertexBuffer->AddRef(), 2u);
    first->pVertexBuffer->Release();
    EXPECT_EQ(first->pIndexBuffer->AddRef(), 2u);
    first->pIndexBuffer->Release();
    delete first;

    ASSERT_EQ(c->NumMaterials, 3u);  // ranges, not materials
    EXPECT_EQ(c->pMaterials, nullptr);
    EXPECT_EQ(c->ppTextures, nullptr);
    const DWORD faces[3] = {2, 1, 1};
    for (DWORD i = 0; i < 3; i++) {
        EXPECT_EQ(c->pAttributeTable[i].AttribId, i);
        EXPECT_EQ(c->pAttributeTable[i].FaceCount, faces[i]);
    }
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(c->pVertexBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.FVF, fvf);
    EXPECT_NE(desc.Usage & D3DUSAGE_WRITEONLY, 0u);
    EXPECT_EQ(c->pVertexBuffer->AddRef(), 2u);  // the container's reference alone
    c->pVertexBuffer->Release();
    EXPECT_EQ(c->pIndexBuffer->AddRef(), 2u);
    c->pIndexBuffer->Release();
    // Neither drawing routine has materials to draw it with.
    ASSERT_EQ(LoadVertexShader(&shader_, device_, scratch_.Write("tint.vsh", kTintShader).c_str(), kPositionOnly,
                               &declaration_),
              S_OK);
    EXPECT_EQ(DrawMesh(c), E_FAIL);
    EXPECT_EQ(DrawMeshWithShader(c, shader_, declaration_), E_FAIL);

    // A load that fails makes nothing and leaves the buffers handed to it alone too.
    CMeshContainerEx* none = reinterpret_cast<CMeshContainerEx*>(8);
    EXPECT_TRUE(FAILED(LoadMeshForShader(&none, device_, scratch_.Path("none.x").c_str(), fvf, c->pVertexBuffer,
                                         c->pIndexBuffer)));
    EXPECT_EQ(none, reinterpret_cast<CMeshContainerEx*>(8));
    EXPECT_EQ(c->pVertexBuffer->AddRef(), 2u);
    c->pVertexBuffer->Release();
    delete c;  // the device's count in TearDown shows every buffer released
}

TEST_F(ShaderPath, TheDrawListsStopAtTheFirstRefusedContainer) {
    ASSERT_EQ(LoadVertexShader(&shader_, device_, scratch_.Write("tint.vsh", kTintShader).c_str(), kPositionOnly,
                               &declaration_),
              S_OK);
    auto triangle = [&] {
        ID3DXMesh* m = MakeMesh(device_, {{0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f}}, {0, 1, 2});
        m->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
        return m;
    };
    CMeshContainerEx* first = Container(triangle(), {1.0f});
    CMeshContainerEx* refused = Container(triangle(), {});
    CMeshContainerEx* third = Container(triangle(), {1.0f});
    first->pNextMeshContainer = refused;
    refused->pNextMeshContainer = third;

    device_->BeginScene();
    platform::hooks::StartD3DTrace();
    EXPECT_EQ(DrawMeshes(first), E_FAIL);
    EXPECT_EQ(Draws(TakeTrace()), 1);
    EXPECT_EQ(DrawMeshesWithShader(first, shader_, declaration_), E_FAIL);
    EXPECT_EQ(Draws(TakeTrace()), 1);
    device_->SetVertexShader(shader_);
    EXPECT_EQ(DrawMeshes(third), S_OK);
    EXPECT_EQ(Draws(TakeTrace()), 1);
    IDirect3DVertexShader9* left = shader_;
    device_->GetVertexShader(&left);
    EXPECT_EQ(left, nullptr);  // drawn by the fixed-function pipeline
    EXPECT_EQ(DrawMeshes(nullptr), S_OK);
    EXPECT_EQ(DrawMeshesWithShader(nullptr, shader_, declaration_), S_OK);
    device_->EndScene();
    delete first;  // the whole chain
}

}  // namespace
