// 2D work on 32-bit surfaces with the processor, and the bitmap alphabet font.
#pragma once

#include <windows.h>
#include <d3d9.h>

extern IDirect3DSurface9* g_pAlphabetSurface;
extern int g_AlphabetLoaded;
extern int g_AlphabetWidth;
extern int g_AlphabetHeight;
extern int g_LetterWidth;
extern int g_LetterHeight;
extern int g_LettersPerRow;

// The pixel routines write into a locked 32-bit buffer: pitch in bytes as LockRect gives it,
// width and height the surface's size in pixels; nothing is written outside that size.
void PutPixel(int x, int y, DWORD color, int pitch, DWORD* pBits, int width, int height);
void FillRectangle(const RECT* pRect, DWORD color, int pitch, DWORD* pBits, int width, int height);
HRESULT ClearRectangle(const RECT* pRect, D3DCOLOR color, IDirect3DDevice9* pDevice);
HRESULT LoadBitmapToSurface(const char* szFileName, IDirect3DSurface9** ppSurface,
                            IDirect3DDevice9* pDevice);
HRESULT CopySurfaceToSurface(const RECT* pSrcRect, IDirect3DSurface9* pSrcSurface,
                             const POINT* pDestPoint, IDirect3DSurface9* pDestSurface, BOOL bUseKey,
                             DWORD dwKey);

HRESULT LoadAlphabet(const char* szFileName, int nLetterWidth, int nLetterHeight);
HRESULT UnloadAlphabet();
void PrintChar(int x, int y, char c, BOOL bTransparent, DWORD dwKey, DWORD* pBits, int pitch,
               int width, int height);
void PrintString(int x, int y, const char* szText, BOOL bTransparent, DWORD dwKey, DWORD* pBits,
                 int pitch, int width, int height);
