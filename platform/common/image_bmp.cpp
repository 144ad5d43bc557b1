// BMP reader and writer. Reads BITMAPCOREHEADER (12), BITMAPINFOHEADER (40), its V2/V3
// extensions (52/56), BITMAPV4HEADER (108) and BITMAPV5HEADER (124) files: 1/4/8-bit palettised,
// RLE8 and RLE4, 16-bit (5-5-5 or bit fields), 24-bit and 32-bit (BI_RGB or bit fields).
#include "common/image_codecs.h"

#include <algorithm>

namespace platform::image::detail {
namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    unsigned shift = 0, bits = 0;

    // Masks must be one run of contiguous bits inside the pixel.
    bool Set(uint32_t m, unsigned bitsPerPixel) {
        mask = m;
        shift = bits = 0;
        if (m == 0) return true;
        if (bitsPerPixel < 32 && (m >> bitsPerPixel) != 0) return false;
        while (((m >> shift) & 1) == 0) ++shift;
        const uint32_t run = m >> shift;
        if ((run & (run + 1)) != 0) return false;
        while (bits < 32 && ((run >> bits) & 1)) ++bits;
        return true;
    }
    uint32_t Get(uint32_t pixel, uint32_t absent) const {
        if (mask == 0) return absent;
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return v >> (bits - 8);
        const uint32_t max = (1u << bits) - 1;
        return (v * 255 + max / 2) / max;
    }
};

struct BmpInfo {
    uint32_t headerSize = 0;
    uint32_t width = 0, height = 0;
    bool topDown = false;
    unsigned bitsPerPixel = 0;
    uint32_t compression = kBiRgb;
    uint32_t sizeImage = 0;
    uint32_t pixelOffset = 0;
    Channel red, green, blue, alpha;
    std::vector<uint32_t> palette;
};

bool Fail(std::string& error, const char* what) {
    error = what;
    return false;
}

bool ParseHeaders(const uint8_t* d, size_t n, BmpInfo& info, std::string& error) {
    if (n < kFileHeaderSize + 4 || d[0] != 'B' || d[1] != 'M') return Fail(error, "not a bitmap file");
    info.pixelOffset = U32(d + 10);
    info.headerSize = U32(d + kFileHeaderSize);
    const uint32_t hs = info.headerSize;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        return Fail(error, "unsupported info header size");
    if (n - kFileHeaderSize < hs) return Fail(error, "truncated info header");
    const uint8_t* h = d + kFileHeaderSize;

    const bool core = hs == 12;
    int64_t width, height;
    unsigned planes;
    uint32_t colorsUsed = 0;
    if (core) {
        width = U16(h + 4);
        height = U16(h + 6);
        planes = U16(h + 8);
        info.bitsPerPixel = U16(h + 10);
    } else {
        width = int32_t(U32(h + 4));
        height = int32_t(U32(h + 8));
        planes = U16(h + 12);
        info.bitsPerPixel = U16(h + 14);
        info.compression = U32(h + 16);
        info.sizeImage = U32(h + 20);
        colorsUsed = U32(h + 32);
    }
    if (planes != 1) return Fail(error, "plane count is not 1");
    info.topDown = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height == 0) return Fail(error, "empty image");
    if (!CheckDimensions(uint64_t(width), uint64_t(height), error)) return false;
    info.width = uint32_t(width);
    info.height = uint32_t(height);

    const unsigned bpp = info.bitsPerPixel;
    switch (info.compression) {
    case kBiRgb:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && !(!core && (bpp == 16 || bpp == 32)))
            return Fail(error, "unsupported bit count");
        break;
    case kBiRle8:
    case kBiRle4:
        if (bpp != (info.compression == kBiRle8 ? 8u : 4u))
            return Fail(error, "RLE bit count mismatch");
        if (info.topDown) return Fail(error, "RLE bitmaps cannot be top-down");
        break;
    case kBiBitfields:
        if (bpp != 16 && bpp != 32) return Fail(error, "bit fields need 16 or 32 bits per pixel");
        break;
    default:
        return Fail(error, "unsupported compression");
    }

    // Bit-field masks follow a 40-byte header; later headers hold them (and alpha) inside.
    size_t tableStart = kFileHeaderSize + hs;
    if (info.compression == kBiBitfields) {
        const uint8_t* masks = h + kInfoHeaderSize;
        if (hs == kInfoHeaderSize) {
            if (n - tableStart < 12) return Fail(error, "truncated bit-field masks");
            tableStart += 12;
        }
        const uint32_t alphaMask = hs >= 56 ? U32(masks + 12) : 0;
        if (!info.red.Set(U32(masks), bpp) || !info.green.Set(U32(masks + 4), bpp) ||
            !info.blue.Set(U32(masks + 8), bpp) || !info.alpha.Set(alphaMask, bpp))
            return Fail(error, "invalid bit-field mask");
    } else if (bpp == 16) {
        info.red.Set(0x7C00, 16);
        info.green.Set(0x03E0, 16);
        info.blue.Set(0x001F, 16);
    }

    if (bpp <= 8) {
        const uint32_t maxColors = 1u << bpp;
        const uint32_t count = colorsUsed == 0 ? maxColors : std::min(colorsUsed, maxColors);
        const size_t entrySize = core ? 3 : 4;
        const size_t tableSize = size_t{count} * entrySize;
        if (tableStart > n || n - tableStart < tableSize) return Fail(error, "truncated colour table");
        if (info.pixelOffset < tableStart + tableSize) return Fail(error, "pixel data overlaps the headers");
        info.palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = d + tableStart + i * entrySize;  // blue, green, red
            info.palette[i] = Argb(0xFF, e[2], e[1], e[0]);
        }
    } else if (info.pixelOffset < tableStart) {
        return Fail(error, "pixel data overlaps the headers");
    }
    if (info.pixelOffset >= n) return Fail(error, "pixel data beyond the end of the file");
    return true;
}

