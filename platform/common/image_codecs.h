// The decoders behind platform::image::Decode. Each one fills `out` and returns true, or sets
// `error` and returns false; the caller discards `out` on failure.
#pragma once

#include "common/image.h"

namespace platform::image::detail {

// The PNG and JPEG decoders write B, G, R, A bytes and take them as 0xAARRGGBB words.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are decoded as little-endian words");

bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error);

// Refuses empty and oversized images (see kMaxDimension and kMaxPixels).
bool CheckDimensions(uint64_t width, uint64_t height, std::string& error);

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace platform::image::detail
