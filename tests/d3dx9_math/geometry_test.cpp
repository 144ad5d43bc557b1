// D3DX vectors, planes, projection to the screen and the ray tests.

#include <cmath>

#include "math_expect.h"

namespace {

bool Finite(const D3DXVECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

TEST(D3DXVector, ArithmeticFunctions) {
    const D3DXVECTOR3 a(3, 4, 12), b(1, -2, 0.5f);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a), 13.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&a), 169.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 3 - 8 + 6);
    D3DXVECTOR3 r;
    EXPECT_EQ(D3DXVec3Add(&r, &a, &b), &r);
    EXPECT_EQ(r, D3DXVECTOR3(4, 2, 12.5f));
    D3DXVec3Subtract(&r, &a, &b);
    EXPECT_EQ(r, D3DXVECTOR3(2, 6, 11.5f));
    D3DXVec3Scale(&r, &b, -2);
    EXPECT_EQ(r, D3DXVECTOR3(-2, 4, -1));
    D3DXVec3Lerp(&r, &a, &b, 0.5f);
    EXPECT_EQ(r, D3DXVECTOR3(2, 1, 6.25f));
    D3DXVec3Minimize(&r, &a, &b);
    EXPECT_EQ(r, D3DXVECTOR3(1, -2, 0.5f));
    D3DXVec3Maximize(&r, &a, &b);
    EXPECT_EQ(r, D3DXVECTOR3(3, 4, 12));
    const D3DXVECTOR3 o(0, 0, 0), x(1, 0, 0), y(0, 1, 0);
    D3DXVec3BaryCentric(&r, &o, &x, &y, 0.25f, 0.5f);
    EXPECT_EQ(r, D3DXVECTOR3(0.25f, 0.5f, 0));

    // x cross y = z; y cross x = -z; the output may be an input.
    D3DXVec3Cross(&r, &x, &y);
    EXPECT_EQ(r, D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 c = y;
    D3DXVec3Cross(&c, &c, &x);
    EXPECT_EQ(c, D3DXVECTOR3(0, 0, -1));
    c = D3DXVECTOR3(2, 3, 4);
    D3DXVec3Cross(&c, &c, &c);
    EXPECT_EQ(c, D3DXVECTOR3(0, 0, 0));  // a vector crossed with itself

    // 2D and 4D.
    const D3DXVECTOR2 p(3, 4), q(-1, 2);
    EXPECT_FLOAT_EQ(D3DXVec2Length(&p), 5);
    EXPECT_FLOAT_EQ(D3DXVec2LengthSq(&p), 25);
    EXPECT_FLOAT_EQ(D3DXVec2Dot(&p, &q), 5);
    EXPECT_FLOAT_EQ(D3DXVec2CCW(&p, &q), 10);
    D3DXVECTOR2 r2;
    EXPECT_EQ(*D3DXVec2Add(&r2, &p, &q), D3DXVECTOR2(2, 6));
    EXPECT_EQ(*D3DXVec2Subtract(&r2, &p, &q), D3DXVECTOR2(4, 2));
    EXPECT_EQ(*D3DXVec2Scale(&r2, &p, 2), D3DXVECTOR2(6, 8));
    EXPECT_EQ(*D3DXVec2Lerp(&r2, &p, &q, 0.5f), D3DXVECTOR2(1, 3));
    EXPECT_EQ(*D3DXVec2Minimize(&r2, &p, &q), D3DXVECTOR2(-1, 2));
    EXPECT_EQ(*D3DXVec2Maximize(&r2, &p, &q), D3DXVECTOR2(3, 4));
    const D3DXVECTOR4 u(1, 2, 2, 4), v(0, -1, 3, 1);
    EXPECT_FLOAT_EQ(D3DXVec4Length(&u), 5);
    EXPECT_FLOAT_EQ(D3DXVec4LengthSq(&u), 25);
    EXPECT_FLOAT_EQ(D3DXVec4Dot(&u, &v), 8);
    D3DXVECTOR4 r4;
    EXPECT_EQ(*D3DXVec4Add(&r4, &u, &v), D3DXVECTOR4(1, 1, 5, 5));
    EXPECT_EQ(*D3DXVec4Subtract(&r4, &u, &v), D3DXVECTOR4(1, 3, -1, 3));
    EXPECT_EQ(*D3DXVec4Scale(&r4, &u, 0.5f), D3DXVECTOR4(0.5f, 1, 1, 2));
    EXPECT_EQ(*D3DXVec4Lerp(&r4, &u, &v, 0.5f), D3DXVECTOR4(0.5f, 0.5f, 2.5f, 2.5f));
    EXPECT_EQ(*D3DXVec4Minimize(&r4, &u, &v), D3DXVECTOR4(0, -1, 2, 1));
    EXPECT_EQ(*D3DXVec4Maximize(&r4, &u, &v), D3DXVECTOR4(1, 2, 3, 4));
}