bool ReadIndexed(const BmpInfo& info, uint32_t index, uint32_t& pixel) {
    if (index >= info.palette.size()) return false;
    pixel = info.palette[index];
    return true;
}

bool DecodeUncompressed(const uint8_t* d, size_t n, const BmpInfo& info, Image& out,
                        std::string& error) {
    const unsigned bpp = info.bitsPerPixel;
    const uint64_t stride = ((uint64_t{info.width} * bpp + 31) / 32) * 4;
    if (stride * info.height > n - info.pixelOffset)
        return Fail(error, "pixel data beyond the end of the file");

    const bool rgb32 = bpp == 32 && info.compression == kBiRgb;
    bool alphaSeen = false;
    out.pixels.resize(size_t{info.width} * info.height);
    for (uint32_t r = 0; r < info.height; ++r) {
        const uint8_t* row = d + info.pixelOffset + r * stride;
        uint32_t* dst = &out.at(0, info.topDown ? r : info.height - 1 - r);
        for (uint32_t x = 0; x < info.width; ++x) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const uint32_t bit = x * bpp;  // left-most pixel in the high bits
                const uint32_t shift = 8 - bpp - bit % 8;
                const uint32_t index = (row[bit / 8] >> shift) & ((1u << bpp) - 1);
                if (!ReadIndexed(info, index, dst[x])) return Fail(error, "colour index beyond the palette");
                break;
            }
            case 24:
                dst[x] = Argb(0xFF, row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            default: {
                const uint32_t v = bpp == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
                if (rgb32) {
                    alphaSeen |= row[4 * x + 3] != 0;
                    dst[x] = v;
                } else {
                    dst[x] = Argb(info.alpha.Get(v, 0xFF), info.red.Get(v, 0), info.green.Get(v, 0),
                                  info.blue.Get(v, 0));
                }
            }
            }
        }
    }
    // A 32-bit BI_RGB file whose fourth bytes are all zero is opaque: most writers leave that
    // byte "reserved" at 0, and reading it as alpha would make the image invisible.
    if (rgb32 && !alphaSeen)
        for (uint32_t& p : out.pixels) p |= 0xFF000000u;
    out.hasAlpha = rgb32 ? alphaSeen : info.alpha.mask != 0;
    return true;
}

