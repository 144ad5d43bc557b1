// Device calls whose drawing pipeline is not built yet.
#include "d3d9/device.h"

namespace platform::d3d9 {

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                       const void*, UINT) {
    return E_NOTIMPL;
}
HRESULT Device::CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) { return E_NOTIMPL; }
HRESULT Device::Submit(const DrawCall&) { return E_NOTIMPL; }

}  // namespace platform::d3d9
