// Walkers over the objects of a .x file, and the frame record of a .x frame hierarchy.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>
#include <d3dx9xof.h>

class CMeshContainerEx;

// One step of a walk: the object whose children are being walked, and the step above it.
struct XWalkStep {
    ID3DXFileData* pObject;
    const XWalkStep* pUp;
};

// A frame of a .x hierarchy: the platform's frame with a combined and an original transform.
class CHierarchyFrame : public D3DXFRAME {
public:
    CHierarchyFrame();
    ~CHierarchyFrame();

    CHierarchyFrame* Find(const char* name);

    D3DXMATRIX matCombined;
    D3DXMATRIX matOriginal;

private:
    CHierarchyFrame(const CHierarchyFrame&);
    CHierarchyFrame& operator=(const CHierarchyFrame&);
};

// Walks the top-level objects of a file and their children; a subclass acts on the objects it
// cares about in ParseObject.
class CXFileParser {
public:
    CXFileParser();

    virtual BOOL BeginParse(void* pUserData);
    virtual BOOL EndParse(void* pUserData);
    virtual BOOL ParseObject(ID3DXFileData* pData, ID3DXFileData* pParent, DWORD depth, void* pUserData,
                             BOOL bReference);
    virtual ~CXFileParser();

    BOOL Parse(const char* file, void* pUserData);
    BOOL ParseChildObjects(ID3DXFileData* pData, DWORD depth, void* pUserData, BOOL bReference);

    GUID GetObjectGUID(ID3DXFileData* pData);
    char* GetObjectName(ID3DXFileData* pData);
    BYTE* GetObjectData(ID3DXFileData* pData, DWORD* pSize);
    HRESULT UnlockObjectData(ID3DXFileData* pData);

private:
    const XWalkStep* m_pWalk;
};

// Builds a list of mesh containers and a tree of frames from a .x file.
class CMeshHierarchyParser {
public:
    CMeshHierarchyParser();
    ~CMeshHierarchyParser();

    BOOL Parse(const char* file, CHierarchyFrame** ppFrameLink);
    BOOL ParseObject(ID3DXFileData* pData, ID3DXFileData* pParent, DWORD depth,
                     CHierarchyFrame** ppFrameLink, BOOL bReference);
    BOOL ParseChildObjects(ID3DXFileData* pData, DWORD depth, CHierarchyFrame** ppFrameLink,
                           BOOL bReference);

    GUID GetObjectGUID(ID3DXFileData* pData);
    char* GetObjectName(ID3DXFileData* pData);
    BYTE* GetObjectData(ID3DXFileData* pData, DWORD* pSize);

    IDirect3DDevice9* Device;
    const char* TexturePath;
    DWORD NewFVF;
    DWORD LoadFlags;
    DWORD ParseFlags;
    CMeshContainerEx* RootMesh;
    CHierarchyFrame* RootFrame;
    // What opening the file gave at the last Parse.
    HRESULT OpenResult;

private:
    const XWalkStep* m_pWalk;

    CMeshHierarchyParser(const CMeshHierarchyParser&);
    CMeshHierarchyParser& operator=(const CMeshHierarchyParser&);
};

#define XPARSE_LOAD_MESHES 1
#define XPARSE_BUILD_FRAMES 2

// A new copy of a data object's name, null when it has none.
char* XGetName(ID3DXFileData* pData);
// Opens a .x file with the standard templates registered: the file object and its enumeration,
// which the caller releases; the failing call's code otherwise.
HRESULT XOpen(const char* file, ID3DXFile** ppFile, ID3DXFileEnumObject** ppEnum);
