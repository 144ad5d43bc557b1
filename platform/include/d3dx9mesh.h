// D3DX meshes: loading from .x files, the mesh interfaces, skin information, bounds and rays.
#pragma once

#include <d3d9.h>

#include "d3dx9core.h"
#include "d3dx9math.h"

struct ID3DXFileData;

DEFINE_GUID(IID_ID3DXBaseMesh, 0x7ed943dd, 0x52e8, 0x40b5, 0xa8, 0xd8, 0x76, 0x68, 0x5c, 0x40, 0x63, 0x30);
DEFINE_GUID(IID_ID3DXMesh, 0x4020e5c2, 0x1403, 0x4929, 0x88, 0x3f, 0xe2, 0xe8, 0x49, 0xfa, 0xc1, 0x95);
DEFINE_GUID(IID_ID3DXSkinInfo, 0x11eaa540, 0xf9a6, 0x4d49, 0xae, 0x6a, 0xe1, 0x92, 0x21, 0xf7, 0x0c, 0xc4);

// Creation options
#define D3DXMESH_32BIT 0x001
#define D3DXMESH_DONOTCLIP 0x002
#define D3DXMESH_POINTS 0x004
#define D3DXMESH_RTPATCHES 0x008
#define D3DXMESH_NPATCHES 0x4000
#define D3DXMESH_VB_SYSTEMMEM 0x010
#define D3DXMESH_VB_MANAGED 0x020
#define D3DXMESH_VB_WRITEONLY 0x040
#define D3DXMESH_VB_DYNAMIC 0x080
#define D3DXMESH_VB_SOFTWAREPROCESSING 0x8000
#define D3DXMESH_IB_SYSTEMMEM 0x100
#define D3DXMESH_IB_MANAGED 0x200
#define D3DXMESH_IB_WRITEONLY 0x400
#define D3DXMESH_IB_DYNAMIC 0x800
#define D3DXMESH_IB_SOFTWAREPROCESSING 0x10000
#define D3DXMESH_VB_SHARE 0x1000
#define D3DXMESH_USEHWONLY 0x2000
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220
#define D3DXMESH_WRITEONLY 0x440
#define D3DXMESH_DYNAMIC 0x880
#define D3DXMESH_SOFTWAREPROCESSING 0x18000

// Optimisation
#define D3DXMESHOPT_COMPACT 0x01000000
#define D3DXMESHOPT_ATTRSORT 0x02000000
#define D3DXMESHOPT_VERTEXCACHE 0x04000000
#define D3DXMESHOPT_STRIPREORDER 0x08000000
#define D3DXMESHOPT_IGNOREVERTS 0x10000000
#define D3DXMESHOPT_DONOTSPLIT 0x20000000
#define D3DXMESHOPT_DEVICEINDEPENDENT 0x40000000

enum D3DXMESHDATATYPE {
    D3DXMESHTYPE_MESH = 0x001,
    D3DXMESHTYPE_PMESH = 0x002,
    D3DXMESHTYPE_PATCHMESH = 0x003,
    D3DXMESHTYPE_FORCE_DWORD = 0x7fffffff
};

struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};
typedef D3DXATTRIBUTERANGE* LPD3DXATTRIBUTERANGE;

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

enum D3DXEFFECTDEFAULTTYPE {
    D3DXEDT_STRING = 0x1,
    D3DXEDT_FLOATS = 0x2,
    D3DXEDT_DWORD = 0x3,
    D3DXEDT_FORCEDWORD = 0x7fffffff
};

struct D3DXEFFECTDEFAULT {
    LPSTR pParamName;
    D3DXEFFECTDEFAULTTYPE Type;
    DWORD NumBytes;
    LPVOID pValue;
};

struct D3DXEFFECTINSTANCE {
    LPSTR pEffectFilename;
    DWORD NumDefaults;
    D3DXEFFECTDEFAULT* pDefaults;
};
typedef D3DXEFFECTINSTANCE* LPD3DXEFFECTINSTANCE;

struct D3DXINTERSECTINFO {
    DWORD FaceIndex;
    FLOAT U;
    FLOAT V;
    FLOAT Dist;
};

struct ID3DXMesh;
struct ID3DXSkinInfo;
struct ID3DXPatchMesh;
struct ID3DXPMesh;

struct D3DXMESHDATA {
    D3DXMESHDATATYPE Type;
    union {
        ID3DXMesh* pMesh;
        ID3DXPMesh* pPMesh;
        ID3DXPatchMesh* pPatchMesh;
    };
};

