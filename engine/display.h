// The text font, the frame-rate counters and the screenshot.
#pragma once

#include <windows.h>
#include <d3dx9.h>

extern ID3DXFont* g_pFont;
extern int g_FontPointSize;
extern HRESULT g_hr;

extern int g_FpsFrames;
extern DWORD g_FpsTick;
extern DWORD g_FpsLastTick;
extern float g_FPS;

extern LONGLONG g_PerfFrequency;
extern LONGLONG g_LastPerfCount;
extern int g_FrameCount;
extern int g_FramesPerSecond;
extern char g_szFrameCount[16];

HRESULT CreateTextFont(const char* szFaceName);
void DrawTextAt(int x, int y, const char* szText, D3DXCOLOR color);
float UpdateFPS();
HRESULT InitTiming();
void CountFrame();
void DrawFrameRate(int x, int y, DWORD dwUnused, D3DXCOLOR color);
bool TakeScreenshot(const char* szFileName);
