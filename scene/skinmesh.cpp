// Mesh objects with their skin information, whole hierarchies with their bones bound to frames,
// and the software skinning of a container.
#include "meshcontainer.h"
#include "xparser.h"

HRESULT LoadMeshFromXFileData(CMeshContainerEx** ppContainer, IDirect3DDevice9* device, ID3DXFileData* pData,
                              const char* texturePath, DWORD newFVF, DWORD options) {
    if (ppContainer == NULL || device == NULL || pData == NULL || texturePath == NULL) return E_FAIL;

    ID3DXBuffer* pAdjacencyBuffer = NULL;
    ID3DXBuffer* pMaterialBuffer = NULL;
    DWORD numMaterials = 0;
    ID3DXSkinInfo* pSkinInfo = NULL;
    ID3DXMesh* pMesh = NULL;
    HRESULT hr = D3DXLoadSkinMeshFromXof(pData, newFVF != 0 ? D3DXMESH_SYSTEMMEM : options, device,
                                         &pAdjacencyBuffer, &pMaterialBuffer, NULL, &numMaterials, &pSkinInfo,
                                         &pMesh);
    if (FAILED(hr)) return hr;

    if (pSkinInfo != NULL && pSkinInfo->GetNumBones() == 0) {
        pSkinInfo->Release();
        pSkinInfo = NULL;
    }

    if (newFVF != 0) {
        ID3DXMesh* pClone = NULL;
        hr = pMesh->CloneMeshFVF(options, newFVF, device, &pClone);
        // The bones skin vertices of the copy's layout from now on.
        if (SUCCEEDED(hr) && pSkinInfo != NULL) {
            hr = pSkinInfo->SetFVF(pClone->GetFVF());
            if (FAILED(hr)) pClone->Release();
        }
        if (FAILED(hr)) {
            pMesh->Release();
            if (pSkinInfo != NULL) pSkinInfo->Release();
            if (pMaterialBuffer != NULL) pMaterialBuffer->Release();
            if (pAdjacencyBuffer != NULL) pAdjacencyBuffer->Release();
            return hr;
        }
        pMesh->Release();
        pMesh = pClone;
    }

    CMeshContainerEx* pContainer = new CMeshContainerEx();
    *ppContainer = pContainer;

    pContainer->Name = XGetName(pData);
    pContainer->MeshData.Type = D3DXMESHTYPE_MESH;
    pContainer->MeshData.pMesh = pMesh;
    pContainer->pSkinInfo = pSkinInfo;
    TakeAdjacency(pContainer, pAdjacencyBuffer);

    if (pSkinInfo != NULL) {
        if (FAILED(pMesh->CloneMeshFVF(0, pMesh->GetFVF(), device, &pContainer->pSkinnedMesh)))
            pContainer->pSkinnedMesh = NULL;
    }

    TakeMaterials(pContainer, device, pMaterialBuffer, numMaterials, texturePath);

    pMesh->OptimizeInplace(D3DXMESHOPT_DONOTSPLIT, NULL, NULL, NULL, NULL);
    return S_OK;
}

// Points each bone of every skinned container at the combined matrix of the frame of its name.
static void BindBones(CMeshContainerEx* pMeshList, CHierarchyFrame* pRootFrame) {
    for (CMeshContainerEx* pContainer = pMeshList; pContainer != NULL;
         pContainer = static_cast<CMeshContainerEx*>(pContainer->pNextMeshContainer)) {
        if (pContainer->pSkinInfo == NULL) continue;
        DWORD numBones = pContainer->pSkinInfo->GetNumBones();
        pContainer->ppBoneFrameMatrices = new D3DXMATRIX*[numBones];
        pContainer->pBoneTransforms = new D3DXMATRIX[numBones];
        for (DWORD i = 0; i < numBones; i++) {
            D3DXMatrixIdentity(&pContainer->pBoneTransforms[i]);
            CHierarchyFrame* pFrame = pRootFrame->Find(pContainer->pSkinInfo->GetBoneName(i));
            pContainer->ppBoneFrameMatrices[i] = pFrame != NULL ? &pFrame->matCombined : NULL;
        }
    }
}

