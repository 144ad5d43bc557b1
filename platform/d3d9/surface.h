// Surfaces: the back buffer, plain surfaces in memory and (in texture.h) the levels of textures.
#pragma once

#include <d3d9.h>

#include "common/com.h"
#include "d3d9/format.h"

#include <cstdint>
#include <vector>

namespace platform::d3d9 {

class Device;

// What the layer needs of any of its surfaces, whatever the pool and the kind.
class SurfaceAccess {
public:
    virtual D3DSURFACE_DESC Describe() = 0;
    virtual bool IsLocked() const = 0;
    virtual Device* OwnerDevice() const = 0;
    // Reads a rectangle as 0xAARRGGBB rows `pitch` pixels apart; the rectangle must lie inside.
    virtual void ReadArgb(const RECT& rect, uint32_t* dst, size_t pitch) = 0;
    // Writes a rectangle given as 0xAARRGGBB, whatever the pool allows the application.
    virtual void WriteArgb(const RECT& rect, const uint32_t* src, size_t pitch) = 0;

protected:
    ~SurfaceAccess() = default;
};

// The layer's own view of a surface, or null for a surface from elsewhere.
SurfaceAccess* AsSurface(IDirect3DSurface9* surface);

// One lockable image in memory with the lock rules of a surface. Without `inMemory` it has its
// size and format but no memory, and must never be locked.
class LockableImage {
public:
    LockableImage(D3DFORMAT format, UINT width, UINT height, bool inMemory = true);

    const ImageStore& Store() const { return store_; }
    ImageStore& Store() { return store_; }
    bool Locked() const { return locked_; }
    // Locks a rectangle (null: all); the caller has checked the pool.
    HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    // Unlocks; `changed` receives the rectangle written, empty for a read-only lock.
    HRESULT Unlock(RECT* changed);

private:
    std::vector<uint8_t> memory_;
    ImageStore store_;
    bool locked_ = false;
    bool readOnly_ = false;
    RECT lockedRect_ = {};
};

// The back buffer seen as a surface. Locking reads what was drawn; unlocking writes back what
// the caller changed. It keeps its device alive.
class BackBufferSurface final : public ComObject<IDirect3DSurface9>, public SurfaceAccess {
public:
    explicit BackBufferSurface(Device* device);
    ~BackBufferSurface() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    D3DSURFACE_DESC Describe() override;
    bool IsLocked() const override { return locked_; }
    Device* OwnerDevice() const override { return device_; }
    void ReadArgb(const RECT& rect, uint32_t* dst, size_t pitch) override;
    void WriteArgb(const RECT& rect, const uint32_t* src, size_t pitch) override;

protected:
    bool Implements(REFIID riid) const override {
        return AnyOf(riid, {&IID_IDirect3DSurface9, &IID_IDirect3DResource9});
    }

private:
    Device* device_;
    bool locked_ = false;
    bool readOnly_ = false;
    RECT lockedRect_ = {};
    std::vector<uint32_t> pixels_;  // the whole surface while locked
};

// An off-screen plain surface: memory in any pool, always lockable.
class PlainSurface final : public ComObject<IDirect3DSurface9>, public SurfaceAccess {
public:
    PlainSurface(Device* device, D3DFORMAT format, UINT width, UINT height, D3DPOOL pool);
    ~PlainSurface() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    D3DSURFACE_DESC Describe() override;
    bool IsLocked() const override { return image_.Locked(); }
    Device* OwnerDevice() const override { return device_; }
    void ReadArgb(const RECT& rect, uint32_t* dst, size_t pitch) override;
    void WriteArgb(const RECT& rect, const uint32_t* src, size_t pitch) override;

protected:
    bool Implements(REFIID riid) const override {
        return AnyOf(riid, {&IID_IDirect3DSurface9, &IID_IDirect3DResource9});
    }

private:
    Device* device_;
    D3DPOOL pool_;
    LockableImage image_;
};

}  // namespace platform::d3d9
