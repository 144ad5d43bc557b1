#include "winmain.h"

#include "display.h"
#include "globals.h"
#include "log.h"
#include "screens.h"

#include <io.h>

#include <cstdio>
#include <cstdlib>

#define IDI_MORVANE 102

char g_szWindowClass[] = "MORVANE_GAME_TESTS - by DRESK";
char g_szWindowTitle[] = "MORVANE_GAME_TESTS - by DRESK";
HWND g_hWnd = NULL;
HINSTANCE g_hInstance = NULL;
int g_WinWidth = 1024;
int g_WinHeight = 768;

BYTE g_bShowLogo = 1;
DWORD g_SplashStart = 0;
int g_bSplashTimerStarted = 0;
unsigned int g_SplashSeconds = 0;
int g_bSplashStepDone = 0;
BYTE g_bStartPressed = 0;
int g_bMenuDone = 0;
int g_bSplashReleased = 0;
int g_ScreenshotCount = 0;

// One step of the current screen, run when no message waits.
static void ScreenStep() {
    if (g_bShowLogo && g_SplashSeconds < 2) {
        ShowLogo();
        return;
    }
    g_bShowLogo = 0;

    // One menu frame per idle turn, so that the window's messages are read between frames; the
    // turn whose frame saw the start button goes on to the loading screen.
    if (!g_bStartPressed) {
        MenuFrame();
        if (!g_bStartPressed) return;
    }

    if (!g_bMenuDone) {
        g_SplashSeconds = 0;
        g_bSplashReleased = 0;
        g_bSplashStepDone = 0;
        g_bSplashTimerStarted = 0;
        g_bMenuDone = 1;
    }

    if (g_SplashSeconds < 5) {
        ShowLoading();
        return;
    }

    if (!g_bSplashReleased) {
        g_bSplashReleased = 1;
        ReleaseSplash();
    }
    GameFrame();
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CoInitialize(NULL);

    WNDCLASSEXA wc;
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCE(IDI_MORVANE));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = g_szWindowClass;
    wc.hIconSm = LoadIconA(hInstance, MAKEINTRESOURCE(IDI_MORVANE));
    if (!RegisterClassExA(&wc)) return E_FAIL;

    HWND hWnd = CreateWindowExA(0, g_szWindowClass, g_szWindowTitle,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                g_WinWidth, g_WinHeight, NULL, NULL, hInstance, NULL);
    if (hWnd == NULL) return E_FAIL;

    ShowWindow(hWnd, SW_SHOWNORMAL);
    UpdateWindow(hWnd);
    g_hWnd = hWnd;
    g_hInstance = hInstance;

    if (InitVideo(hWnd) < 0) {
        OutputDebugStringA("Inizializzazione Video Fallita");
        OutputDebugStringA("\n");
        ReleaseSplash();
        return E_FAIL;
    }

    ShowCursor(FALSE);

    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            ScreenStep();
        }
    }

    ReleaseMenu();
    ReleaseBoard();
    ReleaseSplash();
    if (g_pd3dDevice != NULL) {
        g_pd3dDevice->Release();
        g_pd3dDevice = NULL;
    }
    if (g_pD3D != NULL) {
        g_pD3D->Release();
        g_pD3D = NULL;
    }
    CloseLogFile();
    ShowCursor(TRUE);
    UnregisterClassA(g_szWindowClass, hInstance);
    CoUninitialize();
    // 0 after a normal end; a failed start or board load asks for a non-zero status.
    return (int)msg.wParam;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        ValidateRect(hWnd, NULL);
        return 0;
    case WM_KEYDOWN:
        if (GetAsyncKeyState(VK_ESCAPE)) exit(0);
        if (g_Keyboard.IsKeyDown(DIK_S)) {
            // Names already taken, by this run or an earlier one, are passed over: a screenshot
            // never replaces another.
            char szName[32];
            for (;; g_ScreenshotCount++) {
                if (g_ScreenshotCount < 10)
                    snprintf(szName, sizeof(szName), "screenshot0%d.bmp", g_ScreenshotCount);
                else
                    snprintf(szName, sizeof(szName), "screenshot%d.bmp", g_ScreenshotCount);
                if (_access(szName, 0) != 0) break;
            }
            TakeScreenshot(szName);
            g_ScreenshotCount++;
        }
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}
