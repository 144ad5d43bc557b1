// Direct3D device creation, with the full-screen question and the settings file "options.txt".
#pragma once

#include <windows.h>
#include <d3d9.h>

extern int g_DeviceWidth;
extern int g_DeviceHeight;
extern int g_DeviceColorDepth;
extern D3DPRESENT_PARAMETERS g_d3dpp;
extern BYTE g_bHALDevice;
extern BYTE g_bREFDevice;

// The projection for the back buffer of pParams, a white material and the default render states.
void SetDefaultStates(IDirect3DDevice9* pDevice, const D3DPRESENT_PARAMETERS* pParams);
HRESULT InitD3D(IDirect3D9** ppD3D, IDirect3DDevice9** ppDevice, HWND hWnd, int bForceWindowed,
                int bMultithreaded);
