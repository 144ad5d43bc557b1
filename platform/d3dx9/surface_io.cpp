#include "d3dx9/surface_io.h"

#include "common/com.h"
#include "common/paths.h"
#include "d3d9/format.h"
#include "d3d9/surface.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace platform::d3dx {
namespace {

bool Inside(const RECT& r, const D3DSURFACE_DESC& desc) { return d3d9::RectInside(r, desc.Width, desc.Height); }

}  // namespace

bool FormatHasAlpha(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8L8: return true;
    default: return false;
    }
}

HRESULT ReadSurface(IDirect3DSurface9* surface, const RECT& rect, image::Image& out) {
    out = image::Image{};
    if (!surface) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc)) || !Inside(rect, desc)) return D3DERR_INVALIDCALL;
    if (d3d9::BytesPerPixel(desc.Format) == 0) return D3DERR_INVALIDCALL;
    const UINT w = UINT(rect.right - rect.left), h = UINT(rect.bottom - rect.top);
    out.width = w;
    out.height = h;
    out.hasAlpha = FormatHasAlpha(desc.Format);
    out.pixels.resize(size_t(w) * h);

    D3DLOCKED_RECT locked;
    if (SUCCEEDED(surface->LockRect(&locked, &rect, D3DLOCK_READONLY))) {
        for (UINT y = 0; y < h; ++y)
            d3d9::ToArgb(desc.Format, static_cast<const uint8_t*>(locked.pBits) + ptrdiff_t(y) * locked.Pitch,
                         &out.pixels[size_t(y) * w], w);
        surface->UnlockRect();
        return D3D_OK;
    }
    // No public call reads a default-pool texture or a back buffer that cannot be locked.
    d3d9::SurfaceAccess* access = d3d9::AsSurface(surface);
    if (!access || access->IsLocked()) {
        out = image::Image{};
        return D3DERR_INVALIDCALL;
    }
    access->ReadArgb(rect, out.pixels.data(), w);
    return D3D_OK;
}

HRESULT WriteSurface(IDirect3DSurface9* surface, const RECT& rect, const uint32_t* argb, size_t pitch) {
    if (!surface || !argb) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc)) || !Inside(rect, desc)) return D3DERR_INVALIDCALL;
    if (d3d9::BytesPerPixel(desc.Format) == 0) return D3DERR_INVALIDCALL;
    const UINT w = UINT(rect.right - rect.left), h = UINT(rect.bottom - rect.top);
    if (pitch < w) return D3DERR_INVALIDCALL;

    // Rows [top, top + rows) of the pixels into a locked rectangle of `target`.
    auto fill = [&](IDirect3DSurface9* target, const RECT* lockRect, UINT top, UINT rows) {
        D3DLOCKED_RECT locked;
        if (FAILED(target->LockRect(&locked, lockRect, 0))) return false;
        for (UINT y = 0; y < rows; ++y)
            d3d9::FromArgb(desc.Format, argb + size_t(top + y) * pitch,
                           static_cast<uint8_t*>(locked.pBits) + ptrdiff_t(y) * locked.Pitch, w);
        target->UnlockRect();
        return true;
    };
    if (fill(surface, &rect, 0, h)) return D3D_OK;

    // A default-pool surface is filled as D3DX does it: system memory sent with UpdateSurface,
    // here a band of rows at a time so that no copy of the whole rectangle is made.
    if (desc.Pool == D3DPOOL_DEFAULT) {
        IDirect3DDevice9* rawDevice = nullptr;
        if (SUCCEEDED(surface->GetDevice(&rawDevice))) {
            ComPtr<IDirect3DDevice9> device(rawDevice);
            const UINT band = UINT(std::min<size_t>(d3d9::BandRows(w), h));
            IDirect3DSurface9* rawStage = nullptr;
            if (SUCCEEDED(device->CreateOffscreenPlainSurface(w, band, desc.Format, D3DPOOL_SYSTEMMEM,
                                                              &rawStage, nullptr))) {
                ComPtr<IDirect3DSurface9> stage(rawStage);
                bool sent = true;
                for (UINT y = 0; y < h && sent; y += band) {
                    const UINT rows = std::min(band, h - y);
                    const RECT part{0, 0, LONG(w), LONG(rows)};
                    const POINT at{rect.left, rect.top + LONG(y)};
                    sent = fill(stage.Get(), &part, y, rows) &&
                           SUCCEEDED(device->UpdateSurface(stage.Get(), &part, surface, &at));
                }
                if (sent) return D3D_OK;
            }
        }
    }
    // Nothing public writes a back buffer that cannot be locked.
    d3d9::SurfaceAccess* access = d3d9::AsSurface(surface);
    if (!access || access->IsLocked()) return D3DERR_INVALIDCALL;
    access->WriteArgb(rect, argb, pitch);
    return D3D_OK;
}

