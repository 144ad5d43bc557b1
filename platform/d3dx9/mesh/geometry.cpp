// Bounds of positions and rays against meshes.
#include <d3dx9mesh.h>

#include "d3dx9/buffer.h"
#include "d3dx9/mesh/vertex_format.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

D3DXVECTOR3 PositionAt(const D3DXVECTOR3* first, DWORD i, DWORD stride) {
    D3DXVECTOR3 p;
    std::memcpy(&p, reinterpret_cast<const unsigned char*>(first) + size_t(i) * stride, sizeof p);
    return p;
}

// Ray against triangle, both sides: the ray parameter t and the weights u (of p1) and v (of p2),
// with the hit at p0 + u (p1 - p0) + v (p2 - p0). Edges and corners count as inside.
bool RayTriangle(const double o[3], const double d[3], const float p0[3], const float p1[3], const float p2[3],
                 double* t, double* u, double* v) {
    double e1[3], e2[3], s[3], q[3], r[3];
    for (int i = 0; i < 3; ++i) {
        e1[i] = double(p1[i]) - p0[i];
        e2[i] = double(p2[i]) - p0[i];
        s[i] = o[i] - p0[i];
    }
    // q = d x e2
    q[0] = d[1] * e2[2] - d[2] * e2[1];
    q[1] = d[2] * e2[0] - d[0] * e2[2];
    q[2] = d[0] * e2[1] - d[1] * e2[0];
    const double det = e1[0] * q[0] + e1[1] * q[1] + e1[2] * q[2];
    if (!(std::fabs(det) > 0.0)) return false;  // parallel, degenerate or not a number
    const double inv = 1.0 / det;
    const double uu = (s[0] * q[0] + s[1] * q[1] + s[2] * q[2]) * inv;
    if (!(uu >= 0.0 && uu <= 1.0)) return false;
    // r = s x e1
    r[0] = s[1] * e1[2] - s[2] * e1[1];
    r[1] = s[2] * e1[0] - s[0] * e1[2];
    r[2] = s[0] * e1[1] - s[1] * e1[0];
    const double vv = (d[0] * r[0] + d[1] * r[1] + d[2] * r[2]) * inv;
    if (!(vv >= 0.0 && uu + vv <= 1.0)) return false;
    const double tt = (e2[0] * r[0] + e2[1] * r[1] + e2[2] * r[2]) * inv;
    if (!(tt >= 0.0)) return false;  // behind the origin
    *t = tt;
    *u = uu;
    *v = vv;
    return true;
}

}  // namespace

HRESULT WINAPI D3DXComputeBoundingBox(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices, DWORD dwStride,
                                      D3DXVECTOR3* pMin, D3DXVECTOR3* pMax) {
    if (!pFirstPosition || !pMin || !pMax || NumVertices == 0) return D3DERR_INVALIDCALL;
    D3DXVECTOR3 lo = PositionAt(pFirstPosition, 0, dwStride), hi = lo;
    for (DWORD i = 1; i < NumVertices; ++i) {
        const D3DXVECTOR3 p = PositionAt(pFirstPosition, i, dwStride);
        lo.x = std::fmin(lo.x, p.x);
        lo.y = std::fmin(lo.y, p.y);
        lo.z = std::fmin(lo.z, p.z);
        hi.x = std::fmax(hi.x, p.x);
        hi.y = std::fmax(hi.y, p.y);
        hi.z = std::fmax(hi.z, p.z);
    }
    *pMin = lo;
    *pMax = hi;
    return D3D_OK;
}

HRESULT WINAPI D3DXComputeBoundingSphere(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices, DWORD dwStride,
                                         D3DXVECTOR3* pCenter, FLOAT* pRadius) {
    if (!pFirstPosition || !pCenter || !pRadius || NumVertices == 0) return D3DERR_INVALIDCALL;
    // The centre is the mean of the positions; the radius reaches the farthest one.
    double sum[3] = {0.0, 0.0, 0.0};
    for (DWORD i = 0; i < NumVertices; ++i) {
        const D3DXVECTOR3 p = PositionAt(pFirstPosition, i, dwStride);
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
    }
    const double c[3] = {sum[0] / NumVertices, sum[1] / NumVertices, sum[2] / NumVertices};
    double farthest = 0.0;
    for (DWORD i = 0; i < NumVertices; ++i) {
        const D3DXVECTOR3 p = PositionAt(pFirstPosition, i, dwStride);
        const double dx = p.x - c[0], dy = p.y - c[1], dz = p.z - c[2];
        farthest = std::fmax(farthest, dx * dx + dy * dy + dz * dz);
    }
    *pCenter = D3DXVECTOR3(float(c[0]), float(c[1]), float(c[2]));
    *pRadius = float(std::sqrt(farthest));
    return D3D_OK;
}

