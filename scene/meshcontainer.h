// The mesh container record and the loading of a whole .x file into one container.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

class CFrame;
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

// One Mesh object of an open .x file into a new container, with its skin information.
HRESULT LoadMeshFromXFileData(CMeshContainerEx** ppContainer, IDirect3DDevice9* device,
                              ID3DXFileData* pData, const char* texturePath, DWORD newFVF,
                              DWORD options);
