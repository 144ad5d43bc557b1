// Image codecs and pixel helpers shared by the texture, surface and bitmap loaders.
//
// Every decoder produces 8-bit ARGB pixels (0xAARRGGBB in a uint32_t), rows from top to bottom.
// Images without alpha in the file read as opaque (alpha 0xFF). Every size, offset and count read
// from a file is checked; a damaged file makes the call fail, it never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::image {

// Largest width or height accepted from a file, and the largest pixel count (256 MiB decoded).
constexpr uint32_t kMaxDimension = 16384;
constexpr uint64_t kMaxPixels = uint64_t{8192} * 8192;

enum class Format { Unknown, Bmp, Png, Jpeg };

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, width * height, rows top to bottom
    bool hasAlpha = false;         // the file carries alpha (or a colour key made pixels transparent)
    Format source = Format::Unknown;
    unsigned bitsPerPixel = 0;     // of the file: 1/4/8/16/24/32 for BMP, channels * depth for PNG

    bool empty() const { return pixels.empty(); }
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
    uint32_t& at(uint32_t x, uint32_t y) { return pixels[size_t{y} * width + x]; }
};

// The format told by the first bytes ("BM", the PNG signature, the JPEG SOI marker).
Format DetectFormat(const uint8_t* data, size_t size);

// Decodes a BMP, PNG or JPEG held in memory; the format is found from the content.
// On failure `out` is left empty and `error` (if given) says why.
bool Decode(const uint8_t* data, size_t size, Image& out, std::string* error = nullptr);
bool LoadFile(const std::string& nativePath, Image& out, std::string* error = nullptr);

// Writes a bottom-up BI_RGB bitmap (BITMAPFILEHEADER + BITMAPINFOHEADER) at 24 or 32 bits per
// pixel. At 32 bits the fourth byte holds the alpha when the image has alpha, 0 otherwise.
bool EncodeBmp(const Image& image, std::vector<uint8_t>& out, unsigned bitsPerPixel);
// Writes to a temporary file in the same folder and renames it into place: a failed save
// leaves neither a partial target nor the temporary file behind.
bool SaveBmpFile(const Image& image, const std::string& nativePath, unsigned bitsPerPixel,
                 std::string* error = nullptr);

enum class Filter {
    Point,     // nearest source pixel
    Linear,    // bilinear between the four nearest pixel centres
    Triangle,  // tent filter widened to the shrink factor: every covered pixel contributes
    Box,       // area average of the covered pixels: a 2x2 mean when halving
};

// Scales `src` to w x h; channels are filtered independently (straight, not premultiplied alpha).
// Returns an empty image when w or h is 0 or the source is empty.
Image Resize(const Image& src, uint32_t w, uint32_t h, Filter filter);

// Replaces every pixel equal to `key` (as A8R8G8B8, alpha read as 0xFF when the image has none)
// with transparent black. Returns the number of pixels replaced.
size_t ApplyColorKey(Image& image, uint32_t key);

// Smallest power of two >= n; 1 for 0, and 0 when the result does not fit in 32 bits.
uint32_t NextPowerOfTwo(uint32_t n);

}  // namespace platform::image
