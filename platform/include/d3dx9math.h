// D3DX9 math: vectors, matrices, quaternions, planes, colours and the functions on them.
// Row vectors (v' = v * M), left-handed space, translation in the fourth row.
// Default constructors zero the values; every type stays trivially copyable.
#pragma once

#include "d3d9types.h"

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

struct D3DXVECTOR2;
struct D3DXVECTOR3;
struct D3DXVECTOR4;
struct D3DXMATRIX;
struct D3DXQUATERNION;
struct D3DXPLANE;
struct D3DXCOLOR;

// ---------------------------------------------------------------------------------------------
// Types

struct D3DXVECTOR2 {
    FLOAT x, y;

    D3DXVECTOR2() : x(0.0f), y(0.0f) {}
    explicit D3DXVECTOR2(CONST FLOAT* f) : x(f[0]), y(f[1]) {}
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}

    operator FLOAT*() { return &x; }
    operator CONST FLOAT*() const { return &x; }

    D3DXVECTOR2& operator+=(CONST D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
    D3DXVECTOR2& operator-=(CONST D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
    D3DXVECTOR2& operator*=(FLOAT s) { x *= s; y *= s; return *this; }
    D3DXVECTOR2& operator/=(FLOAT s) { x /= s; y /= s; return *this; }

    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }

    D3DXVECTOR2 operator+(CONST D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(CONST D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(FLOAT s) const { return D3DXVECTOR2(x * s, y * s); }
    D3DXVECTOR2 operator/(FLOAT s) const { return D3DXVECTOR2(x / s, y / s); }
    friend D3DXVECTOR2 operator*(FLOAT s, CONST D3DXVECTOR2& v) { return v * s; }

    bool operator==(CONST D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(CONST D3DXVECTOR2& v) const { return !(*this == v); }
};

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{0.0f, 0.0f, 0.0f} {}
    explicit D3DXVECTOR3(CONST FLOAT* f) : D3DVECTOR{f[0], f[1], f[2]} {}
    D3DXVECTOR3(CONST D3DVECTOR& v) : D3DVECTOR(v) {}
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) : D3DVECTOR{fx, fy, fz} {}

    operator FLOAT*() { return &x; }
    operator CONST FLOAT*() const { return &x; }

    D3DXVECTOR3& operator+=(CONST D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    D3DXVECTOR3& operator-=(CONST D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    D3DXVECTOR3& operator*=(FLOAT s) { x *= s; y *= s; z *= s; return *this; }
    D3DXVECTOR3& operator/=(FLOAT s) { x /= s; y /= s; z /= s; return *this; }

    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }

    D3DXVECTOR3 operator+(CONST D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(CONST D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(FLOAT s) const { return D3DXVECTOR3(x * s, y * s, z * s); }
    D3DXVECTOR3 operator/(FLOAT s) const { return D3DXVECTOR3(x / s, y / s, z / s); }
    friend D3DXVECTOR3 operator*(FLOAT s, CONST D3DXVECTOR3& v) { return v * s; }

    bool operator==(CONST D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(CONST D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
    FLOAT x, y, z, w;

    D3DXVECTOR4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    explicit D3DXVECTOR4(CONST FLOAT* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    D3DXVECTOR4(CONST D3DVECTOR& v, FLOAT fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator CONST FLOAT*() const { return &x; }

    D3DXVECTOR4& operator+=(CONST D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
    D3DXVECTOR4& operator-=(CONST D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
    D3DXVECTOR4& operator*=(FLOAT s) { x *= s; y *= s; z *= s; w *= s; return *this; }
    D3DXVECTOR4& operator/=(FLOAT s) { x /= s; y /= s; z /= s; w /= s; return *this; }

    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }

    D3DXVECTOR4 operator+(CONST D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
    D3DXVECTOR4 operator-(CONST D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
    D3DXVECTOR4 operator*(FLOAT s) const { return D3DXVECTOR4(x * s, y * s, z * s, w * s); }
    D3DXVECTOR4 operator/(FLOAT s) const { return D3DXVECTOR4(x / s, y / s, z / s, w / s); }
    friend D3DXVECTOR4 operator*(FLOAT s, CONST D3DXVECTOR4& v) { return v * s; }

    bool operator==(CONST D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(CONST D3DXVECTOR4& v) const { return !(*this == v); }
};

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2);
D3DXQUATERNION* WINAPI D3DXQuaternionMultiply(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ1,
                                              CONST D3DXQUATERNION* pQ2);

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() : D3DMATRIX{} {}
    explicit D3DXMATRIX(CONST FLOAT* f) : D3DMATRIX{} {
        for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = f[i];
    }
    D3DXMATRIX(CONST D3DMATRIX& mat) : D3DMATRIX(mat) {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14,
               FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
               FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34,
               FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44)
        : D3DMATRIX{} {
        _11 = f11; _12 = f12; _13 = f13; _14 = f14;
        _21 = f21; _22 = f22; _23 = f23; _24 = f24;
        _31 = f31; _32 = f32; _33 = f33; _34 = f34;
        _41 = f41; _42 = f42; _43 = f43; _44 = f44;
    }

    FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
    FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

    operator FLOAT*() { return &m[0][0]; }
    operator CONST FLOAT*() const { return &m[0][0]; }

    D3DXMATRIX& operator*=(CONST D3DXMATRIX& mat) { D3DXMatrixMultiply(this, this, &mat); return *this; }
    D3DXMATRIX& operator+=(CONST D3DXMATRIX& mat) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) m[r][c] += mat.m[r][c];
        return *this;
    }
    D3DXMATRIX& operator-=(CONST D3DXMATRIX& mat) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) m[r][c] -= mat.m[r][c];
        return *this;
    }
    D3DXMATRIX& operator*=(FLOAT s) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) m[r][c] *= s;
        return *this;
    }
    D3DXMATRIX& operator/=(FLOAT s) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) m[r][c] /= s;
        return *this;
    }

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const { D3DXMATRIX r(*this); r *= -1.0f; return r; }

    D3DXMATRIX operator*(CONST D3DXMATRIX& mat) const { D3DXMATRIX r; D3DXMatrixMultiply(&r, this, &mat); return r; }
    D3DXMATRIX operator+(CONST D3DXMATRIX& mat) const { D3DXMATRIX r(*this); r += mat; return r; }
    D3DXMATRIX operator-(CONST D3DXMATRIX& mat) const { D3DXMATRIX r(*this); r -= mat; return r; }
    D3DXMATRIX operator*(FLOAT s) const { D3DXMATRIX r(*this); r *= s; return r; }
    D3DXMATRIX operator/(FLOAT s) const { D3DXMATRIX r(*this); r /= s; return r; }
    friend D3DXMATRIX operator*(FLOAT s, CONST D3DXMATRIX& mat) { return mat * s; }

    bool operator==(CONST D3DXMATRIX& mat) const {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != mat.m[r][c]) return false;
        return true;
    }
    bool operator!=(CONST D3DXMATRIX& mat) const { return !(*this == mat); }
};

// x, y, z = axis * sin(angle / 2), w = cos(angle / 2).
struct D3DXQUATERNION {
    FLOAT x, y, z, w;

    D3DXQUATERNION() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    explicit D3DXQUATERNION(CONST FLOAT* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator CONST FLOAT*() const { return &x; }

    D3DXQUATERNION& operator+=(CONST D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
    D3DXQUATERNION& operator-=(CONST D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
    D3DXQUATERNION& operator*=(CONST D3DXQUATERNION& q) { D3DXQuaternionMultiply(this, this, &q); return *this; }
    D3DXQUATERNION& operator*=(FLOAT s) { x *= s; y *= s; z *= s; w *= s; return *this; }
    D3DXQUATERNION& operator/=(FLOAT s) { x /= s; y /= s; z /= s; w /= s; return *this; }

    D3DXQUATERNION operator+() const { return *this; }
    D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }

    D3DXQUATERNION operator+(CONST D3DXQUATERNION& q) const { return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w); }
    D3DXQUATERNION operator-(CONST D3DXQUATERNION& q) const { return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w); }
    D3DXQUATERNION operator*(CONST D3DXQUATERNION& q) const { D3DXQUATERNION r; D3DXQuaternionMultiply(&r, this, &q); return r; }
    D3DXQUATERNION operator*(FLOAT s) const { return D3DXQUATERNION(x * s, y * s, z * s, w * s); }
    D3DXQUATERNION operator/(FLOAT s) const { return D3DXQUATERNION(x / s, y / s, z / s, w / s); }
    friend D3DXQUATERNION operator*(FLOAT s, CONST D3DXQUATERNION& q) { return q * s; }

    bool operator==(CONST D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool operator!=(CONST D3DXQUATERNION& q) const { return !(*this == q); }
};

// The plane a*x + b*y + c*z + d = 0.
struct D3DXPLANE {
    FLOAT a, b, c, d;

    D3DXPLANE() : a(0.0f), b(0.0f), c(0.0f), d(0.0f) {}
    explicit D3DXPLANE(CONST FLOAT* f) : a(f[0]), b(f[1]), c(f[2]), d(f[3]) {}
    D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}

    operator FLOAT*() { return &a; }
    operator CONST FLOAT*() const { return &a; }

    D3DXPLANE& operator*=(FLOAT s) { a *= s; b *= s; c *= s; d *= s; return *this; }
    D3DXPLANE& operator/=(FLOAT s) { a /= s; b /= s; c /= s; d /= s; return *this; }

    D3DXPLANE operator+() const { return *this; }
    D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }

    D3DXPLANE operator*(FLOAT s) const { return D3DXPLANE(a * s, b * s, c * s, d * s); }
    D3DXPLANE operator/(FLOAT s) const { return D3DXPLANE(a / s, b / s, c / s, d / s); }
    friend D3DXPLANE operator*(FLOAT s, CONST D3DXPLANE& p) { return p * s; }

    bool operator==(CONST D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
    bool operator!=(CONST D3DXPLANE& p) const { return !(*this == p); }
};

// A colour of four floats; 0..1 is the displayable range, values outside it are kept.
struct D3DXCOLOR : public D3DCOLORVALUE {
    D3DXCOLOR() : D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.0f} {}
    D3DXCOLOR(DWORD argb)
        : D3DCOLORVALUE{static_cast<FLOAT>((argb >> 16) & 0xff) * (1.0f / 255.0f),
                        static_cast<FLOAT>((argb >> 8) & 0xff) * (1.0f / 255.0f),
                        static_cast<FLOAT>(argb & 0xff) * (1.0f / 255.0f),
                        static_cast<FLOAT>((argb >> 24) & 0xff) * (1.0f / 255.0f)} {}
    explicit D3DXCOLOR(CONST FLOAT* f) : D3DCOLORVALUE{f[0], f[1], f[2], f[3]} {}
    D3DXCOLOR(CONST D3DCOLORVALUE& c) : D3DCOLORVALUE(c) {}
    D3DXCOLOR(FLOAT fr, FLOAT fg, FLOAT fb, FLOAT fa) : D3DCOLORVALUE{fr, fg, fb, fa} {}

    // Packs to A8R8G8B8, each channel clamped to 0..1 and rounded to the nearest step.
    operator DWORD() const {
        return (Pack(a) << 24) | (Pack(r) << 16) | (Pack(g) << 8) | Pack(b);
    }
    operator FLOAT*() { return &r; }
    operator CONST FLOAT*() const { return &r; }
    operator D3DCOLORVALUE*() { return this; }
    operator CONST D3DCOLORVALUE*() const { return this; }

    D3DXCOLOR& operator+=(CONST D3DXCOLOR& c) { r += c.r; g += c.g; b += c.b; a += c.a; return *this; }
    D3DXCOLOR& operator-=(CONST D3DXCOLOR& c) { r -= c.r; g -= c.g; b -= c.b; a -= c.a; return *this; }
    D3DXCOLOR& operator*=(FLOAT s) { r *= s; g *= s; b *= s; a *= s; return *this; }
    D3DXCOLOR& operator/=(FLOAT s) { r /= s; g /= s; b /= s; a /= s; return *this; }

    D3DXCOLOR operator+() const { return *this; }
    D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }

    D3DXCOLOR operator+(CONST D3DXCOLOR& c) const { return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a); }
    D3DXCOLOR operator-(CONST D3DXCOLOR& c) const { return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a); }
    D3DXCOLOR operator*(FLOAT s) const { return D3DXCOLOR(r * s, g * s, b * s, a * s); }
    D3DXCOLOR operator/(FLOAT s) const { return D3DXCOLOR(r / s, g / s, b / s, a / s); }
    friend D3DXCOLOR operator*(FLOAT s, CONST D3DXCOLOR& c) { return c * s; }

    bool operator==(CONST D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
    bool operator!=(CONST D3DXCOLOR& c) const { return !(*this == c); }

private:
    static DWORD Pack(FLOAT v) {
        if (!(v > 0.0f)) return 0;  // also NaN
        if (v >= 1.0f) return 0xff;
        return static_cast<DWORD>(v * 255.0f + 0.5f);
    }
};

