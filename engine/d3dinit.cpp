#include "d3dinit.h"

#include <d3dx9.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

int g_DeviceWidth = 1024;
int g_DeviceHeight = 768;
int g_DeviceColorDepth = 16;
D3DPRESENT_PARAMETERS g_d3dpp;
BYTE g_bHALDevice = 0;
BYTE g_bREFDevice = 0;

static const char* const kOptionsFile = "options.txt";

// Writes a settings line; a settings file that could not be opened is skipped.
static void WriteOption(FILE* file, const char* format, ...) {
    if (file == NULL) return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
}

void SetDefaultStates(IDirect3DDevice9* pDevice, const D3DPRESENT_PARAMETERS* pParams) {
    float fAspect = (float)((double)(unsigned)pParams->BackBufferWidth /
                            (double)(unsigned)pParams->BackBufferHeight);
    D3DXMATRIX matProj;
    D3DXMatrixPerspectiveFovLH(&matProj, 0.7853982f, fAspect, 1.0f, 10000.0f);
    pDevice->SetTransform(D3DTS_PROJECTION, &matProj);

    D3DMATERIAL9 mtrl;
    memset(&mtrl, 0, sizeof(mtrl));
    mtrl.Diffuse.r = mtrl.Ambient.r = 1.0f;
    mtrl.Diffuse.g = mtrl.Ambient.g = 1.0f;
    mtrl.Diffuse.b = mtrl.Ambient.b = 1.0f;
    mtrl.Diffuse.a = mtrl.Ambient.a = 1.0f;
    pDevice->SetMaterial(&mtrl);

    pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    pDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    pDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    pDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    pDevice->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    pDevice->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    pDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    pDevice->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
}

HRESULT InitD3D(IDirect3D9** ppD3D, IDirect3DDevice9** ppDevice, HWND hWnd, int bForceWindowed,
                int bMultithreaded) {
    char szSize[64];
    char szQuestion[128];
    snprintf(szSize, sizeof(szSize), "%dx%dx%d", g_DeviceWidth, g_DeviceHeight, g_DeviceColorDepth);
    snprintf(szQuestion, sizeof(szQuestion), "Modalit\xE0 schermo-intero? (%s)", szSize);

    int hOptions = _creat(kOptionsFile, _S_IREAD | _S_IWRITE);
    _close(hOptions);

    if (ppD3D == NULL || ppDevice == NULL || hWnd == NULL) return E_FAIL;

    IDirect3D9* pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (pD3D == NULL) {
        MessageBoxA(hWnd, "Installare DirectX 9.0c \n", "Errore", MB_OK | MB_ICONEXCLAMATION);
        OutputDebugStringA("ERROR: Installare DirectX 9.0c \n");
        return E_FAIL;
    }
    *ppD3D = pD3D;

    int answer = IDNO;
    if (bForceWindowed != 1)
        answer = MessageBoxA(hWnd, szQuestion, "Apertura Applicazione", MB_YESNO | MB_ICONQUESTION);

    memset(&g_d3dpp, 0, sizeof(g_d3dpp));
    FILE* pOptions = fopen(kOptionsFile, "w");

    if (answer == IDYES) {
        g_d3dpp.BackBufferFormat = D3DFMT_A8R8G8B8;
        g_d3dpp.Windowed = FALSE;
        WriteOption(pOptions, "WinWidth %d\n", g_DeviceWidth);
        WriteOption(pOptions, "WinHeight %d\n", g_DeviceHeight);
        WriteOption(pOptions, "MultiSampleType %s\n", "D3DMULTISAMPLE_NONE");
        WriteOption(pOptions, "SwapEffect %s\n", "D3DSWAPEFFECT_COPY");
        WriteOption(pOptions, "Windowed %s\n", "FALSE");
        WriteOption(pOptions, "EnableAutoDepthStencil %s\n", "TRUE");
        WriteOption(pOptions, "PresentationInterval %s\n", "D3DPRESENT_INTERVAL_IMMEDIATE");
        WriteOption(pOptions, "Flags %s\n", "D3DPRESENTFLAG_LOCKABLE_BACKBUFFER");
    } else {
        RECT rcClient;
        RECT rcWindow;
        memset(&rcClient, 0, sizeof(rcClient));
        memset(&rcWindow, 0, sizeof(rcWindow));
        GetClientRect(hWnd, &rcClient);
        GetWindowRect(hWnd, &rcWindow);
        MoveWindow(hWnd, rcWindow.left, rcWindow.top,
                   (rcWindow.right - rcWindow.left) + (g_DeviceWidth - rcClient.right),
                   (rcWindow.bottom - rcWindow.top) + (g_DeviceHeight - rcClient.bottom), TRUE);

        D3DDISPLAYMODE d3ddm;
        memset(&d3ddm, 0, sizeof(d3ddm));
        pD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &d3ddm);
        g_d3dpp.BackBufferFormat = d3ddm.Format;
        g_d3dpp.Windowed = TRUE;
        WriteOption(pOptions, "WinWidth %d\n", g_DeviceWidth);
        WriteOption(pOptions, "WinHeight %d\n", g_DeviceHeight);
        WriteOption(pOptions, "Windowed %s\n", "TRUE");
    }
    // The same in both modes but for the format and the windowed flag.
    g_d3dpp.BackBufferWidth = g_DeviceWidth;
    g_d3dpp.BackBufferHeight = g_DeviceHeight;
    g_d3dpp.BackBufferCount = 1;
    g_d3dpp.MultiSampleType = D3DMULTISAMPLE_NONE;
    g_d3dpp.SwapEffect = D3DSWAPEFFECT_COPY;
    g_d3dpp.hDeviceWindow = NULL;
    g_d3dpp.EnableAutoDepthStencil = TRUE;
    g_d3dpp.AutoDepthStencilFormat = D3DFMT_D24S8;
    g_d3dpp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    g_d3dpp.FullScreen_RefreshRateInHz = 0;
    g_d3dpp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    WriteOption(pOptions, "%s", "\n");

    D3DCAPS9 d3dCaps;
    memset(&d3dCaps, 0, sizeof(d3dCaps));
    pD3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &d3dCaps);
    DWORD dwBehaviorFlags = (d3dCaps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                                ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (bMultithreaded == 1) dwBehaviorFlags |= D3DCREATE_MULTITHREADED;

    IDirect3DDevice9* pDevice = NULL;
    HRESULT hr = pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hWnd, dwBehaviorFlags,
                                    &g_d3dpp, &pDevice);
    if (SUCCEEDED(hr)) {
        g_bHALDevice = 1;
    } else {
        hr = pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, hWnd, dwBehaviorFlags,
                                &g_d3dpp, &pDevice);
        if (FAILED(hr)) {
            if (pOptions != NULL) fclose(pOptions);
            return hr;
        }
        g_bREFDevice = 1;
    }
    *ppDevice = pDevice;

    SetDefaultStates(pDevice, &g_d3dpp);

    if (g_bHALDevice) WriteOption(pOptions, "DEVICE TYPE %s\n", "D3DDEVTYPE_HAL");
    else if (g_bREFDevice) WriteOption(pOptions, "DEVICE TYPE %s\n", "D3DDEVTYPE_REF");

    WriteOption(pOptions, "b2SidedStencils %s\n",
                (d3dCaps.StencilCaps & D3DSTENCILCAPS_TWOSIDED) ? "true" : "false");
    WriteOption(pOptions, "psVersion %s\n",
                (unsigned)d3dCaps.PixelShaderVersion >= 0xFFFF0200u ? "true" : "false");
    if (pOptions != NULL) fclose(pOptions);
    return S_OK;
}
