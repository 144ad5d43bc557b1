// The scene node: construction, the child and mesh lists, the world transform and the accessors.
#include <cstring>
#include <memory>
#include <new>

#include <CD.h>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"

using scenetest::MatrixNear;
using scenetest::VectorNear;

namespace {

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// A point taken through a frame's world matrix.
D3DXVECTOR3 Place(const CFrame& frame, D3DXVECTOR3 p) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &frame.matWorld);
    return out;
}

TEST(FrameConstruction, EveryFieldStartsAtZeroOrIdentityWhateverTheStorageHeld) {
    // Storage full of garbage, as a card's frame on the heap may find it.
    std::unique_ptr<unsigned char[]> storage(new unsigned char[sizeof(CFrame)]);
    std::memset(storage.get(), 0xCD, sizeof(CFrame));
    CFrame* f = new (storage.get()) CFrame();

    const D3DXVECTOR3 zero(0, 0, 0);
    EXPECT_EQ(f->dwUserValue, 0u);
    EXPECT_EQ(f->matWorld, Identity());
    EXPECT_EQ(f->matWorldCopy, Identity());
    EXPECT_EQ(f->matLocal, Identity());
    EXPECT_EQ(f->matNormalize, Identity());
    EXPECT_EQ(f->RigidBody.matInertia, Identity());
    EXPECT_EQ(f->RigidBody.matInverseInertia, Identity());
    EXPECT_EQ(f->RigidBody.vPosition, zero);
    EXPECT_EQ(f->RigidBody.vBodyVector, zero);
    EXPECT_EQ(f->RigidBody.qOrientation, D3DXQUATERNION(0, 0, 0, 1));
    EXPECT_EQ(f->RigidBody.fRadius, 0.0f);
    EXPECT_EQ(f->RigidBody.fMass, 0.0f);
    for (int i = 0; i < 8; i++) EXPECT_EQ(f->RigidBody.vCorners[i], zero);
    EXPECT_EQ(f->vBoxMin, zero);
    EXPECT_EQ(f->vBoxMax, zero);
    EXPECT_EQ(f->vSphereCentre, zero);
    EXPECT_EQ(f->vExtra, zero);
    EXPECT_EQ(f->fWidth, 0.0f);
    EXPECT_EQ(f->fHeight, 0.0f);
    EXPECT_EQ(f->fDepth, 0.0f);
    EXPECT_EQ(f->fInertiaWH, 0.0f);
    EXPECT_EQ(f->fInertiaHD, 0.0f);
    EXPECT_EQ(f->fInertiaWD, 0.0f);
    EXPECT_EQ(f->fYaw, 0.0f);
    EXPECT_EQ(f->fPitch, 0.0f);
    EXPECT_EQ(f->fRoll, 0.0f);
    EXPECT_EQ(f->nSubMeshCount, 0);
    EXPECT_EQ(f->nSubMesh, -1);
    for (int i = 0; i < FRAME_MAX_SUBMESHES; i++) EXPECT_EQ(f->pSubMesh[i], nullptr);
    EXPECT_EQ(f->pMeshList, nullptr);
    EXPECT_EQ(f->pCollisionObject, nullptr);
    EXPECT_EQ(f->pNextSibling, nullptr);
    EXPECT_EQ(f->pFirstChild, nullptr);
    EXPECT_EQ(f->pParent, nullptr);
    EXPECT_EQ(f->pfnUpdateCallback, nullptr);
    EXPECT_EQ(f->bUseCallback, 0);
    EXPECT_EQ(f->bCollided, 0);
    EXPECT_EQ(f->bMouseOver, 0);
    EXPECT_EQ(f->bSelectedForMove, 0);
    EXPECT_EQ(f->bReachable, 0);
    f->~CFrame();
}

