// IDirect3D9: the adapter (the default display) and device creation.
#pragma once

#include <d3d9.h>

#include "common/com.h"

namespace platform::d3d9 {

class Direct3D9 final : public ComObject<IDirect3D9> {
public:
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType,
                                              D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                                              BOOL bWindowed) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType,
                                                D3DFORMAT AdapterFormat, DWORD Usage,
                                                D3DRESOURCETYPE RType,
                                                D3DFORMAT CheckFormat) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType,
                                            D3DCAPS9* pCaps) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                           DWORD BehaviorFlags,
                                           D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice9** ppReturnedDeviceInterface) override;

    // The capabilities of a device of the given type.
    static D3DCAPS9 Caps(D3DDEVTYPE type);

protected:
    bool Implements(REFIID riid) const override { return riid == IID_IDirect3D9; }
};

}  // namespace platform::d3d9
