// The shadow volume of one mesh for one light: its silhouette edges pulled away from the light,
// as a triangle list of positions.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#define SHADOW_MAX_VERTICES 32000

class CShadowVolume {
public:
    CShadowVolume();

    void Reset();
    HRESULT BuildFromMesh(ID3DXMesh* mesh, D3DXVECTOR3 light);
    HRESULT Render(IDirect3DDevice9* device);

    D3DXVECTOR3 m_Vertices[SHADOW_MAX_VERTICES];
    DWORD m_NumVertices;
};

// Adds the edge (first, second) to the list, or removes it when the list already holds it in
// either direction.
void AddEdge(WORD* edges, DWORD* count, WORD first, WORD second);
