// The scene node's box corners and its five geometric tests.
#include <cmath>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"

using scenetest::VectorNear;

namespace {

TEST(BoxCorners, EightCornersAroundThePositionInTheirOrder) {
    CFrame f;
    f.SetPosition(10, 0, 0);
    f.fWidth = 2;
    f.fHeight = 4;
    f.fDepth = 6;
    f.ComputeBoxCorners();
    const D3DXVECTOR3 expected[8] = {{11, 2, -3}, {11, 2, 3}, {11, -2, 3}, {11, -2, -3},
                                     {9, 2, -3},  {9, 2, 3},  {9, -2, 3},  {9, -2, -3}};
    for (int i = 0; i < 8; i++) EXPECT_EQ(f.RigidBody.vCorners[i], expected[i]) << "corner " << i;
}

TEST(BoundsWithoutMesh, NothingIsComputedAndNoNumberIsTaken) {
    CFrame f;
    CMeshContainerEx empty;
    f.fWidth = 3;
    int before = g_NextFrameId;
    f.ComputeBounds(&empty);
    f.ComputeBounds(nullptr);
    f.ComputeBoundingSphere(&empty);
    f.ComputeBoundingSphere(nullptr);
    EXPECT_EQ(g_NextFrameId, before);
    EXPECT_EQ(f.fWidth, 3.0f);
    EXPECT_EQ(f.nId, 0);
    EXPECT_EQ(f.ScaleMesh(&empty, 2.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(f.ScaleMesh(nullptr, 2.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(f.TranslateMesh(&empty, 1, 1, 1), D3DERR_INVALIDCALL);
}

class GeometricTests : public ::testing::Test {
protected:
    CFrame f;
};

TEST_F(GeometricTests, PointInBoxIsStrictOnEveryFace) {
    D3DXVECTOR3 min(-1, -2, -3), max(1, 2, 3);
    D3DXVECTOR3 inside(0.5f, -1.5f, 2.9f);
    EXPECT_TRUE(f.PointInBox(&inside, &min, &max));
    const D3DXVECTOR3 onFaces[] = {{1, 0, 0}, {-1, 0, 0}, {0, 2, 0}, {0, -2, 0}, {0, 0, 3}, {0, 0, -3}};
    for (D3DXVECTOR3 p : onFaces) EXPECT_FALSE(f.PointInBox(&p, &min, &max));
    const D3DXVECTOR3 outside[] = {{5, 0, 0}, {0, -5, 0}, {0, 0, 5}, {NAN, 0, 0}};
    for (D3DXVECTOR3 p : outside) EXPECT_FALSE(f.PointInBox(&p, &min, &max));
}

TEST_F(GeometricTests, PointInSphereExcludesTheSurface) {
    D3DXVECTOR3 centre(1, 1, 1);
    D3DXVECTOR3 p(1, 1, 3);
    EXPECT_FALSE(f.PointInSphere(&p, centre, 2.0f));
    EXPECT_TRUE(f.PointInSphere(&p, centre, 2.01f));
    D3DXVECTOR3 c = centre;
    EXPECT_TRUE(f.PointInSphere(&c, centre, 0.1f));
    EXPECT_FALSE(f.PointInSphere(&c, centre, 0.0f));
}

TEST_F(GeometricTests, SpheresThatOnlyTouchDoNotOverlap) {
    D3DXVECTOR3 a(0, 0, 0);
    EXPECT_FALSE(f.SpheresOverlap(&a, 1.0f, D3DXVECTOR3(2, 0, 0), 1.0f));
    EXPECT_TRUE(f.SpheresOverlap(&a, 1.0f, D3DXVECTOR3(1.9f, 0, 0), 1.0f));
    EXPECT_TRUE(f.SpheresOverlap(&a, 0.5f, D3DXVECTOR3(0, 0, 2.4f), 2.0f));
    EXPECT_FALSE(f.SpheresOverlap(&a, 0.5f, D3DXVECTOR3(0, 0, 2.6f), 2.0f));
}

TEST_F(GeometricTests, RayAndSphere) {
    const D3DXVECTOR3 origin(0, 0, 0), along(1, 0, 0);
    EXPECT_TRUE(f.RayHitsSphere(origin, along, D3DXVECTOR3(5, 0, 0), 1.0f));
    EXPECT_FALSE(f.RayHitsSphere(origin, along, D3DXVECTOR3(-5, 0, 0), 1.0f));  // behind
    EXPECT_FALSE(f.RayHitsSphere(D3DXVECTOR3(5.5f, 0, 0), along, D3DXVECTOR3(5, 0, 0), 1.0f));  // from inside
    EXPECT_TRUE(f.RayHitsSphere(D3DXVECTOR3(0, 1, 0), along, D3DXVECTOR3(5, 0, 0), 1.0f));  // grazing
    EXPECT_FALSE(f.RayHitsSphere(D3DXVECTOR3(0, 1.01f, 0), along, D3DXVECTOR3(5, 0, 0), 1.0f));
    EXPECT_TRUE(f.RayHitsSphere(D3DXVECTOR3(0, 0.99f, 0), along, D3DXVECTOR3(5, 0, 0), 1.0f));
}

TEST_F(GeometricTests, RayAndTriangle) {
    D3DXVECTOR3 p(0, 0, 0), q(1, 0, 0), r(0, 1, 0);
    D3DXVECTOR3 origin(0.25f, 0.25f, 1), down(0, 0, -1), up(0, 0, 1);
    EXPECT_TRUE(f.RayHitsTriangle(&origin, &down, &p, &q, &r));
    EXPECT_TRUE(f.RayHitsTriangle(&origin, &up, &p, &q, &r));  // the line counts, not the ray
    D3DXVECTOR3 beside(1, 1, 1);
    EXPECT_FALSE(f.RayHitsTriangle(&beside, &down, &p, &q, &r));
    D3DXVECTOR3 inPlane(1, 0, 0), level(0.25f, 0.25f, 0);
    EXPECT_FALSE(f.RayHitsTriangle(&level, &inPlane, &p, &q, &r));
    D3DXVECTOR3 atCorner(0, 0, 2);
    EXPECT_TRUE(f.RayHitsTriangle(&atCorner, &down, &p, &q, &r));  // u = v = 0
    D3DXVECTOR3 pastEdge(0.6f, 0.6f, 1);
    EXPECT_FALSE(f.RayHitsTriangle(&pastEdge, &down, &p, &q, &r));
    D3DXVECTOR3 slant(-0.25f, 0, -1), fromSide(0.5f, 0.25f, 1);
    EXPECT_TRUE(f.RayHitsTriangle(&fromSide, &slant, &p, &q, &r));
    D3DXVECTOR3 degenerate = q;
    EXPECT_FALSE(f.RayHitsTriangle(&origin, &down, &p, &q, &degenerate));
}

}  // namespace
