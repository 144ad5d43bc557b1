// Bounds, mass and inertia of a frame computed from a mesh's vertices.
#include <cmath>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

using scenetest::LockFailingMesh;
using scenetest::MakeMesh;
using scenetest::MatrixNear;
using scenetest::VectorNear;

namespace {

class Bounds : public scenetest::DeviceTest {
protected:
    CMeshContainerEx* Box(const D3DXVECTOR3& min, const D3DXVECTOR3& max, DWORD fvf = scenetest::kGameFVF) {
        std::vector<D3DXVECTOR3> p;
        std::vector<DWORD> idx;
        scenetest::BoxGeometry(min, max, &p, &idx);
        CMeshContainerEx* c = new CMeshContainerEx();
        c->MeshData.pMesh = MakeMesh(device_, p, idx, {}, fvf);
        return c;
    }
};

D3DXMATRIX Diagonal(float a, float b, float c, float d) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._11 = a;
    m._22 = b;
    m._33 = c;
    m._44 = d;
    return m;
}

TEST_F(Bounds, TheBoxOfExactlyEightVertices) {
    CFrame f;
    f.SetPosition(100, 200, 300);  // bounds stay in the mesh's own space
    CMeshContainerEx* c = Box(D3DXVECTOR3(-0.5f, -1, -1.5f), D3DXVECTOR3(0.5f, 1, 1.5f));
    ASSERT_EQ(c->MeshData.pMesh->GetNumVertices(), 8u);
    f.ComputeBounds(c);

    EXPECT_EQ(f.vBoxMin, D3DXVECTOR3(-0.5f, -1, -1.5f));
    EXPECT_EQ(f.vBoxMax, D3DXVECTOR3(0.5f, 1, 1.5f));
    EXPECT_FLOAT_EQ(f.fWidth, 1);
    EXPECT_FLOAT_EQ(f.fHeight, 2);
    EXPECT_FLOAT_EQ(f.fDepth, 3);
    EXPECT_FLOAT_EQ(f.RigidBody.fMass, 600);
    EXPECT_FLOAT_EQ(f.fInertiaWH, 250);
    EXPECT_FLOAT_EQ(f.fInertiaHD, 650);
    EXPECT_FLOAT_EQ(f.fInertiaWD, 500);
    EXPECT_TRUE(VectorNear(f.vSphereCentre, D3DXVECTOR3(0, 0, 0)));
    const float s = 1.0f / std::sqrt(3.5f);
    EXPECT_TRUE(MatrixNear(f.matNormalize, Diagonal(s, s, s, 1)));
    EXPECT_FLOAT_EQ(f.RigidBody.fRadius, 1.5f);  // half the largest extent, not the sphere's
    // The inertia tensor has the identity's fourth row and column, so its inverse exists.
    EXPECT_TRUE(MatrixNear(f.RigidBody.matInertia, Diagonal(250, 650, 500, 1)));
    EXPECT_TRUE(MatrixNear(f.RigidBody.matInverseInertia, Diagonal(1 / 250.0f, 1 / 650.0f, 1 / 500.0f, 1), 1e-7f));
    delete c;
}

TEST_F(Bounds, TheSphereIsMovedToTheOriginAndScaledToUnitSize) {
    CFrame f;
    CMeshContainerEx* c = Box(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(3, 4, 5));
    f.ComputeBounds(c);
    EXPECT_TRUE(VectorNear(f.vSphereCentre, D3DXVECTOR3(2, 3, 4)));
    const float r = std::sqrt(3.0f);
    D3DXVECTOR3 corner(3, 4, 5), centre(2, 3, 4), out;
    D3DXVec3TransformCoord(&out, &corner, &f.matNormalize);
    EXPECT_NEAR(D3DXVec3Length(&out), 1.0f, 1e-5f);
    D3DXVec3TransformCoord(&out, &centre, &f.matNormalize);
    EXPECT_TRUE(VectorNear(out, D3DXVECTOR3(0, 0, 0)));
    EXPECT_NEAR(f.matNormalize._11, 1 / r, 1e-6f);
    delete c;
}

TEST_F(Bounds, ACubeTiesEveryExtent) {
    CFrame f;
    CMeshContainerEx* c = Box(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1));
    f.ComputeBounds(c);
    EXPECT_FLOAT_EQ(f.RigidBody.fRadius, 1);
    delete c;
}

