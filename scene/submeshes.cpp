// Every Mesh object of a .x file as a sub-mesh of the scene node, with its bounding sphere.
#include <rmxfguid.h>

#include "frame.h"
#include "xparser.h"

// How far a walk goes: references can lead to the same objects many times over.
#define SUBMESH_MAX_DEPTH 64
#define SUBMESH_MAX_OBJECTS 100000

// A Mesh object as a mesh of its own and its bounding sphere; false when it cannot be loaded.
static bool LoadSubMesh(ID3DXFileData* pData, IDirect3DDevice9* pDevice, ID3DXMesh** ppMesh, D3DXVECTOR3* pCentre,
                        float* pRadius) {
    ID3DXMesh* pMesh = NULL;
    if (FAILED(D3DXLoadMeshFromXof(pData, D3DXMESH_SYSTEMMEM, pDevice, NULL, NULL, NULL, NULL, &pMesh)) ||
        pMesh == NULL)
        return false;

    DWORD stride = D3DXGetFVFVertexSize(pMesh->GetFVF());
    void* pVertices = NULL;
    HRESULT hr = E_FAIL;
    if (stride >= sizeof(D3DXVECTOR3) && SUCCEEDED(pMesh->LockVertexBuffer(D3DLOCK_READONLY, &pVertices))) {
        hr = D3DXComputeBoundingSphere((D3DXVECTOR3*)pVertices, pMesh->GetNumVertices(), stride, pCentre, pRadius);
        pMesh->UnlockVertexBuffer();
    }
    if (FAILED(hr)) {
        pMesh->Release();
        return false;
    }
    *ppMesh = pMesh;
    return true;
}

BOOL CFrame::LoadSubMeshes(const char* file, IDirect3DDevice9* pDevice) {
    for (int k = 0; k < nSubMeshCount && k < FRAME_MAX_SUBMESHES; k++) {
        if (pSubMesh[k] != NULL) pSubMesh[k]->Release();
        pSubMesh[k] = NULL;
    }
    nSubMesh = -1;
    nSubMeshCount = 0;

    ID3DXFile* pFile = NULL;
    ID3DXFileEnumObject* pEnum = NULL;
    if (FAILED(XOpen(file, &pFile, &pEnum))) return FALSE;

    int budget = SUBMESH_MAX_OBJECTS;
    SIZE_T count = 0;
    if (FAILED(pEnum->GetChildren(&count))) count = 0;
    for (SIZE_T i = 0; i < count; i++) {
        ID3DXFileData* pData = NULL;
        if (FAILED(pEnum->GetChild(i, &pData)) || pData == NULL) continue;
        ParseXFileData(pData, pDevice, 0, &budget);
        pData->Release();
    }

    pEnum->Release();
    pFile->Release();
    nSubMesh = nSubMeshCount - 1;
    return TRUE;
}

BOOL CFrame::ParseXFileData(ID3DXFileData* pData, IDirect3DDevice9* pDevice) {
    int budget = SUBMESH_MAX_OBJECTS;
    return ParseXFileData(pData, pDevice, 0, &budget);
}

// Depth first; once the sub-mesh arrays are full the rest of the file is passed over.
BOOL CFrame::ParseXFileData(ID3DXFileData* pData, IDirect3DDevice9* pDevice, int depth, int* pBudget) {
    if (pData == NULL || depth >= SUBMESH_MAX_DEPTH || *pBudget <= 0) return TRUE;
    if (nSubMeshCount >= FRAME_MAX_SUBMESHES) return TRUE;
    (*pBudget)--;

    GUID type;
    int k = nSubMeshCount;
    if (SUCCEEDED(pData->GetType(&type)) && type == TID_D3DRMMesh &&
        LoadSubMesh(pData, pDevice, &pSubMesh[k], &vSubMeshCentre[k], &fSubMeshRadius[k])) {
        D3DXVec3Add(&vSubMeshWorldCentre[k], &RigidBody.vPosition, &vSubMeshCentre[k]);
        nSubMeshCount++;
    }

    SIZE_T count = 0;
    if (FAILED(pData->GetChildren(&count))) count = 0;
    for (SIZE_T j = 0; j < count; j++) {
        ID3DXFileData* pChild = NULL;
        if (FAILED(pData->GetChild(j, &pChild)) || pChild == NULL) continue;
        ParseXFileData(pChild, pDevice, depth + 1, pBudget);
        pChild->Release();
    }
    return TRUE;
}
