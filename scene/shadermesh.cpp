// Meshes and vertex shaders for drawing through a vertex shader.
#include "meshcontainer.h"

HRESULT LoadMeshForShader(CMeshContainerEx** ppContainer, IDirect3DDevice9* device, const char* file,
                          DWORD cloneFVF, IDirect3DVertexBuffer9* pOldVertexBuffer,
                          IDirect3DIndexBuffer9* pOldIndexBuffer) {
    // The earlier buffers stay with their holder: a container releases its own when deleted.
    (void)pOldVertexBuffer;
    (void)pOldIndexBuffer;
    if (ppContainer == NULL || device == NULL || file == NULL) return E_FAIL;

    DWORD numMaterials = 0;
    ID3DXMesh* pLoaded = NULL;
    HRESULT hr = D3DXLoadMeshFromXA(file, D3DXMESH_SYSTEMMEM, device, NULL, NULL, NULL, &numMaterials, &pLoaded);
    if (FAILED(hr)) return hr;

    ID3DXMesh* pSorted = NULL;
    hr = pLoaded->Optimize(D3DXMESHOPT_ATTRSORT, NULL, NULL, NULL, NULL, &pSorted);
    pLoaded->Release();
    if (FAILED(hr)) return hr;

    DWORD numRanges = 0;
    D3DXATTRIBUTERANGE* pTable = NULL;
    ID3DXMesh* pClone = NULL;
    IDirect3DVertexBuffer9* pVertexBuffer = NULL;
    IDirect3DIndexBuffer9* pIndexBuffer = NULL;
    hr = pSorted->GetAttributeTable(NULL, &numRanges);
    if (SUCCEEDED(hr)) {
        pTable = new D3DXATTRIBUTERANGE[numRanges];
        if (numRanges != 0) hr = pSorted->GetAttributeTable(pTable, &numRanges);
    }
    if (SUCCEEDED(hr)) hr = pSorted->CloneMeshFVF(D3DXMESH_WRITEONLY, cloneFVF, device, &pClone);
    if (SUCCEEDED(hr)) hr = pClone->GetVertexBuffer(&pVertexBuffer);
    if (SUCCEEDED(hr)) hr = pClone->GetIndexBuffer(&pIndexBuffer);
    if (pClone != NULL) pClone->Release();
    if (FAILED(hr)) {
        if (pVertexBuffer != NULL) pVertexBuffer->Release();
        if (pIndexBuffer != NULL) pIndexBuffer->Release();
        delete[] pTable;
        pSorted->Release();
        return hr;
    }

    CMeshContainerEx* pContainer = new CMeshContainerEx();
    *ppContainer = pContainer;
    pContainer->Name = CopyName(file);
    pContainer->MeshData.Type = D3DXMESHTYPE_MESH;
    pContainer->MeshData.pMesh = pSorted;
    pContainer->pIndexBuffer = pIndexBuffer;
    pContainer->pVertexBuffer = pVertexBuffer;
    pContainer->NumMaterials = numRanges;
    pContainer->pAttributeTable = pTable;
    return S_OK;
}

HRESULT LoadVertexShader(IDirect3DVertexShader9** ppShader, IDirect3DDevice9* device, const char* file,
                         const D3DVERTEXELEMENT9* pElements, IDirect3DVertexDeclaration9** ppDeclaration) {
    if (ppShader == NULL || device == NULL || file == NULL) return E_FAIL;

    ID3DXBuffer* pTokens = NULL;
    HRESULT hr = D3DXAssembleShaderFromFileA(file, NULL, NULL, 0, &pTokens, NULL);
    if (FAILED(hr)) return hr;
    IDirect3DVertexShader9* pShader = NULL;
    hr = device->CreateVertexShader((const DWORD*)pTokens->GetBufferPointer(), &pShader);
    pTokens->Release();
    if (FAILED(hr)) return hr;

    // A shader without the declaration asked for is no result.
    if (pElements != NULL && ppDeclaration != NULL) {
        hr = device->CreateVertexDeclaration(pElements, ppDeclaration);
        if (FAILED(hr)) {
            pShader->Release();
            return hr;
        }
    }
    *ppShader = pShader;
    return S_OK;
}
