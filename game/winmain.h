// The program's entry, its window and the screen sequence.
#pragma once

#include <windows.h>

extern char g_szWindowClass[];
extern char g_szWindowTitle[];
extern HWND g_hWnd;
extern HINSTANCE g_hInstance;
extern int g_WinWidth;
extern int g_WinHeight;

extern BYTE g_bShowLogo;
extern DWORD g_SplashStart;
extern int g_bSplashTimerStarted;
extern unsigned int g_SplashSeconds;
extern int g_bSplashStepDone;
extern BYTE g_bStartPressed;
extern int g_bMenuDone;
extern int g_bSplashReleased;
extern int g_ScreenshotCount;

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
