// Device calls whose drawing pipeline and resources are not built yet.
#include "d3d9/device.h"

namespace platform::d3d9 {

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) { return E_NOTIMPL; }
HRESULT Device::CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*) {
    return E_NOTIMPL;
}
HRESULT Device::CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) {
    return E_NOTIMPL;
}
HRESULT Device::CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) {
    return E_NOTIMPL;
}
HRESULT Device::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) {
    return E_NOTIMPL;
}
HRESULT Device::GetFrontBufferData(UINT, IDirect3DSurface9*) { return E_NOTIMPL; }
HRESULT Device::CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) {
    return E_NOTIMPL;
}
HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) { return E_NOTIMPL; }
HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                       const void*, UINT) {
    return E_NOTIMPL;
}
HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) {
    return E_NOTIMPL;
}
HRESULT Device::CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) { return E_NOTIMPL; }

}  // namespace platform::d3d9
