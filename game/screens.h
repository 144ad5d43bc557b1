// The splash screens, the start menu and the game screen's entry points.
#pragma once

#include <windows.h>
#include <d3d9.h>

extern IDirect3D9* g_pD3D;
extern IDirect3DDevice9* g_pd3dDevice;
extern DWORD g_FrameTime;
extern DWORD g_FrameEndTime;

int InitVideo(HWND hWnd);
HRESULT DrawSplash();
int ShowLogo();
int ShowLoading();
void ReleaseSplash();
int InitMenu(HWND hWnd);
int MenuFrame();
HRESULT RenderMenu();
void ReleaseMenu();

HRESULT LoadBoard(HWND hWnd);
void GameFrame();
void ReleaseBoard();

int ScreenshotKeyDown();
HRESULT TakeScreenshot(const char* szFileName);
