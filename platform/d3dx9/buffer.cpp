// ID3DXBuffer: a block of memory with a reference count.
#include <d3dx9core.h>

#include "common/com.h"

#include <new>
#include <vector>

namespace {

class Buffer final : public platform::ComObject<ID3DXBuffer> {
public:
    explicit Buffer(DWORD size) : bytes_(size, 0) {}

    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return DWORD(bytes_.size()); }

protected:
    bool Implements(REFIID riid) const override { return riid == IID_ID3DXBuffer; }

private:
    std::vector<unsigned char> bytes_;
};

}  // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    try {
        *ppBuffer = new Buffer(NumBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
