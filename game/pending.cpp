// Screens and services that are not built yet: the menu, the board and the input devices.
// Until they are, the menu is passed through and the game screen shows a cleared frame.
#include "screens.h"

void ReleaseSplash() {}

int InitMenu(HWND) { return 1; }

int MenuFrame() {
    extern BYTE g_bStartPressed;
    g_bStartPressed = 1;
    return 0;
}

HRESULT RenderMenu() { return S_OK; }

void ReleaseMenu() {}

HRESULT LoadBoard(HWND) { return S_OK; }

void GameFrame() {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_pd3dDevice->EndScene();
    g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

void ReleaseBoard() {}

// The keyboard is not set up yet: no key reads as pressed.
int ScreenshotKeyDown() { return 0; }

HRESULT TakeScreenshot(const char*) { return E_FAIL; }
