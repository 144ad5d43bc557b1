// Builds the contents of an ID3DXBuffer that holds structures pointing into itself (materials
// with their texture names, effect instances with their defaults).
#pragma once

#include <d3dx9core.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace platform::d3dx9 {

class Blob {
public:
    // Room for `bytes` zero bytes at a multiple of `align`; returns where they start.
    size_t Reserve(size_t bytes, size_t align = alignof(void*)) {
        size_t at = (bytes_.size() + align - 1) / align * align;
        bytes_.resize(at + bytes, 0);
        return at;
    }
    size_t Add(const void* data, size_t bytes, size_t align = alignof(void*)) {
        const size_t at = Reserve(bytes, align);
        if (bytes) std::memcpy(bytes_.data() + at, data, bytes);
        return at;
    }
    size_t AddString(const std::string& s) { return Add(s.c_str(), s.size() + 1, 1); }
    template <class T>
    void Put(size_t at, const T& value) {
        std::memcpy(bytes_.data() + at, &value, sizeof value);
    }
    // The pointer at `slot` is to point at `target` in the finished buffer.
    void Link(size_t slot, size_t target) { links_.emplace_back(slot, target); }

    HRESULT Finish(LPD3DXBUFFER* out) const {
        *out = nullptr;
        if (bytes_.size() > 0xFFFFFFFFu) return E_OUTOFMEMORY;
        LPD3DXBUFFER buffer = nullptr;
        HRESULT hr = D3DXCreateBuffer(DWORD(bytes_.size()), &buffer);
        if (FAILED(hr)) return hr;
        auto* base = static_cast<uint8_t*>(buffer->GetBufferPointer());
        if (!bytes_.empty()) std::memcpy(base, bytes_.data(), bytes_.size());
        for (const auto& link : links_) {
            void* target = base + link.second;
            std::memcpy(base + link.first, &target, sizeof target);
        }
        *out = buffer;
        return D3D_OK;
    }

private:
    std::vector<uint8_t> bytes_;
    std::vector<std::pair<size_t, size_t>> links_;
};

}  // namespace platform::d3dx9
