// The scene node: a list of mesh containers drawn under one world transform, with bounds,
// mass figures and a few geometric tests.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

class CMeshContainerEx;
class CCollisionObject;
class CFrame;

#define FRAME_MAX_SUBMESHES 500

typedef void (*LPFRAMEUPDATECALLBACK)(CFrame* pFrame, DWORD dwUserValue);

// Mass, inertia, position, orientation and box of a frame.
class CRigidBody {
public:
    float fMass;
    D3DXMATRIX matInertia;
    D3DXMATRIX matInverseInertia;
    D3DXVECTOR3 vPosition;
    D3DXVECTOR3 vBodyVector;
    D3DXQUATERNION qOrientation;
    float fRadius;
    D3DXVECTOR3 vCorners[8];
};

class CFrame {
public:
    CFrame();
    ~CFrame();

    HRESULT SetUpdateCallback(LPFRAMEUPDATECALLBACK pfnCallback);
    HRESULT AddChild(CFrame* pChild);
    HRESULT AddMesh(CMeshContainerEx* pContainer);
    // Empties the mesh list, unlinking every container; call it before the containers are deleted.
    void RemoveMeshes();

    HRESULT Render(bool useTextures);
    void UpdateWorldMatrix();
    void GetWorldMatrix(D3DXMATRIX* pOut);
    HRESULT DrawMeshContainer(CMeshContainerEx* pContainer, bool useTextures);

    HRESULT ScaleMesh(CMeshContainerEx* pContainer, float scale);
    HRESULT TranslateMesh(CMeshContainerEx* pContainer, float dx, float dy, float dz);

    void GetPosition(float* x, float* y, float* z);
    void SetPosition(float x, float y, float z);
    void GetBodyVector(float* x, float* y, float* z);
    void SetBodyVector(float x, float y, float z);
    void GetExtraVector(float* x, float* y, float* z);
    void SetExtraVector(float x, float y, float z);
    CFrame* GetNextSibling();
    void SetNextSibling(CFrame* pFrame);
    void SetParent(CFrame* pFrame);

    // Bounds of a mesh and the box around the position.
    void ComputeBounds(CMeshContainerEx* pContainer);
    void ComputeBoundingSphere(CMeshContainerEx* pContainer);
    void ComputeBoxCorners();

    // Collision through the collision library, and distances along a ray to another frame's mesh.
    HRESULT BuildCollisionModel(CMeshContainerEx* pContainer);
    bool Collide(CFrame* pOther, int nFlag);
    float DistanceToGround(float x, float y, float z, CFrame ground);
    float RayDistanceAtAngle(float x, float y, float z, CFrame target, float angle);

    // Every Mesh object of a .x file as a sub-mesh with its bounding sphere.
    BOOL LoadSubMeshes(const char* file, IDirect3DDevice9* pDevice);
    BOOL ParseXFileData(ID3DXFileData* pData, IDirect3DDevice9* pDevice);

    // Geometric tests: they read and write none of the frame's fields.
    bool PointInBox(D3DXVECTOR3* pPoint, D3DXVECTOR3* pMin, D3DXVECTOR3* pMax);
    bool PointInSphere(D3DXVECTOR3* pPoint, D3DXVECTOR3 vCentre, float fRadius);
    bool SpheresOverlap(D3DXVECTOR3* pCentre1, float fRadius1, D3DXVECTOR3 vCentre2, float fRadius2);
    bool RayHitsSphere(D3DXVECTOR3 vOrigin, D3DXVECTOR3 vDirection, D3DXVECTOR3 vCentre, float fRadius);
    bool RayHitsTriangle(D3DXVECTOR3* pOrigin, D3DXVECTOR3* pDirection, D3DXVECTOR3* pP, D3DXVECTOR3* pQ,
                         D3DXVECTOR3* pR);

    DWORD dwUserValue;
    D3DXMATRIX matWorld;
    D3DXMATRIX matWorldCopy;
    D3DXMATRIX matLocal;
    D3DXMATRIX matNormalize;
    float fWidth, fHeight, fDepth;
    float fYaw, fPitch, fRoll;
    float fInertiaWH, fInertiaHD, fInertiaWD;
    int nId;
    BYTE bMouseOver;
    BYTE bSelectedForMove;
    BYTE bReachable;
    int nSubMesh;
    int nSubMeshCount;
    D3DXVECTOR3 vSubMeshCentre[FRAME_MAX_SUBMESHES];
    float fSubMeshRadius[FRAME_MAX_SUBMESHES];
    D3DXVECTOR3 vSubMeshWorldCentre[FRAME_MAX_SUBMESHES];
    ID3DXMesh* pSubMesh[FRAME_MAX_SUBMESHES];
    CRigidBody RigidBody;
    D3DXVECTOR3 vBoxMin, vBoxMax;
    D3DXVECTOR3 vSphereCentre;
    CMeshContainerEx* pMeshList;
    CCollisionObject* pCollisionObject;
    BYTE bCollided;
    D3DXVECTOR3 vExtra;
    CFrame* pNextSibling;
    CFrame* pFirstChild;
    CFrame* pParent;
    LPFRAMEUPDATECALLBACK pfnUpdateCallback;
    BOOL bUseCallback;

private:
    BOOL ParseXFileData(ID3DXFileData* pData, IDirect3DDevice9* pDevice, int depth, int* pBudget);
};

// Numbers the frames in the order in which their bounds are computed.
extern int g_NextFrameId;