// RLE8/RLE4: runs of one index (two alternating indices for RLE4), escapes for end of line,
// end of bitmap, delta moves and absolute runs. Runs past the right edge are clipped; pixels
// the stream skips keep palette entry 0. The stream must end with an end-of-bitmap escape.
bool DecodeRle(const uint8_t* d, size_t n, const BmpInfo& info, Image& out, std::string& error) {
    const bool rle4 = info.compression == kBiRle4;
    const uint8_t* data = d + info.pixelOffset;
    size_t len = n - info.pixelOffset;
    if (info.sizeImage != 0) len = std::min<size_t>(len, info.sizeImage);

    const uint32_t w = info.width, h = info.height;
    out.pixels.assign(size_t{w} * h, info.palette[0]);
    uint32_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (index >= info.palette.size()) return false;
        if (x < w) out.at(x++, h - 1 - y) = info.palette[index];
        return true;
    };
    size_t pos = 0;
    for (;;) {
        if (len - pos < 2) return Fail(error, "RLE data ends before the end-of-bitmap mark");
        const uint32_t a = data[pos], b = data[pos + 1];
        pos += 2;
        if (a != 0) {
            if (y >= h) return Fail(error, "RLE run above the last row");
            for (uint32_t i = 0; i < a; ++i)
                if (!put(rle4 ? (i & 1 ? b & 15 : b >> 4) : b))
                    return Fail(error, "colour index beyond the palette");
            continue;
        }
        switch (b) {
        case 0:  // end of line
            if (y >= h) return Fail(error, "RLE end of line above the last row");
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            out.hasAlpha = false;
            return true;
        case 2:  // delta
            if (len - pos < 2) return Fail(error, "truncated RLE delta");
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            if (x > w || y > h) return Fail(error, "RLE delta moves outside the image");
            break;
        default: {  // absolute run of b indices, padded to a 16-bit boundary
            size_t bytes = rle4 ? (b + 1) / 2 : b;
            bytes += bytes & 1;
            if (len - pos < bytes) return Fail(error, "RLE absolute run beyond the data");
            if (y >= h) return Fail(error, "RLE run above the last row");
            for (uint32_t i = 0; i < b; ++i) {
                const uint32_t byte = data[pos + (rle4 ? i / 2 : i)];
                if (!put(rle4 ? (i & 1 ? byte & 15 : byte >> 4) : byte))
                    return Fail(error, "colour index beyond the palette");
            }
            pos += bytes;
        }
        }
    }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error) {
    BmpInfo info;
    if (!ParseHeaders(data, size, info, error)) return false;
    out.width = info.width;
    out.height = info.height;
    out.source = Format::Bmp;
    out.bitsPerPixel = info.bitsPerPixel;
    if (info.compression == kBiRle8 || info.compression == kBiRle4)
        return DecodeRle(data, size, info, out, error);
    return DecodeUncompressed(data, size, info, out, error);
}

}  // namespace platform::image::detail

namespace platform::image {

bool EncodeBmp(const Image& image, std::vector<uint8_t>& out, unsigned bitsPerPixel) {
    using detail::Put16;
    using detail::Put32;
    if (bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    const uint32_t w = image.width, h = image.height;
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF ||
        image.pixels.size() != uint64_t{w} * h)
        return false;
    const uint64_t stride = ((uint64_t{w} * bitsPerPixel + 31) / 32) * 4;
    const uint64_t headers = detail::kFileHeaderSize + detail::kInfoHeaderSize;
    const uint64_t imageSize = stride * h;
    if (headers + imageSize > 0xFFFFFFFFu) return false;

    std::vector<uint8_t> file;
    file.reserve(size_t(headers + imageSize));
    file.push_back('B');
    file.push_back('M');
    Put32(file, uint32_t(headers + imageSize));  // bfSize
    Put32(file, 0);                               // bfReserved1, bfReserved2
    Put32(file, uint32_t(headers));               // bfOffBits
    Put32(file, detail::kInfoHeaderSize);
    Put32(file, w);
    Put32(file, h);  // positive: bottom-up
    Put16(file, 1);  // planes
    Put16(file, bitsPerPixel);
    Put32(file, detail::kBiRgb);
    Put32(file, uint32_t(imageSize));
    Put32(file, 2835);  // 72 dpi
    Put32(file, 2835);
    Put32(file, 0);  // colours used
    Put32(file, 0);  // colours important

    const size_t pad = size_t(stride - uint64_t{w} * (bitsPerPixel / 8));
    for (uint32_t r = 0; r < h; ++r) {
        const uint32_t* src = &image.pixels[size_t{h - 1 - r} * w];
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = src[x];
            file.push_back(uint8_t(p));
            file.push_back(uint8_t(p >> 8));
            file.push_back(uint8_t(p >> 16));
            if (bitsPerPixel == 32) file.push_back(image.hasAlpha ? uint8_t(p >> 24) : 0);
        }
        file.insert(file.end(), pad, 0);
    }
    out = std::move(file);
    return true;
}

}  // namespace platform::image
