#include <string.h>

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include "meshcontainer.h"
#include "xparser.h"

// How deep a walk goes, references included; objects below are passed over.
#define XWALK_MAX_DEPTH 512

// ---- object accessors shared by both walkers

static GUID XGetType(ID3DXFileData* pData) {
    GUID guid;
    memset(&guid, 0, sizeof(guid));
    if (pData == NULL || FAILED(pData->GetType(&guid))) memset(&guid, 0, sizeof(guid));
    return guid;
}

char* XGetName(ID3DXFileData* pData) {
    if (pData == NULL) return NULL;
    SIZE_T size = 0;
    if (FAILED(pData->GetName(NULL, &size)) || size == 0) return NULL;
    char* name = new char[size + 1];
    SIZE_T written = size;
    if (FAILED(pData->GetName(name, &written))) {
        delete[] name;
        return NULL;
    }
    name[size] = '\0';
    return name;
}

static BYTE* XGetData(ID3DXFileData* pData, DWORD* pSize) {
    if (pSize != NULL) *pSize = 0;
    if (pData == NULL) return NULL;
    SIZE_T size = 0;
    const void* pLocked = NULL;
    if (FAILED(pData->Lock(&size, &pLocked))) return NULL;
    BYTE* pCopy = NULL;
    if (pLocked != NULL && size != 0 && size <= 0xFFFFFFFF) {
        pCopy = new BYTE[size];
        memcpy(pCopy, pLocked, size);
        if (pSize != NULL) *pSize = (DWORD)size;
    }
    pData->Unlock();
    return pCopy;
}

// Two data objects stand for the same object of the file: same type, name, identifier and data.
static bool XSameObject(ID3DXFileData* a, ID3DXFileData* b) {
    if (a == b) return true;
    if (XGetType(a) != XGetType(b)) return false;

    GUID idA, idB;
    memset(&idA, 0, sizeof(idA));
    memset(&idB, 0, sizeof(idB));
    a->GetId(&idA);
    b->GetId(&idB);
    if (idA != idB) return false;

    char* nameA = XGetName(a);
    char* nameB = XGetName(b);
    bool same = (nameA == NULL && nameB == NULL) ||
                (nameA != NULL && nameB != NULL && strcmp(nameA, nameB) == 0);
    delete[] nameA;
    delete[] nameB;
    if (!same) return false;

    SIZE_T sizeA = 0, sizeB = 0;
    const void* pA = NULL;
    const void* pB = NULL;
    if (SUCCEEDED(a->Lock(&sizeA, &pA))) {
        if (SUCCEEDED(b->Lock(&sizeB, &pB))) {
            same = sizeA == sizeB && pA == pB;
            b->Unlock();
        }
        a->Unlock();
    }
    return same;
}

// A reference that leads back to an object on the walk would make the walk endless.
static bool XOnWalk(ID3DXFileData* pData, const XWalkStep* pWalk) {
    for (; pWalk != NULL; pWalk = pWalk->pUp) {
        if (XSameObject(pData, pWalk->pObject)) return true;
    }
    return false;
}

HRESULT XOpen(const char* file, ID3DXFile** ppFile, ID3DXFileEnumObject** ppEnum) {
    if (file == NULL) return E_FAIL;
    ID3DXFile* pFile = NULL;
    HRESULT hr = D3DXFileCreate(&pFile);
    if (FAILED(hr) || pFile == NULL) return FAILED(hr) ? hr : E_FAIL;
    hr = pFile->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
    ID3DXFileEnumObject* pEnum = NULL;
    if (SUCCEEDED(hr)) hr = pFile->CreateEnumObject(file, D3DXF_FILELOAD_FROMFILE, &pEnum);
    if (SUCCEEDED(hr) && pEnum == NULL) hr = E_FAIL;
    if (FAILED(hr)) {
        pFile->Release();
        return hr;
    }
    *ppFile = pFile;
    *ppEnum = pEnum;
    return S_OK;
}

// ---- CHierarchyFrame

CHierarchyFrame::CHierarchyFrame() {
    Name = NULL;
    D3DXMatrixIdentity(&TransformationMatrix);
    pMeshContainer = NULL;
    pFrameSibling = NULL;
    pFrameFirstChild = NULL;
    D3DXMatrixIdentity(&matCombined);
    D3DXMatrixIdentity(&matOriginal);
}

CHierarchyFrame::~CHierarchyFrame() {
    delete[] Name;
    Name = NULL;

    // Siblings one after the other, so that a long chain does not nest the destructors.
    CHierarchyFrame* pSibling = static_cast<CHierarchyFrame*>(pFrameSibling);
    pFrameSibling = NULL;
    while (pSibling != NULL) {
        CHierarchyFrame* pNext = static_cast<CHierarchyFrame*>(pSibling->pFrameSibling);
        pSibling->pFrameSibling = NULL;
        delete pSibling;
        pSibling = pNext;
    }

    delete static_cast<CHierarchyFrame*>(pFrameFirstChild);
    pFrameFirstChild = NULL;
}

