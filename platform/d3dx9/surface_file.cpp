// Surfaces loaded from files and from other surfaces, and saved to files.
#include <d3dx9tex.h>

#include "common/paths.h"
#include "d3dx9/surface_io.h"

#include <algorithm>
#include <new>

namespace image = platform::image;
namespace d3dx = platform::d3dx;

namespace {

// Puts `source` into `destRect` of the surface: stretched with the filter, or with
// D3DX_FILTER_NONE copied unscaled and cut to the rectangle (the rest of it is left as it was).
HRESULT LoadInto(IDirect3DSurface9* dest, const RECT* destRect, image::Image source, DWORD filter,
                 D3DCOLOR colorKey) {
    D3DSURFACE_DESC desc;
    if (FAILED(dest->GetDesc(&desc))) return D3DERR_INVALIDCALL;
    RECT d;
    if (!d3dx::ResolveRect(destRect, desc.Width, desc.Height, &d)) return D3DERR_INVALIDCALL;
    image::Filter how;
    bool none = false;
    if (!d3dx::ParseFilter(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, &how, &none))
        return D3DERR_INVALIDCALL;
    if (colorKey != 0) image::ApplyColorKey(source, colorKey);

    const UINT dw = UINT(d.right - d.left), dh = UINT(d.bottom - d.top);
    if (none) {
        const UINT cw = std::min(dw, source.width), ch = std::min(dh, source.height);
        return d3dx::WriteSurface(dest, RECT{d.left, d.top, d.left + LONG(cw), d.top + LONG(ch)},
                                  source.pixels.data(), source.width);
    }
    image::Image scaled = image::Resize(source, dw, dh, how);
    if (scaled.empty()) return E_OUTOFMEMORY;
    return d3dx::WriteSurface(dest, d, scaled.pixels.data(), scaled.width);
}

}  // namespace

HRESULT WINAPI D3DXLoadSurfaceFromFileA(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY*,
                                        const RECT* pDestRect, LPCSTR pSrcFile, const RECT* pSrcRect,
                                        DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pDestSurface || !pSrcFile) return D3DERR_INVALIDCALL;
    try {
        image::Image source;
        HRESULT hr = d3dx::LoadImageFile(pSrcFile, source);
        if (FAILED(hr)) return hr;
        d3dx::DescribeImage(source, pSrcInfo);
        RECT s;
        if (!d3dx::ResolveRect(pSrcRect, source.width, source.height, &s)) return D3DERR_INVALIDCALL;
        if (pSrcRect) source = d3dx::Crop(source, s);
        return LoadInto(pDestSurface, pDestRect, std::move(source), Filter, ColorKey);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI D3DXLoadSurfaceFromSurface(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY*,
                                          const RECT* pDestRect, LPDIRECT3DSURFACE9 pSrcSurface,
                                          const PALETTEENTRY*, const RECT* pSrcRect, DWORD Filter,
                                          D3DCOLOR ColorKey) {
    if (!pDestSurface || !pSrcSurface) return D3DERR_INVALIDCALL;
    try {
        D3DSURFACE_DESC desc;
        if (FAILED(pSrcSurface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
        RECT s;
        if (!d3dx::ResolveRect(pSrcRect, desc.Width, desc.Height, &s)) return D3DERR_INVALIDCALL;
        image::Image source;
        HRESULT hr = d3dx::ReadSurface(pSrcSurface, s, source);
        if (FAILED(hr)) return hr;
        return LoadInto(pDestSurface, pDestRect, std::move(source), Filter, ColorKey);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY*,
                                      const RECT* pSrcRect) {
    if (!pDestFile || !pSrcSurface) return D3DERR_INVALIDCALL;
    // Only bitmaps are written, always at 24 bits per pixel.
    if (DestFormat != D3DXIFF_BMP && DestFormat != D3DXIFF_DIB) return D3DERR_INVALIDCALL;
    try {
        D3DSURFACE_DESC desc;
        if (FAILED(pSrcSurface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
        // A rectangle reaching past the surface (a window partly off the desktop) is cut to it.
        RECT s{0, 0, LONG(desc.Width), LONG(desc.Height)};
        if (pSrcRect) {
            s.left = std::max(s.left, pSrcRect->left);
            s.top = std::max(s.top, pSrcRect->top);
            s.right = std::min(s.right, pSrcRect->right);
            s.bottom = std::min(s.bottom, pSrcRect->bottom);
        }
        if (s.right <= s.left || s.bottom <= s.top) return D3DERR_INVALIDCALL;
        image::Image pixels;
        HRESULT hr = d3dx::ReadSurface(pSrcSurface, s, pixels);
        if (FAILED(hr)) return hr;
        pixels.hasAlpha = false;
        return image::SaveBmpFile(pixels, platform::MapPath(pDestFile), 24) ? D3D_OK : D3DERR_INVALIDCALL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
