// D3DX matrices: products, inverses, rotations and the camera and projection builders.
// Expected values come from Direct3D's row-vector, left-handed definitions worked out by hand.

#include <cmath>

#include "math_expect.h"

namespace {

const D3DXVECTOR3 kX(1, 0, 0), kY(0, 1, 0), kZ(0, 0, 1);

D3DXMATRIX Sentinel() {
    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = 7.0f + static_cast<float>(i);
    return m;
}

}  // namespace

TEST(D3DXMatrix, MultiplicationOrderAndAliasing) {
    D3DXMATRIX s, t, st, ts;
    D3DXMatrixScaling(&s, 2, 2, 2);
    D3DXMatrixTranslation(&t, 1, 2, 3);
    ExpectMatrix(t, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});  // translation in row 4
    D3DXMatrixMultiply(&st, &s, &t);
    D3DXMatrixMultiply(&ts, &t, &s);
    // S * T scales first: (1,1,1) -> (2,2,2) -> (3,4,5). T * S translates first: (2,3,4) -> (4,6,8).
    ExpectVec3(Apply(st, D3DXVECTOR3(1, 1, 1)), 3, 4, 5);
    ExpectVec3(Apply(ts, D3DXVECTOR3(1, 1, 1)), 4, 6, 8);
    EXPECT_EQ(st, s * t);

    // Output aliasing either input.
    const D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const D3DXMATRIX swap(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0);
    D3DXMATRIX left = a, right = swap;
    EXPECT_EQ(D3DXMatrixMultiply(&left, &left, &swap), &left);
    ExpectMatrix(left, {2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 12, 11, 14, 13, 16, 15});
    D3DXMatrixMultiply(&right, &a, &right);
    EXPECT_EQ(right, left);
    D3DXMATRIX sq = swap;
    D3DXMatrixMultiply(&sq, &sq, &sq);  // a permutation of order 2
    EXPECT_TRUE(D3DXMatrixIsIdentity(&sq));

    D3DXMATRIX tr = a;
    D3DXMatrixTranspose(&tr, &tr);
    ExpectMatrix(tr, {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16});
    D3DXMATRIX mt;
    D3DXMatrixMultiplyTranspose(&mt, &a, &swap);
    ExpectMatrix(mt, {2, 6, 10, 14, 1, 5, 9, 13, 4, 8, 12, 16, 3, 7, 11, 15});

    D3DXMATRIX id = Sentinel();
    EXPECT_FALSE(D3DXMatrixIsIdentity(&id));
    D3DXMatrixIdentity(&id);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&id));
    id._42 = 1e-3f;
    EXPECT_FALSE(D3DXMatrixIsIdentity(&id));
}

TEST(D3DXMatrix, InverseAndDeterminant) {
    // Shears with integer inverses.
    const D3DXMATRIX shear(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 3, 0, 0, 0, 1);
    D3DXMATRIX inv;
    float det = 0.0f;
    EXPECT_EQ(D3DXMatrixInverse(&inv, &det, &shear), &inv);
    EXPECT_FLOAT_EQ(det, 1.0f);
    ExpectMatrix(inv, {1, -2, 0, 0, 0, 1, 0, 0, 0, 0, 1, -3, 0, 0, 0, 1});

    // (S * T)^-1 = T^-1 * S^-1.
    const D3DXMATRIX st(2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 5, 0, 1, 2, 3, 1);
    D3DXMATRIX in = st;
    EXPECT_EQ(D3DXMatrixInverse(&in, &det, &in), &in);  // in place
    EXPECT_FLOAT_EQ(det, 40.0f);
    ExpectMatrix(in, {0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.2f, 0, -0.5f, -0.5f, -0.6f, 1});

    // A dense matrix times its inverse is the identity.
    const D3DXMATRIX dense(2, 1, 1, 3, 1, 3, 1, 2, 1, 1, 4, 1, 1, 2, 2, 5);
    ASSERT_NE(D3DXMatrixInverse(&inv, nullptr, &dense), nullptr);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    ExpectMatrixNear(dense * inv, id);
    ExpectMatrixNear(inv * dense, id);

    // Determinants: diagonal product; a row swap flips the sign.
    const D3DXMATRIX diag(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 5);
    const D3DXMATRIX swapped(0, 3, 0, 0, 2, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 5);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&diag), 120.0f);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&swapped), -120.0f);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&dense), 58.0f);  // along the first row: 2*39 - 1*10 + 1*(-7) - 3*1

    // Singular matrices return NULL and leave the output as it was.
    const D3DXMATRIX rows(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);  // rows in progression
    const D3DXMATRIX inertia(3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0);     // fourth row/column zero
    for (const D3DXMATRIX* m : {&rows, &inertia}) {
        D3DXMATRIX out = Sentinel();
        det = 99.0f;
        EXPECT_EQ(D3DXMatrixInverse(&out, &det, m), nullptr);
        EXPECT_EQ(out, Sentinel());
        EXPECT_EQ(det, 0.0f);
        EXPECT_EQ(D3DXMatrixInverse(&out, nullptr, m), nullptr);
        EXPECT_EQ(out, Sentinel());
    }
}

