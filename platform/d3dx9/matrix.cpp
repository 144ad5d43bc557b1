// D3DX math on matrices and quaternions.
// Matrices act on row vectors (v' = v * M); in A * B, A applies first. A quaternion q1 * q2 is
// likewise the rotation q1 followed by q2, so that RotationQuaternion(q1 * q2) equals
// RotationQuaternion(q1) * RotationQuaternion(q2). pOut may alias any input.

#include "d3dx9math.h"

#include <cmath>

namespace {

D3DXMATRIX Identity() {
    return D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                      0.0f, 1.0f, 0.0f, 0.0f,
                      0.0f, 0.0f, 1.0f, 0.0f,
                      0.0f, 0.0f, 0.0f, 1.0f);
}

D3DXVECTOR3 Cross3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v) {
    D3DXVECTOR3 r;
    D3DXVec3Normalize(&r, &v);
    return r;
}

// Cofactor expansion in double precision. Returns the determinant; fills adj with the adjugate
// (the transposed cofactor matrix) when it is non-null.
double Adjugate(const D3DXMATRIX& src, double adj[4][4]) {
    double a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r][c] = src.m[r][c];

    // 2x2 minors of the lower two rows and of the upper two rows.
    const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (adj) {
        adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
        adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
        adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
        adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
        adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
        adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
        adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
        adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
        adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
        adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
        adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
        adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
        adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
        adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
        adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
        adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
    }
    return det;
}

// The quaternion of the rotation whose rows are the (unit) rows of m's upper 3x3.
D3DXQUATERNION QuaternionFromRows(float m11, float m12, float m13, float m21, float m22, float m23, float m31,
                                  float m32, float m33) {
    D3DXQUATERNION q;
    const float trace = m11 + m22 + m33;
    if (trace > 0.0f) {
        const float s = 2.0f * std::sqrt(trace + 1.0f);  // 4w
        q.w = 0.25f * s;
        q.x = (m23 - m32) / s;
        q.y = (m31 - m13) / s;
        q.z = (m12 - m21) / s;
    } else if (m11 >= m22 && m11 >= m33) {
        const float s = 2.0f * std::sqrt(std::fmax(0.0f, 1.0f + m11 - m22 - m33));  // 4x
        if (s == 0.0f) return D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
        q.x = 0.25f * s;
        q.y = (m12 + m21) / s;
        q.z = (m13 + m31) / s;
        q.w = (m23 - m32) / s;
    } else if (m22 >= m33) {
        const float s = 2.0f * std::sqrt(std::fmax(0.0f, 1.0f + m22 - m11 - m33));  // 4y
        if (s == 0.0f) return D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
        q.y = 0.25f * s;
        q.x = (m12 + m21) / s;
        q.z = (m23 + m32) / s;
        q.w = (m31 - m13) / s;
    } else {
        const float s = 2.0f * std::sqrt(std::fmax(0.0f, 1.0f + m33 - m11 - m22));  // 4z
        if (s == 0.0f) return D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
        q.z = 0.25f * s;
        q.x = (m13 + m31) / s;
        q.y = (m23 + m32) / s;
        q.w = (m12 - m21) / s;
    }
    return q;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Matrices

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    *pOut = Identity();
    return pOut;
}

BOOL WINAPI D3DXMatrixIsIdentity(CONST D3DXMATRIX* pM) { return *pM == Identity() ? TRUE : FALSE; }

FLOAT WINAPI D3DXMatrixDeterminant(CONST D3DXMATRIX* pM) { return static_cast<float>(Adjugate(*pM, nullptr)); }

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = pM->m[j][i];
    *pOut = r;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] + pM1->m[i][2] * pM2->m[2][j] +
                        pM1->m[i][3] * pM2->m[3][j];
    *pOut = r;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiplyTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2) {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, pM1, pM2);
    return D3DXMatrixTranspose(pOut, &r);
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, CONST D3DXMATRIX* pM) {
    double adj[4][4];
    const double det = Adjugate(*pM, adj);
    if (pDeterminant) *pDeterminant = static_cast<float>(det);
    if (det == 0.0 || !std::isfinite(det)) return nullptr;
    const double inv = 1.0 / det;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) pOut->m[i][j] = static_cast<float>(adj[i][j] * inv);
    return pOut;
}

