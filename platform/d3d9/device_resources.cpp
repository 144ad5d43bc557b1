// The device's resource calls: textures, surfaces, buffers, declarations and copies between
// surfaces.
#include "d3d9/buffer.h"
#include "d3d9/device.h"
#include "d3d9/direct3d9.h"
#include "d3d9/surface.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_input.h"

#include <algorithm>

namespace platform::d3d9 {
namespace {

constexpr UINT kMaxSurfaceSize = 16384;
// Presents after which a managed texture not drawn gives its OpenGL copy up to a new one.
constexpr uint64_t kEvictAfterFrames = 60;

bool ValidPool(D3DPOOL pool) { return unsigned(pool) <= D3DPOOL_SCRATCH; }

}  // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** out, HANDLE* shared) {
    if (!out || shared) return D3DERR_INVALIDCALL;
    Texture* texture = nullptr;
    HRESULT hr = Texture::Create(this, width, height, levels, usage, format, pool, &texture);
    *out = texture;
    return hr;
}

void Device::ForgetResident(Texture* texture) {
    resident_.erase(std::remove(resident_.begin(), resident_.end(), texture), resident_.end());
}

GlTexture Device::EvictUnusedTextures(UINT width, UINT height, UINT levels) {
    GlTexture handed;
    if (frames_ <= kEvictAfterFrames) return handed;
    const uint64_t since = frames_ - kEvictAfterFrames;
    auto evicted = [&](Texture* t) {
        GlTexture gl = t->TakeGlIfUnusedSince(since);
        if (!gl) return false;
        if (!handed && t->GlShapeIs(width, height, levels)) handed = std::move(gl);
        return true;
    };
    resident_.erase(std::remove_if(resident_.begin(), resident_.end(), evicted), resident_.end());
    return handed;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** out, HANDLE* shared) {
    if (!out || shared) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (length == 0 || !ValidPool(pool)) return D3DERR_INVALIDCALL;
    if (fvf) {
        UINT vertexSize = FvfVertexSize(fvf);
        if (vertexSize == 0 || length < vertexSize) return D3DERR_INVALIDCALL;
    }
    *out = new VertexBuffer(this, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** out, HANDLE* shared) {
    if (!out || shared) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (length == 0 || !ValidPool(pool)) return D3DERR_INVALIDCALL;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    *out = new IndexBuffer(this, length, usage, format, pool);
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** out, HANDLE* shared) {
    if (!out || shared) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!ValidPool(pool) || pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize)
        return D3DERR_INVALIDCALL;
    if (!IsColorFormat(format)) return D3DERR_INVALIDCALL;
    *out = new PlainSurface(this, format, width, height, pool);
    return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                        IDirect3DVertexDeclaration9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = VertexDeclaration::Create(this, elements);
    return *out ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                              IDirect3DSurface9* destination, const POINT* destPoint) {
    SurfaceAccess* src = source ? AsSurface(source) : nullptr;
    SurfaceAccess* dst = destination ? AsSurface(destination) : nullptr;
    if (!src || !dst || src == dst) return D3DERR_INVALIDCALL;
    if (src->OwnerDevice() != this || dst->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    if (src->IsLocked() || dst->IsLocked()) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC sd = src->Describe(), dd = dst->Describe();
    if (sd.Pool != D3DPOOL_SYSTEMMEM || dd.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    // Formats must match; an X8R8G8B8 source may fill an A8R8G8B8 destination.
    if (sd.Format != dd.Format && !(sd.Format == D3DFMT_X8R8G8B8 && dd.Format == D3DFMT_A8R8G8B8))
        return D3DERR_INVALIDCALL;
    RECT s = sourceRect ? *sourceRect : RECT{0, 0, LONG(sd.Width), LONG(sd.Height)};
    if (!RectInside(s, sd.Width, sd.Height)) return D3DERR_INVALIDCALL;
    POINT p = destPoint ? *destPoint : POINT{s.left, s.top};
    RECT d{p.x, p.y, p.x + (s.right - s.left), p.y + (s.bottom - s.top)};
    if (!RectInside(d, dd.Width, dd.Height)) return D3DERR_INVALIDCALL;
    // A band of rows at a time, so that no copy of the whole rectangle is made.
    const size_t w = size_t(s.right - s.left), h = size_t(s.bottom - s.top);
    const size_t rows = std::min(BandRows(w), h);
    std::vector<uint32_t> pixels(w * rows);
    for (size_t y = 0; y < h; y += rows) {
        const LONG top = LONG(y), bottom = LONG(std::min(h, y + rows));
        src->ReadArgb(RECT{s.left, s.top + top, s.right, s.top + bottom}, pixels.data(), w);
        dst->WriteArgb(RECT{d.left, d.top + top, d.right, d.top + bottom}, pixels.data(), w);
    }
    return D3D_OK;
}

HRESULT Device::SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface9* bitmap) {
    SurfaceAccess* surface = bitmap ? AsSurface(bitmap) : nullptr;
    if (!surface) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc = surface->Describe();
    if (desc.Format != D3DFMT_A8R8G8B8 || hotX >= desc.Width || hotY >= desc.Height ||
        desc.Width > 256 || desc.Height > 256)
        return D3DERR_INVALIDCALL;
    std::vector<uint32_t> pixels(size_t(desc.Width) * desc.Height);
    surface->ReadArgb(RECT{0, 0, LONG(desc.Width), LONG(desc.Height)}, pixels.data(), desc.Width);
    if (!MakeCurrent()) return D3DERR_INVALIDCALL;
    if (!cursorTexture_) cursorTexture_ = GlTexture::Generate();
    glBindTexture(GL_TEXTURE_2D, cursorTexture_.Get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(desc.Width), GLsizei(desc.Height), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    cursorHotX_ = hotX;
    cursorHotY_ = hotY;
    cursorW_ = desc.Width;
    cursorH_ = desc.Height;
    return D3D_OK;
}

}  // namespace platform::d3d9
