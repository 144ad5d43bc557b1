// The mesh container record, the loaders that fill it and the routines that skin and draw it.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include "text.h"

class CFrame;
class CHierarchyFrame;
struct ID3DXFileData;

// The platform's mesh container followed by a texture per material, the skinning fields, the
// shader path's table and buffers, and the links of a scene node's mesh list.
class CMeshContainerEx : public D3DXMESHCONTAINER {
public:
    CMeshContainerEx();
    ~CMeshContainerEx();

    CMeshContainerEx* Find(const char* name);

    void SetOwner(CFrame* pFrame);
    CMeshContainerEx* GetFrameNext();
    void SetFrameNext(CMeshContainerEx* pContainer);

    IDirect3DTexture9** ppTextures;
    ID3DXMesh* pSkinnedMesh;
    D3DXMATRIX** ppBoneFrameMatrices;
    D3DXMATRIX* pBoneTransforms;
    D3DXMATRIX matMesh;
    D3DXATTRIBUTERANGE* pAttributeTable;
    IDirect3DVertexBuffer9* pVertexBuffer;
    IDirect3DIndexBuffer9* pIndexBuffer;
    BYTE* pExtra;
    CFrame* pOwner;
    CMeshContainerEx* pFrameNext;

private:
    CMeshContainerEx(const CMeshContainerEx&);
    CMeshContainerEx& operator=(const CMeshContainerEx&);
};

HRESULT LoadMesh(CMeshContainerEx** ppContainer, IDirect3DDevice9* device, const char* file,
                 const char* texturePath, DWORD newFVF, DWORD options);
// As LoadMesh, without keeping the buffers of the FVF copy; matMesh is the given matrix.
HRESULT LoadMeshEx(CMeshContainerEx** ppContainer, const D3DXMATRIX* pMatrix, IDirect3DDevice9* device,
                   const char* file, const char* texturePath, DWORD newFVF, DWORD options);

// One Mesh object of an open .x file into a new container, with its skin information.
HRESULT LoadMeshFromXFileData(CMeshContainerEx** ppContainer, IDirect3DDevice9* device,
                              ID3DXFileData* pData, const char* texturePath, DWORD newFVF,
                              DWORD options);

// Receives the root frame of LoadMeshHierarchyInto; the frame tree stays the out tree's.
struct CHierarchyHolder {
    CHierarchyFrame* pRootFrame;
};

// The meshes and frames of a .x file, with each skinned mesh's bones bound to the frames of
// their names.
HRESULT LoadMeshHierarchy(CMeshContainerEx** ppMeshList, CHierarchyFrame** ppFrameTree, IDirect3DDevice9* device,
                          const char* file, const char* texturePath, DWORD newFVF, DWORD options);
HRESULT LoadMeshHierarchyInto(CMeshContainerEx** ppMeshList, CHierarchyFrame** ppFrameTree,
                              CHierarchyHolder* pHolder, IDirect3DDevice9* device, const char* file,
                              const char* texturePath, DWORD newFVF, DWORD options);

// A whole .x file sorted by attribute, with its attribute table and the buffers of a copy in
// cloneFVF, for drawing through a vertex shader. The earlier buffers are left to their holder (the
// container they came from releases them).
HRESULT LoadMeshForShader(CMeshContainerEx** ppContainer, IDirect3DDevice9* device, const char* file,
                          DWORD cloneFVF, IDirect3DVertexBuffer9* pOldVertexBuffer,
                          IDirect3DIndexBuffer9* pOldIndexBuffer);

// A vertex shader assembled from a source file, and the declaration of the given elements when
// both they and ppDeclaration are given.
HRESULT LoadVertexShader(IDirect3DVertexShader9** ppShader, IDirect3DDevice9* device, const char* file,
                         const D3DVERTEXELEMENT9* pElements, IDirect3DVertexDeclaration9** ppDeclaration);

// Skins the container's mesh into its skinned copy with the bones' frame matrices.
HRESULT UpdateSkinnedMesh(CMeshContainerEx* pContainer);

HRESULT DrawMesh(CMeshContainerEx* pContainer);
HRESULT DrawMeshWithShader(CMeshContainerEx* pContainer, IDirect3DVertexShader9* pShader,
                           IDirect3DVertexDeclaration9* pDeclaration);
// Draw a pNextMeshContainer list; the first container refused ends the list.
HRESULT DrawMeshes(CMeshContainerEx* pFirst);
HRESULT DrawMeshesWithShader(CMeshContainerEx* pFirst, IDirect3DVertexShader9* pShader,
                             IDirect3DVertexDeclaration9* pDeclaration);

// ---- steps shared by the loaders and the drawing routines

// Copy the adjacency, and the materials (one white when there are none) with their textures from
// the folder, into the container; each releases its buffer.
void TakeAdjacency(CMeshContainerEx* pContainer, ID3DXBuffer* pAdjacencyBuffer);
void TakeMaterials(CMeshContainerEx* pContainer, IDirect3DDevice9* device, ID3DXBuffer* pMaterialBuffer,
                   DWORD numMaterials, const char* texturePath);

// Draws one subset per material with its material, its texture when useTextures (stage 0 is
// empty afterwards) and the alpha rule; fixedFunction first clears the vertex shader and
// declaration. E_FAIL when the container has nothing to draw.
HRESULT DrawContainerMaterials(CMeshContainerEx* pContainer, bool useTextures, bool fixedFunction);