// ---------------------------------------------------------------------------------------------
// 2D vectors

FLOAT WINAPI D3DXVec2Length(CONST D3DXVECTOR2* pV);
FLOAT WINAPI D3DXVec2LengthSq(CONST D3DXVECTOR2* pV);
FLOAT WINAPI D3DXVec2Dot(CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
// The z component of the 3D cross product of the two vectors.
FLOAT WINAPI D3DXVec2CCW(CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
D3DXVECTOR2* WINAPI D3DXVec2Add(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
D3DXVECTOR2* WINAPI D3DXVec2Subtract(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
D3DXVECTOR2* WINAPI D3DXVec2Minimize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
D3DXVECTOR2* WINAPI D3DXVec2Maximize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2);
D3DXVECTOR2* WINAPI D3DXVec2Scale(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, FLOAT s);
D3DXVECTOR2* WINAPI D3DXVec2Lerp(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2, FLOAT s);
D3DXVECTOR2* WINAPI D3DXVec2Normalize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV);
// (x, y, 0, 1) * M.
D3DXVECTOR4* WINAPI D3DXVec2Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM);
D3DXVECTOR2* WINAPI D3DXVec2TransformCoord(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM);
D3DXVECTOR2* WINAPI D3DXVec2TransformNormal(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM);

// ---------------------------------------------------------------------------------------------
// 3D vectors

FLOAT WINAPI D3DXVec3Length(CONST D3DXVECTOR3* pV);
FLOAT WINAPI D3DXVec3LengthSq(CONST D3DXVECTOR3* pV);
FLOAT WINAPI D3DXVec3Dot(CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Add(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Subtract(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Minimize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Maximize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2);
D3DXVECTOR3* WINAPI D3DXVec3Scale(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, FLOAT s);
D3DXVECTOR3* WINAPI D3DXVec3Lerp(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2, FLOAT s);
// A zero vector normalises to zero.
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV);
// V1 + f * (V2 - V1) + g * (V3 - V1).
D3DXVECTOR3* WINAPI D3DXVec3BaryCentric(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2,
                                        CONST D3DXVECTOR3* pV3, FLOAT f, FLOAT g);
// (x, y, z, 1) * M.
D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM);
// (x, y, z, 1) * M, divided by the resulting w.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM);
// (x, y, z, 0) * M: the upper 3x3 only.
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM);
// Array forms; the strides are in bytes.
D3DXVECTOR4* WINAPI D3DXVec3TransformArray(D3DXVECTOR4* pOut, UINT OutStride, CONST D3DXVECTOR3* pV, UINT VStride,
                                           CONST D3DXMATRIX* pM, UINT n);
