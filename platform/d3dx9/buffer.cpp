// ID3DXBuffer: a block of memory with a reference count.
#include "d3dx9/buffer.h"

#include "common/com.h"

#include <cstring>
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

namespace platform::d3dx {

HRESULT CopyToBuffer(const void* bytes, size_t size, LPD3DXBUFFER* out) {
    LPD3DXBUFFER buffer = nullptr;
    HRESULT hr = D3DXCreateBuffer(DWORD(size), &buffer);
    if (FAILED(hr)) return hr;
    if (size) std::memcpy(buffer->GetBufferPointer(), bytes, size);
    *out = buffer;
    return D3D_OK;
}

}  // namespace platform::d3dx
