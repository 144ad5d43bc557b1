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
    return DrawContainerMaterials(pContainer, useTextures, false);
}
