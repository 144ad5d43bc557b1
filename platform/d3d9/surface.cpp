#include "d3d9/surface.h"

#include "d3d9/device.h"

#include <algorithm>

namespace platform::d3d9 {

SurfaceAccess* AsSurface(IDirect3DSurface9* surface) { return dynamic_cast<SurfaceAccess*>(surface); }

// Lockable images

LockableImage::LockableImage(D3DFORMAT format, UINT width, UINT height) {
    store_.format = format;
    store_.width = width;
    store_.height = height;
    // Rows start on 4-byte boundaries, as a driver would lay them out.
    store_.pitch = (width * BytesPerPixel(format) + 3) & ~3u;
    memory_.assign(size_t(store_.pitch) * height, 0);
    store_.bits = memory_.data();
}

HRESULT LockableImage::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : RECT{0, 0, LONG(store_.width), LONG(store_.height)};
    if (!RectInside(r, store_.width, store_.height)) return D3DERR_INVALIDCALL;
    locked_ = true;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockedRect_ = r;
    locked->Pitch = INT(store_.pitch);
    locked->pBits = store_.Row(UINT(r.top)) + size_t(r.left) * BytesPerPixel(store_.format);
    return D3D_OK;
}

HRESULT LockableImage::Unlock(RECT* changed) {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (changed) *changed = readOnly_ ? RECT{} : lockedRect_;
    return D3D_OK;
}

// The back buffer

// The back buffer is in the default pool: the application must release it before a reset.
BackBufferSurface::BackBufferSurface(Device* device) : device_(device) {
    device_->AddRef();
    device_->CountResource(D3DPOOL_DEFAULT, 1);
}

BackBufferSurface::~BackBufferSurface() {
    device_->CountResource(D3DPOOL_DEFAULT, -1);
    device_->Release();
}

HRESULT BackBufferSurface::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

D3DSURFACE_DESC BackBufferSurface::Describe() {
    const D3DPRESENT_PARAMETERS& pp = device_->PresentParameters();
    D3DSURFACE_DESC desc = {};
    desc.Format = pp.BackBufferFormat;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Usage = D3DUSAGE_RENDERTARGET;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.MultiSampleType = pp.MultiSampleType;
    desc.Width = pp.BackBufferWidth;
    desc.Height = pp.BackBufferHeight;
    return desc;
}

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = Describe();
    return D3D_OK;
}

HRESULT BackBufferSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    const D3DPRESENT_PARAMETERS& pp = device_->PresentParameters();
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    if (!(pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)) return D3DERR_INVALIDCALL;
    LONG w = LONG(pp.BackBufferWidth), h = LONG(pp.BackBufferHeight);
    RECT r = rect ? *rect : RECT{0, 0, w, h};
    if (!RectInside(r, UINT(w), UINT(h))) return D3DERR_INVALIDCALL;
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
        const RECT& r = lockedRect_;
        size_t w = device_->PresentParameters().BackBufferWidth;
        WriteArgb(r, pixels_.data() + size_t(r.top) * w + size_t(r.left), w);
    }
    locked_ = false;
    pixels_.clear();
    pixels_.shrink_to_fit();
    return D3D_OK;
}

void BackBufferSurface::ReadArgb(const RECT& r, uint32_t* dst, size_t pitch) {
    std::vector<uint32_t> pixels = device_->ReadBackBuffer(r);
    size_t w = size_t(r.right - r.left);
    for (LONG y = 0; y < r.bottom - r.top; ++y)
        std::copy_n(pixels.data() + size_t(y) * w, w, dst + size_t(y) * pitch);
}

void BackBufferSurface::WriteArgb(const RECT& r, const uint32_t* src, size_t pitch) {
    size_t w = size_t(r.right - r.left);
    std::vector<uint32_t> region;
    region.reserve(w * size_t(r.bottom - r.top));
    for (LONG y = 0; y < r.bottom - r.top; ++y) region.insert(region.end(), src + size_t(y) * pitch, src + size_t(y) * pitch + w);
    device_->WriteBackBuffer(r, region.data());
}

// Plain surfaces

PlainSurface::PlainSurface(Device* device, D3DFORMAT format, UINT width, UINT height, D3DPOOL pool)
    : device_(device), pool_(pool), image_(format, width, height) {
    device_->AddRef();
    device_->CountResource(pool_, 1);
}

PlainSurface::~PlainSurface() {
    device_->CountResource(pool_, -1);
    device_->Release();
}

HRESULT PlainSurface::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

D3DSURFACE_DESC PlainSurface::Describe() {
    D3DSURFACE_DESC desc = {};
    desc.Format = image_.Store().format;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Pool = pool_;
    desc.Width = image_.Store().width;
    desc.Height = image_.Store().height;
    return desc;
}

HRESULT PlainSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = Describe();
    return D3D_OK;
}

HRESULT PlainSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    return image_.Lock(locked, rect, flags);
}

HRESULT PlainSurface::UnlockRect() { return image_.Unlock(nullptr); }

void PlainSurface::ReadArgb(const RECT& rect, uint32_t* dst, size_t pitch) {
    image_.Store().Read(rect, dst, pitch);
}

void PlainSurface::WriteArgb(const RECT& rect, const uint32_t* src, size_t pitch) {
    image_.Store().Write(rect, src, pitch);
}

}  // namespace platform::d3d9