D3DXVECTOR3* WINAPI D3DXVec3TransformCoordArray(D3DXVECTOR3* pOut, UINT OutStride, CONST D3DXVECTOR3* pV,
                                                UINT VStride, CONST D3DXMATRIX* pM, UINT n);
D3DXVECTOR3* WINAPI D3DXVec3TransformNormalArray(D3DXVECTOR3* pOut, UINT OutStride, CONST D3DXVECTOR3* pV,
                                                 UINT VStride, CONST D3DXMATRIX* pM, UINT n);
// Object space to screen space through world, view, projection and the viewport. Null matrices
// count as the identity; a null viewport leaves the result in normalised device coordinates.
D3DXVECTOR3* WINAPI D3DXVec3Project(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DVIEWPORT9* pViewport,
                                    CONST D3DXMATRIX* pProjection, CONST D3DXMATRIX* pView,
                                    CONST D3DXMATRIX* pWorld);
// The inverse of D3DXVec3Project; NULL when the combined matrix has no inverse.
D3DXVECTOR3* WINAPI D3DXVec3Unproject(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DVIEWPORT9* pViewport,
                                      CONST D3DXMATRIX* pProjection, CONST D3DXMATRIX* pView,
                                      CONST D3DXMATRIX* pWorld);

// ---------------------------------------------------------------------------------------------
// 4D vectors

