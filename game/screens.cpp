#include "screens.h"

#include "d3dinit.h"
#include "log.h"
#include "winmain.h"

IDirect3D9* g_pD3D = NULL;
IDirect3DDevice9* g_pd3dDevice = NULL;
DWORD g_FrameTime = 0;
DWORD g_FrameEndTime = 0;

int InitVideo(HWND hWnd) {
    InitD3D(&g_pD3D, &g_pd3dDevice, hWnd, 0, 0);
    if (g_pd3dDevice == NULL) return E_FAIL;
    return 1;
}

HRESULT DrawSplash() {
    if (!g_bSplashTimerStarted) {
        g_SplashStart = timeGetTime();
        g_bSplashTimerStarted = 1;
    }
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_pd3dDevice->EndScene();
    return g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

// The seconds of the current splash screen; its one-time step at two seconds.
static void SplashClock(bool bLogo) {
    DrawSplash();
    DWORD elapsed = timeGetTime() - g_SplashStart;
    g_SplashSeconds = (unsigned int)((double)elapsed / 1000.0);
    if (!g_bSplashStepDone && g_SplashSeconds > 1) {
        if (bLogo) InitMenu(g_hWnd);
        else LoadBoard(g_hWnd);
        g_bSplashStepDone = 1;
    }
}

int ShowLogo() {
    SplashClock(true);
    return 0;
}

int ShowLoading() {
    SplashClock(false);
    return 0;
}
