#include "d3d9/surface.h"

#include "d3d9/device.h"

namespace platform::d3d9 {

BackBufferSurface::BackBufferSurface(Device* device) : device_(device) { device_->AddRef(); }

BackBufferSurface::~BackBufferSurface() { device_->Release(); }

HRESULT BackBufferSurface::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    const D3DPRESENT_PARAMETERS& pp = device_->PresentParameters();
    *desc = D3DSURFACE_DESC{};
    desc->Format = pp.BackBufferFormat;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->MultiSampleType = pp.MultiSampleType;
    desc->Width = pp.BackBufferWidth;
    desc->Height = pp.BackBufferHeight;
    return D3D_OK;
}

HRESULT BackBufferSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    const D3DPRESENT_PARAMETERS& pp = device_->PresentParameters();
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    if (!(pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)) return D3DERR_INVALIDCALL;
    LONG w = LONG(pp.BackBufferWidth), h = LONG(pp.BackBufferHeight);
    RECT r = rect ? *rect : RECT{0, 0, w, h};
    if (r.left < 0 || r.top < 0 || r.right > w || r.bottom > h || r.left >= r.right || r.top >= r.bottom)
        return D3DERR_INVALIDCALL;
    pixels_ = device_->ReadBackBuffer(RECT{0, 0, w, h});
    locked_ = true;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockedRect_ = r;
    locked->Pitch = INT(w * 4);
    locked->pBits = pixels_.data() + size_t(r.top) * size_t(w) + size_t(r.left);
    return D3D_OK;
}

HRESULT BackBufferSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    if (!readOnly_) {
        LONG w = LONG(device_->PresentParameters().BackBufferWidth);
        const RECT& r = lockedRect_;
        std::vector<uint32_t> region;
        region.reserve(size_t(r.right - r.left) * size_t(r.bottom - r.top));
        for (LONG y = r.top; y < r.bottom; ++y)
            region.insert(region.end(), pixels_.begin() + y * w + r.left, pixels_.begin() + y * w + r.right);
        device_->WriteBackBuffer(r, region.data());
    }
    locked_ = false;
    pixels_.clear();
    pixels_.shrink_to_fit();
    return D3D_OK;
}

}  // namespace platform::d3d9
