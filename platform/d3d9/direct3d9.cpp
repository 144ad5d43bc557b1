#include "d3d9/direct3d9.h"

#include "d3d9/device.h"
#include "platform/test_hooks.h"
#include "win32/window_system.h"

using platform::hooks::D3DFailure;

namespace platform::d3d9 {

HRESULT Direct3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    // The mode a full-screen device has set, else the desktop's.
    int w = 0, h = 0;
    SDL_DisplayMode dm;
    if (!win32::WindowSystem::Get().DisplaySize(&w, &h) || SDL_GetDesktopDisplayMode(0, &dm) != 0)
        return D3DERR_NOTAVAILABLE;
    mode->Width = UINT(w);
    mode->Height = UINT(h);
    mode->RefreshRate = UINT(dm.refresh_rate);
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT backBufferFormat, BOOL) {
    if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
    if (adapterFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
    if (backBufferFormat != D3DFMT_X8R8G8B8 && backBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT Direct3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage,
                                     D3DRESOURCETYPE, D3DFORMAT format) {
    if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return format == D3DFMT_D24S8 || format == D3DFMT_D24X8 || format == D3DFMT_D16
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A4R4G4B4: return D3D_OK;
    default: return D3DERR_NOTAVAILABLE;
    }
}

D3DCAPS9 Direct3D9::Caps(D3DDEVTYPE type) {
    D3DCAPS9 caps = {};
    caps.DeviceType = type;
    caps.AdapterOrdinal = 0;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION |
                   D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX |
                   D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_EXECUTESYSTEMMEMORY |
                   D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                   D3DDEVCAPS_CANRENDERAFTERFLIP;
    caps.MaxTextureWidth = caps.MaxTextureHeight = 8192;
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = 8192;
    caps.MaxAnisotropy = 16;
    caps.MaxVertexW = 1e10f;
    caps.StencilCaps = D3DSTENCILCAPS_KEEP | D3DSTENCILCAPS_ZERO | D3DSTENCILCAPS_REPLACE |
                       D3DSTENCILCAPS_INCRSAT | D3DSTENCILCAPS_DECRSAT | D3DSTENCILCAPS_INVERT |
                       D3DSTENCILCAPS_INCR | D3DSTENCILCAPS_DECR | D3DSTENCILCAPS_TWOSIDED;
    caps.FVFCaps = 8;  // texture coordinate sets
    caps.MaxTextureBlendStages = 8;
    caps.MaxSimultaneousTextures = 8;
    caps.VertexProcessingCaps = D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS |
                                D3DVTXPCAPS_LOCALVIEWER | D3DVTXPCAPS_MATERIALSOURCE7;
    caps.MaxActiveLights = 8;
    caps.MaxVertexBlendMatrices = 4;
    caps.MaxPointSize = 64.0f;
    caps.MaxPrimitiveCount = 0xFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = 16;
    caps.MaxStreamStride = 508;
    caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
    caps.MaxVertexShaderConst = 256;
    caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
    caps.PixelShader1xMaxValue = 8.0f;
    caps.NumberOfAdaptersInGroup = 1;
    caps.NumSimultaneousRTs = 1;
    return caps;
}

HRESULT Direct3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (adapter != 0 || !caps || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    *caps = Caps(type);
    return D3D_OK;
}

HRESULT Direct3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                                D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    if (adapter != 0 || !params || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    D3DFailure failure = hooks::GetD3DFailure();
    if (failure == D3DFailure::AllDevices || (failure == D3DFailure::HalDevice && type == D3DDEVTYPE_HAL))
        return D3DERR_NOTAVAILABLE;
    HRESULT hr = D3D_OK;
    Device* created = Device::Create(this, type, focusWindow, flags, params, &hr);
    if (!created) return hr;
    *device = created;
    return D3D_OK;
}

}  // namespace platform::d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    if (platform::hooks::GetD3DFailure() == D3DFailure::Create) return nullptr;
    if (!platform::win32::WindowSystem::Get().EnsureVideo()) return nullptr;
    return new platform::d3d9::Direct3D9;
}
