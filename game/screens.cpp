#include "screens.h"

#include "d3dinit.h"
#include "display.h"
#include "globals.h"
#include "log.h"
#include "winmain.h"

#include <cstdio>
#include <cstdlib>
#include <new>

IDirect3D9* g_pD3D = NULL;
IDirect3DDevice9* g_pd3dDevice = NULL;
IDirect3DTexture9* g_pLogoTexture = NULL;
IDirect3DTexture9* g_pLoadingTexture = NULL;
ID3DXSprite* g_pSplashSprite = NULL;
const char* g_szLogoImage = "..\\Immagini\\DRESK_LOGO.jpg";
const char* g_szLoadingImage = "..\\Immagini\\Loading.jpg";
CGuiElement g_StartButton;
CGuiElement g_MenuExitButton;

int FileLoadFailed(const char* text, const char* file) {
    char szMessage[512];
    snprintf(szMessage, sizeof(szMessage), "%s: %s", text, file);
    ReportError(szMessage);
    MessageBoxA(g_hWnd, szMessage, "Errore", MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

int TextureLoadFailed(const char* file) { return FileLoadFailed("Impossibile caricare la texture", file); }

bool LoadAllStates(CGuiElement* pElement, const char* file) {
    pElement->LoadAll(file);
    if (pElement->pTextureOver == NULL || pElement->pTextureNormal == NULL || pElement->pTexturePressed == NULL)
        return TextureLoadFailed(file);
    return true;
}

int InitVideo(HWND hWnd) {
    if (FAILED(InitD3D(&g_pD3D, &g_pd3dDevice, hWnd, 0, 0))) return E_FAIL;
    if (FAILED(D3DXCreateTextureFromFileA(g_pd3dDevice, g_szLogoImage, &g_pLogoTexture))) {
        TextureLoadFailed(g_szLogoImage);
        return E_FAIL;
    }
    if (FAILED(D3DXCreateTextureFromFileA(g_pd3dDevice, g_szLoadingImage, &g_pLoadingTexture))) {
        TextureLoadFailed(g_szLoadingImage);
        return E_FAIL;
    }
    if (FAILED(D3DXCreateSprite(g_pd3dDevice, &g_pSplashSprite))) {
        ReportError("Impossibile inizializzare la Sprite");
        return E_FAIL;
    }
    D3DXMatrixScaling(&g_matSplash, 0.5f, 0.75f, 1.0f);
    g_pSplashSprite->SetTransform(&g_matSplash);
    return 1;
}

HRESULT DrawSplash() {
    if (!g_bSplashTimerStarted) {
        g_SplashStart = timeGetTime();
        g_bSplashTimerStarted = 1;
    }
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_pSplashSprite->Begin(D3DXSPRITE_ALPHABLEND);
    g_pSplashSprite->Draw(g_bShowLogo ? g_pLogoTexture : g_pLoadingTexture, NULL, NULL, NULL,
                          0xFFFFFFFF);
    g_pSplashSprite->End();
    g_pd3dDevice->EndScene();
    return g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

// Draws the current splash image, keeps its clock and runs its one-time step at two seconds.
static void SplashStep(bool bLogo) {
    DrawSplash();
    DWORD elapsed = timeGetTime() - g_SplashStart;
    g_SplashSeconds = (unsigned int)((double)elapsed / 1000.0);
    if (!g_bSplashStepDone && g_SplashSeconds > 1) {
        if (bLogo) {
            // A menu without input or buttons could never be left: end the run instead.
            if (InitMenu(g_hWnd) < 0) PostQuitMessage(1);
        } else if (!LoadBoard(g_hWnd)) {
            PostQuitMessage(1);
        }
        g_bSplashStepDone = 1;
    }
}

int ShowLogo() {
    SplashStep(true);
    return 0;
}

int ShowLoading() {
    SplashStep(false);
    return 0;
}

// The splash screens are over: their images and sprite go.
void ReleaseSplash() {
    if (g_pLoadingTexture != NULL) {
        g_pLoadingTexture->Release();
        g_pLoadingTexture = NULL;
    }
    if (g_pLogoTexture != NULL) {
        g_pLogoTexture->Release();
        g_pLogoTexture = NULL;
    }
    if (g_pSplashSprite != NULL) {
        g_pSplashSprite->Release();
        g_pSplashSprite = NULL;
    }
}

// Sets up a menu button at half the width and y: one image for every state, another under the
// mouse; false when one cannot be loaded.
static bool InitMenuButton(CGuiElement* pButton, int y, const char* image, const char* over) {
    new (pButton) CGuiElement((float)(g_WinWidth * 50 / 100), (float)y);
    if (!LoadAllStates(pButton, image)) return false;
    pButton->LoadOver(over);
    if (pButton->pTextureOver == NULL) return TextureLoadFailed(over);
    pButton->fScaleX = 0.5f;
    return true;
}

int InitMenu(HWND) {
    g_hr = InitDirectInput();
    if (FAILED(g_hr)) {
        ReportError("Impossibile inizializzare l'input device");
        return E_FAIL;
    }
    if (!OpenLogFile()) {
        ReportError("Impossibile inizializzare il log file");
        return E_FAIL;
    }
    CreateTextFont("Typewriter");

    if (!InitMenuButton(&g_StartButton, g_WinHeight * 50 / 100, "..\\Immagini\\Button\\startGame.png",
                        "..\\Immagini\\Button\\startGameOn.png") ||
        !InitMenuButton(&g_MenuExitButton, g_WinHeight * 70 / 100, "..\\Immagini\\Button\\exitGame.png",
                        "..\\Immagini\\Button\\exitGameOn.png"))
        return E_FAIL;
    return 1;
}

int MenuFrame() {
    g_Mouse.Update();
    g_Mouse.UpdatePosition();
    g_FrameTime = timeGetTime();
    RenderMenu();
    g_FrameEndTime = timeGetTime();
    if (g_MenuExitButton.bMouseOver && g_MenuExitButton.bPressed) exit(0);
    if (g_StartButton.bMouseOver && g_StartButton.bPressed) g_bStartPressed = 1;
    return 0;
}

HRESULT RenderMenu() {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_StartButton.Draw();
    g_MenuExitButton.Draw();
    g_pd3dDevice->EndScene();
    g_Mouse.DrawCursor();
    return g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

void ReleaseMenu() {
    g_StartButton.Release();
    g_MenuExitButton.Release();
}
