// The board screen is not built yet: until it is, the game screen shows a cleared frame.
#include "screens.h"

HRESULT LoadBoard(HWND) { return S_OK; }

void GameFrame() {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_pd3dDevice->EndScene();
    g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

void ReleaseBoard() {}