CHierarchyFrame* CHierarchyFrame::Find(const char* name) {
    if (name == NULL) return NULL;

    // This frame and its siblings first, then the children of the last sibling back to this
    // frame's own: the order of a search that tries the sibling before the child.
    DWORD count = 0;
    for (D3DXFRAME* pFrame = this; pFrame != NULL; pFrame = pFrame->pFrameSibling) {
        if (pFrame->Name != NULL && strcmp(pFrame->Name, name) == 0)
            return static_cast<CHierarchyFrame*>(pFrame);
        count++;
    }
    CHierarchyFrame** chain = new CHierarchyFrame*[count];
    DWORD i = 0;
    for (D3DXFRAME* pFrame = this; pFrame != NULL; pFrame = pFrame->pFrameSibling)
        chain[i++] = static_cast<CHierarchyFrame*>(pFrame);

    CHierarchyFrame* pFound = NULL;
    while (i > 0 && pFound == NULL) {
        i--;
        if (chain[i]->pFrameFirstChild != NULL)
            pFound = static_cast<CHierarchyFrame*>(chain[i]->pFrameFirstChild)->Find(name);
    }
    delete[] chain;
    return pFound;
}

// ---- CXFileParser

CXFileParser::CXFileParser() { m_pWalk = NULL; }

CXFileParser::~CXFileParser() {}

BOOL CXFileParser::BeginParse(void*) { return TRUE; }

BOOL CXFileParser::EndParse(void*) { return TRUE; }

BOOL CXFileParser::ParseObject(ID3DXFileData* pData, ID3DXFileData*, DWORD depth, void* pUserData,
                               BOOL bReference) {
    return ParseChildObjects(pData, depth, pUserData, bReference);
}

BOOL CXFileParser::Parse(const char* file, void* pUserData) {
    ID3DXFile* pFile = NULL;
    ID3DXFileEnumObject* pEnum = NULL;
    if (FAILED(XOpen(file, &pFile, &pEnum))) return FALSE;

    if (BeginParse(pUserData) == TRUE) {
        SIZE_T count = 0;
        if (FAILED(pEnum->GetChildren(&count))) count = 0;
        for (SIZE_T i = 0; i < count; i++) {
            ID3DXFileData* pData = NULL;
            if (FAILED(pEnum->GetChild(i, &pData)) || pData == NULL) continue;
            BOOL result = ParseObject(pData, NULL, 0, pUserData, pData->IsReference());
            pData->Release();
            if (result == FALSE) break;
        }
    }
    EndParse(pUserData);

    pEnum->Release();
    pFile->Release();
    return TRUE;
}

BOOL CXFileParser::ParseChildObjects(ID3DXFileData* pData, DWORD depth, void* pUserData, BOOL bReference) {
    if (pData == NULL) return TRUE;
    if (depth >= XWALK_MAX_DEPTH) return TRUE;

    SIZE_T count = 0;
    if (FAILED(pData->GetChildren(&count))) return TRUE;

    XWalkStep step = {pData, m_pWalk};
    m_pWalk = &step;
    BOOL result = TRUE;
    for (SIZE_T i = 0; i < count && result; i++) {
        ID3DXFileData* pChild = NULL;
        if (FAILED(pData->GetChild(i, &pChild)) || pChild == NULL) continue;
        BOOL isReference = pChild->IsReference();
        if (!isReference || !XOnWalk(pChild, &step)) {
            result = ParseObject(pChild, pData, depth + 1, pUserData, isReference ? TRUE : bReference);
        }
        pChild->Release();
    }
    m_pWalk = step.pUp;
    return result ? TRUE : FALSE;
}

GUID CXFileParser::GetObjectGUID(ID3DXFileData* pData) { return XGetType(pData); }

char* CXFileParser::GetObjectName(ID3DXFileData* pData) { return XGetName(pData); }

BYTE* CXFileParser::GetObjectData(ID3DXFileData* pData, DWORD* pSize) { return XGetData(pData, pSize); }

HRESULT CXFileParser::UnlockObjectData(ID3DXFileData* pData) {
    if (pData == NULL) return E_FAIL;
    return pData->Unlock();
}

// ---- CMeshHierarchyParser

CMeshHierarchyParser::CMeshHierarchyParser() {
    Device = NULL;
    TexturePath = NULL;
    ParseFlags = 0;
    RootMesh = NULL;
    RootFrame = NULL;
    NewFVF = 0;
    LoadFlags = 0;
    m_pWalk = NULL;
    OpenResult = S_OK;
}

CMeshHierarchyParser::~CMeshHierarchyParser() {
    delete RootMesh;
    RootMesh = NULL;
    delete RootFrame;
    RootFrame = NULL;
}