TEST(D3DXMatrix, RotationsAreLeftHanded) {
    // RotationX's layout: _22 = cos, _23 = sin, _32 = -sin, _33 = cos.
    D3DXMATRIX r;
    D3DXMatrixRotationX(&r, 0.3f);
    const float c = std::cos(0.3f), s = std::sin(0.3f);
    ExpectMatrix(r, {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1});

    // Quarter turns, clockwise seen from the positive axis toward the origin.
    D3DXMatrixRotationX(&r, D3DX_PI / 2);
    ExpectVec3(Apply(r, kY), 0, 0, 1);
    ExpectVec3(Apply(r, kZ), 0, -1, 0);
    D3DXMatrixRotationY(&r, D3DX_PI / 2);
    ExpectVec3(Apply(r, kX), 0, 0, -1);
    ExpectVec3(Apply(r, kZ), 1, 0, 0);
    D3DXMatrixRotationZ(&r, D3DX_PI / 2);
    ExpectVec3(Apply(r, kX), 0, 1, 0);
    ExpectVec3(Apply(r, kY), -1, 0, 0);

    // RotationAxis matches the single-axis rotations for any axis length.
    D3DXMATRIX a, b;
    const D3DXVECTOR3 y2(0, 2, 0), negZ(0, 0, -3);
    D3DXMatrixRotationAxis(&a, &y2, 0.7f);
    D3DXMatrixRotationY(&b, 0.7f);
    ExpectMatrixNear(a, b);
    D3DXMatrixRotationAxis(&a, &negZ, 0.7f);
    D3DXMatrixRotationZ(&b, -0.7f);
    ExpectMatrixNear(a, b);
    // A third of a turn about (1,1,1) cycles the axes x -> y -> z -> x.
    const D3DXVECTOR3 diag(1, 1, 1);
    D3DXMatrixRotationAxis(&a, &diag, 2 * D3DX_PI / 3);
    ExpectVec3(Apply(a, kX), 0, 1, 0);
    ExpectVec3(Apply(a, kY), 0, 0, 1);
    ExpectVec3(Apply(a, kZ), 1, 0, 0);
}

TEST(D3DXMatrix, YawPitchRollAppliesRollThenPitchThenYaw) {
    D3DXMATRIX m;
    // Pitch (x) then yaw (y): +y -> +z -> +x. Yaw first would give +z.
    D3DXMatrixRotationYawPitchRoll(&m, D3DX_PI / 2, D3DX_PI / 2, 0);
    ExpectVec3(Apply(m, kY), 1, 0, 0);
    // Roll (z) then pitch then yaw: +x -> +y -> +z -> +x, and +z -> +z -> -y -> -y.
    D3DXMatrixRotationYawPitchRoll(&m, D3DX_PI / 2, D3DX_PI / 2, D3DX_PI / 2);
    ExpectVec3(Apply(m, kX), 1, 0, 0);
    ExpectVec3(Apply(m, kZ), 0, -1, 0);
    ExpectVec3(Apply(m, kY), 0, 0, 1);
    // General angles: the product Rz * Rx * Ry.
    D3DXMATRIX rz, rx, ry;
    D3DXMatrixRotationZ(&rz, 0.3f);
    D3DXMatrixRotationX(&rx, -1.1f);
    D3DXMatrixRotationY(&ry, 2.0f);
    D3DXMatrixRotationYawPitchRoll(&m, 2.0f, -1.1f, 0.3f);
    ExpectMatrixNear(m, rz * rx * ry);
}