TEST_F(Bounds, TheWidestExtentGivesTheRadius) {
    CFrame f;
    CMeshContainerEx* wide = Box(D3DXVECTOR3(-4, 0, 0), D3DXVECTOR3(4, 1, 2));
    f.ComputeBounds(wide);
    EXPECT_FLOAT_EQ(f.RigidBody.fRadius, 4);
    CMeshContainerEx* tall = Box(D3DXVECTOR3(0, -3, 0), D3DXVECTOR3(1, 3, 2));
    f.ComputeBounds(tall);
    EXPECT_FLOAT_EQ(f.RigidBody.fRadius, 3);
    delete wide;
    delete tall;
}

TEST_F(Bounds, FramesAreNumberedInTheOrderTheirBoundsAreComputed) {
    CFrame a, b;
    CMeshContainerEx* c = Box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    int first = g_NextFrameId;
    a.ComputeBounds(c);
    b.ComputeBounds(c);
    EXPECT_EQ(a.nId, first);
    EXPECT_EQ(b.nId, first + 1);
    a.ComputeBounds(c);
    EXPECT_EQ(a.nId, first + 2);
    EXPECT_EQ(g_NextFrameId, first + 3);
    delete c;
}

TEST_F(Bounds, VerticesThatAllCoincideKeepAFiniteNormalisingMatrix) {
    CFrame f;
    CMeshContainerEx* c = new CMeshContainerEx();
    c->MeshData.pMesh = MakeMesh(device_, {{2, 3, 4}, {2, 3, 4}, {2, 3, 4}}, {0, 1, 2});
    f.ComputeBounds(c);
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, -2, -3, -4);
    EXPECT_TRUE(MatrixNear(f.matNormalize, expected));
    EXPECT_EQ(f.fWidth, 0.0f);
    EXPECT_EQ(f.RigidBody.fRadius, 0.0f);
    delete c;
}

TEST_F(Bounds, VerticesOfAnotherSizeAreReadAtTheirStride) {
    CFrame f;
    CMeshContainerEx* c = Box(D3DXVECTOR3(-1, -2, -3), D3DXVECTOR3(1, 2, 3), D3DFVF_XYZ | D3DFVF_DIFFUSE);
    f.ComputeBounds(c);
    EXPECT_EQ(f.vBoxMax, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(f.vBoxMin, D3DXVECTOR3(-1, -2, -3));
    delete c;
}

TEST_F(Bounds, TheSphereAloneSetsOnlyTheCentreAndTheRadius) {
    CFrame f;
    CMeshContainerEx* c = Box(D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(3, 3, 3));
    int before = g_NextFrameId;
    f.ComputeBoundingSphere(c);
    EXPECT_TRUE(VectorNear(f.vSphereCentre, D3DXVECTOR3(2, 2, 2)));
    EXPECT_NEAR(f.RigidBody.fRadius, std::sqrt(3.0f), 1e-5f);
    EXPECT_EQ(f.fWidth, 0.0f);
    EXPECT_EQ(f.vBoxMax, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(f.matNormalize, CFrame().matNormalize);
    EXPECT_EQ(g_NextFrameId, before);
    delete c;
}

TEST_F(Bounds, AVertexBufferThatCannotBeLockedComputesNothing) {
    CFrame f;
    std::vector<D3DXVECTOR3> p;
    std::vector<DWORD> idx;
    scenetest::BoxGeometry(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1), &p, &idx);
    LockFailingMesh* mesh = new LockFailingMesh(MakeMesh(device_, p, idx));
    mesh->failVertexLock = true;
    CMeshContainerEx* c = new CMeshContainerEx();
    c->MeshData.pMesh = mesh;
    int before = g_NextFrameId;
    f.ComputeBounds(c);
    f.ComputeBoundingSphere(c);
    EXPECT_EQ(g_NextFrameId, before);
    EXPECT_EQ(f.fWidth, 0.0f);
    EXPECT_EQ(f.RigidBody.fMass, 0.0f);
    EXPECT_EQ(f.RigidBody.fRadius, 0.0f);
    EXPECT_EQ(f.vBoxMax, D3DXVECTOR3(0, 0, 0));
    mesh->failVertexLock = false;
    f.ComputeBounds(c);
    EXPECT_EQ(mesh->vertexLocks, 0);
    EXPECT_FLOAT_EQ(f.fWidth, 2);
    delete c;
}

}  // namespace
