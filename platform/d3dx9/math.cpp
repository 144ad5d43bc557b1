// D3DX math on vectors, planes and colours, and the ray tests.
// Every function reads all of its inputs before it writes the output, so pOut may alias an input.
// No function depends on any static object: they run safely from global constructors.

#include "d3dx9math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

float Dot3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DXVECTOR3 Cross3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// (x, y, z, w) * M.
D3DXVECTOR4 Transform4(float x, float y, float z, float w, const D3DXMATRIX& m) {
    return D3DXVECTOR4(x * m._11 + y * m._21 + z * m._31 + w * m._41,
                       x * m._12 + y * m._22 + z * m._32 + w * m._42,
                       x * m._13 + y * m._23 + z * m._33 + w * m._43,
                       x * m._14 + y * m._24 + z * m._34 + w * m._44);
}

// Strided array walk over byte offsets; memcpy keeps unaligned strides well-defined.
template <typename Out, typename Fn>
Out* TransformArray(Out* pOut, UINT outStride, const D3DXVECTOR3* pV, UINT vStride, UINT n, Fn fn) {
    auto* dst = reinterpret_cast<unsigned char*>(pOut);
    auto* src = reinterpret_cast<const unsigned char*>(pV);
    for (UINT i = 0; i < n; ++i) {
        D3DXVECTOR3 v;
        std::memcpy(&v.x, src + static_cast<size_t>(i) * vStride, sizeof(float) * 3);
        const Out r = fn(v);
        std::memcpy(dst + static_cast<size_t>(i) * outStride, &r, sizeof(Out));
    }
    return pOut;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// 2D vectors

FLOAT WINAPI D3DXVec2Length(CONST D3DXVECTOR2* pV) { return std::sqrt(D3DXVec2LengthSq(pV)); }

FLOAT WINAPI D3DXVec2LengthSq(CONST D3DXVECTOR2* pV) { return pV->x * pV->x + pV->y * pV->y; }

FLOAT WINAPI D3DXVec2Dot(CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    return pV1->x * pV2->x + pV1->y * pV2->y;
}

FLOAT WINAPI D3DXVec2CCW(CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    return pV1->x * pV2->y - pV1->y * pV2->x;
}

D3DXVECTOR2* WINAPI D3DXVec2Add(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    *pOut = *pV1 + *pV2;
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Subtract(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    *pOut = *pV1 - *pV2;
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Minimize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    *pOut = D3DXVECTOR2(std::min(pV1->x, pV2->x), std::min(pV1->y, pV2->y));
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Maximize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2) {
    *pOut = D3DXVECTOR2(std::max(pV1->x, pV2->x), std::max(pV1->y, pV2->y));
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Scale(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, FLOAT s) {
    *pOut = *pV * s;
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Lerp(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV1, CONST D3DXVECTOR2* pV2, FLOAT s) {
    *pOut = D3DXVECTOR2(pV1->x + s * (pV2->x - pV1->x), pV1->y + s * (pV2->y - pV1->y));
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2Normalize(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV) {
    const float len = D3DXVec2Length(pV);
    *pOut = len > 0.0f ? D3DXVECTOR2(pV->x / len, pV->y / len) : D3DXVECTOR2(0.0f, 0.0f);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec2Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM) {
    *pOut = Transform4(pV->x, pV->y, 0.0f, 1.0f, *pM);
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2TransformCoord(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM) {
    const D3DXVECTOR4 r = Transform4(pV->x, pV->y, 0.0f, 1.0f, *pM);
    *pOut = D3DXVECTOR2(r.x / r.w, r.y / r.w);
    return pOut;
}

D3DXVECTOR2* WINAPI D3DXVec2TransformNormal(D3DXVECTOR2* pOut, CONST D3DXVECTOR2* pV, CONST D3DXMATRIX* pM) {
    const D3DXVECTOR4 r = Transform4(pV->x, pV->y, 0.0f, 0.0f, *pM);
    *pOut = D3DXVECTOR2(r.x, r.y);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// 3D vectors

FLOAT WINAPI D3DXVec3Length(CONST D3DXVECTOR3* pV) { return std::sqrt(Dot3(*pV, *pV)); }

FLOAT WINAPI D3DXVec3LengthSq(CONST D3DXVECTOR3* pV) { return Dot3(*pV, *pV); }

FLOAT WINAPI D3DXVec3Dot(CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) { return Dot3(*pV1, *pV2); }

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    *pOut = Cross3(*pV1, *pV2);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Add(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    *pOut = *pV1 + *pV2;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Subtract(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    *pOut = *pV1 - *pV2;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Minimize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    *pOut = D3DXVECTOR3(std::min(pV1->x, pV2->x), std::min(pV1->y, pV2->y), std::min(pV1->z, pV2->z));
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Maximize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2) {
    *pOut = D3DXVECTOR3(std::max(pV1->x, pV2->x), std::max(pV1->y, pV2->y), std::max(pV1->z, pV2->z));
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Scale(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, FLOAT s) {
    *pOut = *pV * s;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Lerp(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2, FLOAT s) {
    *pOut = D3DXVECTOR3(pV1->x + s * (pV2->x - pV1->x), pV1->y + s * (pV2->y - pV1->y),
                        pV1->z + s * (pV2->z - pV1->z));
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV) {
    const float len = D3DXVec3Length(pV);
    *pOut = len > 0.0f ? D3DXVECTOR3(pV->x / len, pV->y / len, pV->z / len) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3BaryCentric(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2,
                                        CONST D3DXVECTOR3* pV3, FLOAT f, FLOAT g) {
    *pOut = *pV1 + f * (*pV2 - *pV1) + g * (*pV3 - *pV1);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM) {
    *pOut = Transform4(pV->x, pV->y, pV->z, 1.0f, *pM);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM) {
    const D3DXVECTOR4 r = Transform4(pV->x, pV->y, pV->z, 1.0f, *pM);
    *pOut = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DXMATRIX* pM) {
    const D3DXVECTOR4 r = Transform4(pV->x, pV->y, pV->z, 0.0f, *pM);
    *pOut = D3DXVECTOR3(r.x, r.y, r.z);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec3TransformArray(D3DXVECTOR4* pOut, UINT OutStride, CONST D3DXVECTOR3* pV, UINT VStride,
                                           CONST D3DXMATRIX* pM, UINT n) {
    return TransformArray(pOut, OutStride, pV, VStride, n, [pM](const D3DXVECTOR3& v) {
        D3DXVECTOR4 r;
        D3DXVec3Transform(&r, &v, pM);
        return r;
    });
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoordArray(D3DXVECTOR3* pOut, UINT OutStride, CONST D3DXVECTOR3* pV,
                                                UINT VStride, CONST D3DXMATRIX* pM, UINT n) {
    return TransformArray(pOut, OutStride, pV, VStride, n, [pM](const D3DXVECTOR3& v) {
        D3DXVECTOR3 r;
        D3DXVec3TransformCoord(&r, &v, pM);
        return r;
    });
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormalArray(D3DXVECTOR3* pOut, UINT OutStride, CONST D3DXVECTOR3* pV,
                                                 UINT VStride, CONST D3DXMATRIX* pM, UINT n) {
    return TransformArray(pOut, OutStride, pV, VStride, n, [pM](const D3DXVECTOR3& v) {
        D3DXVECTOR3 r;
        D3DXVec3TransformNormal(&r, &v, pM);
        return r;
    });
}

namespace {

// World * View * Projection, with null matrices left out.
D3DXMATRIX CombinedTransform(const D3DXMATRIX* pProjection, const D3DXMATRIX* pView, const D3DXMATRIX* pWorld) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    if (pWorld) D3DXMatrixMultiply(&m, &m, pWorld);
    if (pView) D3DXMatrixMultiply(&m, &m, pView);
    if (pProjection) D3DXMatrixMultiply(&m, &m, pProjection);
    return m;
}

}  // namespace

D3DXVECTOR3* WINAPI D3DXVec3Project(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DVIEWPORT9* pViewport,
                                    CONST D3DXMATRIX* pProjection, CONST D3DXMATRIX* pView,
                                    CONST D3DXMATRIX* pWorld) {
    const D3DXMATRIX m = CombinedTransform(pProjection, pView, pWorld);
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, pV, &m);
    if (pViewport) {
        const float w = static_cast<float>(pViewport->Width), h = static_cast<float>(pViewport->Height);
        r.x = static_cast<float>(pViewport->X) + (1.0f + r.x) * w * 0.5f;
        r.y = static_cast<float>(pViewport->Y) + (1.0f - r.y) * h * 0.5f;
        r.z = pViewport->MinZ + r.z * (pViewport->MaxZ - pViewport->MinZ);
    }
    *pOut = r;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Unproject(D3DXVECTOR3* pOut, CONST D3DXVECTOR3* pV, CONST D3DVIEWPORT9* pViewport,
                                      CONST D3DXMATRIX* pProjection, CONST D3DXMATRIX* pView,
                                      CONST D3DXMATRIX* pWorld) {
    D3DXMATRIX m = CombinedTransform(pProjection, pView, pWorld);
    if (!D3DXMatrixInverse(&m, nullptr, &m)) return nullptr;
    D3DXVECTOR3 v = *pV;
    if (pViewport) {
        const float w = static_cast<float>(pViewport->Width), h = static_cast<float>(pViewport->Height);
        const float depth = pViewport->MaxZ - pViewport->MinZ;
        v.x = w != 0.0f ? 2.0f * (v.x - static_cast<float>(pViewport->X)) / w - 1.0f : 0.0f;
        v.y = h != 0.0f ? 1.0f - 2.0f * (v.y - static_cast<float>(pViewport->Y)) / h : 0.0f;
        v.z = depth != 0.0f ? (v.z - pViewport->MinZ) / depth : 0.0f;
    }
    D3DXVec3TransformCoord(pOut, &v, &m);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// 4D vectors

FLOAT WINAPI D3DXVec4Length(CONST D3DXVECTOR4* pV) { return std::sqrt(D3DXVec4LengthSq(pV)); }

FLOAT WINAPI D3DXVec4LengthSq(CONST D3DXVECTOR4* pV) { return D3DXVec4Dot(pV, pV); }

FLOAT WINAPI D3DXVec4Dot(CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2) {
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z + pV1->w * pV2->w;
}

D3DXVECTOR4* WINAPI D3DXVec4Add(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2) {
    *pOut = *pV1 + *pV2;
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Subtract(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2) {
    *pOut = *pV1 - *pV2;
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Minimize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2) {
    *pOut = D3DXVECTOR4(std::min(pV1->x, pV2->x), std::min(pV1->y, pV2->y), std::min(pV1->z, pV2->z),
                        std::min(pV1->w, pV2->w));
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Maximize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2) {
    *pOut = D3DXVECTOR4(std::max(pV1->x, pV2->x), std::max(pV1->y, pV2->y), std::max(pV1->z, pV2->z),
                        std::max(pV1->w, pV2->w));
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Scale(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV, FLOAT s) {
    *pOut = *pV * s;
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Lerp(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV1, CONST D3DXVECTOR4* pV2, FLOAT s) {
    *pOut = *pV1 + s * (*pV2 - *pV1);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Normalize(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV) {
    const float len = D3DXVec4Length(pV);
    *pOut = len > 0.0f ? *pV / len : D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* pOut, CONST D3DXVECTOR4* pV, CONST D3DXMATRIX* pM) {
    *pOut = Transform4(pV->x, pV->y, pV->z, pV->w, *pM);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Planes

FLOAT WINAPI D3DXPlaneDot(CONST D3DXPLANE* pP, CONST D3DXVECTOR4* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z + pP->d * pV->w;
}

FLOAT WINAPI D3DXPlaneDotCoord(CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z + pP->d;
}

FLOAT WINAPI D3DXPlaneDotNormal(CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z;
}

D3DXPLANE* WINAPI D3DXPlaneScale(D3DXPLANE* pOut, CONST D3DXPLANE* pP, FLOAT s) {
    *pOut = *pP * s;
    return pOut;
}

D3DXPLANE* WINAPI D3DXPlaneNormalize(D3DXPLANE* pOut, CONST D3DXPLANE* pP) {
    const float len = std::sqrt(pP->a * pP->a + pP->b * pP->b + pP->c * pP->c);
    *pOut = len > 0.0f ? *pP / len : D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
    return pOut;
}

D3DXPLANE* WINAPI D3DXPlaneFromPointNormal(D3DXPLANE* pOut, CONST D3DXVECTOR3* pPoint, CONST D3DXVECTOR3* pNormal) {
    *pOut = D3DXPLANE(pNormal->x, pNormal->y, pNormal->z, -Dot3(*pPoint, *pNormal));
    return pOut;
}

D3DXPLANE* WINAPI D3DXPlaneFromPoints(D3DXPLANE* pOut, CONST D3DXVECTOR3* pV1, CONST D3DXVECTOR3* pV2,
                                      CONST D3DXVECTOR3* pV3) {
    D3DXVECTOR3 n = Cross3(*pV2 - *pV1, *pV3 - *pV1);
    D3DXVec3Normalize(&n, &n);
    const D3DXVECTOR3 p = *pV1;
    return D3DXPlaneFromPointNormal(pOut, &p, &n);
}

D3DXVECTOR3* WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3* pOut, CONST D3DXPLANE* pP, CONST D3DXVECTOR3* pV1,
                                           CONST D3DXVECTOR3* pV2) {
    const D3DXVECTOR3 dir = *pV2 - *pV1;
    const float denom = D3DXPlaneDotNormal(pP, &dir);
    if (denom == 0.0f) return nullptr;
    const float t = -D3DXPlaneDotCoord(pP, pV1) / denom;
    *pOut = *pV1 + t * dir;
    return pOut;
}

D3DXPLANE* WINAPI D3DXPlaneTransform(D3DXPLANE* pOut, CONST D3DXPLANE* pP, CONST D3DXMATRIX* pM) {
    const D3DXVECTOR4 r = Transform4(pP->a, pP->b, pP->c, pP->d, *pM);
    *pOut = D3DXPLANE(r.x, r.y, r.z, r.w);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Colours

D3DXCOLOR* WINAPI D3DXColorNegative(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC) {
    *pOut = D3DXCOLOR(1.0f - pC->r, 1.0f - pC->g, 1.0f - pC->b, pC->a);
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorAdd(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2) {
    *pOut = *pC1 + *pC2;
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorSubtract(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2) {
    *pOut = *pC1 - *pC2;
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorScale(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT s) {
    *pOut = *pC * s;
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorModulate(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2) {
    *pOut = D3DXCOLOR(pC1->r * pC2->r, pC1->g * pC2->g, pC1->b * pC2->b, pC1->a * pC2->a);
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorLerp(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC1, CONST D3DXCOLOR* pC2, FLOAT s) {
    *pOut = *pC1 + s * (*pC2 - *pC1);
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorAdjustSaturation(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT s) {
    const float grey = pC->r * 0.2125f + pC->g * 0.7154f + pC->b * 0.0721f;
    *pOut = D3DXCOLOR(grey + s * (pC->r - grey), grey + s * (pC->g - grey), grey + s * (pC->b - grey), pC->a);
    return pOut;
}

D3DXCOLOR* WINAPI D3DXColorAdjustContrast(D3DXCOLOR* pOut, CONST D3DXCOLOR* pC, FLOAT c) {
    *pOut = D3DXCOLOR(0.5f + c * (pC->r - 0.5f), 0.5f + c * (pC->g - 0.5f), 0.5f + c * (pC->b - 0.5f), pC->a);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Ray tests

BOOL WINAPI D3DXIntersectTri(CONST D3DXVECTOR3* p0, CONST D3DXVECTOR3* p1, CONST D3DXVECTOR3* p2,
                             CONST D3DXVECTOR3* pRayPos, CONST D3DXVECTOR3* pRayDir, FLOAT* pU, FLOAT* pV,
                             FLOAT* pDist) {
    const D3DXVECTOR3 e1 = *p1 - *p0;
    const D3DXVECTOR3 e2 = *p2 - *p0;
    const D3DXVECTOR3 pvec = Cross3(*pRayDir, e2);
    const float det = Dot3(e1, pvec);
    // A ray in the triangle's plane (or a degenerate triangle or direction) does not hit.
    const float scale = std::sqrt(Dot3(e1, e1) * Dot3(e2, e2) * Dot3(*pRayDir, *pRayDir));
    if (!(std::fabs(det) > scale * 1e-7f)) return FALSE;
    const float inv = 1.0f / det;
    const D3DXVECTOR3 tvec = *pRayPos - *p0;
    const float u = Dot3(tvec, pvec) * inv;
    if (u < 0.0f || u > 1.0f) return FALSE;
    const D3DXVECTOR3 qvec = Cross3(tvec, e1);
    const float v = Dot3(*pRayDir, qvec) * inv;
    if (v < 0.0f || u + v > 1.0f) return FALSE;
    const float t = Dot3(e2, qvec) * inv;
    if (t < 0.0f) return FALSE;
    if (pU) *pU = u;
    if (pV) *pV = v;
    if (pDist) *pDist = t;
    return TRUE;
}

BOOL WINAPI D3DXBoxBoundProbe(CONST D3DXVECTOR3* pMin, CONST D3DXVECTOR3* pMax, CONST D3DXVECTOR3* pRayPosition,
                              CONST D3DXVECTOR3* pRayDirection) {
    const float lo[3] = {pMin->x, pMin->y, pMin->z};
    const float hi[3] = {pMax->x, pMax->y, pMax->z};
    const float o[3] = {pRayPosition->x, pRayPosition->y, pRayPosition->z};
    const float d[3] = {pRayDirection->x, pRayDirection->y, pRayDirection->z};
    float tNear = 0.0f;
    float tFar = HUGE_VALF;
    for (int i = 0; i < 3; ++i) {
        if (d[i] == 0.0f) {
            if (o[i] < lo[i] || o[i] > hi[i]) return FALSE;
            continue;
        }
        float t1 = (lo[i] - o[i]) / d[i];
        float t2 = (hi[i] - o[i]) / d[i];
        if (t1 > t2) std::swap(t1, t2);
        tNear = std::max(tNear, t1);
        tFar = std::min(tFar, t2);
        if (tNear > tFar) return FALSE;
    }
    return TRUE;
}

BOOL WINAPI D3DXSphereBoundProbe(CONST D3DXVECTOR3* pCenter, FLOAT Radius, CONST D3DXVECTOR3* pRayPosition,
                                 CONST D3DXVECTOR3* pRayDirection) {
    const D3DXVECTOR3 oc = *pRayPosition - *pCenter;
    const float c = Dot3(oc, oc) - Radius * Radius;
    if (c <= 0.0f) return TRUE;  // the origin is inside
    const float b = Dot3(oc, *pRayDirection);
    if (b >= 0.0f) return FALSE;  // pointing away, or no direction at all
    const float a = Dot3(*pRayDirection, *pRayDirection);
    return b * b - a * c >= 0.0f ? TRUE : FALSE;
}
