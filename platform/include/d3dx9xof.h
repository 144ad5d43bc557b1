// D3DX .x file reader: ID3DXFile, ID3DXFileEnumObject, ID3DXFileData.
#pragma once

#include "unknwn.h"

typedef DWORD D3DXF_FILEFORMAT;
#define D3DXF_FILEFORMAT_BINARY 0
#define D3DXF_FILEFORMAT_TEXT 1
#define D3DXF_FILEFORMAT_COMPRESSED 2

typedef DWORD D3DXF_FILESAVEOPTIONS;
#define D3DXF_FILESAVE_TOFILE 0x00L
#define D3DXF_FILESAVE_TOWFILE 0x01L

typedef DWORD D3DXF_FILELOADOPTIONS;
#define D3DXF_FILELOAD_FROMFILE 0x00L
#define D3DXF_FILELOAD_FROMWFILE 0x01L
#define D3DXF_FILELOAD_FROMRESOURCE 0x02L
#define D3DXF_FILELOAD_FROMMEMORY 0x03L

struct D3DXF_FILELOADRESOURCE {
    HMODULE hModule;  // null: the program itself
    LPCSTR lpName;
    LPCSTR lpType;
};

struct D3DXF_FILELOADMEMORY {
    LPCVOID lpMemory;
    SIZE_T dSize;
};

struct ID3DXFile;
struct ID3DXFileSaveObject;
struct ID3DXFileSaveData;
struct ID3DXFileEnumObject;
struct ID3DXFileData;

typedef ID3DXFile* LPD3DXFILE;
typedef ID3DXFileSaveObject* LPD3DXFILESAVEOBJECT;
typedef ID3DXFileSaveData* LPD3DXFILESAVEDATA;
typedef ID3DXFileEnumObject* LPD3DXFILEENUMOBJECT;
typedef ID3DXFileData* LPD3DXFILEDATA;

DEFINE_GUID(IID_ID3DXFile, 0xcef08cf9, 0x7b4f, 0x4429, 0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01);
DEFINE_GUID(IID_ID3DXFileSaveObject, 0xcef08cfa, 0x7b4f, 0x4429, 0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01);
DEFINE_GUID(IID_ID3DXFileSaveData, 0xcef08cfb, 0x7b4f, 0x4429, 0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01);
DEFINE_GUID(IID_ID3DXFileEnumObject, 0xcef08cfc, 0x7b4f, 0x4429, 0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01);
DEFINE_GUID(IID_ID3DXFileData, 0xcef08cfd, 0x7b4f, 0x4429, 0x96, 0x24, 0x2a, 0x69, 0x0a, 0x93, 0x32, 0x01);

struct ID3DXFile : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateEnumObject(LPCVOID pvSource, D3DXF_FILELOADOPTIONS loadflags,
                                                       ID3DXFileEnumObject** ppEnumObj) = 0;
    // Writing .x files is not provided: returns E_NOTIMPL.
    virtual HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCVOID pData, D3DXF_FILESAVEOPTIONS flags,
                                                       D3DXF_FILEFORMAT dwFileFormat,
                                                       ID3DXFileSaveObject** ppSaveObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterTemplates(LPCVOID pvData, SIZE_T cbSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterEnumTemplates(ID3DXFileEnumObject* pEnum) = 0;
};

struct ID3DXFileEnumObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetFile(ID3DXFile** ppFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* puiChildren) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChild(SIZE_T uiChild, ID3DXFileData** ppObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID rguid, ID3DXFileData** ppObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR szName, ID3DXFileData** ppObj) = 0;
};

struct ID3DXFileData : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetEnum(ID3DXFileEnumObject** ppObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(LPSTR szName, SIZE_T* puiSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPGUID pGuid) = 0;
    virtual HRESULT STDMETHODCALLTYPE Lock(SIZE_T* pSize, const void** ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(GUID* pType) = 0;
    virtual BOOL STDMETHODCALLTYPE IsReference() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* puiChildren) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChild(SIZE_T uiChild, ID3DXFileData** ppChild) = 0;
};

STDAPI D3DXFileCreate(ID3DXFile** lplpDirectXFile);

// Errors
#define _FACD3DXF 0x876
#define D3DXFERR_BADOBJECT MAKE_HRESULT(1, _FACD3DXF, 900)
#define D3DXFERR_BADVALUE MAKE_HRESULT(1, _FACD3DXF, 901)
#define D3DXFERR_BADTYPE MAKE_HRESULT(1, _FACD3DXF, 902)
#define D3DXFERR_NOTFOUND MAKE_HRESULT(1, _FACD3DXF, 903)
#define D3DXFERR_NOTDONEYET MAKE_HRESULT(1, _FACD3DXF, 904)
#define D3DXFERR_FILENOTFOUND MAKE_HRESULT(1, _FACD3DXF, 905)
#define D3DXFERR_RESOURCENOTFOUND MAKE_HRESULT(1, _FACD3DXF, 906)
#define D3DXFERR_BADRESOURCE MAKE_HRESULT(1, _FACD3DXF, 907)
#define D3DXFERR_BADFILETYPE MAKE_HRESULT(1, _FACD3DXF, 908)
#define D3DXFERR_BADFILEVERSION MAKE_HRESULT(1, _FACD3DXF, 909)
#define D3DXFERR_BADFILEFLOATSIZE MAKE_HRESULT(1, _FACD3DXF, 910)
#define D3DXFERR_BADFILE MAKE_HRESULT(1, _FACD3DXF, 911)
#define D3DXFERR_PARSEERROR MAKE_HRESULT(1, _FACD3DXF, 912)
#define D3DXFERR_BADARRAYSIZE MAKE_HRESULT(1, _FACD3DXF, 913)
#define D3DXFERR_BADDATAREFERENCE MAKE_HRESULT(1, _FACD3DXF, 914)
#define D3DXFERR_NOMOREOBJECTS MAKE_HRESULT(1, _FACD3DXF, 915)
#define D3DXFERR_NOMOREDATA MAKE_HRESULT(1, _FACD3DXF, 916)
#define D3DXFERR_BADCACHEFILE MAKE_HRESULT(1, _FACD3DXF, 917)
