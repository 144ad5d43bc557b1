// Skinned meshes: hierarchies loaded with their bones bound to frames by name, software skinning
// of the bones' frames, and the game's dwarf skinned in a pose of its own animation, drawn for a
// person to look at: skinned_dwarf.bmp in this test's build folder.
#include <algorithm>
#include <string>

#include "animation.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"
#include "xparser.h"

using scenetest::kXHeader;
using scenetest::MatrixNear;
using scenetest::Positions;
using scenetest::Scratch;
using scenetest::VectorNear;

namespace {

std::string Weights(const char* bone, const std::string& vertices, const std::string& weights, const D3DXMATRIX& offset) {
    std::string m = scenetest::MatrixText(offset);  // "FrameTransformMatrix {\n<16 values>;;\n}\n"
    m = m.substr(m.find('\n') + 1);
    m = m.substr(0, m.rfind('}'));
    int n = int(std::count(vertices.begin(), vertices.end(), ',')) + 1;
    return std::string("  SkinWeights {\n   \"") + bone + "\";\n   " + std::to_string(n) + ";\n   " + vertices +
           ";\n   " + weights + ";\n" + m + "  }\n";
}

// Frames Left, Right (with RightTip) and Body side by side at the top; Body holds a mesh of four
// vertices: bone Left weighs 0 and 1 with an offset that moves them 1 along x, RightTip weighs 2,
// and Nowhere, which no frame is called, weighs 3 with an offset that moves it 5 along z.
std::string SkinnedFile() {
    D3DXMATRIX id, right1, up5;
    D3DXMatrixIdentity(&id);
    D3DXMatrixTranslation(&right1, 1, 0, 0);
    D3DXMatrixTranslation(&up5, 0, 0, 5);
    return std::string(kXHeader) + "Frame Left {\n}\nFrame Right {\n Frame RightTip {\n }\n}\nFrame Body {\n" +
           " Mesh Skin {\n  4;\n  1.0;0.0;0.0;,\n  2.0;0.0;0.0;,\n  0.0;1.0;0.0;,\n  0.0;0.0;1.0;;\n" +
           "  2;\n  3;0,1,2;,\n  3;0,2,3;;\n  XSkinMeshHeader {\n   1;\n   1;\n   3;\n  }\n" +
           Weights("Left", "0,1", "1.0,1.0", right1) + Weights("RightTip", "2", "1.0", id) +
           Weights("Nowhere", "3", "1.0", up5) + " }\n}\n";
}

// Each frame's combined matrix: its own transform, then its parent's.
void Combine(D3DXFRAME* frame, const D3DXMATRIX& parent) {
    for (; frame != nullptr; frame = frame->pFrameSibling) {
        CHierarchyFrame* f = static_cast<CHierarchyFrame*>(frame);
        f->matCombined = f->TransformationMatrix * parent;
        Combine(f->pFrameFirstChild, f->matCombined);
    }
}

class SkinnedHierarchy : public scenetest::DeviceTest {
protected:
    SkinnedHierarchy() : scenetest::DeviceTest(512, 512) {}
    void TearDown() override {
        delete meshes_;
        delete frames_;
        scenetest::DeviceTest::TearDown();
    }
    HRESULT Load(const std::string& file, DWORD fvf = 0, const char* textures = "") {
        return LoadMeshHierarchy(&meshes_, &frames_, device_, file.c_str(), textures, fvf, D3DXMESH_SYSTEMMEM);
    }
    Scratch scratch_;
    CMeshContainerEx* meshes_ = nullptr;
    CHierarchyFrame* frames_ = nullptr;
};

TEST_F(SkinnedHierarchy, BonesAreBoundByNameAcrossSiblingFramesAndARotatedBoneMovesExactlyItsVertices) {
    ASSERT_EQ(Load(scratch_.Write("skin.x", SkinnedFile())), S_OK);
    ASSERT_NE(meshes_, nullptr);
    ASSERT_NE(frames_, nullptr);
    EXPECT_STREQ(frames_->Name, "Body");  // Left and Right are its siblings
    EXPECT_EQ(frames_->pMeshContainer, meshes_);
    EXPECT_STREQ(meshes_->Name, "Skin");
    ASSERT_NE(meshes_->pSkinInfo, nullptr);
    ASSERT_EQ(meshes_->pSkinInfo->GetNumBones(), 3u);
    ASSERT_NE(meshes_->pSkinnedMesh, nullptr);

    ID3DXSkinInfo* skin = meshes_->pSkinInfo;
    const DWORD left = 0, tip = 1, nowhere = 2;  // in file order
    EXPECT_STREQ(skin->GetBoneName(nowhere), "Nowhere");
    EXPECT_EQ(meshes_->ppBoneFrameMatrices[left], &frames_->Find("Left")->matCombined);
    EXPECT_EQ(meshes_->ppBoneFrameMatrices[tip], &frames_->Find("RightTip")->matCombined);
    EXPECT_EQ(meshes_->ppBoneFrameMatrices[nowhere], nullptr);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    for (DWORD i = 0; i < 3; i++) EXPECT_EQ(meshes_->pBoneTransforms[i], id);

    D3DXMatrixRotationZ(&frames_->Find("Left")->matCombined, D3DX_PI / 2);
    std::vector<D3DXVECTOR3> before = Positions(meshes_->MeshData.pMesh);
    ASSERT_EQ(UpdateSkinnedMesh(meshes_), S_OK);
    std::vector<D3DXVECTOR3> after = Positions(meshes_->pSkinnedMesh);
    ASSERT_EQ(after.size(), 4u);
    // Moved by the offset first, then turned by the frame.
    EXPECT_TRUE(VectorNear(after[0], D3DXVECTOR3(0, 2, 0)));
    EXPECT_TRUE(VectorNear(after[1], D3DXVECTOR3(0, 3, 0)));
    EXPECT_EQ(after[2], before[2]);  // its bone did not move
    EXPECT_TRUE(VectorNear(after[3], D3DXVECTOR3(0, 0, 6)));  // a bone without a frame: its offset alone
    EXPECT_EQ(Positions(meshes_->MeshData.pMesh), before);
    EXPECT_TRUE(MatrixNear(meshes_->pBoneTransforms[nowhere], *skin->GetBoneOffsetMatrix(nowhere)));
}

TEST_F(SkinnedHierarchy, WhatIsAskedForIsBuiltAndAFileThatCannotBeOpenedIsAnError) {
    std::string file = scratch_.Write("skin.x", SkinnedFile());
    // Meshes only: no bones bound, so the skin update refuses the container.
    ASSERT_EQ(LoadMeshHierarchy(&meshes_, nullptr, device_, file.c_str(), "", 0, D3DXMESH_SYSTEMMEM), S_OK);
    ASSERT_NE(meshes_, nullptr);
    EXPECT_EQ(meshes_->ppBoneFrameMatrices, nullptr);
    EXPECT_EQ(UpdateSkinnedMesh(meshes_), E_FAIL);
    // Frames only, and the holder's share of them.
    CHierarchyHolder holder = {nullptr};
    ASSERT_EQ(LoadMeshHierarchyInto(nullptr, &frames_, &holder, device_, file.c_str(), "", 0, 0), S_OK);
    ASSERT_NE(frames_, nullptr);
    EXPECT_EQ(frames_->pMeshContainer, nullptr);
    EXPECT_EQ(holder.pRootFrame, nullptr);  // both lists were not asked for
    delete frames_;
    frames_ = nullptr;
    CMeshContainerEx* meshes = nullptr;
    ASSERT_EQ(LoadMeshHierarchyInto(&meshes, &frames_, &holder, device_, file.c_str(), "", 0, 0), S_OK);
    EXPECT_EQ(holder.pRootFrame, frames_);
    delete meshes;

    // A file that opens and holds nothing is no error; one that does not open is.
    CMeshContainerEx* list = reinterpret_cast<CMeshContainerEx*>(8);
    CHierarchyFrame* tree = reinterpret_cast<CHierarchyFrame*>(8);
    EXPECT_EQ(LoadMeshHierarchy(&list, &tree, device_, scratch_.Write("empty.x", kXHeader).c_str(), "", 0, 0), S_OK);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(tree, nullptr);
    list = reinterpret_cast<CMeshContainerEx*>(8);
    tree = reinterpret_cast<CHierarchyFrame*>(8);
    EXPECT_TRUE(FAILED(LoadMeshHierarchy(&list, &tree, device_, scratch_.Path("none.x").c_str(), "", 0, 0)));
    EXPECT_EQ(list, reinterpret_cast<CMeshContainerEx*>(8));
    EXPECT_EQ(tree, reinterpret_cast<CHierarchyFrame*>(8));
}

TEST_F(SkinnedHierarchy, TheSkinRefusesFormatsAndMeshesItDoesNotDescribeAndFailedLocks) {
    // Pre-transformed positions cannot be skinned: the mesh is passed over, nothing is kept.
    std::string file = scratch_.Write("skin.x", SkinnedFile());
    ASSERT_EQ(Load(file, D3DFVF_XYZRHW), S_OK);
    EXPECT_EQ(meshes_, nullptr);
    EXPECT_EQ(frames_->pMeshContainer, nullptr);
    delete frames_;
    frames_ = nullptr;

    ASSERT_EQ(Load(file), S_OK);
    ASSERT_NE(meshes_, nullptr);
    ID3DXMesh* skinned = meshes_->pSkinnedMesh;

    // Another vertex layout, or another number of vertices.
    ID3DXMesh* other = nullptr;
    ASSERT_EQ(skinned->CloneMeshFVF(0, D3DFVF_XYZ | D3DFVF_NORMAL, device_, &other), D3D_OK);
    meshes_->pSkinnedMesh = other;
    EXPECT_EQ(UpdateSkinnedMesh(meshes_), E_FAIL);
    other->Release();
    meshes_->pSkinnedMesh = scenetest::MakeMesh(device_, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, {}, D3DFVF_XYZ);
    EXPECT_EQ(UpdateSkinnedMesh(meshes_), E_FAIL);
    meshes_->pSkinnedMesh->Release();

    // A lock that fails ends the update with its error and leaves nothing locked.
    auto* source = new scenetest::LockFailingMesh(meshes_->MeshData.pMesh);
    auto* target = new scenetest::LockFailingMesh(skinned);
    meshes_->MeshData.pMesh = source;
    meshes_->pSkinnedMesh = target;
    target->failVertexLock = true;
    EXPECT_EQ(UpdateSkinnedMesh(meshes_), D3DERR_INVALIDCALL);
    EXPECT_EQ(source->vertexLocks, 0);
    source->failVertexLock = true;
    target->failVertexLock = false;
    EXPECT_EQ(UpdateSkinnedMesh(meshes_), D3DERR_INVALIDCALL);
    EXPECT_EQ(target->vertexLocks, 0);
}

// ---- the game's dwarf: seven bones under frame Nano, and the animation set "Riposo"

const DWORD kColouredFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

TEST_F(SkinnedHierarchy, TheDwarfLoadsSkinnedInANewFormatAndIsDrawnInAPoseOfItsAnimation) {
    const std::string folder = std::string(MORVANE_GAME_DIR) + "/Data/nano_guerriero/";
    ASSERT_EQ(Load(folder + "nano_guerriero.x", kColouredFVF, folder.c_str()), S_OK);
    ASSERT_NE(meshes_, nullptr);
    ID3DXSkinInfo* skin = meshes_->pSkinInfo;
    ASSERT_NE(skin, nullptr);
    ASSERT_NE(meshes_->pSkinnedMesh, nullptr);
    EXPECT_EQ(skin->GetNumBones(), 7u);
    for (DWORD i = 0; i < skin->GetNumBones(); i++) EXPECT_NE(meshes_->ppBoneFrameMatrices[i], nullptr);
    // The skin information strides through vertices of the new format.
    EXPECT_EQ(meshes_->pSkinnedMesh->GetFVF(), kColouredFVF);
    EXPECT_EQ(skin->GetFVF(), kColouredFVF);

    // The frames as the file places them undo the bones' offsets: every vertex stays put.
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    Combine(frames_, id);
    ASSERT_EQ(UpdateSkinnedMesh(meshes_), S_OK);
    std::vector<D3DXVECTOR3> rest = Positions(meshes_->MeshData.pMesh);
    std::vector<D3DXVECTOR3> skinned = Positions(meshes_->pSkinnedMesh);
    ASSERT_EQ(skinned.size(), rest.size());
    for (size_t i = 0; i < rest.size(); i++) ASSERT_TRUE(VectorNear(skinned[i], rest[i], 1e-4f)) << "vertex " << i;

    // Seen from the front, lit, before and after the pose at the middle of "Riposo".
    D3DXVECTOR3 centre;
    float radius = 0;
    D3DXComputeBoundingSphere(rest.data(), DWORD(rest.size()), sizeof(D3DXVECTOR3), &centre, &radius);
    D3DXMATRIX view, proj;
    D3DXVECTOR3 eye = centre + D3DXVECTOR3(-0.9f * radius, 0.4f * radius, 2.4f * radius), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &centre, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 1.0f, 0.1f, 10 * radius);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_PROJECTION, &proj);
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_->SetRenderState(D3DRS_AMBIENT, 0xFF606060);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = 1.0f;
    light.Direction = D3DXVECTOR3(-0.3f, -0.6f, 1.0f);
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    auto draw = [&] {
        EXPECT_EQ(UpdateSkinnedMesh(meshes_), S_OK);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
        device_->BeginScene();
        EXPECT_EQ(DrawMesh(meshes_), S_OK);
        device_->EndScene();
        return Pixels();
    };
    std::vector<DWORD> restPixels = draw();
    CAnimationCollection animations;
    ASSERT_EQ(animations.Load((folder + "nano_guerriero.x").c_str()), TRUE);
    animations.Map(frames_);
    animations.Update("Riposo", 7200, TRUE, false);
    Combine(frames_, id);
    std::vector<DWORD> posed = draw();

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const std::string shot = std::string(SCENE_TEST_OUTPUT) + "/skinned_dwarf.bmp";
    EXPECT_EQ(D3DXSaveSurfaceToFileA(shot.c_str(), D3DXIFF_BMP, back, nullptr, nullptr), D3D_OK);
    back->Release();

    // The dwarf fills a good part of the picture, the pose moves some of it, and the source
    // mesh keeps the rest pose.
    size_t covered = 0, moved = 0;
    for (size_t i = 0; i < posed.size(); i++) {
        covered += (posed[i] & 0xFFFFFF) != 0x203040;
        moved += posed[i] != restPixels[i];
    }
    EXPECT_GT(covered, posed.size() / 10);
    EXPECT_GT(moved, 500u);
    EXPECT_EQ(Positions(meshes_->MeshData.pMesh), rest);
}

}  // namespace
