// IDirect3DTexture9: mip levels in memory, each a lockable surface, mirrored in an OpenGL texture.
// The D3DX code reaches a texture's pixels and OpenGL name through the layer's own calls below.
#pragma once

#include <d3d9.h>

#include "common/com.h"
#include "d3d9/gl_object.h"
#include "d3d9/surface.h"

#include <memory>
#include <vector>

namespace platform::d3d9 {

class Device;

class Texture final : public ComObject<IDirect3DTexture9> {
public:
    // Validates the arguments as CreateTexture does.
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, Texture** out);
    ~Texture() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return DWORD(levels_.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) override;

    // For the layer and D3DX.
    D3DFORMAT Format() const { return format_; }
    D3DPOOL Pool() const { return pool_; }
    DWORD Usage() const { return usage_; }
    Device* OwnerDevice() const { return device_; }
    UINT Width(UINT level) const;
    UINT Height(UINT level) const;
    // The OpenGL texture (GL_TEXTURE_2D, RGBA8, rows top first) holding every level, for drawing.
    // A texture with a copy in memory gets it on first use, again after an eviction.
    GLuint GlName();
    bool HasGlCopy() const { return bool(gl_); }
    // The OpenGL copy, if the texture has not been drawn since `frame`; the texture keeps none.
    GlTexture TakeGlIfUnusedSince(uint64_t frame);
    // The OpenGL texture's size and level count.
    bool GlShapeIs(UINT width, UINT height, UINT levels) const;
    // Writes 0xAARRGGBB pixels (rows `pitch` pixels apart) into a level whatever the pool,
    // converting them to the texture's format, and updates the OpenGL copy. Null rect: all.
    HRESULT WritePixels(UINT level, const RECT* rect, const uint32_t* argb, size_t pitch);
    // Reads a level as 0xAARRGGBB.
    HRESULT ReadPixels(UINT level, const RECT* rect, uint32_t* argb, size_t pitch);

protected:
    bool Implements(REFIID riid) const override {
        return AnyOf(riid, {&IID_IDirect3DTexture9, &IID_IDirect3DBaseTexture9, &IID_IDirect3DResource9});
    }

private:
    class Level;
    Texture(Device* device, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    // Makes the OpenGL texture with every level, filled from memory or blank; false without OpenGL.
    bool MakeGl();
    UINT GlLevels() const;
    // Sends a rectangle of a level's memory to OpenGL.
    void Upload(UINT level, const RECT& rect);
    // Without a copy in memory: writes through the format straight to OpenGL, reads it back.
    void WriteGl(UINT level, const RECT& rect, const uint32_t* argb, size_t pitch);
    void ReadGl(UINT level, const RECT& rect, uint32_t* argb, size_t pitch);
    void SendToGl(UINT level, const RECT& rect, const uint32_t* argb, size_t pitch);
    bool AppMayLock() const { return pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC); }

    Device* device_;  // holds a reference
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    // A copy in memory where the application may lock, as Direct3D keeps one; a default-pool
    // texture lives in OpenGL alone (unless OpenGL is not there).
    bool inMemory_ = true;
    std::vector<std::unique_ptr<Level>> levels_;
    GlTexture gl_;
    uint64_t lastUsed_ = 0;  // the device's frame count when last drawn
};

// The layer's texture behind an interface pointer, or null.
Texture* AsTexture(IDirect3DBaseTexture9* texture);

}  // namespace platform::d3d9
