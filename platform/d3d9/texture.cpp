#include "d3d9/texture.h"

#include "d3d9/device.h"

#include <algorithm>

namespace platform::d3d9 {
namespace {

constexpr UINT kMaxTextureSize = 8192;
UINT FullChain(UINT w, UINT h) {
    UINT levels = 1;
    while (w > 1 || h > 1) {
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        ++levels;
    }
    return levels;
}

}  // namespace

// A level seen as a surface. It has no reference count of its own: holding it holds the texture.
class Texture::Level final : public IDirect3DSurface9, public SurfaceAccess {
public:
    Level(Texture* owner, UINT index, UINT width, UINT height)
        : owner_(owner), index_(index), image_(owner->format_, width, height, owner->inMemory_) {}
    virtual ~Level() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDirect3DSurface9 || riid == IID_IDirect3DResource9) {
            *out = static_cast<IDirect3DSurface9*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** out) override { return owner_->GetDevice(out); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = Describe();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        if (!owner_->AppMayLock()) return D3DERR_INVALIDCALL;
        return image_.Lock(locked, rect, flags);
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override {
        RECT changed;
        HRESULT hr = image_.Unlock(&changed);
        if (SUCCEEDED(hr) && changed.right > changed.left) owner_->Upload(index_, changed);
        return hr;
    }

    D3DSURFACE_DESC Describe() override {
        D3DSURFACE_DESC desc = {};
        desc.Format = owner_->format_;
        desc.Type = D3DRTYPE_SURFACE;
        desc.Usage = owner_->usage_;
        desc.Pool = owner_->pool_;
        desc.Width = image_.Store().width;
        desc.Height = image_.Store().height;
        return desc;
    }
    bool IsLocked() const override { return image_.Locked(); }
    Device* OwnerDevice() const override { return owner_->device_; }
    void ReadArgb(const RECT& rect, uint32_t* dst, size_t pitch) override {
        if (owner_->inMemory_)
            image_.Store().Read(rect, dst, pitch);
        else
            owner_->ReadGl(index_, rect, dst, pitch);
    }
    void WriteArgb(const RECT& rect, const uint32_t* src, size_t pitch) override {
        if (!owner_->inMemory_) {
            owner_->WriteGl(index_, rect, src, pitch);
            return;
        }
        image_.Store().Write(rect, src, pitch);
        owner_->Upload(index_, rect);
    }

    const ImageStore& Store() const { return image_.Store(); }

private:
    Texture* owner_;
    UINT index_;
    LockableImage image_;
};

Texture* AsTexture(IDirect3DBaseTexture9* texture) { return dynamic_cast<Texture*>(texture); }

Texture::Texture(Device* device, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool) {
    device_->AddRef();
    device_->CountResource(pool_, 1);
}

Texture::~Texture() {
    if (gl_ && pool_ == D3DPOOL_MANAGED) device_->ForgetResident(this);
    if (device_->MakeCurrent()) gl_.Reset();
    levels_.clear();
    device_->CountResource(pool_, -1);
    device_->Release();
}

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize)
        return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (!IsColorFormat(format)) return D3DERR_INVALIDCALL;
    // Render-target and depth textures have no use without SetRenderTarget, which we lack.
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool != D3DPOOL_DEFAULT && pool != D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    bool autoGen = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if (autoGen && pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    UINT chain = FullChain(width, height);
    if (levels > chain) return D3DERR_INVALIDCALL;
    if (levels == 0) levels = chain;
    // An automatically generated chain shows the application its top level only.
    if (autoGen) {
        if (levels != chain && levels != 1) return D3DERR_INVALIDCALL;
        levels = 1;
    }

    auto* texture = new Texture(device, usage, format, pool);
    texture->inMemory_ = texture->AppMayLock() || !device->MakeCurrent();
    UINT w = width, h = height;
    for (UINT i = 0; i < levels; ++i) {
        texture->levels_.push_back(std::make_unique<Level>(texture, i, w, h));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    // With a copy in memory the OpenGL one waits for the first draw.
    if (!texture->inMemory_) texture->MakeGl();
    *out = texture;
    return D3D_OK;
}

bool Texture::MakeGl() {
    if (!device_->MakeCurrent()) return false;
    const UINT width = Width(0), height = Height(0), glLevels = GlLevels();
    // Room is made first; a dropped copy of the same shape is filled again rather than reallocated.
    if (inMemory_) gl_ = device_->EvictUnusedTextures(width, height, glLevels);
    if (!gl_) {
        gl_ = GlTexture::Generate();
        glBindTexture(GL_TEXTURE_2D, gl_.Get());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(glLevels - 1));
        for (UINT i = 0, w = width, h = height; i < glLevels; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
            glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGBA8, GLsizei(w), GLsizei(h), 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    }
    if (inMemory_) {
        // Level 0 last, so that a generated chain is made once from it.
        for (UINT i = UINT(levels_.size()); i-- > 0;) Upload(i, RECT{0, 0, LONG(Width(i)), LONG(Height(i))});
        if (pool_ == D3DPOOL_MANAGED) device_->TrackResident(this);
        return true;
    }
    // New textures read as their zeroed memory does in their format.
    const uint64_t zero = 0;
    uint32_t blank = 0;
    ToArgb(format_, &zero, &blank, 1);
    const std::vector<uint32_t> band(std::min(size_t(width) * height, BandRows(width) * width), blank);
    for (UINT i = 0, w = width, h = height; i < glLevels; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        for (UINT y = 0; y < h; y += UINT(BandRows(w)))
            SendToGl(i, RECT{0, LONG(y), LONG(w), LONG(std::min<size_t>(h, y + BandRows(w)))}, band.data(), w);
    return true;
}

GLuint Texture::GlName() {
    if (!gl_ && inMemory_) MakeGl();
    lastUsed_ = device_->FrameCount();
    return gl_.Get();
}

UINT Texture::GlLevels() const {
    return (usage_ & D3DUSAGE_AUTOGENMIPMAP) ? FullChain(Width(0), Height(0)) : UINT(levels_.size());
}

GlTexture Texture::TakeGlIfUnusedSince(uint64_t frame) {
    if (lastUsed_ >= frame) return {};
    return std::move(gl_);
}

bool Texture::GlShapeIs(UINT width, UINT height, UINT levels) const {
    return Width(0) == width && Height(0) == height && GlLevels() == levels;
}

HRESULT Texture::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

UINT Texture::Width(UINT level) const { return level < levels_.size() ? levels_[level]->Store().width : 0; }
UINT Texture::Height(UINT level) const { return level < levels_.size() ? levels_[level]->Store().height : 0; }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size() || !desc) return D3DERR_INVALIDCALL;
    *desc = levels_[level]->Describe();
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    if (level >= levels_.size()) {
        *out = nullptr;
        return D3DERR_INVALIDCALL;
    }
    *out = levels_[level].get();
    (*out)->AddRef();
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[level]->LockRect(locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[level]->UnlockRect();
}

HRESULT Texture::WritePixels(UINT level, const RECT* rect, const uint32_t* argb, size_t pitch) {
    if (level >= levels_.size() || !argb) return D3DERR_INVALIDCALL;
    Level& l = *levels_[level];
    RECT r = rect ? *rect : RECT{0, 0, LONG(l.Store().width), LONG(l.Store().height)};
    if (!RectInside(r, l.Store().width, l.Store().height) || l.IsLocked()) return D3DERR_INVALIDCALL;
    if (pitch < size_t(r.right - r.left)) return D3DERR_INVALIDCALL;
    l.WriteArgb(r, argb, pitch);
    return D3D_OK;
}

HRESULT Texture::ReadPixels(UINT level, const RECT* rect, uint32_t* argb, size_t pitch) {
    if (level >= levels_.size() || !argb) return D3DERR_INVALIDCALL;
    Level& l = *levels_[level];
    RECT r = rect ? *rect : RECT{0, 0, LONG(l.Store().width), LONG(l.Store().height)};
    if (!RectInside(r, l.Store().width, l.Store().height)) return D3DERR_INVALIDCALL;
    if (pitch < size_t(r.right - r.left)) return D3DERR_INVALIDCALL;
    l.ReadArgb(r, argb, pitch);
    return D3D_OK;
}

void Texture::Upload(UINT level, const RECT& r) {
    if (!gl_) return;  // made from the memory when first drawn
    const ImageStore& store = levels_[level]->Store();
    if (format_ == D3DFMT_A8R8G8B8) {  // the memory holds the words OpenGL takes
        const uint8_t* at = store.Row(UINT(r.top)) + size_t(r.left) * 4;
        return SendToGl(level, r, reinterpret_cast<const uint32_t*>(at), store.pitch / 4);
    }
    const size_t w = size_t(r.right - r.left), rows = BandRows(w);
    std::vector<uint32_t> pixels(w * std::min(rows, size_t(r.bottom - r.top)));
    for (LONG y = r.top; y < r.bottom; y += LONG(rows)) {
        const RECT band{r.left, y, r.right, LONG(std::min<size_t>(size_t(r.bottom), size_t(y) + rows))};
        store.Read(band, pixels.data(), w);
        SendToGl(level, band, pixels.data(), w);
    }
}

void Texture::WriteGl(UINT level, const RECT& r, const uint32_t* argb, size_t pitch) {
    if (format_ == D3DFMT_A8R8G8B8) return SendToGl(level, r, argb, pitch);
    // Through the format and back, so that OpenGL holds what the memory would.
    const size_t w = size_t(r.right - r.left), rows = BandRows(w);
    std::vector<uint32_t> pixels(w * std::min(rows, size_t(r.bottom - r.top)));
    std::vector<uint8_t> row(w * BytesPerPixel(format_));
    for (LONG y = r.top; y < r.bottom; y += LONG(rows)) {
        const RECT band{r.left, y, r.right, LONG(std::min<size_t>(size_t(r.bottom), size_t(y) + rows))};
        for (LONG k = band.top; k < band.bottom; ++k) {
            FromArgb(format_, argb + size_t(k - r.top) * pitch, row.data(), w);
            ToArgb(format_, row.data(), &pixels[size_t(k - band.top) * w], w);
        }
        SendToGl(level, band, pixels.data(), w);
    }
}

void Texture::ReadGl(UINT level, const RECT& r, uint32_t* argb, size_t pitch) {
    const size_t lw = Width(level), lh = Height(level);
    std::vector<uint32_t> all(lw * lh, 0);
    if (gl_ && device_->MakeCurrent()) {
        glBindTexture(GL_TEXTURE_2D, gl_.Get());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glGetTexImage(GL_TEXTURE_2D, GLint(level), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, all.data());
    }
    const size_t w = size_t(r.right - r.left);
    for (LONG y = r.top; y < r.bottom; ++y)
        std::copy_n(&all[size_t(y) * lw + size_t(r.left)], w, argb + size_t(y - r.top) * pitch);
}

void Texture::SendToGl(UINT level, const RECT& r, const uint32_t* argb, size_t pitch) {
    if (!gl_ || !device_->MakeCurrent()) return;
    glBindTexture(GL_TEXTURE_2D, gl_.Get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pitch));
    glTexSubImage2D(GL_TEXTURE_2D, GLint(level), r.left, r.top, GLsizei(r.right - r.left), GLsizei(r.bottom - r.top),
                    GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if ((usage_ & D3DUSAGE_AUTOGENMIPMAP) && level == 0) glGenerateMipmap(GL_TEXTURE_2D);
}

}  // namespace platform::d3d9
