#include "frame.h"

#include <CD.h>

#include "log.h"
#include "meshcontainer.h"

extern IDirect3DDevice9* g_pd3dDevice;

CFrame::CFrame() {
    D3DXMatrixIdentity(&matWorld);
    D3DXMatrixIdentity(&matWorldCopy);
    D3DXMatrixIdentity(&matLocal);
    D3DXMatrixIdentity(&matNormalize);
    dwUserValue = 0;
    fWidth = fHeight = fDepth = 0.0f;
    fYaw = fPitch = fRoll = 0.0f;
    fInertiaWH = fInertiaHD = fInertiaWD = 0.0f;
    nId = 0;
    nSubMesh = -1;
    nSubMeshCount = 0;
    for (int i = 0; i < FRAME_MAX_SUBMESHES; i++) {
        vSubMeshCentre[i] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        fSubMeshRadius[i] = 0.0f;
        vSubMeshWorldCentre[i] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        pSubMesh[i] = NULL;
    }

    RigidBody.fMass = 0.0f;
    D3DXMatrixIdentity(&RigidBody.matInertia);
    D3DXMatrixIdentity(&RigidBody.matInverseInertia);
    RigidBody.vPosition = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    RigidBody.vBodyVector = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    D3DXQuaternionRotationYawPitchRoll(&RigidBody.qOrientation, fYaw, fPitch, fRoll);
    RigidBody.fRadius = 0.0f;
    for (int i = 0; i < 8; i++) RigidBody.vCorners[i] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);

    vBoxMin = vBoxMax = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    vSphereCentre = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    vExtra = D3DXVECTOR3(0.0f, 0.0f, 0.0f);

    pMeshList = NULL;
    pNextSibling = NULL;
    pFirstChild = NULL;
    pParent = NULL;
    pfnUpdateCallback = NULL;
    bUseCallback = 0;
    pCollisionObject = NULL;
    bCollided = 0;
    bMouseOver = 0;
    bSelectedForMove = 0;
    bReachable = 0;
}

CFrame::~CFrame() {}

HRESULT CFrame::SetUpdateCallback(LPFRAMEUPDATECALLBACK pfnCallback) {
    if (pfnCallback == NULL) {
        pfnUpdateCallback = NULL;
        bUseCallback = 0;
        return E_FAIL;
    }
    pfnUpdateCallback = pfnCallback;
    bUseCallback = 1;
    return S_OK;
}

HRESULT CFrame::AddChild(CFrame* pChild) {
    if (pChild == NULL) {
        ReportError("Failed in attempt to add an invalid child frame");
        return E_FAIL;
    }
    // A frame cannot hang below itself, and one already in the list is not added twice.
    for (CFrame* pUp = this; pUp != NULL; pUp = pUp->pParent) {
        if (pUp == pChild) return E_FAIL;
    }
    for (CFrame* pFrame = pFirstChild; pFrame != NULL; pFrame = pFrame->GetNextSibling()) {
        if (pFrame == pChild) return E_FAIL;
    }

    pChild->SetParent(this);
    pChild->SetNextSibling(NULL);
    if (pFirstChild == NULL) {
        pFirstChild = pChild;
    } else {
        CFrame* pLast = pFirstChild;
        while (pLast->GetNextSibling() != NULL) pLast = pLast->GetNextSibling();
        pLast->SetNextSibling(pChild);
    }
    return S_OK;
}

HRESULT CFrame::AddMesh(CMeshContainerEx* pContainer) {
    if (pContainer == NULL) return E_FAIL;
    for (CMeshContainerEx* pMesh = pMeshList; pMesh != NULL; pMesh = pMesh->GetFrameNext()) {
        if (pMesh == pContainer) return E_FAIL;
    }

    pContainer->SetOwner(this);
    pContainer->SetFrameNext(NULL);
    if (pMeshList == NULL) {
        pMeshList = pContainer;
    } else {
        CMeshContainerEx* pLast = pMeshList;
        while (pLast->GetFrameNext() != NULL) pLast = pLast->GetFrameNext();
        pLast->SetFrameNext(pContainer);
    }
    return S_OK;
}

void CFrame::RemoveMeshes() {
    CMeshContainerEx* pMesh = pMeshList;
    pMeshList = NULL;
    while (pMesh != NULL) {
        CMeshContainerEx* pNext = pMesh->GetFrameNext();
        pMesh->SetFrameNext(NULL);
        pMesh->SetOwner(NULL);
        pMesh = pNext;
    }
}