FLOAT WINAPI D3DXVec4Length(CONST D3DXVECTOR4* pV);
FLOAT WINAPI D3DXVec4LengthSq(CONST D3DXVECTOR4* pV);
FLOAT WINAPI D3DXVec4Dot(CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2);
D3DXVECTOR4* WINAPI D3DXVec4Add(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2);
D3DXVECTOR4* WINAPI D3DXVec4Subtract(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2);
D3DXVECTOR4* WINAPI D3DXVec4Minimize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2);
D3DXVECTOR4* WINAPI D3DXVec4Maximize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2);
D3DXVECTOR4* WINAPI D3DXVec4Scale(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV, FLOAT s);
D3DXVECTOR4* WINAPI D3DXVec4Lerp(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2, FLOAT s);
D3DXVECTOR4* WINAPI D3DXVec4Normalize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV);
D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV, CONST D3DXMATRIX* pM);

// ---------------------------------------------------------------------------------------------
// Matrices

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut);
BOOL WINAPI D3DXMatrixIsIdentity(CONST D3DXMATRIX* pM);
FLOAT WINAPI D3DXMatrixDeterminant(CONST D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM);
// M1 * M2: M1 applies first. pOut may be either input.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2);
// Transpose(M1 * M2).
D3DXMATRIX* WINAPI D3DXMatrixMultiplyTranspose(D3DXMATRIX* pOut, CONST D3DXMATRIX* pM1, CONST D3DXMATRIX* pM2);
// Returns NULL and leaves pOut untouched when M has no inverse; the determinant is stored either way.
D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, CONST D3DXMATRIX* pM);
// M = Scaling * Rotation * Translation. D3DERR_INVALIDCALL when a scale is zero.
HRESULT WINAPI D3DXMatrixDecompose(D3DXVECTOR3* pOutScale, D3DXQUATERNION* pOutRotation,
                                   D3DXVECTOR3* pOutTranslation, CONST D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z);
