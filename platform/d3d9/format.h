// Pixel formats of textures and surfaces: sizes and conversions to and from 0xAARRGGBB.
#pragma once

#include <d3d9.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace platform::d3d9 {

// Bytes per pixel of a colour format this layer stores, 0 when it stores none.
UINT BytesPerPixel(D3DFORMAT format);

// True for the formats textures and plain surfaces can have.
inline bool IsColorFormat(D3DFORMAT format) { return BytesPerPixel(format) != 0; }

// Converts `count` pixels of `format` to 0xAARRGGBB. Channels the format lacks read as 1 (0xFF),
// except the colour of A8, which reads 0.
void ToArgb(D3DFORMAT format, const void* src, uint32_t* dst, size_t count);

// Converts `count` pixels from 0xAARRGGBB to `format`, rounding each channel to its width.
void FromArgb(D3DFORMAT format, const uint32_t* src, void* dst, size_t count);

// Memory of one image: a level of a texture or a plain surface, rows top first.
struct ImageStore {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0, height = 0;
    UINT pitch = 0;  // bytes per row
    uint8_t* bits = nullptr;

    uint8_t* Row(UINT y) const { return bits + size_t(y) * pitch; }
    // Reads a rectangle as 0xAARRGGBB, `dstPitch` pixels apart.
    void Read(const RECT& r, uint32_t* dst, size_t dstPitch) const;
    // Writes a rectangle given as 0xAARRGGBB, `srcPitch` pixels apart.
    void Write(const RECT& r, const uint32_t* src, size_t srcPitch);
};

// Rows of a `width`-pixel image that go at a time when pixels pass through memory in bands, so that
// no copy of a whole image is made.
inline size_t BandRows(size_t width) { return std::max<size_t>(1, (size_t(1) << 16) / width); }

// True when `r` is a non-empty rectangle inside a width x height image.
inline bool RectInside(const RECT& r, UINT width, UINT height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= LONG(width) && r.bottom <= LONG(height);
}

}  // namespace platform::d3d9