struct D3DXMESHCONTAINER {
    LPSTR Name;
    D3DXMESHDATA MeshData;
    LPD3DXMATERIAL pMaterials;
    LPD3DXEFFECTINSTANCE pEffects;
    DWORD NumMaterials;
    DWORD* pAdjacency;
    ID3DXSkinInfo* pSkinInfo;
    D3DXMESHCONTAINER* pNextMeshContainer;
};
typedef D3DXMESHCONTAINER* LPD3DXMESHCONTAINER;

struct D3DXFRAME {
    LPSTR Name;
    D3DXMATRIX TransformationMatrix;
    LPD3DXMESHCONTAINER pMeshContainer;
    D3DXFRAME* pFrameSibling;
    D3DXFRAME* pFrameFirstChild;
};
typedef D3DXFRAME* LPD3DXFRAME;

struct ID3DXBaseMesh : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrawSubset(DWORD AttribId) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumFaces() = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumVertices() = 0;
    virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAXD3DDECLLENGTH]) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() = 0;
    virtual DWORD STDMETHODCALLTYPE GetOptions() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD Options, DWORD FVF, LPDIRECT3DDEVICE9 pD3DDevice,
                                                   ID3DXMesh** ppCloneMesh) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloneMesh(DWORD Options, const D3DVERTEXELEMENT9* pDeclaration,
                                                LPDIRECT3DDEVICE9 pD3DDevice, ID3DXMesh** ppCloneMesh) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable,
                                                        DWORD* pAttribTableSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT Epsilon, DWORD* pAdjacency) = 0;
};
typedef ID3DXBaseMesh* LPD3DXBASEMESH;

struct ID3DXMesh : public ID3DXBaseMesh {
    virtual HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD Flags, DWORD** ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE Optimize(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut,
                                               DWORD* pFaceRemap, LPD3DXBUFFER* ppVertexRemap,
                                               ID3DXMesh** ppOptMesh) = 0;
    virtual HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD Flags, const DWORD* pAdjacencyIn,
                                                      DWORD* pAdjacencyOut, DWORD* pFaceRemap,
                                                      LPD3DXBUFFER* ppVertexRemap) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable,
                                                        DWORD cAttribTableSize) = 0;
};
typedef ID3DXMesh* LPD3DXMESH;

struct ID3DXSkinInfo : public IUnknown {
    virtual DWORD STDMETHODCALLTYPE GetNumBones() = 0;
    virtual LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD Bone) = 0;
    virtual D3DXMATRIX* STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD Bone) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD Bone) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD Bone, DWORD* vertices, FLOAT* weights) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
    virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(const D3DXMATRIX* pBoneTransforms,
                                                        const D3DXMATRIX* pBoneInvTransposeTransforms,
                                                        LPCVOID pVerticesSrc, PVOID pVerticesDst) = 0;
};
typedef ID3DXSkinInfo* LPD3DXSKININFO;

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                  LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                  LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                  LPD3DXMESH* ppMesh);
HRESULT WINAPI D3DXLoadMeshFromXof(ID3DXFileData* pxofMesh, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                   LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                   LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                   LPD3DXMESH* ppMesh);
HRESULT WINAPI D3DXLoadSkinMeshFromXof(ID3DXFileData* pxofMesh, DWORD Options,
                                       LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                                       LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                                       DWORD* pMatOut, LPD3DXSKININFO* ppSkinInfo, LPD3DXMESH* ppMesh);
HRESULT WINAPI D3DXCreateMeshFVF(DWORD NumFaces, DWORD NumVertices, DWORD Options, DWORD FVF,
                                 LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXMESH* ppMesh);
UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF);
HRESULT WINAPI D3DXComputeBoundingBox(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices,
                                      DWORD dwStride, D3DXVECTOR3* pMin, D3DXVECTOR3* pMax);
HRESULT WINAPI D3DXComputeBoundingSphere(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices,
                                         DWORD dwStride, D3DXVECTOR3* pCenter, FLOAT* pRadius);
HRESULT WINAPI D3DXIntersect(LPD3DXBASEMESH pMesh, const D3DXVECTOR3* pRayPos,
                             const D3DXVECTOR3* pRayDir, BOOL* pHit, DWORD* pFaceIndex, FLOAT* pU,
                             FLOAT* pV, FLOAT* pDist, LPD3DXBUFFER* ppAllHits, DWORD* pCountOfHits);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA
