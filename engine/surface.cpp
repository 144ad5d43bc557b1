#include "surface.h"
#include "log.h"

#include <d3dx9.h>
#include <stdlib.h>
#include <string.h>

extern IDirect3DDevice9* g_pd3dDevice;

IDirect3DSurface9* g_pAlphabetSurface = NULL;
int g_AlphabetLoaded = 0;
int g_AlphabetWidth = 0;
int g_AlphabetHeight = 0;
int g_LetterWidth = 0;
int g_LetterHeight = 0;
int g_LettersPerRow = 0;

// A row holds no more pixels than its pitch.
static int RowWidth(int width, int pitch) {
    return width < pitch / 4 ? width : pitch / 4;
}

static bool Is32Bit(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
}

// The unused byte of an X8 format holds anything: keys compare the colour bits only.
static DWORD KeyMask(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 ? 0x00FFFFFF : 0xFFFFFFFF;
}

void PutPixel(int x, int y, DWORD color, int pitch, DWORD* pBits, int width, int height) {
    if (pBits == NULL) return;
    if (x < 0 || x >= RowWidth(width, pitch) || y < 0 || y >= height) return;
    pBits[y * (pitch / 4) + x] = color;
}

void FillRectangle(const RECT* pRect, DWORD color, int pitch, DWORD* pBits, int width, int height) {
    if (pRect == NULL || pBits == NULL) return;
    width = RowWidth(width, pitch);
    int left = pRect->left < 0 ? 0 : pRect->left;
    int top = pRect->top < 0 ? 0 : pRect->top;
    int right = pRect->right > width ? width : pRect->right;
    int bottom = pRect->bottom > height ? height : pRect->bottom;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++) pBits[y * (pitch / 4) + x] = color;
}

HRESULT ClearRectangle(const RECT* pRect, D3DCOLOR color, IDirect3DDevice9* pDevice) {
    if (pRect == NULL || pDevice == NULL) return E_FAIL;
    D3DRECT rect = {pRect->left, pRect->top, pRect->right, pRect->bottom};
    return pDevice->Clear(1, &rect, D3DCLEAR_TARGET, color, 0.0f, 0);
}