TEST(FrameAccessors, PlainReadsAndWrites) {
    CFrame f;
    float x, y, z;
    f.SetPosition(1, 2, 3);
    f.GetPosition(&x, &y, &z);
    EXPECT_EQ(D3DXVECTOR3(x, y, z), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(f.RigidBody.vPosition, D3DXVECTOR3(1, 2, 3));
    f.SetBodyVector(4, 5, 6);
    f.GetBodyVector(&x, &y, &z);
    EXPECT_EQ(D3DXVECTOR3(x, y, z), D3DXVECTOR3(4, 5, 6));
    f.SetExtraVector(7, 8, 9);
    f.GetExtraVector(&x, &y, &z);
    EXPECT_EQ(D3DXVECTOR3(x, y, z), D3DXVECTOR3(7, 8, 9));
    EXPECT_EQ(f.RigidBody.vPosition, D3DXVECTOR3(1, 2, 3));

    CFrame other;
    f.SetNextSibling(&other);
    EXPECT_EQ(f.GetNextSibling(), &other);
    f.SetParent(&other);
    EXPECT_EQ(f.pParent, &other);

    CMeshContainerEx mesh, next;
    mesh.SetOwner(&f);
    EXPECT_EQ(mesh.pOwner, &f);
    mesh.SetFrameNext(&next);
    EXPECT_EQ(mesh.GetFrameNext(), &next);
}

// ---- lists

TEST(FrameChildren, AppendInOrderAndClearTheNewChildsOwnLink) {
    CFrame parent, a, b, c, stray;
    EXPECT_EQ(parent.AddChild(&a), S_OK);
    b.SetNextSibling(&stray);  // left over from another list
    EXPECT_EQ(parent.AddChild(&b), S_OK);
    EXPECT_EQ(parent.AddChild(&c), S_OK);

    EXPECT_EQ(parent.pFirstChild, &a);
    EXPECT_EQ(a.pNextSibling, &b);
    EXPECT_EQ(b.pNextSibling, &c);
    EXPECT_EQ(c.pNextSibling, nullptr);
    EXPECT_EQ(a.pParent, &parent);
    EXPECT_EQ(c.pParent, &parent);
}

TEST(FrameChildren, NullChildIsReportedAndNothingChanges) {
    CFrame parent;
    platform::hooks::StartCapturingDebugOutput();
    EXPECT_EQ(parent.AddChild(nullptr), E_FAIL);
    std::vector<std::string> out = platform::hooks::TakeDebugOutput();
    platform::hooks::StopCapturingDebugOutput();
    std::string all;
    for (const std::string& s : out) all += s;
    EXPECT_EQ(all, "ERROR: Failed in attempt to add an invalid child frame\n");
    EXPECT_EQ(parent.pFirstChild, nullptr);
}

TEST(FrameChildren, AListCannotCloseIntoALoop) {
    CFrame root, a, b, grandchild;
    ASSERT_EQ(root.AddChild(&a), S_OK);
    ASSERT_EQ(root.AddChild(&b), S_OK);
    ASSERT_EQ(a.AddChild(&grandchild), S_OK);

    // Already in the list: refused, and the list still ends.
    EXPECT_EQ(root.AddChild(&a), E_FAIL);
    EXPECT_EQ(root.AddChild(&b), E_FAIL);
    EXPECT_EQ(root.pFirstChild, &a);
    EXPECT_EQ(a.pNextSibling, &b);
    EXPECT_EQ(b.pNextSibling, nullptr);

    // A frame below itself or below its own child would draw forever.
    EXPECT_EQ(root.AddChild(&root), E_FAIL);
    EXPECT_EQ(grandchild.AddChild(&root), E_FAIL);
    EXPECT_EQ(grandchild.AddChild(&a), E_FAIL);
    EXPECT_EQ(grandchild.pFirstChild, nullptr);
    EXPECT_EQ(root.Render(true), S_OK);
}

TEST(FrameMeshes, AppendInOrderAndClearTheNewContainersOwnLink) {
    CFrame f;
    CMeshContainerEx a, b, c, stray;
    EXPECT_EQ(f.AddMesh(nullptr), E_FAIL);
    EXPECT_EQ(f.pMeshList, nullptr);

    b.SetFrameNext(&stray);
    EXPECT_EQ(f.AddMesh(&a), S_OK);
    EXPECT_EQ(f.AddMesh(&b), S_OK);
    EXPECT_EQ(f.AddMesh(&c), S_OK);
    EXPECT_EQ(f.pMeshList, &a);
    EXPECT_EQ(a.pFrameNext, &b);
    EXPECT_EQ(b.pFrameNext, &c);
    EXPECT_EQ(c.pFrameNext, nullptr);
    EXPECT_EQ(a.pOwner, &f);
    EXPECT_EQ(c.pOwner, &f);
    // D3DX's own chain is another list and stays as it was.
    EXPECT_EQ(a.pNextMeshContainer, nullptr);

    // A container already in the list is not added again, so the list keeps its end.
    EXPECT_EQ(f.AddMesh(&a), E_FAIL);
    EXPECT_EQ(f.AddMesh(&c), E_FAIL);
    EXPECT_EQ(a.pFrameNext, &b);
    EXPECT_EQ(c.pFrameNext, nullptr);
}

TEST(FrameMeshes, RemoveMeshesEmptiesTheListSoThatDeletedContainersAreNeverReached) {
    CFrame f;
    CMeshContainerEx* a = new CMeshContainerEx();
    CMeshContainerEx* b = new CMeshContainerEx();
    ASSERT_EQ(f.AddMesh(a), S_OK);
    ASSERT_EQ(f.AddMesh(b), S_OK);

    f.RemoveMeshes();
    EXPECT_EQ(f.pMeshList, nullptr);
    EXPECT_EQ(a->pOwner, nullptr);
    EXPECT_EQ(a->pFrameNext, nullptr);
    EXPECT_EQ(b->pOwner, nullptr);
    delete a;
    delete b;

    // A board reload: the frame takes a new container, and only that one is in its list.
    CMeshContainerEx fresh;
    EXPECT_EQ(f.AddMesh(&fresh), S_OK);
    EXPECT_EQ(f.pMeshList, &fresh);
    EXPECT_EQ(fresh.pFrameNext, nullptr);
    EXPECT_EQ(f.Render(true), S_OK);  // the address sanitizer sees any reach into a deleted one

    f.RemoveMeshes();
    f.RemoveMeshes();  // on an empty list too
    EXPECT_EQ(f.pMeshList, nullptr);
}

// ---- world transform (no device: nothing is set on one)

class FrameTransform : public ::testing::Test {
protected:
    void SetUp() override { g_pd3dDevice = NULL; }
};

TEST_F(FrameTransform, ANewFrameIsAPureTranslationByItsPosition) {
    CFrame f;
    f.SetPosition(3, -4, 5);
    f.UpdateWorldMatrix();
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, 3, -4, 5);
    EXPECT_EQ(f.matWorld, expected);
    EXPECT_EQ(f.matWorldCopy, f.matWorld);
}