// Rotations are clockwise when looking along the axis toward the origin.
D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle);
// The axis need not be unit length.
D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pV, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, CONST D3DXQUATERNION* pQ);
// Roll about z, then pitch about x, then yaw about y.
D3DXMATRIX* WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, FLOAT Yaw, FLOAT Pitch, FLOAT Roll);
// Scaling * (rotation about the centre) * translation; null pointers are skipped.
D3DXMATRIX* WINAPI D3DXMatrixAffineTransformation(D3DXMATRIX* pOut, FLOAT Scaling, CONST D3DXVECTOR3* pRotationCenter,
                                                  CONST D3DXQUATERNION* pRotation,
                                                  CONST D3DXVECTOR3* pTranslation);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp);
D3DXMATRIX* WINAPI D3DXMatrixLookAtRH(D3DXMATRIX* pOut, CONST D3DXVECTOR3* pEye, CONST D3DXVECTOR3* pAt,
                                      CONST D3DXVECTOR3* pUp);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveRH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                                    FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoRH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf);

// ---------------------------------------------------------------------------------------------
// Quaternions

FLOAT WINAPI D3DXQuaternionLength(CONST D3DXQUATERNION* pQ);
FLOAT WINAPI D3DXQuaternionLengthSq(CONST D3DXQUATERNION* pQ);
FLOAT WINAPI D3DXQuaternionDot(CONST D3DXQUATERNION* pQ1, CONST D3DXQUATERNION* pQ2);
D3DXQUATERNION* WINAPI D3DXQuaternionIdentity(D3DXQUATERNION* pOut);
BOOL WINAPI D3DXQuaternionIsIdentity(CONST D3DXQUATERNION* pQ);
D3DXQUATERNION* WINAPI D3DXQuaternionConjugate(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ);
// A zero quaternion normalises to zero.
D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ);
// Conjugate / LengthSq; a zero quaternion inverts to zero.
D3DXQUATERNION* WINAPI D3DXQuaternionInverse(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ);
// Q1 * Q2 is the rotation Q1 followed by Q2 (as with matrices). pOut may be either input.
D3DXQUATERNION* WINAPI D3DXQuaternionMultiply(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ1,
                                              CONST D3DXQUATERNION* pQ2);