HRESULT LoadImageFile(const char* windowsPath, image::Image& out) {
    out = image::Image{};
    if (!windowsPath) return D3DERR_INVALIDCALL;
    std::string error;
    try {
        if (image::LoadFile(MapPath(windowsPath), out, &error)) return D3D_OK;
    } catch (const std::bad_alloc&) {
        out = image::Image{};
        return E_OUTOFMEMORY;
    }
    return error.find("out of memory") != std::string::npos ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;
}

void DescribeImage(const image::Image& image, D3DXIMAGE_INFO* info) {
    if (!info) return;
    *info = D3DXIMAGE_INFO{};
    info->Width = image.width;
    info->Height = image.height;
    info->Depth = 1;
    info->MipLevels = 1;
    info->ResourceType = D3DRTYPE_TEXTURE;
    D3DFORMAT format = image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    switch (image.source) {
    case image::Format::Bmp:
        info->ImageFileFormat = D3DXIFF_BMP;
        if (!image.hasAlpha) {
            if (image.bitsPerPixel <= 8) format = D3DFMT_P8;
            else if (image.bitsPerPixel == 16) format = D3DFMT_X1R5G5B5;
            else if (image.bitsPerPixel == 24) format = D3DFMT_R8G8B8;
        }
        break;
    case image::Format::Png:
        info->ImageFileFormat = D3DXIFF_PNG;
        break;
    case image::Format::Jpeg:
        info->ImageFileFormat = D3DXIFF_JPG;
        if (image.bitsPerPixel == 8) format = D3DFMT_L8;
        break;
    case image::Format::Unknown:
        break;
    }
    info->Format = format;
}

bool ParseFilter(DWORD filter, DWORD defaultFilter, image::Filter* out, bool* none) {
    if (filter == D3DX_DEFAULT) filter = defaultFilter;
    *none = false;
    switch (filter & 0xFFFF) {
    case D3DX_FILTER_NONE: *none = true; *out = image::Filter::Point; return true;
    case D3DX_FILTER_POINT: *out = image::Filter::Point; return true;
    case D3DX_FILTER_LINEAR: *out = image::Filter::Linear; return true;
    case D3DX_FILTER_TRIANGLE: *out = image::Filter::Triangle; return true;
    case D3DX_FILTER_BOX: *out = image::Filter::Box; return true;
    default: return false;
    }
}

bool ResolveRect(const RECT* rect, UINT width, UINT height, RECT* out) {
    *out = rect ? *rect : RECT{0, 0, LONG(width), LONG(height)};
    return d3d9::RectInside(*out, width, height);
}

image::Image Crop(const image::Image& source, const RECT& rect) {
    image::Image out;
    out.width = UINT(rect.right - rect.left);
    out.height = UINT(rect.bottom - rect.top);
    out.hasAlpha = source.hasAlpha;
    out.source = source.source;
    out.bitsPerPixel = source.bitsPerPixel;
    out.pixels.resize(size_t(out.width) * out.height);
    for (UINT y = 0; y < out.height; ++y)
        std::copy_n(&source.pixels[size_t(rect.top + LONG(y)) * source.width + size_t(rect.left)], out.width,
                    &out.pixels[size_t(y) * out.width]);
    return out;
}

}  // namespace platform::d3dx