TEST_F(FrameTransform, YawAndRollTurnAVertexAsTheGameExpects) {
    CFrame f;
    f.SetPosition(10, 20, 30);
    f.fYaw = D3DX_PI / 2;
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(10, 20, 29)));

    f.fYaw = 0;
    f.fRoll = D3DX_PI / 2;
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(10, 21, 30)));

    f.fRoll = 0;
    f.fPitch = D3DX_PI / 2;
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(10, 20, 31)));
}

TEST_F(FrameTransform, PreTransformThenRollThenPitchThenYaw) {
    CFrame f;
    // Roll first: (1,0,0) rolls up to (0,1,0), which the yaw leaves alone. Turned the other way
    // round the vertex would end at (0,0,-1).
    f.fRoll = D3DX_PI / 2;
    f.fYaw = D3DX_PI / 2;
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(0, 1, 0)));

    // Pitch before yaw: (0,1,0) pitches to (0,0,1), then the yaw turns it to (1,0,0).
    f.fRoll = 0;
    f.fPitch = D3DX_PI / 2;
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(0, 1, 0)), D3DXVECTOR3(1, 0, 0)));

    // The local matrix comes before every turn: stretched along x, then turned by the yaw.
    f.fPitch = 0;
    D3DXMatrixScaling(&f.matLocal, 2, 1, 1);
    f.SetPosition(0, 0, 5);
    f.UpdateWorldMatrix();
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(0, 0, 3)));
}

CFrame* g_CallbackFrame = NULL;
DWORD g_CallbackValue = 0;
int g_CallbackCount = 0;

void MoveOnUpdate(CFrame* pFrame, DWORD value) {
    g_CallbackFrame = pFrame;
    g_CallbackValue = value;
    g_CallbackCount++;
    pFrame->SetPosition(7, 0, 0);
    pFrame->fYaw = D3DX_PI;
}