HRESULT WINAPI D3DXMatrixDecompose(D3DXVECTOR3* pOutScale, D3DXQUATERNION* pOutRotation,
                                   D3DXVECTOR3* pOutTranslation, CONST D3DXMATRIX* pM) {
    const D3DXMATRIX m = *pM;
    D3DXVECTOR3 row[3] = {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23),
                          D3DXVECTOR3(m._31, m._32, m._33)};
    D3DXVECTOR3 scale(D3DXVec3Length(&row[0]), D3DXVec3Length(&row[1]), D3DXVec3Length(&row[2]));
    // A mirrored basis puts the reflection into the x scale, so the rest is a proper rotation.
    if (Dot3(Cross3(row[0], row[1]), row[2]) < 0.0f) scale.x = -scale.x;

    if (pOutScale) *pOutScale = scale;
    if (pOutTranslation) *pOutTranslation = D3DXVECTOR3(m._41, m._42, m._43);
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return D3DERR_INVALIDCALL;
    if (pOutRotation) {
        row[0] /= scale.x;
        row[1] /= scale.y;
        row[2] /= scale.z;
        *pOutRotation = QuaternionFromRows(row[0].x, row[0].y, row[0].z, row[1].x, row[1].y, row[1].z, row[2].x,
                                           row[2].y, row[2].z);
    }
    return D3D_OK;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
    *pOut = Identity();
    pOut->_11 = sx;
    pOut->_22 = sy;
    pOut->_33 = sz;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
    *pOut = Identity();
    pOut->_41 = x;
    pOut->_42 = y;
    pOut->_43 = z;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_22 = c;
    pOut->_23 = s;
    pOut->_32 = -s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_11 = c;
    pOut->_13 = -s;
    pOut->_31 = s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle) {
    const float c = std::cos(Angle), s = std::sin(Angle);
    *pOut = Identity();
    pOut->_11 = c;
    pOut->_12 = s;
    pOut->_21 = -s;
    pOut->_22 = c;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pV, FLOAT Angle) {
    const D3DXVECTOR3 a = Normalized(*pV);
    const float c = std::cos(Angle), s = std::sin(Angle), t = 1.0f - c;
    // M[i][j] = c * delta(i, j) + t * a_i * a_j + s * eps(i, j, k) * a_k; for the x axis this is
    // RotationX.
    *pOut = Identity();
    pOut->_11 = c + t * a.x * a.x;
    pOut->_12 = t * a.x * a.y + s * a.z;
    pOut->_13 = t * a.x * a.z - s * a.y;
    pOut->_21 = t * a.x * a.y - s * a.z;
    pOut->_22 = c + t * a.y * a.y;
    pOut->_23 = t * a.y * a.z + s * a.x;
    pOut->_31 = t * a.x * a.z + s * a.y;
    pOut->_32 = t * a.y * a.z - s * a.x;
    pOut->_33 = c + t * a.z * a.z;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, CONST D3DXQUATERNION* pQ) {
    const float x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
    *pOut = Identity();
    pOut->_11 = 1.0f - 2.0f * (y * y + z * z);
    pOut->_12 = 2.0f * (x * y + z * w);
    pOut->_13 = 2.0f * (x * z - y * w);
    pOut->_21 = 2.0f * (x * y - z * w);
    pOut->_22 = 1.0f - 2.0f * (x * x + z * z);
    pOut->_23 = 2.0f * (y * z + x * w);
    pOut->_31 = 2.0f * (x * z + y * w);
    pOut->_32 = 2.0f * (y * z - x * w);
    pOut->_33 = 1.0f - 2.0f * (x * x + y * y);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, FLOAT Yaw, FLOAT Pitch, FLOAT Roll) {
    D3DXMATRIX roll, pitch, yaw;
    D3DXMatrixRotationZ(&roll, Roll);
    D3DXMatrixRotationX(&pitch, Pitch);
    D3DXMatrixRotationY(&yaw, Yaw);
    D3DXMatrixMultiply(&roll, &roll, &pitch);
    return D3DXMatrixMultiply(pOut, &roll, &yaw);
}

