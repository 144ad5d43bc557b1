// The camera's view matrix and the angle, path and list helpers.
#include "camera.h"
#include "toolbox.h"

#include <gtest/gtest.h>

#include <cmath>

IDirect3DDevice9* g_pd3dDevice = NULL;
CIntList* g_pIntListHead = NULL;

namespace {

TEST(Camera, UpdateMakesTheAxesOrthonormalAndBuildsTheViewMatrix) {
    CCamera camera;
    camera.SetPosition(0, 10, -10);
    camera.SetLook(0, -1, 1);
    camera.SetUp(0, 1, 0);
    camera.Update();
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(camera.m_Look.y, -h, 1e-5);
    EXPECT_NEAR(camera.m_Look.z, h, 1e-5);
    EXPECT_NEAR(camera.m_Right.x, 1, 1e-6);
    EXPECT_NEAR(camera.m_Up.y, h, 1e-5);
    EXPECT_NEAR(camera.m_Up.z, h, 1e-5);
    // Row 3: minus the eye's dot products with the axes.
    EXPECT_NEAR(camera.m_matView._41, 0, 1e-4);
    EXPECT_NEAR(camera.m_matView._42, 0, 1e-4);
    EXPECT_NEAR(camera.m_matView._43, 14.142136f, 1e-3);
    EXPECT_NEAR(camera.m_matView._23, -h, 1e-5);  // look.y in column 2
    EXPECT_EQ(camera.m_matView._44, 1.0f);
    // A point ahead of the eye lies on the view's +z axis.
    D3DXVECTOR3 ahead(0, 0, 0), view;
    D3DXVec3TransformCoord(&view, &ahead, &camera.m_matView);
    EXPECT_NEAR(view.x, 0, 1e-4);
    EXPECT_NEAR(view.y, 0, 1e-4);
    EXPECT_NEAR(view.z, 14.142136f, 1e-3);
}

TEST(Camera, TurnRatesApplyAtEveryUpdate) {
    CCamera camera;
    camera.SetLook(0, 0, 1);
    camera.SetYaw(D3DX_PI / 2);
    camera.Update();
    // A quarter turn about +y takes +z to +x (left-handed rotation).
    EXPECT_NEAR(camera.m_Look.x, 1, 1e-5);
    EXPECT_NEAR(camera.m_Look.z, 0, 1e-5);
    camera.Update();
    EXPECT_NEAR(camera.m_Look.z, -1, 1e-5);
}

TEST(Camera, MoveRatesFollowTheCamerasOwnAxes) {
    CCamera camera;
    camera.Reset();
    camera.SetMove(1, 2, 3);
    camera.Update();
    EXPECT_NEAR(camera.m_Position.x, 1, 1e-6);
    EXPECT_NEAR(camera.m_Position.y, 2, 1e-6);
    EXPECT_NEAR(camera.m_Position.z, 2, 1e-6);  // -1 + 3 along look (0, 0, 1)
    camera.Move(1, 1, 1);
    float x, y, z;
    camera.GetPosition(&x, &y, &z);
    EXPECT_NEAR(x, 2, 1e-6);
    EXPECT_NEAR(y, 3, 1e-6);
    EXPECT_NEAR(z, 3, 1e-6);
}

TEST(Camera, ALookAlongTheUpVectorGivesZeroAxesNotNaN) {
    CCamera camera;
    camera.SetLook(0, 1, 0);
    camera.Update();
    EXPECT_FALSE(std::isnan(camera.m_Right.x));
    EXPECT_EQ(camera.m_Right.x, 0.0f);
    EXPECT_EQ(camera.m_Up.y, 0.0f);
}

TEST(Helpers, QuaternionToEulerIncludingThePole) {
    D3DXVECTOR3 e;
    QuaternionToEuler(&e, D3DXQUATERNION(0, 0, 0, 1));
    EXPECT_NEAR(e.x, 0, 1e-4);
    EXPECT_NEAR(e.y, 0, 1e-4);
    EXPECT_NEAR(e.z, 0, 1e-4);
    QuaternionToEuler(&e, D3DXQUATERNION(0, 0.7071068f, 0, 0.7071068f));
    EXPECT_NEAR(e.x, 0, 1e-3);
    EXPECT_NEAR(e.y, 90, 1e-3);
    EXPECT_NEAR(RadiansToDegrees(3.1415927f), 180.0f, 1e-4);
}

TEST(Helpers, AngleToHeadingFollowsItsTableAndHasNoHeadingOutside) {
    EXPECT_EQ(AngleToHeading(0.0f), 180.0f);
    EXPECT_EQ(AngleToHeading(3.14159f), 180.0f);
    EXPECT_EQ(AngleToHeading(6.2f), 0.0f);
    EXPECT_EQ(AngleToHeading(5.5f), 335.0f);
    EXPECT_EQ(AngleToHeading(-1.57f), 270.0f);
    EXPECT_EQ(AngleToHeading(1.85f), 135.0f);  // bounds are inclusive below
    EXPECT_EQ(AngleToHeading(-6.6f), 0.0f);
    EXPECT_EQ(AngleToHeading(7.5f), 0.0f);
    EXPECT_EQ(AngleToHeading(NAN), 0.0f);
}

TEST(Helpers, Differences) {
    EXPECT_EQ(MagnitudeDifference(-3, 2), -1.0f);
    EXPECT_EQ(MagnitudeDifference(0, -2), 2.0f);
    EXPECT_EQ(MagnitudeDifference(2, 5), 3.0f);
    EXPECT_EQ(MagnitudeDifference(-2, -5), 3.0f);
    EXPECT_EQ(AbsoluteDifference(2, 5), 3.0f);
    EXPECT_EQ(AbsoluteDifference(5, 2), 3.0f);
}

TEST(Helpers, PathPoints) {
    CPathSegment s;
    s.vStart = D3DXVECTOR3(0, 0, 0);
    s.vEnd = D3DXVECTOR3(8, 0, 0);
    s.vControl1 = D3DXVECTOR3(0, 8, 0);
    s.vControl2 = D3DXVECTOR3(8, 8, 0);
    D3DXVECTOR3 p;
    LinearPathPoint(s, 0.25f, &p);
    EXPECT_EQ(p.x, 2.0f);
    LinearPathPoint(s, 1.5f, &p);
    EXPECT_EQ(p.x, 12.0f);
    BezierPathPoint(s, 0.0f, &p);
    EXPECT_EQ(p, s.vStart);
    BezierPathPoint(s, 1.0f, &p);
    EXPECT_EQ(p, s.vEnd);
    BezierPathPoint(s, 0.5f, &p);
    // (start + 3 c1 + 3 c2 + end) / 8
    EXPECT_NEAR(p.x, (0 + 0 + 24 + 8) / 8.0f, 1e-5);
    EXPECT_NEAR(p.y, (0 + 24 + 24 + 0) / 8.0f, 1e-5);
}

TEST(IntList, AppendsBehindTheHead) {
    CIntList head = {0, NULL};
    g_pIntListHead = &head;
    head.Append(0);  // a zero stays "empty"
    EXPECT_EQ(head.nValue, 0);
    head.Append(5);
    head.Append(7);
    EXPECT_EQ(head.nValue, 5);
    ASSERT_NE(head.GetNext(), nullptr);
    EXPECT_EQ(head.GetNext()->nValue, 7);
    EXPECT_EQ(head.GetNext()->GetNext(), nullptr);
    delete head.GetNext();
    g_pIntListHead = NULL;
}

}  // namespace
