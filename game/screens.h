// The splash screens, the start menu and the game screen's entry points.
#pragma once

#include <windows.h>
#include <d3dx9.h>

#include "guielement.h"

extern IDirect3D9* g_pD3D;
extern IDirect3DDevice9* g_pd3dDevice;
extern IDirect3DTexture9* g_pLogoTexture;
extern IDirect3DTexture9* g_pLoadingTexture;
extern ID3DXSprite* g_pSplashSprite;
extern const char* g_szLogoImage;
extern const char* g_szLoadingImage;
extern CGuiElement g_StartButton;
extern CGuiElement g_MenuExitButton;

// A file the game needs and cannot load: reported and named in an "Errore" box. Returns 0.
int FileLoadFailed(const char* text, const char* file);
int TextureLoadFailed(const char* file);
// Loads one image for every state of an element; false when it cannot be loaded.
bool LoadAllStates(CGuiElement* pElement, const char* file);

int InitVideo(HWND hWnd);
HRESULT DrawSplash();
int ShowLogo();
int ShowLoading();
void ReleaseSplash();
int InitMenu(HWND hWnd);
int MenuFrame();
HRESULT RenderMenu();
void ReleaseMenu();

int LoadBoard(HWND hWnd);
int GameFrame();
void ReleaseBoard();