D3DXQUATERNION* WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, CONST D3DXVECTOR3* pV, FLOAT Angle);
D3DXQUATERNION* WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, CONST D3DXMATRIX* pM);
D3DXQUATERNION* WINAPI D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* pOut, FLOAT Yaw, FLOAT Pitch,
                                                          FLOAT Roll);
// Spherical interpolation along the shorter arc.
D3DXQUATERNION* WINAPI D3DXQuaternionSlerp(D3DXQUATERNION* pOut, CONST D3DXQUATERNION* pQ1,
                                           CONST D3DXQUATERNION* pQ2, FLOAT t);
void WINAPI D3DXQuaternionToAxisAngle(CONST D3DXQUATERNION* pQ, D3DXVECTOR3* pAxis, FLOAT* pAngle);

// ---------------------------------------------------------------------------------------------
// Planes

FLOAT WINAPI D3DXPlaneDot(CONST D3DXPLANE* pP, CONST D3DXVECTOR4* pV);
FLOAT WINAPI D3DXPlaneDotCoord(CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV);
FLOAT WINAPI D3DXPlaneDotNormal(CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV);
D3DXPLANE* WINAPI D3DXPlaneScale(D3DXPLANE* pOut, CONST D3DXPLANE* pP, FLOAT s);
// Scales the plane so that (a, b, c) has unit length; a zero normal gives the zero plane.
D3DXPLANE* WINAPI D3DXPlaneNormalize(D3DXPLANE* pOut, CONST D3DXPLANE* pP);
D3DXPLANE* WINAPI D3DXPlaneFromPointNormal(D3DXPLANE* pOut, CONST D3DXVECTOR3* pPoint, CONST D3DXVECTOR3* pNormal);
// Normal = norm((V2 - V1) x (V3 - V1)).
D3DXPLANE* WINAPI D3DXPlaneFromPoints(D3DXPLANE* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2,
                                      CONST D3DXVECTOR3* pV3);
// Where the line through V1 and V2 meets the plane; NULL when they are parallel.
D3DXVECTOR3* WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3* pOut, CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV1,
                                           CONST D3DXVECTOR3* pV2);
// (a, b, c, d) * M; M is the inverse transpose of the point transform.
D3DXPLANE* WINAPI D3DXPlaneTransform(D3DXPLANE* pOut, CONST D3DXPLANE* pP, CONST D3DXMATRIX* pM);

// ---------------------------------------------------------------------------------------------
// Colours

D3DXCOLOR* WINAPI D3DXColorNegative(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC);
D3DXCOLOR* WINAPI D3DXColorAdd(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2);
D3DXCOLOR* WINAPI D3DXColorSubtract(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2);
D3DXCOLOR* WINAPI D3DXColorScale(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT s);
D3DXCOLOR* WINAPI D3DXColorModulate(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2);
D3DXCOLOR* WINAPI D3DXColorLerp(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2, FLOAT s);
D3DXCOLOR* WINAPI D3DXColorAdjustSaturation(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT s);
D3DXCOLOR* WINAPI D3DXColorAdjustContrast(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT c);

// ---------------------------------------------------------------------------------------------
// Ray tests

// A ray from pRayPos along pRayDir against the triangle P0 P1 P2, both faces. On a hit in front of
// the origin, stores the barycentric U (weight of P1), V (weight of P2) and the distance in units
// of pRayDir's length; the hit point is P0 + U * (P1 - P0) + V * (P2 - P0).
BOOL WINAPI D3DXIntersectTri(CONST D3DXVECTOR3* p0, CONST D3DXVECTOR3* p1, CONST D3DXVECTOR3* p2,
                             CONST D3DXVECTOR3* pRayPos, CONST D3DXVECTOR3* pRayDir, FLOAT* pU, FLOAT* pV,
                             FLOAT* pDist);
// Whether the ray meets the axis-aligned box (an origin inside counts).
BOOL WINAPI D3DXBoxBoundProbe(CONST D3DXVECTOR3* pMin, CONST D3DXVECTOR3* pMax, CONST D3DXVECTOR3* pRayPosition,
                              CONST D3DXVECTOR3* pRayDirection);
// Whether the ray meets the sphere (an origin inside counts).
BOOL WINAPI D3DXSphereBoundProbe(CONST D3DXVECTOR3* pCenter, FLOAT Radius, CONST D3DXVECTOR3* pRayPosition,
                                 CONST D3DXVECTOR3* pRayDirection);
