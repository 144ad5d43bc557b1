// PNG through libpng: every colour type and bit depth is expanded to 8-bit BGRA (palettes, low
// grey depths and tRNS expanded, 16-bit samples stripped to their high byte).
//
// libpng reports errors by longjmp. The functions that call setjmp own no object with a
// destructor and read no local changed after setjmp; the png structures and every buffer are
// owned by their callers, so an error unwinds nothing and leaks nothing.
#include "common/image_codecs.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace platform::image::detail {
namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0, pos = 0;
    char message[160] = "";

    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct PngHeader {
    uint32_t width = 0, height = 0;
    bool hasAlpha = false;
    unsigned fileBits = 0;
};

void ReadData(png_structp png, png_bytep out, size_t length) {
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > r->size - r->pos) png_error(png, "unexpected end of data");
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* r = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(r->message, sizeof r->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool ReadHeader(PngReader& r, PngHeader& header) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_set_user_limits(r.png, kMaxDimension, kMaxDimension);
    png_read_info(r.png, r.info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0;
    png_get_IHDR(r.png, r.info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    const bool trns = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;
    header.width = width;
    header.height = height;
    header.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || trns;
    header.fileBits = unsigned(png_get_channels(r.png, r.info)) * unsigned(depth);

    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
    if (trns) png_set_tRNS_to_alpha(r.png);
    if (depth == 16) png_set_strip_16(r.png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(r.png);
    if (!header.hasAlpha) png_set_add_alpha(r.png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(r.png);  // B, G, R, A bytes: the 0xAARRGGBB words themselves
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != size_t{width} * 4)
        png_error(r.png, "unexpected row layout after expansion");
    return true;
}

bool ReadRows(PngReader& r, png_bytep* rows) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_image(r.png, rows);
    png_read_end(r.png, nullptr);  // a file cut before IEND is damaged
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string& error) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        error = "bad signature";
        return false;
    }
    PngReader r;
    r.data = data;
    r.size = size;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, OnError, OnWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    if (!r.png || !r.info) {
        error = "out of memory";
        return false;
    }
    png_set_read_fn(r.png, &r, ReadData);

    PngHeader header;
    if (!ReadHeader(r, header)) {
        error = r.message;
        return false;
    }
    if (!CheckDimensions(header.width, header.height, error)) return false;

    // Rows are read straight into the pixel storage.
    out.pixels.resize(size_t{header.width} * header.height);
    std::vector<png_bytep> rows(header.height);
    for (uint32_t y = 0; y < header.height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(&out.pixels[size_t{y} * header.width]);
    if (!ReadRows(r, rows.data())) {
        error = r.message;
        return false;
    }
    out.width = header.width;
    out.height = header.height;
    out.hasAlpha = header.hasAlpha;
    out.source = Format::Png;
    out.bitsPerPixel = header.fileBits;
    return true;
}

}  // namespace platform::image::detail