TEST(D3DXMatrix, LookAtLH) {
    // A camera high above and behind the origin, looking down at it.
    const D3DXVECTOR3 eye(0, 500, -300), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    EXPECT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
    const float len = std::sqrt(500.0f * 500.0f + 300.0f * 300.0f);
    // z = (0, -500, 300) / len, x = (1, 0, 0), y = z x x = (0, 300, 500) / len.
    ExpectMatrix(view, {1, 0, 0, 0,
                        0, 300 / len, -500 / len, 0,
                        0, 500 / len, 300 / len, 0,
                        0, 0, len, 1},
                 1e-4f);
    ExpectVec3(Apply(view, eye), 0, 0, 0, 1e-3f);
    ExpectVec3(Apply(view, at), 0, 0, len, 1e-3f);                 // straight ahead
    ExpectVec3(Apply(view, D3DXVECTOR3(100, 0, 0)), 100, 0, len, 1e-3f);  // to the right
    // (0, 0, 300) is eye + (0, -500, 600): above the centre of the view and further away.
    ExpectVec3(Apply(view, D3DXVECTOR3(0, 0, 300)), 0, 150000 / len, 430000 / len, 1e-3f);
    // A point straight above the eye's target is higher on screen (positive y).
    EXPECT_GT(Apply(view, D3DXVECTOR3(0, 100, 0)).y, 0.0f);

    // The camera's re-orthonormalised case: eye (0, 10, -10) looking along (0, -1, 1).
    const D3DXVECTOR3 eye2(0, 10, -10), at2(0, 9, -9);
    D3DXMatrixLookAtLH(&view, &eye2, &at2, &up);
    const float h = std::sqrt(0.5f);
    ExpectMatrix(view, {1, 0, 0, 0, 0, h, -h, 0, 0, h, h, 0, 0, 0, 20 * h, 1}, 1e-4f);

    // Right-handed: the camera looks down its -z.
    const D3DXVECTOR3 eye3(0, 0, 5);
    D3DXMatrixLookAtRH(&view, &eye3, &at, &up);
    ExpectVec3(Apply(view, at), 0, 0, -5);
    ExpectVec3(Apply(view, D3DXVECTOR3(1, 0, 0)), 1, 0, -5);
}

