#include "d3d9/buffer.h"

#include "d3d9/device.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::d3d9 {

BufferStore::BufferStore(UINT length)
    : memory_(static_cast<uint8_t*>(std::calloc(length ? length : 1, 1))), length_(length) {
    if (!memory_) throw std::bad_alloc();
}

HRESULT BufferStore::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    UINT length = Length();
    if (offset > length) return D3DERR_INVALIDCALL;
    // A size of 0 locks to the end.
    if (size == 0) size = length - offset;
    if (size > length - offset) return D3DERR_INVALIDCALL;
    ++locks_;
    *data = memory_.get() + offset;
    if (!(flags & D3DLOCK_READONLY) && size > 0) {
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = size_t(offset) + size;
        } else {
            dirtyBegin_ = std::min<size_t>(dirtyBegin_, offset);
            dirtyEnd_ = std::max<size_t>(dirtyEnd_, size_t(offset) + size);
        }
        ++version_;
    }
    return D3D_OK;
}

HRESULT BufferStore::Unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    --locks_;
    // What was written under the lock is there now.
    ++version_;
    return D3D_OK;
}

GLuint BufferStore::Sync(GLenum target) {
    if (!gl_) {
        gl_ = GlBuffer::Generate();
        glBindBuffer(target, gl_.Get());
        glBufferData(target, GLsizeiptr(length_), memory_.get(), GL_DYNAMIC_DRAW);
        wholeDirty_ = false;
        dirtyBegin_ = dirtyEnd_ = 0;
        return gl_.Get();
    }
    glBindBuffer(target, gl_.Get());
    if (wholeDirty_) {
        glBufferData(target, GLsizeiptr(length_), memory_.get(), GL_DYNAMIC_DRAW);
    } else if (dirtyEnd_ > dirtyBegin_) {
        glBufferSubData(target, GLintptr(dirtyBegin_), GLsizeiptr(dirtyEnd_ - dirtyBegin_),
                        memory_.get() + dirtyBegin_);
    }
    wholeDirty_ = false;
    dirtyBegin_ = dirtyEnd_ = 0;
    return gl_.Get();
}

uint32_t LargestIndex(const void* indices, UINT size, size_t count) {
    uint32_t largest = 0;
    const auto* p = static_cast<const uint8_t*>(indices);
    if (size == 4) {
        for (size_t i = 0; i < count; ++i) {
            uint32_t v;
            std::memcpy(&v, p + 4 * i, 4);
            largest = std::max(largest, v);
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, p + 2 * i, 2);
            largest = std::max<uint32_t>(largest, v);
        }
    }
    return largest;
}

// Vertex buffers

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device_(device), usage_(usage), fvf_(fvf), pool_(pool), store_(length) {
    device_->AddRef();
    device_->CountResource(pool_, 1);
}

VertexBuffer::~VertexBuffer() {
    if (device_->MakeCurrent()) store_.ReleaseGl();
    device_->CountResource(pool_, -1);
    device_->Release();
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    return store_.Lock(offset, size, data, flags);
}

HRESULT VertexBuffer::Unlock() { return store_.Unlock(); }

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = store_.Length();
    desc->FVF = fvf_;
    return D3D_OK;
}

// Index buffers

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool), store_(length) {
    device_->AddRef();
    device_->CountResource(pool_, 1);
}

IndexBuffer::~IndexBuffer() {
    if (device_->MakeCurrent()) store_.ReleaseGl();
    device_->CountResource(pool_, -1);
    device_->Release();
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

HRESULT IndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    return store_.Lock(offset, size, data, flags);
}

HRESULT IndexBuffer::Unlock() { return store_.Unlock(); }

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = store_.Length();
    return D3D_OK;
}

uint32_t IndexBuffer::MaxIndex() {
    if (maxVersion_ != store_.Version()) {
        max_ = LargestIndex(store_.Data(), IndexSize(), store_.Length() / IndexSize());
        maxVersion_ = store_.Version();
    }
    return max_;
}

VertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer9* buffer) { return dynamic_cast<VertexBuffer*>(buffer); }
IndexBuffer* AsIndexBuffer(IDirect3DIndexBuffer9* buffer) { return dynamic_cast<IndexBuffer*>(buffer); }

}  // namespace platform::d3d9
