// Surfaces: the device's back buffer.
#pragma once

#include <d3d9.h>

#include "common/com.h"

#include <vector>

namespace platform::d3d9 {

class Device;

// The back buffer seen as a surface. Locking reads what was drawn; unlocking writes back what
// the caller changed. It keeps its device alive.
class BackBufferSurface final : public ComObject<IDirect3DSurface9> {
public:
    explicit BackBufferSurface(Device* device);
    ~BackBufferSurface() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

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

}  // namespace platform::d3d9