TEST(D3DXMatrix, ProjectionsMapDepthToZeroOne) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 10000.0f);
    const float yScale = 1.0f + std::sqrt(2.0f);  // cot(pi / 8)
    ExpectMatrix(p, {yScale * 0.75f, 0, 0, 0,
                     0, yScale, 0, 0,
                     0, 0, 10000.0f / 9999.0f, 1,
                     0, 0, -10000.0f / 9999.0f, 0},
                 1e-5f);
    // Near and far planes after the divide by w (= view z).
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(0, 0, 1)).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(0, 0, 10000)).z, 1.0f, 1e-6f);
    // The top edge of the field of view at depth 10: y = 10 tan(pi / 8).
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(0, 10 * std::tan(D3DX_PI / 8), 10)).y, 1.0f, 1e-5f);
    // The right edge at depth 10 is x = aspect * 10 tan(pi / 8).
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(10 * std::tan(D3DX_PI / 8) * 4 / 3, 0, 10)).x, 1.0f, 1e-5f);

    D3DXMatrixPerspectiveFovRH(&p, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 10000.0f);
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(0, 0, -1)).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Apply(p, D3DXVECTOR3(0, 0, -10000)).z, 1.0f, 1e-6f);

    D3DXMatrixPerspectiveLH(&p, 2.0f, 1.5f, 1.0f, 100.0f);
    ExpectMatrix(p, {1, 0, 0, 0, 0, 4.0f / 3.0f, 0, 0, 0, 0, 100.0f / 99.0f, 1, 0, 0, -100.0f / 99.0f, 0});
    D3DXMatrixPerspectiveRH(&p, 2.0f, 1.5f, 1.0f, 100.0f);
    ExpectMatrix(p, {1, 0, 0, 0, 0, 4.0f / 3.0f, 0, 0, 0, 0, -100.0f / 99.0f, -1, 0, 0, -100.0f / 99.0f, 0});
    D3DXMatrixPerspectiveOffCenterLH(&p, -1.0f, 3.0f, -1.0f, 1.0f, 1.0f, 100.0f);
    ExpectVec3(Apply(p, D3DXVECTOR3(3, 1, 1)), 1, 1, 0, 1e-5f);
    ExpectVec3(Apply(p, D3DXVECTOR3(-100, -100, 100)), -1, -1, 1, 1e-5f);

    D3DXMatrixOrthoLH(&p, 800.0f, 600.0f, 1.0f, 11.0f);
    ExpectMatrix(p, {2.0f / 800, 0, 0, 0, 0, 2.0f / 600, 0, 0, 0, 0, 0.1f, 0, 0, 0, -0.1f, 1});
    ExpectVec3(Apply(p, D3DXVECTOR3(400, -300, 11)), 1, -1, 1);
    D3DXMatrixOrthoRH(&p, 800.0f, 600.0f, 1.0f, 11.0f);
    ExpectVec3(Apply(p, D3DXVECTOR3(400, -300, -11)), 1, -1, 1);
    // Pixel coordinates with y down: (0, 0) is the top-left corner.
    D3DXMatrixOrthoOffCenterLH(&p, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, 1.0f);
    ExpectVec3(Apply(p, D3DXVECTOR3(0, 0, 0)), -1, 1, 0);
    ExpectVec3(Apply(p, D3DXVECTOR3(800, 600, 1)), 1, -1, 1);
    ExpectVec3(Apply(p, D3DXVECTOR3(400, 300, 0.5f)), 0, 0, 0.5f);
    D3DXMatrixOrthoOffCenterRH(&p, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, 1.0f);
    ExpectVec3(Apply(p, D3DXVECTOR3(800, 600, -1)), 1, -1, 1);
}