void CFrame::UpdateWorldMatrix() {
    if (bUseCallback) pfnUpdateCallback(this, dwUserValue);

    D3DXMATRIX matTranslation, matRotX, matRotY, matRotZ, matTemp;
    D3DXMatrixTranslation(&matTranslation, RigidBody.vPosition.x, RigidBody.vPosition.y,
                          RigidBody.vPosition.z);
    D3DXMatrixRotationX(&matRotX, fPitch);
    D3DXMatrixRotationY(&matRotY, fYaw);
    D3DXMatrixRotationZ(&matRotZ, fRoll);

    D3DXMatrixMultiply(&matTemp, &matRotX, &matRotY);
    D3DXMatrixMultiply(&matTemp, &matRotZ, &matTemp);
    D3DXMatrixMultiply(&matTemp, &matLocal, &matTemp);
    D3DXMatrixMultiply(&matWorld, &matTemp, &matTranslation);
    matWorldCopy = matWorld;

    if (pCollisionObject != NULL) pCollisionObject->SetWorldMatrix(&matWorld);
    if (g_pd3dDevice != NULL) g_pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);
}

void CFrame::GetWorldMatrix(D3DXMATRIX* pOut) {
    UpdateWorldMatrix();
    if (pOut != NULL) *pOut = matWorld;
}

HRESULT CFrame::Render(bool useTextures) {
    UpdateWorldMatrix();

    for (CFrame* pChild = pFirstChild; pChild != NULL; pChild = pChild->pNextSibling) {
        pChild->Render(true);
    }

    if (pMeshList == NULL) return S_OK;

    if (g_pd3dDevice != NULL) g_pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);
    for (CMeshContainerEx* pMesh = pMeshList; pMesh != NULL; pMesh = pMesh->pFrameNext) {
        DrawMeshContainer(pMesh, useTextures);
    }
    return S_OK;
}

// Runs through the position of every vertex of a container's mesh.
template <class F>
static HRESULT ForEachPosition(CMeshContainerEx* pContainer, F f) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL) return D3DERR_INVALIDCALL;
    ID3DXMesh* pMesh = pContainer->MeshData.pMesh;

    DWORD numVertices = pMesh->GetNumVertices();
    DWORD stride = D3DXGetFVFVertexSize(pMesh->GetFVF());
    if (stride < 3 * sizeof(float)) return D3DERR_INVALIDCALL;

    BYTE* pData = NULL;
    HRESULT hr = pMesh->LockVertexBuffer(0, (LPVOID*)&pData);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < numVertices; i++) {
        float* pPosition = (float*)(pData + (size_t)i * stride);
        f(pPosition);
    }
    return pMesh->UnlockVertexBuffer();
}

HRESULT CFrame::ScaleMesh(CMeshContainerEx* pContainer, float scale) {
    HRESULT hr = ForEachPosition(pContainer, [scale](float* p) {
        p[0] *= scale;
        p[1] *= scale;
        p[2] *= scale;
    });
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CFrame::TranslateMesh(CMeshContainerEx* pContainer, float dx, float dy, float dz) {
    HRESULT hr = ForEachPosition(pContainer, [dx, dy, dz](float* p) {
        p[0] += dx;
        p[1] += dy;
        p[2] += dz;
    });
    return FAILED(hr) ? hr : S_OK;
}

void CFrame::GetPosition(float* x, float* y, float* z) {
    *x = RigidBody.vPosition.x;
    *y = RigidBody.vPosition.y;
    *z = RigidBody.vPosition.z;
}

void CFrame::SetPosition(float x, float y, float z) { RigidBody.vPosition = D3DXVECTOR3(x, y, z); }

void CFrame::GetBodyVector(float* x, float* y, float* z) {
    *x = RigidBody.vBodyVector.x;
    *y = RigidBody.vBodyVector.y;
    *z = RigidBody.vBodyVector.z;
}

void CFrame::SetBodyVector(float x, float y, float z) { RigidBody.vBodyVector = D3DXVECTOR3(x, y, z); }

void CFrame::GetExtraVector(float* x, float* y, float* z) {
    *x = vExtra.x;
    *y = vExtra.y;
    *z = vExtra.z;
}

void CFrame::SetExtraVector(float x, float y, float z) { vExtra = D3DXVECTOR3(x, y, z); }

CFrame* CFrame::GetNextSibling() { return pNextSibling; }

void CFrame::SetNextSibling(CFrame* pFrame) { pNextSibling = pFrame; }

void CFrame::SetParent(CFrame* pFrame) { pParent = pFrame; }