HRESULT LoadMeshHierarchyInto(CMeshContainerEx** ppMeshList, CHierarchyFrame** ppFrameTree,
                              CHierarchyHolder* pHolder, IDirect3DDevice9* device, const char* file,
                              const char* texturePath, DWORD newFVF, DWORD options) {
    CMeshHierarchyParser parser;
    if (device == NULL || file == NULL || texturePath == NULL) return E_FAIL;

    parser.Device = device;
    parser.TexturePath = texturePath;
    parser.NewFVF = newFVF;
    parser.LoadFlags = options;
    parser.ParseFlags = (ppMeshList != NULL ? XPARSE_LOAD_MESHES : 0) | (ppFrameTree != NULL ? XPARSE_BUILD_FRAMES : 0);
    if (!parser.Parse(file, NULL)) return parser.OpenResult;

    if (ppMeshList != NULL && ppFrameTree != NULL && parser.RootMesh != NULL && parser.RootFrame != NULL) {
        if (pHolder != NULL) pHolder->pRootFrame = parser.RootFrame;
        BindBones(parser.RootMesh, parser.RootFrame);
    }

    // What the caller does not take goes with the parser.
    if (ppMeshList != NULL) {
        *ppMeshList = parser.RootMesh;
        parser.RootMesh = NULL;
    }
    if (ppFrameTree != NULL) {
        *ppFrameTree = parser.RootFrame;
        parser.RootFrame = NULL;
    }
    return S_OK;
}

HRESULT LoadMeshHierarchy(CMeshContainerEx** ppMeshList, CHierarchyFrame** ppFrameTree, IDirect3DDevice9* device,
                          const char* file, const char* texturePath, DWORD newFVF, DWORD options) {
    return LoadMeshHierarchyInto(ppMeshList, ppFrameTree, NULL, device, file, texturePath, newFVF, options);
}

// The skin information describes both meshes: their layout and every vertex that a bone moves.
static bool SkinFitsMeshes(ID3DXSkinInfo* pSkinInfo, ID3DXMesh* pSource, ID3DXMesh* pSkinned) {
    DWORD fvf = pSkinInfo->GetFVF();
    DWORD numVertices = pSource->GetNumVertices();
    if (pSource->GetFVF() != fvf || pSkinned->GetFVF() != fvf || pSkinned->GetNumVertices() != numVertices)
        return false;
    DWORD numBones = pSkinInfo->GetNumBones();
    DWORD maxInfluences = 0;
    for (DWORD bone = 0; bone < numBones; bone++)
        if (pSkinInfo->GetNumBoneInfluences(bone) > maxInfluences) maxInfluences = pSkinInfo->GetNumBoneInfluences(bone);
    if (maxInfluences == 0) return true;
    DWORD* pVertices = new DWORD[maxInfluences];
    FLOAT* pWeights = new FLOAT[maxInfluences];
    bool fits = true;
    for (DWORD bone = 0; bone < numBones && fits; bone++) {
        DWORD numInfluences = pSkinInfo->GetNumBoneInfluences(bone);
        if (numInfluences == 0) continue;
        fits = SUCCEEDED(pSkinInfo->GetBoneInfluence(bone, pVertices, pWeights));
        for (DWORD i = 0; i < numInfluences && fits; i++) fits = pVertices[i] < numVertices;
    }
    delete[] pVertices;
    delete[] pWeights;
    return fits;
}

HRESULT UpdateSkinnedMesh(CMeshContainerEx* pContainer) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL || pContainer->pSkinnedMesh == NULL ||
        pContainer->pSkinInfo == NULL || pContainer->pBoneTransforms == NULL ||
        pContainer->ppBoneFrameMatrices == NULL)
        return E_FAIL;

    ID3DXSkinInfo* pSkinInfo = pContainer->pSkinInfo;
    ID3DXMesh* pSource = pContainer->MeshData.pMesh;
    ID3DXMesh* pSkinned = pContainer->pSkinnedMesh;
    if (!SkinFitsMeshes(pSkinInfo, pSource, pSkinned)) return E_FAIL;

    for (DWORD i = 0; i < pSkinInfo->GetNumBones(); i++) {
        const D3DXMATRIX* pOffset = pSkinInfo->GetBoneOffsetMatrix(i);
        if (pOffset != NULL) pContainer->pBoneTransforms[i] = *pOffset;
        else D3DXMatrixIdentity(&pContainer->pBoneTransforms[i]);
        if (pContainer->ppBoneFrameMatrices[i] != NULL)
            D3DXMatrixMultiply(&pContainer->pBoneTransforms[i], &pContainer->pBoneTransforms[i],
                               pContainer->ppBoneFrameMatrices[i]);
    }

    void* pSourceVertices = NULL;
    void* pSkinnedVertices = NULL;
    HRESULT hr = pSource->LockVertexBuffer(D3DLOCK_READONLY, &pSourceVertices);
    if (FAILED(hr)) return hr;
    hr = pSkinned->LockVertexBuffer(0, &pSkinnedVertices);
    if (FAILED(hr)) {
        pSource->UnlockVertexBuffer();
        return hr;
    }
    hr = pSkinInfo->UpdateSkinnedMesh(pContainer->pBoneTransforms, NULL, pSourceVertices, pSkinnedVertices);
    pSkinned->UnlockVertexBuffer();
    pSource->UnlockVertexBuffer();
    return FAILED(hr) ? hr : S_OK;
}