BOOL CMeshHierarchyParser::Parse(const char* file, CHierarchyFrame** ppFrameLink) {
    ID3DXFile* pFile = NULL;
    ID3DXFileEnumObject* pEnum = NULL;
    OpenResult = XOpen(file, &pFile, &pEnum);
    if (FAILED(OpenResult)) return FALSE;

    SIZE_T count = 0;
    if (FAILED(pEnum->GetChildren(&count))) count = 0;
    for (SIZE_T i = 0; i < count; i++) {
        ID3DXFileData* pData = NULL;
        if (FAILED(pEnum->GetChild(i, &pData)) || pData == NULL) continue;
        BOOL result = ParseObject(pData, NULL, 0, ppFrameLink, pData->IsReference());
        pData->Release();
        if (result == FALSE) break;
    }

    pEnum->Release();
    pFile->Release();
    return TRUE;
}

BOOL CMeshHierarchyParser::ParseObject(ID3DXFileData* pData, ID3DXFileData*, DWORD depth,
                                       CHierarchyFrame** ppFrameLink, BOOL bReference) {
    GUID type = GetObjectGUID(pData);
    bool buildFrames = (ParseFlags & XPARSE_BUILD_FRAMES) != 0;
    bool loadMeshes = (ParseFlags & XPARSE_LOAD_MESHES) != 0;

    if (type == TID_D3DRMFrame && !bReference && buildFrames) {
        CHierarchyFrame* pFrame = new CHierarchyFrame();
        pFrame->Name = GetObjectName(pData);
        if (ppFrameLink == NULL || *ppFrameLink == NULL) {
            pFrame->pFrameSibling = RootFrame;
            RootFrame = pFrame;
            ppFrameLink = &RootFrame;
        } else {
            CHierarchyFrame* pCurrent = *ppFrameLink;
            pFrame->pFrameSibling = pCurrent->pFrameFirstChild;
            pCurrent->pFrameFirstChild = pFrame;
            ppFrameLink = (CHierarchyFrame**)&pCurrent->pFrameFirstChild;
        }
    }

    if (type == TID_D3DRMFrameTransformMatrix && !bReference && buildFrames && ppFrameLink != NULL &&
        *ppFrameLink != NULL) {
        DWORD size = 0;
        BYTE* pMatrix = GetObjectData(pData, &size);
        if (pMatrix != NULL && size >= 16 * sizeof(float)) {
            memcpy(&(*ppFrameLink)->TransformationMatrix, pMatrix, 16 * sizeof(float));
            (*ppFrameLink)->matOriginal = (*ppFrameLink)->TransformationMatrix;
        }
        delete[] pMatrix;
    }

    if (type == TID_D3DRMMesh && loadMeshes) {
        CHierarchyFrame* pCurrent = ppFrameLink != NULL ? *ppFrameLink : NULL;
        if (!bReference) {
            CMeshContainerEx* pContainer = NULL;
            LoadMeshFromXFileData(&pContainer, Device, pData, TexturePath, NewFVF, LoadFlags);
            if (pContainer != NULL) {
                pContainer->pNextMeshContainer = RootMesh;
                RootMesh = pContainer;
                if (buildFrames && pCurrent != NULL) pCurrent->pMeshContainer = pContainer;
            }
        } else if (buildFrames && pCurrent != NULL && RootMesh != NULL) {
            char* name = GetObjectName(pData);
            pCurrent->pMeshContainer = RootMesh->Find(name);
            delete[] name;
        }
    }

    return ParseChildObjects(pData, depth, ppFrameLink, bReference);
}

BOOL CMeshHierarchyParser::ParseChildObjects(ID3DXFileData* pData, DWORD depth,
                                             CHierarchyFrame** ppFrameLink, BOOL bReference) {
    if (pData == NULL) return TRUE;
    if (depth >= XWALK_MAX_DEPTH) return TRUE;

    SIZE_T count = 0;
    if (FAILED(pData->GetChildren(&count))) return TRUE;

    XWalkStep step = {pData, m_pWalk};
    m_pWalk = &step;
    BOOL result = TRUE;
    for (SIZE_T i = 0; i < count && result; i++) {
        ID3DXFileData* pChild = NULL;
        if (FAILED(pData->GetChild(i, &pChild)) || pChild == NULL) continue;
        BOOL isReference = pChild->IsReference();
        if (!isReference || !XOnWalk(pChild, &step)) {
            result = ParseObject(pChild, pData, depth + 1, ppFrameLink, isReference ? TRUE : bReference);
        }
        pChild->Release();
    }
    m_pWalk = step.pUp;
    return result ? TRUE : FALSE;
}

GUID CMeshHierarchyParser::GetObjectGUID(ID3DXFileData* pData) { return XGetType(pData); }

char* CMeshHierarchyParser::GetObjectName(ID3DXFileData* pData) { return XGetName(pData); }

BYTE* CMeshHierarchyParser::GetObjectData(ID3DXFileData* pData, DWORD* pSize) {
    return XGetData(pData, pSize);
}
