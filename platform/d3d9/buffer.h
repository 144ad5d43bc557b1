// Vertex and index buffers: memory in every pool, mirrored in an OpenGL buffer when drawn from.
#pragma once

#include <d3d9.h>

#include "common/com.h"
#include "d3d9/gl_object.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace platform::d3d9 {

class Device;

// The memory, lock rules and OpenGL copy that both kinds of buffer share.
class BufferStore {
public:
    // Zeroed memory; calloc takes fresh pages for large buffers rather than clearing them.
    explicit BufferStore(UINT length);

    UINT Length() const { return length_; }
    const uint8_t* Data() const { return memory_.get(); }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    // The OpenGL buffer with the current contents; the device's context is current.
    GLuint Sync(GLenum target);
    // Drops the OpenGL copy; the device's context is current.
    void ReleaseGl() { gl_.Reset(); }
    // Counts changes, so that users can tell when to look at the contents again.
    uint64_t Version() const { return version_; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], Free> memory_;
    UINT length_;
    int locks_ = 0;
    size_t dirtyBegin_ = 0, dirtyEnd_ = 0;
    bool wholeDirty_ = true;
    uint64_t version_ = 0;
    GlBuffer gl_;
};

class VertexBuffer final : public ComObject<IDirect3DVertexBuffer9> {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    BufferStore& Store() { return store_; }

protected:
    bool Implements(REFIID riid) const override {
        return AnyOf(riid, {&IID_IDirect3DVertexBuffer9, &IID_IDirect3DResource9});
    }

private:
    Device* device_;  // holds a reference
    DWORD usage_;
    DWORD fvf_;
    D3DPOOL pool_;
    BufferStore store_;
};

class IndexBuffer final : public ComObject<IDirect3DIndexBuffer9> {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~IndexBuffer() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    BufferStore& Store() { return store_; }
    D3DFORMAT Format() const { return format_; }
    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }
    // The largest index in the whole buffer.
    uint32_t MaxIndex();

protected:
    bool Implements(REFIID riid) const override {
        return AnyOf(riid, {&IID_IDirect3DIndexBuffer9, &IID_IDirect3DResource9});
    }

private:
    Device* device_;  // holds a reference
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    BufferStore store_;
    uint64_t maxVersion_ = ~uint64_t(0);
    uint32_t max_ = 0;
};

VertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer9* buffer);
IndexBuffer* AsIndexBuffer(IDirect3DIndexBuffer9* buffer);

// The largest of `count` indices of `size` bytes (2 or 4).
uint32_t LargestIndex(const void* indices, UINT size, size_t count);

}  // namespace platform::d3d9
