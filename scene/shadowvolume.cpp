#include <new>

#include "shadowvolume.h"

CShadowVolume::CShadowVolume() { m_NumVertices = 0; }

void CShadowVolume::Reset() { m_NumVertices = 0; }

void AddEdge(WORD* edges, DWORD* count, WORD first, WORD second) {
    for (DWORD j = 0; j < *count; j++) {
        if ((edges[2 * j] == first && edges[2 * j + 1] == second) ||
            (edges[2 * j] == second && edges[2 * j + 1] == first)) {
            if (*count > 1) {
                edges[2 * j] = edges[2 * (*count - 1)];
                edges[2 * j + 1] = edges[2 * (*count - 1) + 1];
            }
            (*count)--;
            return;
        }
    }
    edges[2 * (*count)] = first;
    edges[2 * (*count) + 1] = second;
    (*count)++;
}

HRESULT CShadowVolume::BuildFromMesh(ID3DXMesh* mesh, D3DXVECTOR3 light) {
    if (mesh == NULL) return E_FAIL;
    // The edge list holds 16-bit indexes: meshes with 32-bit ones are refused.
    if (mesh->GetOptions() & D3DXMESH_32BIT) return E_FAIL;
    DWORD stride = mesh->GetNumBytesPerVertex();
    if (stride < sizeof(D3DXVECTOR3)) return E_FAIL;
    DWORD numVertices = mesh->GetNumVertices();

    BYTE* pVertices = NULL;
    WORD* pIndices = NULL;
    HRESULT hr = mesh->LockVertexBuffer(0, (LPVOID*)&pVertices);
    if (FAILED(hr)) return hr;
    hr = mesh->LockIndexBuffer(0, (LPVOID*)&pIndices);
    if (FAILED(hr)) {
        mesh->UnlockVertexBuffer();
        return hr;
    }
    DWORD numFaces = mesh->GetNumFaces();

    WORD* pEdges = new (std::nothrow) WORD[(size_t)numFaces * 6];
    if (pEdges == NULL) {
        mesh->UnlockVertexBuffer();
        mesh->UnlockIndexBuffer();
        return E_OUTOFMEMORY;
    }
    DWORD numEdges = 0;

    for (DWORD f = 0; f < numFaces; f++) {
        WORD i0 = pIndices[3 * f];
        WORD i1 = pIndices[3 * f + 1];
        WORD i2 = pIndices[3 * f + 2];
        if (i0 >= numVertices || i1 >= numVertices || i2 >= numVertices) continue;

        const D3DXVECTOR3& p0 = *(const D3DXVECTOR3*)(pVertices + (size_t)i0 * stride);
        const D3DXVECTOR3& p1 = *(const D3DXVECTOR3*)(pVertices + (size_t)i1 * stride);
        const D3DXVECTOR3& p2 = *(const D3DXVECTOR3*)(pVertices + (size_t)i2 * stride);

        D3DXVECTOR3 a = p2 - p1, b = p1 - p0, normal;
        D3DXVec3Cross(&normal, &a, &b);
        if (D3DXVec3Dot(&normal, &light) >= 0.0f) {
            AddEdge(pEdges, &numEdges, i0, i1);
            AddEdge(pEdges, &numEdges, i1, i2);
            AddEdge(pEdges, &numEdges, i2, i0);
        }
    }

    // Each edge becomes a quad of six vertices, as long as the volume has room for it.
    for (DWORD e = 0; e < numEdges; e++) {
        if (m_NumVertices + 6 > SHADOW_MAX_VERTICES) break;
        const D3DXVECTOR3& v1 = *(const D3DXVECTOR3*)(pVertices + (size_t)pEdges[2 * e] * stride);
        const D3DXVECTOR3& v2 = *(const D3DXVECTOR3*)(pVertices + (size_t)pEdges[2 * e + 1] * stride);
        D3DXVECTOR3 v3 = v1 - light * 10.0f;
        D3DXVECTOR3 v4 = v2 - light * 10.0f;

        m_Vertices[m_NumVertices++] = v1;
        m_Vertices[m_NumVertices++] = v2;
        m_Vertices[m_NumVertices++] = v3;
        m_Vertices[m_NumVertices++] = v2;
        m_Vertices[m_NumVertices++] = v4;
        m_Vertices[m_NumVertices++] = v3;
    }

    delete[] pEdges;
    mesh->UnlockVertexBuffer();
    mesh->UnlockIndexBuffer();
    return S_OK;
}

HRESULT CShadowVolume::Render(IDirect3DDevice9* device) {
    if (device == NULL) return E_FAIL;
    device->SetFVF(D3DFVF_XYZ);
    return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, m_NumVertices / 3, m_Vertices, sizeof(D3DXVECTOR3));
}
