// Drawing a mesh container with the alpha rule and its textures, a node's render order, and the
// in-place scaling and moving of a mesh.
#include <cmath>
#include <map>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

using scenetest::Container;
using scenetest::LockFailingMesh;
using scenetest::MakeMesh;
using scenetest::VectorNear;

namespace {

// Three quads, two faces each, with attributes 0, 1 and 2.
ID3DXMesh* ThreeSubsets(IDirect3DDevice9* device) {
    std::vector<D3DXVECTOR3> p;
    std::vector<DWORD> idx;
    for (int q = 0; q < 3; q++) {
        DWORD b = DWORD(p.size());
        float x = float(q) * 2;
        p.insert(p.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 0, 1}, {x + 1, 0, 1}});
        idx.insert(idx.end(), {b, b + 2, b + 1, b + 1, b + 2, b + 3});
    }
    return MakeMesh(device, p, idx, {0, 0, 1, 1, 2, 2});
}

class DrawContainer : public scenetest::DeviceTest {
protected:
    void SetUp() override {
        scenetest::DeviceTest::SetUp();
        ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex0_, nullptr), D3D_OK);
        ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex2_, nullptr), D3D_OK);
        ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callers_, nullptr), D3D_OK);
        names_[0] = "0";
        names_[reinterpret_cast<intptr_t>(tex0_)] = "tex0";
        names_[reinterpret_cast<intptr_t>(tex2_)] = "tex2";
        names_[reinterpret_cast<intptr_t>(callers_)] = "callers";
    }
    void TearDown() override {
        for (IDirect3DTexture9* t : {tex0_, tex2_, callers_})
            if (t) t->Release();
        scenetest::DeviceTest::TearDown();
    }

    // The calls that matter here, short: materials by their red, textures by name, render
    // states as numbers, draws by the subset whose faces they cover.
    std::vector<std::string> Trace() {
        std::vector<std::string> out;
        for (const platform::hooks::D3DCall& c : platform::hooks::TakeD3DTrace()) {
            char buf[64];
            if (c.name == "SetMaterial") {
                std::snprintf(buf, sizeof buf, "Material %.1f", double(c.values.at(0)));
            } else if (c.name == "SetTexture") {
                std::snprintf(buf, sizeof buf, "Texture %s", names_.count(c.args.at(1)) ? names_[c.args.at(1)].c_str() : "?");
            } else if (c.name == "SetRenderState") {
                std::snprintf(buf, sizeof buf, "State %d %d", int(c.args.at(0)), int(c.args.at(1)));
            } else if (c.name == "DrawIndexedPrimitive") {
                std::snprintf(buf, sizeof buf, "Draw %d", int(c.args.at(4) / 6));
            } else if (c.name == "SetTransform") {
                std::snprintf(buf, sizeof buf, "World %.0f", double(c.values.at(12)));
            } else {
                continue;
            }
            out.push_back(buf);
        }
        return out;
    }
    void Blending(DWORD on, DWORD src, DWORD dest) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, on);
        device_->SetRenderState(D3DRS_SRCBLEND, src);
        device_->SetRenderState(D3DRS_DESTBLEND, dest);
    }
    DWORD State(D3DRENDERSTATETYPE s) {
        DWORD v = 0;
        device_->GetRenderState(s, &v);
        return v;
    }
    HRESULT Draw(CMeshContainerEx* c, bool useTextures) {
        CFrame f;
        platform::hooks::StartD3DTrace();
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        HRESULT hr = f.DrawMeshContainer(c, useTextures);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return hr;
    }

    IDirect3DTexture9* tex0_ = nullptr;
    IDirect3DTexture9* tex2_ = nullptr;
    IDirect3DTexture9* callers_ = nullptr;
    std::map<int64_t, std::string> names_;
};