D3DXMATRIX* WINAPI D3DXMatrixAffineTransformation(D3DXMATRIX* pOut, FLOAT Scaling, CONST D3DXVECTOR3* pRotationCenter,
                                                  CONST D3DXQUATERNION* pRotation,
                                                  CONST D3DXVECTOR3* pTranslation) {
    D3DXMATRIX r;
    D3DXMatrixScaling(&r, Scaling, Scaling, Scaling);
    if (pRotation) {
        D3DXMATRIX rot;
        D3DXMatrixRotationQuaternion(&rot, pRotation);
        if (pRotationCenter) {
            D3DXMATRIX t;
            D3DXMatrixTranslation(&t, -pRotationCenter->x, -pRotationCenter->y, -pRotationCenter->z);
            D3DXMatrixMultiply(&r, &r, &t);
            D3DXMatrixMultiply(&r, &r, &rot);
            D3DXMatrixTranslation(&t, pRotationCenter->x, pRotationCenter->y, pRotationCenter->z);
            D3DXMatrixMultiply(&r, &r, &t);
        } else {
            D3DXMatrixMultiply(&r, &r, &rot);
        }
    }
    if (pTranslation) {
        r._41 += pTranslation->x;
        r._42 += pTranslation->y;
        r._43 += pTranslation->z;
    }
    *pOut = r;
    return pOut;
}

namespace {

// The view matrix of a camera at eye with the given unit axes.
D3DXMATRIX ViewFromAxes(const D3DXVECTOR3& eye, const D3DXVECTOR3& x, const D3DXVECTOR3& y, const D3DXVECTOR3& z) {
    return D3DXMATRIX(x.x, y.x, z.x, 0.0f,
                      x.y, y.y, z.y, 0.0f,
                      x.z, y.z, z.z, 0.0f,
                      -Dot3(x, eye), -Dot3(y, eye), -Dot3(z, eye), 1.0f);
}

}  // namespace

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp) {
    const D3DXVECTOR3 z = Normalized(*pAt - *pEye);
    const D3DXVECTOR3 x = Normalized(Cross3(*pUp, z));
    const D3DXVECTOR3 y = Cross3(z, x);
    *pOut = ViewFromAxes(*pEye, x, y, z);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtRH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp) {
    const D3DXVECTOR3 z = Normalized(*pEye - *pAt);
    const D3DXVECTOR3 x = Normalized(Cross3(*pUp, z));
    const D3DXVECTOR3 y = Cross3(z, x);
    *pOut = ViewFromAxes(*pEye, x, y, z);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f * zn / w, 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f * zn / h, 0.0f, 0.0f,
                       0.0f, 0.0f, zf / (zf - zn), 1.0f,
                       0.0f, 0.0f, zn * zf / (zn - zf), 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveRH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f * zn / w, 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f * zn / h, 0.0f, 0.0f,
                       0.0f, 0.0f, zf / (zn - zf), -1.0f,
                       0.0f, 0.0f, zn * zf / (zn - zf), 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
    const float yScale = 1.0f / std::tan(fovy * 0.5f);
    const float xScale = yScale / Aspect;
    *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,
                       0.0f, yScale, 0.0f, 0.0f,
                       0.0f, 0.0f, zf / (zf - zn), 1.0f,
                       0.0f, 0.0f, -zn * zf / (zf - zn), 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
    const float yScale = 1.0f / std::tan(fovy * 0.5f);
    const float xScale = yScale / Aspect;
    *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,
                       0.0f, yScale, 0.0f, 0.0f,
                       0.0f, 0.0f, zf / (zn - zf), -1.0f,
                       0.0f, 0.0f, zn * zf / (zn - zf), 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                                    FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f * zn / (r - l), 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f * zn / (t - b), 0.0f, 0.0f,
                       (l + r) / (l - r), (t + b) / (b - t), zf / (zf - zn), 1.0f,
                       0.0f, 0.0f, zn * zf / (zn - zf), 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / w, 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f / h, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f / (zf - zn), 0.0f,
                       0.0f, 0.0f, -zn / (zf - zn), 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoRH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / w, 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f / h, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f / (zn - zf), 0.0f,
                       0.0f, 0.0f, zn / (zn - zf), 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / (r - l), 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f / (t - b), 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f / (zf - zn), 0.0f,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / (r - l), 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f / (t - b), 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f / (zn - zf), 0.0f,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1.0f);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Quaternions

FLOAT WINAPI D3DXQuaternionLength(CONST D3DXQUATERNION* pQ) { return std::sqrt(D3DXQuaternionLengthSq(pQ)); }