HRESULT LoadBitmapToSurface(const char* szFileName, IDirect3DSurface9** ppSurface,
                            IDirect3DDevice9* pDevice) {
    if (ppSurface == NULL) return E_FAIL;
    *ppSurface = NULL;
    if (pDevice == NULL) return E_FAIL;

    // The bitmap only tells the size.
    HBITMAP hBitmap = (HBITMAP)LoadImageA(NULL, szFileName, IMAGE_BITMAP, 0, 0,
                                          LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (hBitmap == NULL) {
        ReportError("Unable to load bitmap");
        return E_FAIL;
    }
    BITMAP bitmap;
    memset(&bitmap, 0, sizeof(bitmap));
    int nGot = GetObjectA(hBitmap, sizeof(BITMAP), &bitmap);
    DeleteObject(hBitmap);
    if (nGot == 0) {
        ReportError("Unable to load bitmap");
        return E_FAIL;
    }

    IDirect3DSurface9* pSurface = NULL;
    if (FAILED(pDevice->CreateOffscreenPlainSurface(bitmap.bmWidth, bitmap.bmHeight,
                                                    D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &pSurface,
                                                    NULL))) {
        ReportError("Unable to create surface for bitmap load");
        return E_FAIL;
    }
    if (FAILED(D3DXLoadSurfaceFromFileA(pSurface, NULL, NULL, szFileName, NULL, D3DX_FILTER_NONE, 0,
                                        NULL))) {
        ReportError("Unable to load file to surface");
        pSurface->Release();
        return E_FAIL;
    }
    *ppSurface = pSurface;
    return S_OK;
}

HRESULT CopySurfaceToSurface(const RECT* pSrcRect, IDirect3DSurface9* pSrcSurface,
                             const POINT* pDestPoint, IDirect3DSurface9* pDestSurface, BOOL bUseKey,
                             DWORD dwKey) {
    if (pSrcSurface == NULL || pDestSurface == NULL) return E_FAIL;
    D3DSURFACE_DESC srcDesc, destDesc;
    if (FAILED(pSrcSurface->GetDesc(&srcDesc)) || FAILED(pDestSurface->GetDesc(&destDesc)))
        return E_FAIL;
    if (!Is32Bit(srcDesc.Format) || !Is32Bit(destDesc.Format)) return E_FAIL;

    RECT block = {0, 0, (LONG)srcDesc.Width, (LONG)srcDesc.Height};
    if (pSrcRect != NULL) block = *pSrcRect;
    POINT dest = {0, 0};
    if (pDestPoint != NULL) dest = *pDestPoint;

    // The block is cut to the source, and its place at the destination to the destination.
    long long dx = (long long)dest.x - block.left, dy = (long long)dest.y - block.top;
    long long left = block.left, top = block.top, right = block.right, bottom = block.bottom;
    if (left < 0) left = 0;
    if (left < -dx) left = -dx;
    if (top < 0) top = 0;
    if (top < -dy) top = -dy;
    if (right > srcDesc.Width) right = srcDesc.Width;
    if (right > destDesc.Width - dx) right = destDesc.Width - dx;
    if (bottom > srcDesc.Height) bottom = srcDesc.Height;
    if (bottom > destDesc.Height - dy) bottom = destDesc.Height - dy;

    D3DLOCKED_RECT srcLock, destLock;
    if (FAILED(pSrcSurface->LockRect(&srcLock, NULL, D3DLOCK_READONLY))) return E_FAIL;
    if (FAILED(pDestSurface->LockRect(&destLock, NULL, 0))) {
        pSrcSurface->UnlockRect();
        return E_FAIL;
    }
    const DWORD* pSrc = (const DWORD*)srcLock.pBits;
    DWORD* pDest = (DWORD*)destLock.pBits;
    int srcPitch = srcLock.Pitch / 4, destPitch = destLock.Pitch / 4;
    DWORD mask = KeyMask(srcDesc.Format);
    for (long long y = top; y < bottom; y++) {
        for (long long x = left; x < right; x++) {
            DWORD pixel = pSrc[y * srcPitch + x];
            if (bUseKey && (pixel & mask) == (dwKey & mask)) continue;
            pDest[(y + dy) * destPitch + x + dx] = pixel;
        }
    }
    pSrcSurface->UnlockRect();
    pDestSurface->UnlockRect();
    return S_OK;
}

HRESULT LoadAlphabet(const char* szFileName, int nLetterWidth, int nLetterHeight) {
    if (szFileName == NULL || nLetterWidth <= 0 || nLetterHeight <= 0) return E_FAIL;
    IDirect3DSurface9* pSurface = NULL;
    if (FAILED(LoadBitmapToSurface(szFileName, &pSurface, g_pd3dDevice))) {
        ReportError("Unable to load alphabet bitmap");
        return E_FAIL;
    }
    D3DSURFACE_DESC desc;
    pSurface->GetDesc(&desc);
    if (nLetterWidth > (int)desc.Width || nLetterHeight > (int)desc.Height) {
        pSurface->Release();
        return E_FAIL;
    }
    UnloadAlphabet();
    g_pAlphabetSurface = pSurface;
    g_AlphabetWidth = (int)desc.Width;
    g_AlphabetHeight = (int)desc.Height;
    g_LetterWidth = nLetterWidth;
    g_LetterHeight = nLetterHeight;
    g_LettersPerRow = g_AlphabetWidth / g_LetterWidth;
    g_AlphabetLoaded = 1;
    return S_OK;
}

HRESULT UnloadAlphabet() {
    if (g_pAlphabetSurface != NULL) {
        g_pAlphabetSurface->Release();
        g_pAlphabetSurface = NULL;
        g_AlphabetLoaded = 0;
    }
    return S_OK;
}

void PrintChar(int x, int y, char c, BOOL bTransparent, DWORD dwKey, DWORD* pBits, int pitch,
               int width, int height) {
    if (!g_AlphabetLoaded || pBits == NULL) return;
    int n = (signed char)c - 32;
    if (n == 0) return;
    // Codes without a cell in the bitmap draw nothing.
    int nCells = (g_AlphabetHeight / g_LetterHeight) * g_LettersPerRow;
    if (n < 0 || n >= nCells) return;
    div_t cell = div(n, g_LettersPerRow);
    int srcX = cell.rem * g_LetterWidth;
    int srcY = cell.quot * g_LetterHeight;

    D3DSURFACE_DESC desc;
    g_pAlphabetSurface->GetDesc(&desc);
    D3DLOCKED_RECT locked;
    if (FAILED(g_pAlphabetSurface->LockRect(&locked, NULL, D3DLOCK_READONLY))) {
        ReportError("Couldnt lock alphabet surface for PrintChar()");
        return;
    }
    DWORD mask = KeyMask(desc.Format);
    width = RowWidth(width, pitch);
    for (int row = 0; row < g_LetterHeight; row++) {
        int destY = y + row;
        if (destY < 0 || destY >= height) continue;
        const DWORD* pSrc = (const DWORD*)locked.pBits + (srcY + row) * (locked.Pitch / 4) + srcX;
        DWORD* pDest = pBits + destY * (pitch / 4);
        for (int col = 0; col < g_LetterWidth; col++) {
            int destX = x + col;
            if (destX < 0 || destX >= width) continue;
            if (bTransparent && (pSrc[col] & mask) == (dwKey & mask)) continue;
            pDest[destX] = pSrc[col];
        }
    }
    g_pAlphabetSurface->UnlockRect();
}

void PrintString(int x, int y, const char* szText, BOOL bTransparent, DWORD dwKey, DWORD* pBits,
                 int pitch, int width, int height) {
    if (szText == NULL) return;
    int nLength = (int)strlen(szText);
    for (int i = 0; i < nLength; i++)
        PrintChar(x + i * g_LetterWidth, y, szText[i], bTransparent, dwKey, pBits, pitch, width,
                  height);
}