TEST_F(DrawContainer, TranslucentOpaqueTranslucentSwitchesBlendingOnOffOnAndRestoresAtTheEnd) {
    Blending(FALSE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {0.5f, 1.0f, 0.999f}, {tex0_, nullptr, tex2_});
    EXPECT_EQ(Draw(c, true), S_OK);
    std::vector<std::string> expected = {
        "Material 0.1", "Texture tex0", "State 27 1", "State 19 2", "State 20 9", "Draw 0",
        "Material 0.2", "Texture 0",    "State 27 0", "Draw 1",
        "Material 0.3", "Texture tex2", "State 27 1", "State 19 2", "State 20 9", "Draw 2",
        "Texture 0",
        "State 27 0", "State 19 5", "State 20 6",  // blending ended on: the saved three come back
    };
    EXPECT_EQ(Trace(), expected);
    EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(State(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    delete c;
}

TEST_F(DrawContainer, BlendingThatEndsAsItBeganIsNotRestored) {
    Blending(FALSE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {0.5f, 1.0f});
    EXPECT_EQ(Draw(c, false), S_OK);
    std::vector<std::string> expected = {
        "Material 0.1", "State 27 1", "State 19 2", "State 20 9", "Draw 0",
        "Material 0.2", "State 27 0", "Draw 1", "Texture 0",
    };
    EXPECT_EQ(Trace(), expected);
    // The factors stay as the translucent material left them.
    EXPECT_EQ(State(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
    EXPECT_EQ(State(D3DRS_DESTBLEND), DWORD(D3DBLEND_DESTCOLOR));
    delete c;
}

TEST_F(DrawContainer, WithBlendingAlreadyOnTranslucentMaterialsUseTheCallersFactors) {
    Blending(TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    CMeshContainerEx* translucent = Container(ThreeSubsets(device_), {0.5f, 0.25f});
    EXPECT_EQ(Draw(translucent, false), S_OK);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Material 0.1", "Draw 0", "Material 0.2", "Draw 1", "Texture 0"}));
    delete translucent;

    CMeshContainerEx* opaque = Container(ThreeSubsets(device_), {1.0f, 1.0f});
    EXPECT_EQ(Draw(opaque, false), S_OK);
    std::vector<std::string> expected = {"Material 0.1", "State 27 0", "Draw 0", "Material 0.2", "Draw 1",
                                         "Texture 0",    "State 27 1", "State 19 5", "State 20 6"};
    EXPECT_EQ(Trace(), expected);
    delete opaque;
}

TEST_F(DrawContainer, OnlyExactlyOneIsOpaqueAndANanIsNot) {
    Blending(TRUE, D3DBLEND_ONE, D3DBLEND_ZERO);
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f, NAN, std::nextafter(1.0f, 2.0f)});
    EXPECT_EQ(Draw(c, false), S_OK);
    std::vector<std::string> expected = {
        "Material 0.1", "State 27 0", "Draw 0",
        "Material 0.2", "State 27 1", "State 19 2", "State 20 9", "Draw 1",
        "Material 0.3", "Draw 2", "Texture 0",
    };
    EXPECT_EQ(Trace(), expected);
    delete c;
}

TEST_F(DrawContainer, WithoutTexturesEverySubsetDrawsWithTheCallersTexture) {
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f, 1.0f, 1.0f}, {tex0_, nullptr, tex2_});
    device_->SetTexture(0, callers_);
    EXPECT_EQ(Draw(c, false), S_OK);
    std::vector<std::string> expected = {"Material 0.1", "Draw 0", "Material 0.2", "Draw 1",
                                         "Material 0.3", "Draw 2", "Texture 0"};
    EXPECT_EQ(Trace(), expected);
    IDirect3DBaseTexture9* left = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    ASSERT_EQ(device_->GetTexture(0, &left), D3D_OK);
    EXPECT_EQ(left, nullptr);  // stage 0 is empty after the call
    delete c;
}

TEST_F(DrawContainer, AContainerWithoutATextureArrayDrawsUntextured) {
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f, 1.0f});
    ASSERT_EQ(c->ppTextures, nullptr);
    device_->SetTexture(0, callers_);
    EXPECT_EQ(Draw(c, true), S_OK);
    std::vector<std::string> expected = {"Material 0.1", "Texture 0", "Draw 0", "Material 0.2",
                                         "Texture 0",    "Draw 1",    "Texture 0"};
    EXPECT_EQ(Trace(), expected);
    delete c;
}

TEST_F(DrawContainer, ASkinnedCopyIsDrawnInPlaceOfTheMesh) {
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f});
    c->pSkinnedMesh = ThreeSubsets(device_);
    IDirect3DVertexBuffer9* skinnedVB = nullptr;
    c->pSkinnedMesh->GetVertexBuffer(&skinnedVB);
    EXPECT_EQ(Draw(c, false), S_OK);
    int streams = 0;
    for (const platform::hooks::D3DCall& call : platform::hooks::TakeD3DTrace()) {
        if (call.name != "SetStreamSource") continue;
        streams++;
        EXPECT_EQ(call.args.at(1), reinterpret_cast<intptr_t>(skinnedVB));
    }
    EXPECT_EQ(streams, 1);
    skinnedVB->Release();
    delete c;
}

TEST_F(DrawContainer, NothingToDrawWithoutMaterials) {
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f});
    c->NumMaterials = 0;
    EXPECT_EQ(Draw(c, true), E_FAIL);
    c->NumMaterials = 1;
    D3DXMATERIAL* kept = c->pMaterials;
    c->pMaterials = nullptr;
    EXPECT_EQ(Draw(c, true), E_FAIL);
    EXPECT_TRUE(Trace().empty());
    c->pMaterials = kept;
    delete c;
}

