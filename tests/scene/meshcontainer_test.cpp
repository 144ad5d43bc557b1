// The mesh container record: construction, search by name and what its destructor frees.
#include <cstring>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"

namespace {

char* Copy(const char* s) {
    char* out = new char[std::strlen(s) + 1];
    std::strcpy(out, s);
    return out;
}

TEST(MeshContainer, StartsEmpty) {
    CMeshContainerEx c;
    EXPECT_EQ(c.Name, nullptr);
    EXPECT_EQ(c.MeshData.pMesh, nullptr);
    EXPECT_EQ(c.pMaterials, nullptr);
    EXPECT_EQ(c.pEffects, nullptr);
    EXPECT_EQ(c.NumMaterials, 0u);
    EXPECT_EQ(c.pAdjacency, nullptr);
    EXPECT_EQ(c.pSkinInfo, nullptr);
    EXPECT_EQ(c.pNextMeshContainer, nullptr);
    EXPECT_EQ(c.ppTextures, nullptr);
    EXPECT_EQ(c.pSkinnedMesh, nullptr);
    EXPECT_EQ(c.ppBoneFrameMatrices, nullptr);
    EXPECT_EQ(c.pBoneTransforms, nullptr);
    EXPECT_EQ(c.pAttributeTable, nullptr);
    EXPECT_EQ(c.pVertexBuffer, nullptr);
    EXPECT_EQ(c.pIndexBuffer, nullptr);
    EXPECT_EQ(c.pExtra, nullptr);
    EXPECT_EQ(c.pOwner, nullptr);
    EXPECT_EQ(c.pFrameNext, nullptr);
}

TEST(MeshContainer, FindFollowsTheChainByExactName) {
    CMeshContainerEx* first = new CMeshContainerEx();
    CMeshContainerEx* second = new CMeshContainerEx();
    CMeshContainerEx* third = new CMeshContainerEx();
    first->Name = Copy("Body");
    third->Name = Copy("Sword");  // the second has no name
    first->pNextMeshContainer = second;
    second->pNextMeshContainer = third;

    EXPECT_EQ(first->Find("Sword"), third);
    EXPECT_EQ(first->Find("Body"), first);
    EXPECT_EQ(second->Find("Body"), nullptr);  // the search starts where it is asked
    EXPECT_EQ(first->Find("sword"), nullptr);  // case counts
    EXPECT_EQ(first->Find("Shield"), nullptr);
    EXPECT_EQ(first->Find(nullptr), nullptr);
    EXPECT_EQ(first->Find(""), nullptr);
    delete first;  // the whole chain and what it holds
}

TEST(MeshContainer, DeletingTheFirstOfALongChainFreesItAllWithoutDeepRecursion) {
    CMeshContainerEx* first = new CMeshContainerEx();
    CMeshContainerEx* last = first;
    for (int i = 0; i < 100000; i++) {
        CMeshContainerEx* c = new CMeshContainerEx();
        c->Name = Copy("part");
        c->pAdjacency = new DWORD[3];
        c->pExtra = new BYTE[8];
        last->pNextMeshContainer = c;
        last = c;
    }
    delete first;
}

TEST(MeshContainer, TheDestructorFreesEveryArrayItHolds) {
    CMeshContainerEx* c = new CMeshContainerEx();
    c->Name = Copy("x");
    c->NumMaterials = 2;
    c->pMaterials = new D3DXMATERIAL[2];
    c->ppTextures = new IDirect3DTexture9*[2]();
    c->pEffects = new D3DXEFFECTINSTANCE[1];
    c->pAdjacency = new DWORD[6];
    c->ppBoneFrameMatrices = new D3DXMATRIX*[4];
    c->pBoneTransforms = new D3DXMATRIX[4];
    c->pAttributeTable = new D3DXATTRIBUTERANGE[3];
    c->pExtra = new BYTE[16];
    delete c;  // the leak checker sees anything left behind
}

class MeshContainerOnDevice : public scenetest::DeviceTest {};

TEST_F(MeshContainerOnDevice, TheDestructorReleasesTexturesAndTheCopysBuffers) {
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(96, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    vb->AddRef();
    ib->AddRef();
    tex->AddRef();

    CMeshContainerEx* c = new CMeshContainerEx();
    c->pVertexBuffer = vb;
    c->pIndexBuffer = ib;
    c->NumMaterials = 2;
    c->pMaterials = new D3DXMATERIAL[2];
    c->ppTextures = new IDirect3DTexture9*[2];
    c->ppTextures[0] = nullptr;
    c->ppTextures[1] = tex;
    delete c;

    // Only the test's own references are left.
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(ib->Release(), 0u);
    EXPECT_EQ(tex->Release(), 0u);
}

TEST_F(MeshContainerOnDevice, NothingToDrawTouchesNoDevice) {
    CFrame f;
    CMeshContainerEx empty;
    platform::hooks::StartD3DTrace();
    EXPECT_EQ(f.DrawMeshContainer(nullptr, true), E_FAIL);
    EXPECT_EQ(f.DrawMeshContainer(&empty, true), E_FAIL);
    EXPECT_TRUE(TakeTrace().empty());
}

}  // namespace
