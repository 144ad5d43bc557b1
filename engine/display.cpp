#include "display.h"

extern IDirect3DDevice9* g_pd3dDevice;
extern HWND g_hWnd;

ID3DXFont* g_pFont = NULL;
int g_FontPointSize = 18;
HRESULT g_hr = S_OK;

int g_FpsFrames = 0;
DWORD g_FpsTick = 0;
DWORD g_FpsLastTick = 0;
float g_FPS = 0.0f;

LONGLONG g_PerfFrequency = 0;
LONGLONG g_LastPerfCount = 0;
int g_FrameCount = 0;
int g_FramesPerSecond = 0;
char g_szFrameCount[16];

HRESULT CreateTextFont(const char* szFaceName) {
    HDC hDC = GetDC(NULL);
    int nLogPixelsY = GetDeviceCaps(hDC, LOGPIXELSY);
    ReleaseDC(NULL, hDC);
    int nHeight = -MulDiv(g_FontPointSize, nLogPixelsY, 72);
    g_hr = D3DXCreateFontA(g_pd3dDevice, nHeight, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           szFaceName, &g_pFont);
    if (FAILED(g_hr)) {
        OutputDebugStringA("Impossibile caricare il font necessario");
        OutputDebugStringA("\n");
        return E_FAIL;
    }
    return S_OK;
}

void DrawTextAt(int x, int y, const char* szText, D3DXCOLOR color) {
    if (g_pFont == NULL) return;
    RECT rc;
    SetRect(&rc, x, y, 0, 0);
    g_pFont->DrawTextA(NULL, szText, -1, &rc, DT_NOCLIP, (D3DCOLOR)color);
}

float UpdateFPS() {
    g_FpsFrames++;
    g_FpsTick = GetTickCount();
    if ((LONG)(g_FpsTick - g_FpsLastTick) >= 1000) {
        g_FPS = (float)(g_FpsFrames * 1000.0 / (double)(g_FpsTick - g_FpsLastTick));
        g_FpsLastTick = g_FpsTick;
        g_FpsFrames = 0;
    }
    return g_FPS;
}

HRESULT InitTiming() {
    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    g_PerfFrequency = frequency.QuadPart;
    if (g_PerfFrequency == 0) {
        OutputDebugStringA("The system does not support high resolution timing");
        OutputDebugStringA("\n");
        return E_FAIL;
    }
    return S_OK;
}

void CountFrame() {
    LARGE_INTEGER count;
    count.QuadPart = 0;
    QueryPerformanceCounter(&count);
    if (count.QuadPart == 0) {
        OutputDebugStringA("The system does not support high resolution timing");
        OutputDebugStringA("\n");
    }
    g_FrameCount++;
    if (count.QuadPart - g_LastPerfCount >= g_PerfFrequency) {
        g_FramesPerSecond = g_FrameCount;
        g_FrameCount = 0;
        g_LastPerfCount = count.QuadPart;
    }
}

void DrawFrameRate(int x, int y, DWORD, D3DXCOLOR color) {
    _itoa(g_FramesPerSecond, g_szFrameCount, 10);
    DrawTextAt(x, y, g_szFrameCount, color);
}

bool TakeScreenshot(const char* szFileName) {
    if (g_pd3dDevice == NULL) return false;
    D3DDEVICE_CREATION_PARAMETERS params;
    UINT nAdapter = 0;
    if (SUCCEEDED(g_pd3dDevice->GetCreationParameters(&params))) nAdapter = params.AdapterOrdinal;

    IDirect3D9* pD3D = NULL;
    D3DDISPLAYMODE mode;
    memset(&mode, 0, sizeof(mode));
    if (SUCCEEDED(g_pd3dDevice->GetDirect3D(&pD3D))) pD3D->GetAdapterDisplayMode(nAdapter, &mode);

    IDirect3DSurface9* pSurface = NULL;
    HRESULT hr = g_pd3dDevice->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                                          D3DPOOL_SCRATCH, &pSurface, NULL);
    if (SUCCEEDED(hr)) hr = g_pd3dDevice->GetFrontBufferData(0, pSurface);

    RECT rcWindow;
    memset(&rcWindow, 0, sizeof(rcWindow));
    GetWindowRect(g_hWnd, &rcWindow);
    if (SUCCEEDED(hr)) hr = D3DXSaveSurfaceToFileA(szFileName, D3DXIFF_BMP, pSurface, NULL, &rcWindow);

    if (pSurface != NULL) pSurface->Release();
    if (pD3D != NULL) pD3D->Release();
    return hr == S_OK;
}