TEST_F(FrameTransform, TheCallbackRunsFirstAndItsChangesCountForThisUpdate) {
    CFrame f;
    g_CallbackCount = 0;
    f.dwUserValue = 0xBEEF;
    EXPECT_EQ(f.SetUpdateCallback(MoveOnUpdate), S_OK);
    EXPECT_EQ(f.bUseCallback, 1);
    f.UpdateWorldMatrix();
    EXPECT_EQ(g_CallbackCount, 1);
    EXPECT_EQ(g_CallbackFrame, &f);
    EXPECT_EQ(g_CallbackValue, 0xBEEFu);
    EXPECT_TRUE(VectorNear(Place(f, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(6, 0, 0)));

    EXPECT_EQ(f.SetUpdateCallback(nullptr), E_FAIL);
    EXPECT_EQ(f.bUseCallback, 0);
    EXPECT_EQ(f.pfnUpdateCallback, nullptr);
    f.UpdateWorldMatrix();
    EXPECT_EQ(g_CallbackCount, 1);
}

class RecordingCollision : public CCollisionObject {
public:
    void Destroy() override {}
    void AddTriangle(D3DXVECTOR3, D3DXVECTOR3, D3DXVECTOR3) override {}
    void EndModel() override {}
    void SetWorldMatrix(D3DXMATRIX* pMatrix) override {
        last = pMatrix;
        seen = *pMatrix;
        calls++;
    }
    void Reserved() override {}
    bool Collide(CCollisionObject*, int) override { return false; }

    D3DXMATRIX* last = nullptr;
    D3DXMATRIX seen;
    int calls = 0;
};

TEST_F(FrameTransform, ACollisionObjectIsHandedTheNewMatrixAtEveryUpdate) {
    CFrame f;
    RecordingCollision collision;
    f.UpdateWorldMatrix();  // none yet: nothing to hand over
    f.pCollisionObject = &collision;
    f.SetPosition(1, 2, 3);
    f.UpdateWorldMatrix();
    f.UpdateWorldMatrix();
    EXPECT_EQ(collision.calls, 2);
    EXPECT_EQ(collision.last, &f.matWorld);
    EXPECT_EQ(collision.seen, f.matWorld);
}

TEST_F(FrameTransform, AChildIsPlacedByItsOwnPositionOnly) {
    CFrame parent, child;
    parent.SetPosition(10, 0, 0);
    child.SetPosition(5, 0, 0);
    ASSERT_EQ(parent.AddChild(&child), S_OK);
    EXPECT_EQ(parent.Render(false), S_OK);
    EXPECT_TRUE(VectorNear(Place(child, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(5, 0, 0)));
    EXPECT_TRUE(VectorNear(Place(parent, D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(10, 0, 0)));
}

// ---- with a device: what reaches it

class FrameOnDevice : public scenetest::DeviceTest {};

TEST_F(FrameOnDevice, GetWorldMatrixRebuildsAndSetsTheWorldTransform) {
    CFrame f;
    f.SetPosition(1, 2, 3);
    D3DXMATRIX out;
    f.GetWorldMatrix(&out);
    f.SetPosition(-4, 5, 6);
    f.GetWorldMatrix(&out);
    D3DXMATRIX expected, onDevice;
    D3DXMatrixTranslation(&expected, -4, 5, 6);
    EXPECT_EQ(out, expected);
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &onDevice), D3D_OK);
    EXPECT_EQ(onDevice, expected);
}

TEST_F(FrameOnDevice, AFrameWithoutMeshesSetsItsWorldOnceAndRendersItsChildren) {
    CFrame parent, child;
    parent.SetPosition(1, 0, 0);
    child.SetPosition(0, 2, 0);
    g_CallbackCount = 0;
    parent.SetUpdateCallback(MoveOnUpdate);
    ASSERT_EQ(parent.AddChild(&child), S_OK);

    platform::hooks::StartD3DTrace();
    EXPECT_EQ(parent.Render(true), S_OK);
    std::vector<platform::hooks::D3DCall> calls = platform::hooks::TakeD3DTrace();
    EXPECT_EQ(g_CallbackCount, 1);
    // The parent's world (moved by its callback), then the child's; no second setting.
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "SetTransform");
    EXPECT_EQ(calls[0].args, std::vector<int64_t>{D3DTS_WORLD});
    D3DXMATRIX expected;
    D3DXMatrixRotationY(&expected, D3DX_PI);
    expected._41 = 7;
    ASSERT_EQ(calls[0].values.size(), 16u);
    EXPECT_TRUE(MatrixNear(D3DXMATRIX(calls[0].values.data()), expected));
    EXPECT_EQ(calls[1].name, "SetTransform");
    EXPECT_EQ(D3DXMATRIX(calls[1].values.data()), child.matWorld);
}

}  // namespace
