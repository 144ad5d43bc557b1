// Comparison helpers for the D3DX math tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "d3dx9math.h"

constexpr float kTol = 1e-5f;

inline void ExpectVec3(const D3DXVECTOR3& v, float x, float y, float z, float tol = kTol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

inline void ExpectQuat(const D3DXQUATERNION& q, float x, float y, float z, float w, float tol = kTol) {
    EXPECT_NEAR(q.x, x, tol);
    EXPECT_NEAR(q.y, y, tol);
    EXPECT_NEAR(q.z, z, tol);
    EXPECT_NEAR(q.w, w, tol);
}

// Row by row: _11, _12, ..., _44.
inline void ExpectMatrix(const D3DXMATRIX& m, std::initializer_list<float> rows, float tol = kTol) {
    ASSERT_EQ(rows.size(), 16u);
    int i = 0;
    for (float e : rows) {
        EXPECT_NEAR(m.m[i / 4][i % 4], e, tol) << "element (" << i / 4 << ", " << i % 4 << ")";
        ++i;
    }
}

inline void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = kTol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "element (" << r << ", " << c << ")";
}

// The point p transformed by m, with the divide by w.
inline D3DXVECTOR3 Apply(const D3DXMATRIX& m, const D3DXVECTOR3& p) {
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &p, &m);
    return r;
}
