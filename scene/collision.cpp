// The scene node's collision model in the collision library, the collision test, and the
// distance probes along a ray to another frame's mesh.
#include <float.h>
#include <math.h>

#include <CD.h>

#include "frame.h"
#include "meshcontainer.h"

extern IDirect3DDevice9* g_pd3dDevice;

HRESULT CFrame::BuildCollisionModel(CMeshContainerEx* pContainer) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL) return E_FAIL;
    CCollisionObject* pObject = newCollisionObject();
    if (pObject == NULL) return E_FAIL;
    if (pCollisionObject != NULL) pCollisionObject->Destroy();
    pCollisionObject = pObject;

    ID3DXMesh* pClone = NULL;
    HRESULT hr = pContainer->MeshData.pMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, D3DFVF_XYZ, g_pd3dDevice, &pClone);
    if (FAILED(hr)) return hr;
    if (pClone == NULL) return E_FAIL;

    DWORD numFaces = pClone->GetNumFaces();
    DWORD numVertices = pClone->GetNumVertices();
    bool indices32 = (pClone->GetOptions() & D3DXMESH_32BIT) != 0;
    D3DXVECTOR3* pVertices = NULL;
    void* pIndices = NULL;
    hr = pClone->LockVertexBuffer(D3DLOCK_READONLY, (LPVOID*)&pVertices);
    if (FAILED(hr)) {
        pClone->Release();
        return hr;
    }
    hr = pClone->LockIndexBuffer(D3DLOCK_READONLY, &pIndices);
    if (FAILED(hr)) {
        pClone->UnlockVertexBuffer();
        pClone->Release();
        return hr;
    }

    for (DWORD f = 0; f < numFaces; f++) {
        DWORD corner[3];
        for (int k = 0; k < 3; k++)
            corner[k] = indices32 ? ((DWORD*)pIndices)[3 * f + k] : ((WORD*)pIndices)[3 * f + k];
        // An index past the vertices names no triangle.
        if (corner[0] >= numVertices || corner[1] >= numVertices || corner[2] >= numVertices) continue;
        pCollisionObject->AddTriangle(pVertices[corner[0]], pVertices[corner[1]], pVertices[corner[2]]);
    }
    pCollisionObject->EndModel();

    pClone->UnlockIndexBuffer();
    pClone->UnlockVertexBuffer();
    pClone->Release();
    return S_OK;
}

bool CFrame::Collide(CFrame* pOther, int nFlag) {
    if (pOther == NULL || pCollisionObject == NULL) return false;
    bool collided = pCollisionObject->Collide(pOther->pCollisionObject, nFlag);
    if (collided) {
        bCollided = 1;
        pOther->bCollided = 1;
    }
    return collided;
}

// The distance from a world-space point along a world-space unit direction to the nearest hit on
// the target's first mesh, placed by the target's world matrix as last built. FLT_MAX when the
// ray misses, the target has no mesh or its matrix has no inverse.
static float RayDistance(D3DXVECTOR3 vOrigin, D3DXVECTOR3 vDirection, const CFrame& target) {
    if (target.pMeshList == NULL || target.pMeshList->MeshData.pMesh == NULL) return FLT_MAX;
    D3DXMATRIX matInverse;
    if (D3DXMatrixInverse(&matInverse, NULL, &target.matWorld) == NULL) return FLT_MAX;

    // In model space the direction keeps the world's length as the unit of the distance.
    D3DXVECTOR3 vModelOrigin, vModelDirection;
    D3DXVec3TransformCoord(&vModelOrigin, &vOrigin, &matInverse);
    D3DXVec3TransformNormal(&vModelDirection, &vDirection, &matInverse);

    BOOL hit = FALSE;
    float distance = FLT_MAX;
    if (FAILED(D3DXIntersect(target.pMeshList->MeshData.pMesh, &vModelOrigin, &vModelDirection, &hit, NULL, NULL,
                             NULL, &distance, NULL, NULL)) ||
        !hit)
        return FLT_MAX;
    return distance;
}

float CFrame::DistanceToGround(float x, float y, float z, CFrame ground) {
    bCollided = 0;
    return RayDistance(D3DXVECTOR3(x, y, z), D3DXVECTOR3(0.0f, -1.0f, 0.0f), ground);
}

float CFrame::RayDistanceAtAngle(float x, float y, float z, CFrame target, float angle) {
    return RayDistance(D3DXVECTOR3(x, y, z), D3DXVECTOR3(cosf(angle), 0.0f, sinf(angle)), target);
}
