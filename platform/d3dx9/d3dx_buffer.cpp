// ID3DXBuffer: a block of bytes handed out by the D3DX functions.
#include <d3dx9core.h>

#include "common/com.h"

#include <memory>
#include <new>

namespace {

class Buffer final : public platform::ComObject<ID3DXBuffer> {
public:
    Buffer(std::unique_ptr<unsigned char[]> bytes, DWORD size) : bytes_(std::move(bytes)), size_(size) {}

    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.get(); }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return size_; }

protected:
    bool Implements(REFIID riid) const override { return riid == IID_ID3DXBuffer; }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    DWORD size_;
};

}  // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    // Zero-filled; an empty buffer still has a valid pointer.
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[NumBytes ? NumBytes : 1]());
    if (!bytes) return E_OUTOFMEMORY;
    Buffer* buffer = new (std::nothrow) Buffer(std::move(bytes), NumBytes);
    if (!buffer) return E_OUTOFMEMORY;
    *ppBuffer = buffer;
    return D3D_OK;
}