TEST(D3DXVector, NormalizeIncludingZero) {
    D3DXVECTOR3 r(9, 9, 9);
    const D3DXVECTOR3 v(3, 0, -4);
    EXPECT_EQ(D3DXVec3Normalize(&r, &v), &r);
    ExpectVec3(r, 0.6f, 0, -0.8f);
    r = D3DXVECTOR3(0, 5, 0);
    D3DXVec3Normalize(&r, &r);
    EXPECT_EQ(r, D3DXVECTOR3(0, 1, 0));
    // Zero stays zero, with no NaN; so does a vector whose squared length underflows.
    const D3DXVECTOR3 zero(0, 0, 0), minute(1e-30f, 0, 0);
    r = D3DXVECTOR3(9, 9, 9);
    D3DXVec3Normalize(&r, &zero);
    EXPECT_EQ(r, zero);
    D3DXVec3Normalize(&r, &minute);
    EXPECT_TRUE(Finite(r));
    // Tiny but representable lengths still normalise.
    const D3DXVECTOR3 small(0, 3e-10f, 4e-10f);
    D3DXVec3Normalize(&r, &small);
    ExpectVec3(r, 0, 0.6f, 0.8f);

    D3DXVECTOR2 r2(9, 9);
    const D3DXVECTOR2 zero2(0, 0), v2(0, -2);
    D3DXVec2Normalize(&r2, &zero2);
    EXPECT_EQ(r2, zero2);
    D3DXVec2Normalize(&r2, &v2);
    EXPECT_EQ(r2, D3DXVECTOR2(0, -1));
    D3DXVECTOR4 r4(9, 9, 9, 9);
    const D3DXVECTOR4 zero4(0, 0, 0, 0), v4(2, 0, 0, 0);
    D3DXVec4Normalize(&r4, &zero4);
    EXPECT_EQ(r4, zero4);
    D3DXVec4Normalize(&r4, &v4);
    EXPECT_EQ(r4, D3DXVECTOR4(1, 0, 0, 0));
}

TEST(D3DXPlane, BuildersAndTests) {
    // Normal (V2 - V1) x (V3 - V1), normalised: (2, 0, 0) x (0, 3, 0) points along +z.
    const D3DXVECTOR3 a(0, 0, 5), b(2, 0, 5), c(0, 3, 5);
    D3DXPLANE p;
    EXPECT_EQ(D3DXPlaneFromPoints(&p, &a, &b, &c), &p);
    EXPECT_NEAR(p.a, 0, kTol);
    EXPECT_NEAR(p.b, 0, kTol);
    EXPECT_NEAR(p.c, 1, kTol);
    EXPECT_NEAR(p.d, -5, kTol);
    const D3DXVECTOR3 above(4, 4, 7);
    EXPECT_NEAR(D3DXPlaneDotCoord(&p, &above), 2, kTol);
    EXPECT_NEAR(D3DXPlaneDotNormal(&p, &above), 7, kTol);
    const D3DXVECTOR4 h(4, 4, 7, 0);
    EXPECT_NEAR(D3DXPlaneDot(&p, &h), 7, kTol);

    const D3DXVECTOR3 point(1, 2, 3), normal(0, 2, 0);
    D3DXPlaneFromPointNormal(&p, &point, &normal);
    EXPECT_EQ(p, D3DXPLANE(0, 2, 0, -4));
    D3DXPlaneNormalize(&p, &p);
    EXPECT_EQ(p, D3DXPLANE(0, 1, 0, -2));
    const D3DXPLANE flat(0, 0, 0, 3);
    D3DXPlaneNormalize(&p, &flat);
    EXPECT_EQ(p, D3DXPLANE(0, 0, 0, 0));
    D3DXPlaneScale(&p, &flat, 2);
    EXPECT_EQ(p, D3DXPLANE(0, 0, 0, 6));

    // The line through the two points, not just the segment between them.
    const D3DXPLANE z5(0, 0, 1, -5);
    const D3DXVECTOR3 o(0, 0, 0), d(1, 1, 1), sideways(1, 1, 0);
    D3DXVECTOR3 hit(9, 9, 9);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &z5, &o, &d), &hit);
    ExpectVec3(hit, 5, 5, 5);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &z5, &o, &sideways), nullptr);
    ExpectVec3(hit, 5, 5, 5);

    // Moving a plane by a translation takes the inverse transpose.
    D3DXMATRIX t, it;
    D3DXMatrixTranslation(&t, 0, 0, 2);
    D3DXMatrixInverse(&it, nullptr, &t);
    D3DXMatrixTranspose(&it, &it);
    D3DXPlaneTransform(&p, &z5, &it);
    EXPECT_EQ(p, D3DXPLANE(0, 0, 1, -7));
}

