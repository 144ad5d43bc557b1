#include <string.h>

#include "frame.h"
#include "meshcontainer.h"

CMeshContainerEx::CMeshContainerEx() {
    Name = NULL;
    MeshData.Type = D3DXMESHTYPE_MESH;
    MeshData.pMesh = NULL;
    pMaterials = NULL;
    pEffects = NULL;
    NumMaterials = 0;
    pAdjacency = NULL;
    pSkinInfo = NULL;
    pNextMeshContainer = NULL;
    ppTextures = NULL;
    pSkinnedMesh = NULL;
    ppBoneFrameMatrices = NULL;
    pBoneTransforms = NULL;
    D3DXMatrixIdentity(&matMesh);
    pExtra = NULL;
    pFrameNext = NULL;
    pOwner = NULL;
    pAttributeTable = NULL;
    pVertexBuffer = NULL;
    pIndexBuffer = NULL;
}

CMeshContainerEx::~CMeshContainerEx() {
    if (ppTextures != NULL && NumMaterials != 0) {
        for (DWORD i = 0; i < NumMaterials; i++) {
            if (ppTextures[i] != NULL) {
                ppTextures[i]->Release();
                ppTextures[i] = NULL;
            }
        }
    }
    delete[] ppTextures;
    ppTextures = NULL;
    NumMaterials = 0;

    delete[] Name;
    Name = NULL;
    delete[] pMaterials;
    pMaterials = NULL;
    delete[] pEffects;
    pEffects = NULL;
    delete[] pAdjacency;
    pAdjacency = NULL;
    delete[] ppBoneFrameMatrices;
    ppBoneFrameMatrices = NULL;
    delete[] pBoneTransforms;
    pBoneTransforms = NULL;

    if (MeshData.pMesh != NULL) {
        MeshData.pMesh->Release();
        MeshData.pMesh = NULL;
    }
    if (pSkinInfo != NULL) {
        pSkinInfo->Release();
        pSkinInfo = NULL;
    }
    if (pSkinnedMesh != NULL) {
        pSkinnedMesh->Release();
        pSkinnedMesh = NULL;
    }

    delete[] pAttributeTable;
    pAttributeTable = NULL;
    if (pVertexBuffer != NULL) {
        pVertexBuffer->Release();
        pVertexBuffer = NULL;
    }
    if (pIndexBuffer != NULL) {
        pIndexBuffer->Release();
        pIndexBuffer = NULL;
    }

    // The rest of the chain goes too, one container at a time.
    CMeshContainerEx* pNext = static_cast<CMeshContainerEx*>(pNextMeshContainer);
    pNextMeshContainer = NULL;
    while (pNext != NULL) {
        CMeshContainerEx* pAfter = static_cast<CMeshContainerEx*>(pNext->pNextMeshContainer);
        pNext->pNextMeshContainer = NULL;
        delete pNext;
        pNext = pAfter;
    }

    delete[] pExtra;
    pExtra = NULL;
}

CMeshContainerEx* CMeshContainerEx::Find(const char* name) {
    if (name == NULL) return NULL;
    for (CMeshContainerEx* pMesh = this; pMesh != NULL;
         pMesh = static_cast<CMeshContainerEx*>(pMesh->pNextMeshContainer)) {
        if (pMesh->Name != NULL && strcmp(pMesh->Name, name) == 0) return pMesh;
    }
    return NULL;
}

void CMeshContainerEx::SetOwner(CFrame* pFrame) { pOwner = pFrame; }

CMeshContainerEx* CMeshContainerEx::GetFrameNext() { return pFrameNext; }

void CMeshContainerEx::SetFrameNext(CMeshContainerEx* pContainer) { pFrameNext = pContainer; }

HRESULT CFrame::DrawMeshContainer(CMeshContainerEx* pContainer, bool useTextures) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL || pContainer->NumMaterials == 0 ||
        pContainer->pMaterials == NULL)
        return E_FAIL;

    IDirect3DDevice9* pDevice = NULL;
    if (FAILED(pContainer->MeshData.pMesh->GetDevice(&pDevice)) || pDevice == NULL) return E_FAIL;

    DWORD savedBlend = 0, savedSrcBlend = 0, savedDestBlend = 0;
    pDevice->GetRenderState(D3DRS_ALPHABLENDENABLE, &savedBlend);
    pDevice->GetRenderState(D3DRS_SRCBLEND, &savedSrcBlend);
    pDevice->GetRenderState(D3DRS_DESTBLEND, &savedDestBlend);
    DWORD blend = savedBlend;

    ID3DXMesh* pMesh = pContainer->pSkinnedMesh != NULL ? pContainer->pSkinnedMesh : pContainer->MeshData.pMesh;

    for (DWORD i = 0; i < pContainer->NumMaterials; i++) {
        const D3DMATERIAL9& material = pContainer->pMaterials[i].MatD3D;
        pDevice->SetMaterial(&material);

        if (useTextures) {
            pDevice->SetTexture(0, pContainer->ppTextures != NULL ? pContainer->ppTextures[i] : NULL);
        }

        if (material.Diffuse.a != 1.0f) {
            if (blend != 1) {
                blend = 1;
                pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
                pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
                pDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
            }
        } else if (blend != 0) {
            blend = 0;
            pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        }

        pMesh->DrawSubset(i);
    }

    pDevice->SetTexture(0, NULL);

    if (blend != savedBlend) {
        pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, savedBlend);
        pDevice->SetRenderState(D3DRS_SRCBLEND, savedSrcBlend);
        pDevice->SetRenderState(D3DRS_DESTBLEND, savedDestBlend);
    }

    pDevice->Release();
    return S_OK;
}
