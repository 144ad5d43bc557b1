// Drawing mesh containers: material by material with the fixed-function pipeline, or attribute
// range by attribute range through a vertex shader, with the alpha rule.
#include "meshcontainer.h"

// The three blend states found at the start, and the blending the routine has set since.
struct CBlendStates {
    DWORD AlphaBlendEnable;
    DWORD SrcBlend;
    DWORD DestBlend;
    DWORD Current;
};

static void SaveBlendStates(IDirect3DDevice9* pDevice, CBlendStates* pStates) {
    pStates->AlphaBlendEnable = 0;
    pStates->SrcBlend = 0;
    pStates->DestBlend = 0;
    pDevice->GetRenderState(D3DRS_ALPHABLENDENABLE, &pStates->AlphaBlendEnable);
    pDevice->GetRenderState(D3DRS_SRCBLEND, &pStates->SrcBlend);
    pDevice->GetRenderState(D3DRS_DESTBLEND, &pStates->DestBlend);
    pStates->Current = pStates->AlphaBlendEnable;
}

// A material whose diffuse alpha is not exactly 1 (a NaN is not) draws blended ONE / DESTCOLOR;
// states are set only when blending changes.
static void ApplyAlphaRule(IDirect3DDevice9* pDevice, CBlendStates* pStates, const D3DMATERIAL9* pMaterial) {
    if (pMaterial->Diffuse.a != 1.0f) {
        if (pStates->Current != 1) {
            pStates->Current = 1;
            pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
            pDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR);
        }
    } else if (pStates->Current != 0) {
        pStates->Current = 0;
        pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
}

// The saved states come back only when blending ends otherwise than it began.
static void RestoreBlendStates(IDirect3DDevice9* pDevice, const CBlendStates* pStates) {
    if (pStates->Current == pStates->AlphaBlendEnable) return;
    pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, pStates->AlphaBlendEnable);
    pDevice->SetRenderState(D3DRS_SRCBLEND, pStates->SrcBlend);
    pDevice->SetRenderState(D3DRS_DESTBLEND, pStates->DestBlend);
}

static bool HasMaterials(CMeshContainerEx* pContainer) {
    return pContainer != NULL && pContainer->MeshData.pMesh != NULL && pContainer->NumMaterials != 0 &&
           pContainer->pMaterials != NULL;
}

HRESULT DrawContainerMaterials(CMeshContainerEx* pContainer, bool useTextures, bool fixedFunction) {
    if (!HasMaterials(pContainer)) return E_FAIL;

    IDirect3DDevice9* pDevice = NULL;
    if (FAILED(pContainer->MeshData.pMesh->GetDevice(&pDevice)) || pDevice == NULL) return E_FAIL;

    if (fixedFunction) {
        pDevice->SetVertexShader(NULL);
        pDevice->SetVertexDeclaration(NULL);
    }

    CBlendStates blend;
    SaveBlendStates(pDevice, &blend);

    ID3DXMesh* pMesh = pContainer->pSkinnedMesh != NULL ? pContainer->pSkinnedMesh : pContainer->MeshData.pMesh;
    for (DWORD i = 0; i < pContainer->NumMaterials; i++) {
        const D3DMATERIAL9* pMaterial = &pContainer->pMaterials[i].MatD3D;
        pDevice->SetMaterial(pMaterial);
        if (useTextures) {
            pDevice->SetTexture(0, pContainer->ppTextures != NULL ? pContainer->ppTextures[i] : NULL);
        }
        ApplyAlphaRule(pDevice, &blend, pMaterial);
        pMesh->DrawSubset(i);
    }

    pDevice->SetTexture(0, NULL);
    RestoreBlendStates(pDevice, &blend);
    pDevice->Release();
    return S_OK;
}

HRESULT DrawMesh(CMeshContainerEx* pContainer) { return DrawContainerMaterials(pContainer, true, true); }

HRESULT DrawMeshWithShader(CMeshContainerEx* pContainer, IDirect3DVertexShader9* pShader,
                           IDirect3DVertexDeclaration9* pDeclaration) {
    if (pShader == NULL || pDeclaration == NULL || !HasMaterials(pContainer)) return E_FAIL;

    ID3DXMesh* pMesh = pContainer->MeshData.pMesh;
    IDirect3DDevice9* pDevice = NULL;
    if (FAILED(pMesh->GetDevice(&pDevice)) || pDevice == NULL) return E_FAIL;

    CBlendStates blend;
    SaveBlendStates(pDevice, &blend);

    IDirect3DVertexBuffer9* pVertexBuffer = NULL;
    IDirect3DIndexBuffer9* pIndexBuffer = NULL;
    pMesh->GetVertexBuffer(&pVertexBuffer);
    pMesh->GetIndexBuffer(&pIndexBuffer);
    DWORD numRanges = 0;
    if (FAILED(pMesh->GetAttributeTable(NULL, &numRanges))) numRanges = 0;
    D3DXATTRIBUTERANGE* pRanges = new D3DXATTRIBUTERANGE[numRanges];
    if (numRanges != 0 && FAILED(pMesh->GetAttributeTable(pRanges, &numRanges))) numRanges = 0;

    pDevice->SetFVF(0);
    pDevice->SetVertexShader(pShader);
    pDevice->SetVertexDeclaration(pDeclaration);
    pDevice->SetStreamSource(0, pVertexBuffer, 0, D3DXGetFVFVertexSize(pMesh->GetFVF()));
    pDevice->SetIndices(pIndexBuffer);

    for (DWORD i = 0; i < numRanges; i++) {
        const D3DXATTRIBUTERANGE& range = pRanges[i];
        // A range of no faces, or of an attribute without a material, is not drawn.
        if (range.FaceCount == 0 || range.AttribId >= pContainer->NumMaterials) continue;
        pDevice->SetTexture(0, pContainer->ppTextures != NULL ? pContainer->ppTextures[range.AttribId] : NULL);
        ApplyAlphaRule(pDevice, &blend, &pContainer->pMaterials[range.AttribId].MatD3D);
        pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                      range.FaceStart * 3, range.FaceCount);
    }

    pDevice->SetStreamSource(0, NULL, 0, 0);
    pDevice->SetIndices(NULL);
    if (pVertexBuffer != NULL) pVertexBuffer->Release();
    if (pIndexBuffer != NULL) pIndexBuffer->Release();
    delete[] pRanges;

    pDevice->SetTexture(0, NULL);
    RestoreBlendStates(pDevice, &blend);
    pDevice->SetVertexShader(NULL);
    pDevice->SetVertexDeclaration(NULL);
    pDevice->Release();
    return S_OK;
}

HRESULT DrawMeshes(CMeshContainerEx* pFirst) {
    for (CMeshContainerEx* pContainer = pFirst; pContainer != NULL;
         pContainer = static_cast<CMeshContainerEx*>(pContainer->pNextMeshContainer)) {
        HRESULT hr = DrawMesh(pContainer);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT DrawMeshesWithShader(CMeshContainerEx* pFirst, IDirect3DVertexShader9* pShader,
                             IDirect3DVertexDeclaration9* pDeclaration) {
    for (CMeshContainerEx* pContainer = pFirst; pContainer != NULL;
         pContainer = static_cast<CMeshContainerEx*>(pContainer->pNextMeshContainer)) {
        HRESULT hr = DrawMeshWithShader(pContainer, pShader, pDeclaration);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}