// ---- a node's render order

TEST_F(DrawContainer, ContainersDrawInTheOrderTheyWereAddedAfterTheChildren) {
    CFrame parent, child;
    parent.SetPosition(3, 0, 0);
    child.SetPosition(8, 0, 0);
    CMeshContainerEx* a = Container(ThreeSubsets(device_), {1.0f}, {tex0_});
    CMeshContainerEx* b = Container(ThreeSubsets(device_), {1.0f, 1.0f}, {tex0_, tex0_});
    CMeshContainerEx* c = Container(ThreeSubsets(device_), {1.0f, 1.0f, 1.0f}, {tex0_, tex0_, tex0_});
    CMeshContainerEx* childs = Container(ThreeSubsets(device_), {1.0f}, {tex2_});
    ASSERT_EQ(parent.AddMesh(a), S_OK);
    ASSERT_EQ(parent.AddMesh(b), S_OK);
    ASSERT_EQ(parent.AddMesh(c), S_OK);
    ASSERT_EQ(child.AddMesh(childs), S_OK);
    ASSERT_EQ(parent.AddChild(&child), S_OK);

    platform::hooks::StartD3DTrace();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(parent.Render(false), S_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    std::vector<std::string> expected = {
        "World 3",                                                           // the parent's update
        "World 8", "World 8", "Material 0.1", "Texture tex2", "Draw 0", "Texture 0",  // the child, textured
        "World 3",                                                           // the parent's world again
        "Material 0.1", "Draw 0", "Texture 0",                               // a, untextured
        "Material 0.1", "Draw 0", "Material 0.2", "Draw 1", "Texture 0",     // b
        "Material 0.1", "Draw 0", "Material 0.2", "Draw 1", "Material 0.3", "Draw 2", "Texture 0",  // c
    };
    EXPECT_EQ(Trace(), expected);
    parent.RemoveMeshes();
    child.RemoveMeshes();
    delete a;
    delete b;
    delete c;
    delete childs;
}

// ---- scaling and moving a mesh in place

class MeshEdit : public scenetest::DeviceTest {};

std::vector<float> Vertex(ID3DXMesh* mesh, DWORD i) {
    float* v = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, (LPVOID*)&v), D3D_OK);
    std::vector<float> out(v + i * 8, v + i * 8 + 8);
    mesh->UnlockVertexBuffer();
    return out;
}

TEST_F(MeshEdit, ScaleAndTranslateChangePositionsOnly) {
    CFrame f;
    CMeshContainerEx* c = new CMeshContainerEx();
    c->MeshData.pMesh = MakeMesh(device_, {{-2, 1, 0}, {2, -1, 4}, {0, 0, -4}}, {0, 1, 2});
    EXPECT_EQ(f.ScaleMesh(c, 0.5f), S_OK);
    EXPECT_EQ(Vertex(c->MeshData.pMesh, 0), (std::vector<float>{-1, 0.5f, 0, 0, 1, 0, 0.25f, 0.75f}));
    EXPECT_EQ(Vertex(c->MeshData.pMesh, 1), (std::vector<float>{1, -0.5f, 2, 0, 1, 0, 0.25f, 0.75f}));
    EXPECT_EQ(f.TranslateMesh(c, 1, 2, 3), S_OK);
    EXPECT_EQ(Vertex(c->MeshData.pMesh, 2), (std::vector<float>{1, 2, 1, 0, 1, 0, 0.25f, 0.75f}));
    // The frame's own figures are not refreshed.
    EXPECT_EQ(f.fWidth, 0.0f);
    EXPECT_EQ(f.matWorld, CFrame().matWorld);
    delete c;
}

TEST_F(MeshEdit, AFailedLockIsReturnedAndNothingChanges) {
    CFrame f;
    LockFailingMesh* mesh = new LockFailingMesh(MakeMesh(device_, {{-2, 1, 0}, {2, -1, 4}, {0, 0, -4}}, {0, 1, 2}));
    CMeshContainerEx* c = new CMeshContainerEx();
    c->MeshData.pMesh = mesh;
    mesh->failVertexLock = true;
    EXPECT_EQ(f.ScaleMesh(c, 3.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(f.TranslateMesh(c, 3, 3, 3), D3DERR_INVALIDCALL);
    mesh->failVertexLock = false;
    EXPECT_EQ(Vertex(mesh, 0)[0], -2.0f);
    EXPECT_EQ(mesh->vertexLocks, 0);
    delete c;
}

}  // namespace
