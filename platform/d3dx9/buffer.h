// Helpers of the layer's ID3DXBuffer.
#pragma once

#include <d3dx9core.h>

#include <cstddef>

namespace platform::d3dx {

// A new buffer holding a copy of `size` bytes; `*out` is written only when it succeeds.
HRESULT CopyToBuffer(const void* bytes, size_t size, LPD3DXBUFFER* out);

}  // namespace platform::d3dx