TEST(D3DXMatrix, TransformsOfPointsAndNormals) {
    // w = z, as after a projection.
    const D3DXMATRIX proj(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
    const D3DXVECTOR3 p(2, 4, 2);
    ExpectVec3(Apply(proj, p), 1, 2, 1);
    D3DXVECTOR4 h;
    EXPECT_EQ(D3DXVec3Transform(&h, &p, &proj), &h);
    EXPECT_EQ(h, D3DXVECTOR4(2, 4, 2, 2));
    const D3DXVECTOR4 p4(1, 2, 3, 0);
    D3DXVec4Transform(&h, &p4, &proj);
    EXPECT_EQ(h, D3DXVECTOR4(1, 2, 3, 3));

    // Normals skip the translation row.
    D3DXMATRIX m, t;
    D3DXMatrixRotationZ(&m, D3DX_PI / 2);
    D3DXMatrixTranslation(&t, 10, 20, 30);
    m *= t;
    D3DXVECTOR3 n(1, 0, 0);
    D3DXVec3TransformNormal(&n, &n, &m);
    ExpectVec3(n, 0, 1, 0);
    ExpectVec3(Apply(m, D3DXVECTOR3(1, 0, 0)), 10, 21, 30);

    // Array forms with the strides of an interleaved vertex (position, normal).
    struct Vertex {
        D3DXVECTOR3 pos, normal;
    };
    Vertex verts[3] = {{{1, 0, 0}, {9, 9, 9}}, {{0, 1, 0}, {8, 8, 8}}, {{0, 0, 1}, {7, 7, 7}}};
    EXPECT_EQ(D3DXVec3TransformCoordArray(&verts[0].pos, sizeof(Vertex), &verts[0].pos, sizeof(Vertex), &m, 3),
              &verts[0].pos);
    ExpectVec3(verts[0].pos, 10, 21, 30);
    ExpectVec3(verts[1].pos, 9, 20, 30);
    ExpectVec3(verts[2].pos, 10, 20, 31);
    EXPECT_EQ(verts[1].normal, D3DXVECTOR3(8, 8, 8));  // untouched between the strides
    D3DXVECTOR3 normals[3];
    D3DXVec3TransformNormalArray(normals, sizeof(D3DXVECTOR3), &verts[0].normal, sizeof(Vertex), &m, 3);
    ExpectVec3(normals[2], -7, 7, 7);
    D3DXVECTOR4 out4[2];
    D3DXVec3TransformArray(out4, sizeof(D3DXVECTOR4), &verts[0].pos, sizeof(Vertex), &proj, 2);
    EXPECT_EQ(out4[1], D3DXVECTOR4(9, 20, 30, 30));

    // 2D forms: (x, y, 0, 1).
    const D3DXVECTOR2 v2(1, 0);
    D3DXVECTOR2 r2;
    D3DXVec2TransformCoord(&r2, &v2, &m);
    EXPECT_NEAR(r2.x, 10, kTol);
    EXPECT_NEAR(r2.y, 21, kTol);
    D3DXVec2TransformNormal(&r2, &v2, &m);
    EXPECT_NEAR(r2.x, 0, kTol);
    EXPECT_NEAR(r2.y, 1, kTol);
    D3DXVec2Transform(&h, &v2, &m);
    EXPECT_NEAR(h.z, 30, kTol);
    EXPECT_NEAR(h.w, 1, kTol);
}

TEST(D3DXMatrix, DecomposeAndAffineTransformation) {
    D3DXQUATERNION q;
    const D3DXVECTOR3 axis(1, 2, 3);
    D3DXQuaternionRotationAxis(&q, &axis, 0.9f);
    D3DXMATRIX s, r, t;
    D3DXMatrixScaling(&s, 2, 3, 4);
    D3DXMatrixRotationQuaternion(&r, &q);
    D3DXMatrixTranslation(&t, 5, 6, 7);
    const D3DXMATRIX m = s * r * t;
    D3DXVECTOR3 scale, trans;
    D3DXQUATERNION rot;
    EXPECT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &m), D3D_OK);
    ExpectVec3(scale, 2, 3, 4);
    ExpectVec3(trans, 5, 6, 7);
    ExpectQuat(rot, q.x, q.y, q.z, q.w);
    // A mirror shows as a negative scale, leaving a proper rotation.
    D3DXMatrixScaling(&s, -2, 3, 4);
    EXPECT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &s), D3D_OK);
    ExpectVec3(scale, -2, 3, 4);
    ExpectQuat(rot, 0, 0, 0, 1);
    // A zero scale has no rotation to recover.
    D3DXMatrixScaling(&s, 1, 0, 1);
    EXPECT_EQ(D3DXMatrixDecompose(&scale, &rot, &trans, &s), D3DERR_INVALIDCALL);

    // Scale 2, a quarter turn about z around (1, 0, 0), then up by 5:
    // (2,0,0) -> (4,0,0) -> (3,0,0) about the centre -> (0,3,0) -> (1,3,0) -> (1,3,5).
    const D3DXVECTOR3 centre(1, 0, 0), move(0, 0, 5), zAxis(0, 0, 1);
    D3DXQuaternionRotationAxis(&q, &zAxis, D3DX_PI / 2);
    D3DXMATRIX a;
    EXPECT_EQ(D3DXMatrixAffineTransformation(&a, 2.0f, &centre, &q, &move), &a);
    ExpectVec3(Apply(a, D3DXVECTOR3(2, 0, 0)), 1, 3, 5);
    D3DXMatrixAffineTransformation(&a, 2.0f, nullptr, &q, nullptr);
    ExpectVec3(Apply(a, D3DXVECTOR3(2, 0, 0)), 0, 4, 0);
    D3DXMatrixAffineTransformation(&a, 3.0f, &centre, nullptr, &move);
    ExpectVec3(Apply(a, D3DXVECTOR3(1, 1, 1)), 3, 3, 8);
}
