// D3DX shader assembly.
#pragma once

#include <d3d9.h>

#include "d3dx9core.h"

// A macro for the preprocessor: Name is replaced by Definition. Arrays end with {NULL, NULL}.
struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};
typedef D3DXMACRO* LPD3DXMACRO;

enum D3DXINCLUDE_TYPE {
    D3DXINC_LOCAL = 0,   // #include "file"
    D3DXINC_SYSTEM = 1,  // #include <file>
    D3DXINC_FORCE_DWORD = 0x7fffffff
};
typedef D3DXINCLUDE_TYPE* LPD3DXINCLUDE_TYPE;

// Supplies the text of #include files. Not reference counted.
DECLARE_INTERFACE(ID3DXInclude) {
    STDMETHOD(Open)(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                    UINT* pBytes) = 0;
    STDMETHOD(Close)(LPCVOID pData) = 0;
};
typedef ID3DXInclude* LPD3DXINCLUDE;

HRESULT WINAPI D3DXAssembleShader(LPCSTR pSrcData, UINT SrcDataLen, CONST D3DXMACRO* pDefines,
                                  LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXBUFFER* ppShader,
                                  LPD3DXBUFFER* ppErrorMsgs);
HRESULT WINAPI D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, CONST D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                           DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs);
#define D3DXAssembleShaderFromFile D3DXAssembleShaderFromFileA