FLOAT WINAPI D3DXQuaternionLengthSq(CONST D3DXQUATERNION* pQ) { return D3DXQuaternionDot(pQ, pQ); }

FLOAT WINAPI D3DXQuaternionDot(CONST D3DXQUATERNION* pQ1, CONST D3DXQUATERNION* pQ2) {
    return pQ1->x * pQ2->x + pQ1->y * pQ2->y + pQ1->z * pQ2->z + pQ1->w * pQ2->w;
}

D3DXQUATERNION* WINAPI D3DXQuaternionIdentity(D3DXQUATERNION* pOut) {
    *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

BOOL WINAPI D3DXQuaternionIsIdentity(CONST D3DXQUATERNION* pQ) {
    return *pQ == D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f) ? TRUE : FALSE;
}

D3DXQUATERNION* WINAPI D3DXQuaternionConjugate(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ) {
    *pOut = D3DXQUATERNION(-pQ->x, -pQ->y, -pQ->z, pQ->w);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ) {
    const float len = D3DXQuaternionLength(pQ);
    *pOut = len > 0.0f ? *pQ / len : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionInverse(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ) {
    const float lenSq = D3DXQuaternionLengthSq(pQ);
    if (!(lenSq > 0.0f)) {
        *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
        return pOut;
    }
    *pOut = D3DXQUATERNION(-pQ->x / lenSq, -pQ->y / lenSq, -pQ->z / lenSq, pQ->w / lenSq);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionMultiply(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ1,
                                              CONST D3DXQUATERNION* pQ2) {
    // The Hamilton product Q2 Q1: Q1 applies first.
    const D3DXQUATERNION a = *pQ2, b = *pQ1;
    *pOut = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                           a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                           a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                           a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, CONST D3DXVECTOR3* pV, FLOAT Angle) {
    const D3DXVECTOR3 a = Normalized(*pV);
    const float s = std::sin(0.5f * Angle);
    *pOut = D3DXQUATERNION(a.x * s, a.y * s, a.z * s, std::cos(0.5f * Angle));
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, CONST D3DXMATRIX* pM) {
    const D3DXMATRIX& m = *pM;
    *pOut = QuaternionFromRows(m._11, m._12, m._13, m._21, m._22, m._23, m._31, m._32, m._33);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* pOut, FLOAT Yaw, FLOAT Pitch,
                                                          FLOAT Roll) {
    // Roll about z, then pitch about x, then yaw about y, as the matrix version.
    const D3DXQUATERNION roll(0.0f, 0.0f, std::sin(0.5f * Roll), std::cos(0.5f * Roll));
    const D3DXQUATERNION pitch(std::sin(0.5f * Pitch), 0.0f, 0.0f, std::cos(0.5f * Pitch));
    const D3DXQUATERNION yaw(0.0f, std::sin(0.5f * Yaw), 0.0f, std::cos(0.5f * Yaw));
    D3DXQUATERNION q;
    D3DXQuaternionMultiply(&q, &roll, &pitch);
    D3DXQuaternionMultiply(pOut, &q, &yaw);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionSlerp(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ1,
                                           CONST D3DXQUATERNION* pQ2, FLOAT t) {
    const D3DXQUATERNION q1 = *pQ1;
    D3DXQUATERNION q2 = *pQ2;
    float cosTheta = D3DXQuaternionDot(&q1, &q2);
    if (cosTheta < 0.0f) {  // q and -q are the same rotation: take the shorter arc
        cosTheta = -cosTheta;
        q2 = -q2;
    }
    float w1 = 1.0f - t, w2 = t;
    if (cosTheta < 0.9999f) {
        const float theta = std::acos(cosTheta);
        const float sinTheta = std::sin(theta);
        w1 = std::sin((1.0f - t) * theta) / sinTheta;
        w2 = std::sin(t * theta) / sinTheta;
    }
    *pOut = q1 * w1 + q2 * w2;
    return pOut;
}

void WINAPI D3DXQuaternionToAxisAngle(CONST D3DXQUATERNION* pQ, D3DXVECTOR3* pAxis, FLOAT* pAngle) {
    if (pAxis) *pAxis = D3DXVECTOR3(pQ->x, pQ->y, pQ->z);
    if (pAngle) *pAngle = 2.0f * std::acos(std::fmax(-1.0f, std::fmin(1.0f, pQ->w)));
}
