#include <math.h>

#include "frame.h"
#include "meshcontainer.h"

int g_NextFrameId = 0;

// Locks a container's vertices for reading: the first position, the count and the stride.
static bool LockPositions(CMeshContainerEx* pContainer, D3DXVECTOR3** ppFirst, DWORD* pCount,
                          DWORD* pStride) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL) return false;
    ID3DXMesh* pMesh = pContainer->MeshData.pMesh;
    DWORD fvf = pMesh->GetFVF();
    *pCount = pMesh->GetNumVertices();
    *pStride = D3DXGetFVFVertexSize(fvf);
    if (*pStride < sizeof(D3DXVECTOR3)) return false;

    void* pData = NULL;
    if (FAILED(pMesh->LockVertexBuffer(D3DLOCK_READONLY, &pData)) || pData == NULL) return false;
    *ppFirst = (D3DXVECTOR3*)pData;
    return true;
}

void CFrame::ComputeBounds(CMeshContainerEx* pContainer) {
    D3DXVECTOR3* pFirst = NULL;
    DWORD count = 0, stride = 0;
    if (!LockPositions(pContainer, &pFirst, &count, &stride)) return;

    D3DXComputeBoundingBox(pFirst, count, stride, &vBoxMin, &vBoxMax);
    D3DXComputeBoundingSphere(pFirst, count, stride, &vSphereCentre, &RigidBody.fRadius);

    // The bounding sphere onto the unit sphere at the origin; a sphere of no size keeps its scale.
    float radius = RigidBody.fRadius;
    float scale = radius != 0.0f ? 1.0f / radius : 1.0f;
    D3DXMATRIX matScale;
    D3DXMatrixTranslation(&matNormalize, -vSphereCentre.x, -vSphereCentre.y, -vSphereCentre.z);
    D3DXMatrixScaling(&matScale, scale, scale, scale);
    D3DXMatrixMultiply(&matNormalize, &matNormalize, &matScale);

    pContainer->MeshData.pMesh->UnlockVertexBuffer();

    fWidth = fabsf(vBoxMax.x - vBoxMin.x);
    fHeight = fabsf(vBoxMax.y - vBoxMin.y);
    fDepth = fabsf(vBoxMax.z - vBoxMin.z);

    float w = fWidth, h = fHeight, d = fDepth;
    RigidBody.fMass = w * h * d * 100.0f;
    float m = RigidBody.fMass / 12.0f;
    fInertiaWH = m * (w * w + h * h);
    fInertiaHD = m * (h * h + d * d);
    fInertiaWD = m * (w * w + d * d);

    D3DXMatrixIdentity(&RigidBody.matInertia);
    RigidBody.matInertia._11 = fInertiaWH;
    RigidBody.matInertia._22 = fInertiaHD;
    RigidBody.matInertia._33 = fInertiaWD;
    D3DXMatrixInverse(&RigidBody.matInverseInertia, NULL, &RigidBody.matInertia);

    if (d >= h && d >= w)
        RigidBody.fRadius = d / 2.0f;
    else if (h >= d && h >= w)
        RigidBody.fRadius = h / 2.0f;
    else
        RigidBody.fRadius = w / 2.0f;

    nId = g_NextFrameId;
    g_NextFrameId++;
}

void CFrame::ComputeBoundingSphere(CMeshContainerEx* pContainer) {
    D3DXVECTOR3* pFirst = NULL;
    DWORD count = 0, stride = 0;
    if (!LockPositions(pContainer, &pFirst, &count, &stride)) return;
    D3DXComputeBoundingSphere(pFirst, count, stride, &vSphereCentre, &RigidBody.fRadius);
    pContainer->MeshData.pMesh->UnlockVertexBuffer();
}

void CFrame::ComputeBoxCorners() {
    static const float signs[8][3] = {
        {1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1},
        {-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1},
    };
    const D3DXVECTOR3& p = RigidBody.vPosition;
    for (int i = 0; i < 8; i++) {
        RigidBody.vCorners[i] = D3DXVECTOR3(p.x + signs[i][0] * fWidth / 2.0f,
                                            p.y + signs[i][1] * fHeight / 2.0f,
                                            p.z + signs[i][2] * fDepth / 2.0f);
    }
}

bool CFrame::PointInBox(D3DXVECTOR3* pPoint, D3DXVECTOR3* pMin, D3DXVECTOR3* pMax) {
    if (!(pMin->x < pPoint->x)) return false;
    if (!(pPoint->x < pMax->x)) return false;
    if (!(pMin->y < pPoint->y)) return false;
    if (!(pPoint->y < pMax->y)) return false;
    if (!(pMin->z < pPoint->z)) return false;
    if (!(pPoint->z < pMax->z)) return false;
    return true;
}

bool CFrame::PointInSphere(D3DXVECTOR3* pPoint, D3DXVECTOR3 vCentre, float fRadius) {
    D3DXVECTOR3 v = vCentre - *pPoint;
    return D3DXVec3LengthSq(&v) < fRadius * fRadius;
}

bool CFrame::SpheresOverlap(D3DXVECTOR3* pCentre1, float fRadius1, D3DXVECTOR3 vCentre2, float fRadius2) {
    D3DXVECTOR3 v = vCentre2 - *pCentre1;
    float r = fRadius2 + fRadius1;
    return D3DXVec3LengthSq(&v) < r * r;
}

bool CFrame::RayHitsSphere(D3DXVECTOR3 vOrigin, D3DXVECTOR3 vDirection, D3DXVECTOR3 vCentre, float fRadius) {
    D3DXVECTOR3 L = vCentre - vOrigin;
    float t = D3DXVec3Dot(&L, &vDirection);
    if (t < 0.0f) return false;

    float d2 = D3DXVec3LengthSq(&L) - t * t;
    float r2 = fRadius * fRadius;
    if (r2 < d2) return false;

    float t0 = t - sqrtf(r2 - d2);
    if (t0 < 0.0f) return false;
    return true;
}

bool CFrame::RayHitsTriangle(D3DXVECTOR3* pOrigin, D3DXVECTOR3* pDirection, D3DXVECTOR3* pP,
                             D3DXVECTOR3* pQ, D3DXVECTOR3* pR) {
    D3DXVECTOR3 e1 = *pQ - *pP;
    D3DXVECTOR3 e2 = *pR - *pP;
    D3DXVECTOR3 s;
    D3DXVec3Cross(&s, pDirection, &e2);
    float det = D3DXVec3Dot(&e1, &s);

    D3DXVECTOR3 T;
    if (det > 0.0f) {
        T = *pOrigin - *pP;
    } else {
        T = *pP - *pOrigin;
        det = -det;
    }
    if (det < 0.0001f) return false;

    float u = D3DXVec3Dot(&T, &s);
    if (u < 0.0f || u > det) return false;

    D3DXVECTOR3 k;
    D3DXVec3Cross(&k, &T, &e1);
    float v = D3DXVec3Dot(pDirection, &k);
    if (v < 0.0f || u + v > det) return false;
    return true;
}