TEST(D3DXVector, ProjectAndUnproject) {
    const D3DVIEWPORT9 vp = {10, 20, 800, 600, 0.0f, 1.0f};
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    D3DXVECTOR3 s;
    // Normalised device coordinates to pixels: y flips.
    const D3DXVECTOR3 centre(0, 0, 0.5f), topRight(1, 1, 0), bottomLeft(-1, -1, 1);
    EXPECT_EQ(D3DXVec3Project(&s, &centre, &vp, &id, &id, &id), &s);
    ExpectVec3(s, 410, 320, 0.5f);
    D3DXVec3Project(&s, &topRight, &vp, nullptr, nullptr, nullptr);
    ExpectVec3(s, 810, 20, 0);
    D3DXVec3Project(&s, &bottomLeft, &vp, &id, nullptr, &id);
    ExpectVec3(s, 10, 620, 1);
    const D3DVIEWPORT9 deep = {0, 0, 100, 100, 0.5f, 1.0f};
    D3DXVec3Project(&s, &centre, &deep, nullptr, nullptr, nullptr);
    EXPECT_NEAR(s.z, 0.75f, kTol);

    // Through a camera ten units back with a 90 degree square view.
    D3DXMATRIX proj, view, world;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 1.0f, 1.0f, 100.0f);
    const D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixTranslation(&world, 10, 0, 0);
    const D3DXVECTOR3 origin(0, 0, 0);
    D3DXVec3Project(&s, &origin, &vp, &proj, &view, nullptr);
    ExpectVec3(s, 410, 320, 900.0f / 990.0f, 1e-3f);  // depth (10 * 100/99 - 100/99) / 10
    D3DXVec3Project(&s, &origin, &vp, &proj, &view, &world);  // world moves it to the right edge
    ExpectVec3(s, 810, 320, 900.0f / 990.0f, 1e-3f);
    D3DXVec3Project(&s, &origin, nullptr, &proj, &view, &world);
    ExpectVec3(s, 1, 0, 900.0f / 990.0f, 1e-5f);

    D3DXVECTOR3 back;
    EXPECT_EQ(D3DXVec3Unproject(&back, &s, nullptr, &proj, &view, &world), &back);
    ExpectVec3(back, 0, 0, 0, 1e-3f);
    const D3DXVECTOR3 pixel(410, 320, 900.0f / 990.0f);
    D3DXVec3Unproject(&back, &pixel, &vp, &proj, &view, nullptr);
    ExpectVec3(back, 0, 0, 0, 1e-3f);
    const D3DXVECTOR3 nearCorner(10, 20, 0);  // top-left pixel on the near plane: (-1, 1, -9)
    D3DXVec3Unproject(&back, &nearCorner, &vp, &proj, &view, nullptr);
    ExpectVec3(back, -1, 1, -9, 1e-3f);

    // A projection that flattens everything cannot be undone.
    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 1, 0);
    back = D3DXVECTOR3(7, 7, 7);
    EXPECT_EQ(D3DXVec3Unproject(&back, &pixel, &vp, &flat, nullptr, nullptr), nullptr);
    EXPECT_EQ(back, D3DXVECTOR3(7, 7, 7));
}

