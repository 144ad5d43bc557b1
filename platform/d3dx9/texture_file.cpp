// Textures and image information from image files.
#include <d3dx9tex.h>

#include "common/com.h"
#include "d3dx9/surface_io.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

using platform::ComPtr;
namespace image = platform::image;
namespace d3dx = platform::d3dx;

namespace {

// Bits 27 to 31 of a mip filter count DDS levels to skip; no other format has levels to skip.
constexpr DWORD kSkipMipLevelsMask = DWORD(0x1F) << 27;

UINT FullChain(UINT w, UINT h) {
    UINT levels = 1;
    while (w > 1 || h > 1) {
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        ++levels;
    }
    return levels;
}

// The texture size for a requested size and the file's size; `rounded` tells whether D3DX chose it.
UINT TextureSize(UINT requested, UINT fileSize, bool* rounded) {
    *rounded = false;
    if (requested == 0 || requested == D3DX_DEFAULT) {
        *rounded = true;
        return image::NextPowerOfTwo(fileSize);
    }
    if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return fileSize;
    return requested;
}

HRESULT FillLevel(IDirect3DTexture9* texture, UINT level, const image::Image& pixels) {
    IDirect3DSurface9* raw = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(level, &raw);
    if (FAILED(hr)) return hr;
    ComPtr<IDirect3DSurface9> surface(raw);
    return d3dx::WriteSurface(surface.Get(), RECT{0, 0, LONG(pixels.width), LONG(pixels.height)},
                              pixels.pixels.data(), pixels.width);
}

HRESULT CreateTexture(IDirect3DDevice9* device, const char* file, UINT width, UINT height, UINT mipLevels,
                      DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                      D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                      IDirect3DTexture9** out) {
    image::Filter imageFilter, levelFilter;
    bool imageNone = false, levelNone = false;
    if (mipFilter != D3DX_DEFAULT) mipFilter &= ~kSkipMipLevelsMask;
    if (!d3dx::ParseFilter(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, &imageFilter, &imageNone) ||
        !d3dx::ParseFilter(mipFilter, D3DX_FILTER_BOX, &levelFilter, &levelNone))
        return D3DERR_INVALIDCALL;

    image::Image source;
    HRESULT hr = d3dx::LoadImageFile(file, source);
    if (FAILED(hr)) return hr;
    d3dx::DescribeImage(source, srcInfo);
    if (palette) std::memset(palette, 0, 256 * sizeof(PALETTEENTRY));

    bool roundedW, roundedH;
    UINT w = TextureSize(width, source.width, &roundedW);
    UINT h = TextureSize(height, source.height, &roundedH);
    if (w == 0 || h == 0) return D3DERR_NOTAVAILABLE;
    D3DCAPS9 caps;
    if (SUCCEEDED(device->GetDeviceCaps(&caps))) {
        // A size D3DX picked itself shrinks to what the device takes.
        while (roundedW && caps.MaxTextureWidth && w > caps.MaxTextureWidth) w /= 2;
        while (roundedH && caps.MaxTextureHeight && h > caps.MaxTextureHeight) h /= 2;
    }
    const UINT chain = FullChain(w, h);
    UINT levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? chain
                  : mipLevels == D3DX_FROM_FILE              ? 1
                                                             : std::min(mipLevels, chain);
    if (usage & D3DUSAGE_AUTOGENMIPMAP) levels = 0;
    if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE)
        format = source.hasAlpha || colorKey != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;

    if (colorKey != 0) image::ApplyColorKey(source, colorKey);

    IDirect3DTexture9* rawTexture = nullptr;
    hr = device->CreateTexture(w, h, levels, usage, format, pool, &rawTexture, nullptr);
    if (FAILED(hr)) return hr;
    ComPtr<IDirect3DTexture9> texture(rawTexture);

    // Level 0: the image stretched to fill, or copied unscaled into transparent black.
    image::Image level;
    if (imageNone) {
        level.width = w;
        level.height = h;
        level.pixels.assign(size_t(w) * h, 0u);
        const UINT cw = std::min(w, source.width), ch = std::min(h, source.height);
        for (UINT y = 0; y < ch; ++y)
            std::copy_n(&source.pixels[size_t(y) * source.width], cw, &level.pixels[size_t(y) * w]);
    } else if (w == source.width && h == source.height) {
        level = std::move(source);
    } else {
        level = image::Resize(source, w, h, imageFilter);
    }
    if (level.empty()) return E_OUTOFMEMORY;
    source = image::Image{};
    hr = FillLevel(texture.Get(), 0, level);
    if (FAILED(hr)) return hr;

    // The smaller levels, each filtered from the one above it.
    const UINT count = texture->GetLevelCount();
    for (UINT i = 1; i < count && !levelNone; ++i) {
        D3DSURFACE_DESC desc;
        hr = texture->GetLevelDesc(i, &desc);
        if (FAILED(hr)) return hr;
        level = image::Resize(level, desc.Width, desc.Height, levelFilter);
        if (level.empty()) return E_OUTOFMEMORY;
        hr = FillLevel(texture.Get(), i, level);
        if (FAILED(hr)) return hr;
    }
    *out = texture.Get();
    (*out)->AddRef();
    return D3D_OK;
}

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage,
                                            D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                            DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                            LPDIRECT3DTEXTURE9* ppTexture) {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (!pDevice || !pSrcFile) return D3DERR_INVALIDCALL;
    try {
        return CreateTexture(pDevice, pSrcFile, Width, Height, MipLevels, Usage, Format, Pool, Filter,
                             MipFilter, ColorKey, pSrcInfo, pPalette, ppTexture);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9* ppTexture) {
    return D3DXCreateTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        nullptr, nullptr, ppTexture);
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcFile || !pSrcInfo) return D3DERR_INVALIDCALL;
    image::Image source;
    HRESULT hr = d3dx::LoadImageFile(pSrcFile, source);
    if (SUCCEEDED(hr)) d3dx::DescribeImage(source, pSrcInfo);
    return hr;
}
