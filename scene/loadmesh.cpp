#include <stdio.h>
#include <string.h>

#include "log.h"
#include "meshcontainer.h"

// One white material: diffuse, ambient and specular all (1, 1, 1, 1).
static void SetDefaultMaterial(D3DXMATERIAL* pMaterial) {
    memset(pMaterial, 0, sizeof(D3DXMATERIAL));
    pMaterial->MatD3D.Diffuse.r = 1.0f;
    pMaterial->MatD3D.Diffuse.g = 1.0f;
    pMaterial->MatD3D.Diffuse.b = 1.0f;
    pMaterial->MatD3D.Diffuse.a = 1.0f;
    pMaterial->MatD3D.Ambient = pMaterial->MatD3D.Diffuse;
    pMaterial->MatD3D.Specular = pMaterial->MatD3D.Diffuse;
    pMaterial->pTextureFilename = NULL;
}

void TakeAdjacency(CMeshContainerEx* pContainer, ID3DXBuffer* pAdjacencyBuffer) {
    if (pAdjacencyBuffer == NULL) return;
    DWORD size = pAdjacencyBuffer->GetBufferSize();
    if (size != 0) {
        pContainer->pAdjacency = new DWORD[(size + sizeof(DWORD) - 1) / sizeof(DWORD)];
        memcpy(pContainer->pAdjacency, pAdjacencyBuffer->GetBufferPointer(), size);
    }
    pAdjacencyBuffer->Release();
}

// One line in the log naming a texture file that could not be loaded; the material stays untextured.
static void LogMissingTexture(const char* folder, const char* name) {
    static const char szPrefix[] = "Impossibile caricare la texture: ";
    const size_t size = sizeof(szPrefix) + strlen(folder) + strlen(name);
    char* line = new char[size];
    snprintf(line, size, "%s%s%s", szPrefix, folder, name);
    WriteToLog(line);
    delete[] line;
}

void TakeMaterials(CMeshContainerEx* pContainer, IDirect3DDevice9* device, ID3DXBuffer* pMaterialBuffer,
                   DWORD numMaterials, const char* texturePath) {
    // Never trust a count beyond what the buffer holds.
    const D3DXMATERIAL* pFileMaterials = NULL;
    if (pMaterialBuffer != NULL) {
        pFileMaterials = (const D3DXMATERIAL*)pMaterialBuffer->GetBufferPointer();
        DWORD held = pMaterialBuffer->GetBufferSize() / sizeof(D3DXMATERIAL);
        if (numMaterials > held) numMaterials = held;
    }
    if (pFileMaterials == NULL) numMaterials = 0;

    pContainer->NumMaterials = numMaterials;
    if (numMaterials == 0) {
        pContainer->NumMaterials = 1;
        pContainer->pMaterials = new D3DXMATERIAL[1];
        SetDefaultMaterial(&pContainer->pMaterials[0]);
        pContainer->ppTextures = new IDirect3DTexture9*[1];
        pContainer->ppTextures[0] = NULL;
    } else {
        pContainer->pMaterials = new D3DXMATERIAL[numMaterials];
        pContainer->ppTextures = new IDirect3DTexture9*[numMaterials];
        for (DWORD i = 0; i < numMaterials; i++) {
            pContainer->pMaterials[i].MatD3D = pFileMaterials[i].MatD3D;
            pContainer->pMaterials[i].MatD3D.Ambient = pContainer->pMaterials[i].MatD3D.Diffuse;
            pContainer->pMaterials[i].pTextureFilename = NULL;
            pContainer->ppTextures[i] = NULL;

            const char* textureName = pFileMaterials[i].pTextureFilename;
            if (textureName != NULL) {
                // A folder and name that do not fit the path buffer leave the material untextured.
                char path[MAX_PATH];
                int length = snprintf(path, sizeof(path), "%s%s", texturePath, textureName);
                HRESULT hr = E_FAIL;
                if (length >= 0 && length < (int)sizeof(path)) {
                    hr = D3DXCreateTextureFromFileA(device, path, &pContainer->ppTextures[i]);
                }
                if (FAILED(hr)) LogMissingTexture(texturePath, textureName);
            }
        }
    }
    if (pMaterialBuffer != NULL) pMaterialBuffer->Release();
}

// A whole .x file as one container; the buffers of the FVF copy are kept only when asked for.
static HRESULT LoadWholeFile(CMeshContainerEx** ppContainer, const D3DXMATRIX* pMatrix, IDirect3DDevice9* device,
                             const char* file, const char* texturePath, DWORD newFVF, DWORD options,
                             bool keepCopyBuffers) {
    if (ppContainer == NULL || device == NULL || file == NULL || texturePath == NULL) return E_FAIL;

    DWORD loadFlags = newFVF != 0 ? D3DXMESH_SYSTEMMEM : options;

    ID3DXBuffer* pAdjacencyBuffer = NULL;
    ID3DXBuffer* pMaterialBuffer = NULL;
    DWORD numMaterials = 0;
    ID3DXMesh* pMesh = NULL;
    HRESULT hr = D3DXLoadMeshFromXA(file, loadFlags, device, &pAdjacencyBuffer, &pMaterialBuffer, NULL,
                                    &numMaterials, &pMesh);
    if (FAILED(hr)) return hr;

    IDirect3DVertexBuffer9* pVertexBuffer = NULL;
    IDirect3DIndexBuffer9* pIndexBuffer = NULL;
    if (newFVF != 0) {
        ID3DXMesh* pClone = NULL;
        hr = pMesh->CloneMeshFVF(options, newFVF, device, &pClone);
        if (FAILED(hr)) {
            if (pAdjacencyBuffer != NULL) pAdjacencyBuffer->Release();
            if (pMaterialBuffer != NULL) pMaterialBuffer->Release();
            pMesh->Release();
            return hr;
        }
        if (keepCopyBuffers) {
            pClone->GetVertexBuffer(&pVertexBuffer);
            pClone->GetIndexBuffer(&pIndexBuffer);
        }
        pMesh->Release();
        pMesh = pClone;
    }

    CMeshContainerEx* pContainer = new CMeshContainerEx();
    *ppContainer = pContainer;

    pContainer->Name = CopyName(file);
    pContainer->MeshData.Type = D3DXMESHTYPE_MESH;
    pContainer->MeshData.pMesh = pMesh;
    pContainer->pIndexBuffer = pIndexBuffer;
    pContainer->pVertexBuffer = pVertexBuffer;
    if (pMatrix != NULL) pContainer->matMesh = *pMatrix;

    TakeAdjacency(pContainer, pAdjacencyBuffer);
    TakeMaterials(pContainer, device, pMaterialBuffer, numMaterials, texturePath);

    pContainer->MeshData.pMesh->OptimizeInplace(D3DXMESHOPT_DONOTSPLIT, NULL, NULL, NULL, NULL);
    return S_OK;
}

HRESULT LoadMesh(CMeshContainerEx** ppContainer, IDirect3DDevice9* device, const char* file,
                 const char* texturePath, DWORD newFVF, DWORD options) {
    return LoadWholeFile(ppContainer, NULL, device, file, texturePath, newFVF, options, true);
}

HRESULT LoadMeshEx(CMeshContainerEx** ppContainer, const D3DXMATRIX* pMatrix, IDirect3DDevice9* device,
                   const char* file, const char* texturePath, DWORD newFVF, DWORD options) {
    return LoadWholeFile(ppContainer, pMatrix, device, file, texturePath, newFVF, options, false);
}