TEST(D3DXRay, IntersectTri) {
    const D3DXVECTOR3 p0(0, 0, 0), p1(1, 0, 0), p2(0, 1, 0);
    float u = -1, v = -1, dist = -1;
    // Straight on from the front: U weighs P1, V weighs P2.
    const D3DXVECTOR3 from(0.25f, 0.5f, -2), fwd(0, 0, 1), fwd2(0, 0, 2), back(0, 0, -1);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &from, &fwd, &u, &v, &dist));
    EXPECT_NEAR(u, 0.25f, kTol);
    EXPECT_NEAR(v, 0.5f, kTol);
    EXPECT_NEAR(dist, 2.0f, kTol);
    // The distance is in units of the direction's length.
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &from, &fwd2, &u, &v, &dist));
    EXPECT_NEAR(dist, 1.0f, kTol);
    // Slanted: from (0, 0, -1) toward (0.5, 0.25, 0).
    const D3DXVECTOR3 low(0, 0, -1), slant(0.5f, 0.25f, 1);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &low, &slant, &u, &v, &dist));
    EXPECT_NEAR(u, 0.5f, kTol);
    EXPECT_NEAR(v, 0.25f, kTol);
    EXPECT_NEAR(dist, 1.0f, kTol);
    // Back faces count too.
    const D3DXVECTOR3 behind(0.25f, 0.25f, 2);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &behind, &back, &u, &v, &dist));
    EXPECT_NEAR(dist, 2.0f, kTol);
    // A triangle behind the origin is no hit.
    u = v = dist = -1;
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &behind, &fwd, &u, &v, &dist));
    // Outside the triangle (u + v > 1), and beside it (u < 0).
    const D3DXVECTOR3 outside(0.75f, 0.75f, -2), beside(-0.1f, 0.5f, -2);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &outside, &fwd, &u, &v, &dist));
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &beside, &fwd, &u, &v, &dist));
    // A ray in the triangle's plane.
    const D3DXVECTOR3 inPlane(-1, 0.25f, 0), along(1, 0, 0);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &inPlane, &along, &u, &v, &dist));
    EXPECT_EQ(u, -1);  // misses leave the outputs alone
    EXPECT_EQ(v, -1);
    EXPECT_EQ(dist, -1);
    // Outputs are optional.
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &from, &fwd, nullptr, nullptr, nullptr));
}

TEST(D3DXRay, BoundProbes) {
    const D3DXVECTOR3 lo(-1, -1, -1), hi(1, 1, 1);
    const D3DXVECTOR3 left(-5, 0, 0), leftHigh(-5, 3, 0), corner(-5, -5, 0), inside(0.5f, 0, 0);
    const D3DXVECTOR3 px(1, 0, 0), nx(-1, 0, 0), diag(1, 1, 0), shallow(1, 0.5f, 0), py(0, 1, 0);
    EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &left, &px));
    EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &left, &nx));  // box behind
    EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &leftHigh, &px));
    EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &corner, &diag));
    EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &corner, &shallow));  // at x = -1, y is -3
    EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &inside, &nx));
    EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &inside, &py));
    EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &leftHigh, &py));  // parallel to x, outside the slab

    const D3DXVECTOR3 centre(0, 0, 10), o(0, 0, 0);
    const D3DXVECTOR3 pz(0, 0, 1), nz(0, 0, -1), nearMiss(0, 0.11f, 1), nearHit(0, 0.09f, 1);
    EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 1, &o, &pz));
    EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 1, &o, &nz));  // sphere behind
    EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 1, &o, &py));
    // Closest approach 10 * 0.09 / |dir| = 0.896 and 10 * 0.11 / |dir| = 1.093.
    EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 1, &o, &nearHit));
    EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 1, &o, &nearMiss));
    EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 11, &o, &nz));  // origin inside
}