HRESULT WINAPI D3DXIntersect(LPD3DXBASEMESH pMesh, const D3DXVECTOR3* pRayPos, const D3DXVECTOR3* pRayDir,
                             BOOL* pHit, DWORD* pFaceIndex, FLOAT* pU, FLOAT* pV, FLOAT* pDist,
                             LPD3DXBUFFER* ppAllHits, DWORD* pCountOfHits) {
    if (!pMesh || !pRayPos || !pRayDir) return D3DERR_INVALIDCALL;
    if (ppAllHits) *ppAllHits = nullptr;
    D3DVERTEXELEMENT9 declaration[MAXD3DDECLLENGTH];
    HRESULT hr = pMesh->GetDeclaration(declaration);
    if (FAILED(hr)) return hr;
    platform::d3dx9::VertexFormat format;
    if (!format.FromDeclaration(declaration)) return D3DERR_INVALIDCALL;
    const D3DVERTEXELEMENT9* position = format.Find(D3DDECLUSAGE_POSITION);
    if (!position || (position->Type != D3DDECLTYPE_FLOAT3 && position->Type != D3DDECLTYPE_FLOAT4))
        return D3DERR_INVALIDCALL;
    const DWORD stride = pMesh->GetNumBytesPerVertex();
    const DWORD numVertices = pMesh->GetNumVertices();
    const DWORD numFaces = pMesh->GetNumFaces();
    const bool use32 = (pMesh->GetOptions() & D3DXMESH_32BIT) != 0;

    void* vertexData = nullptr;
    void* indexData = nullptr;
    if (FAILED(hr = pMesh->LockVertexBuffer(D3DLOCK_READONLY, &vertexData))) return hr;
    if (FAILED(hr = pMesh->LockIndexBuffer(D3DLOCK_READONLY, &indexData))) {
        pMesh->UnlockVertexBuffer();
        return hr;
    }
    const auto* vertices = static_cast<const unsigned char*>(vertexData);
    const auto* indices = static_cast<const unsigned char*>(indexData);
    auto index = [&](size_t i) -> uint32_t {
        if (use32) {
            uint32_t v;
            std::memcpy(&v, indices + 4 * i, 4);
            return v;
        }
        uint16_t v;
        std::memcpy(&v, indices + 2 * i, 2);
        return v;
    };

    const double o[3] = {pRayPos->x, pRayPos->y, pRayPos->z};
    const double d[3] = {pRayDir->x, pRayDir->y, pRayDir->z};
    std::vector<D3DXINTERSECTINFO> hits;
    bool any = false;
    DWORD count = 0;
    D3DXINTERSECTINFO nearest{};
    double nearestT = 0.0;
    hr = D3D_OK;
    try {
        for (DWORD f = 0; f < numFaces; ++f) {
            float p[3][3];
            bool valid = true;
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = index(size_t(f) * 3 + k);
                if (v >= numVertices) {  // an index written out of range hits nothing
                    valid = false;
                    break;
                }
                std::memcpy(p[k], vertices + size_t(v) * stride + position->Offset, 12);
            }
            double t, u, v;
            if (!valid || !RayTriangle(o, d, p[0], p[1], p[2], &t, &u, &v)) continue;
            const D3DXINTERSECTINFO info{f, float(u), float(v), float(t)};
            if (!any || t < nearestT) {
                nearest = info;
                nearestT = t;
                any = true;
            }
            ++count;
            if (ppAllHits) hits.push_back(info);
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    pMesh->UnlockIndexBuffer();
    pMesh->UnlockVertexBuffer();
    if (FAILED(hr)) return hr;

    if (pHit) *pHit = any ? TRUE : FALSE;
    if (any) {
        if (pFaceIndex) *pFaceIndex = nearest.FaceIndex;
        if (pU) *pU = nearest.U;
        if (pV) *pV = nearest.V;
        if (pDist) *pDist = nearest.Dist;
    }
    if (pCountOfHits) *pCountOfHits = count;
    if (ppAllHits && !hits.empty()) {
        if (FAILED(hr = platform::d3dx::CopyToBuffer(hits.data(), hits.size() * sizeof(D3DXINTERSECTINFO), ppAllHits)))
            return hr;
    }
    return D3D_OK;
}
