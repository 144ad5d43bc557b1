// JPEG through libjpeg. Fatal errors longjmp back to the decoder instead of ending the process,
// warnings are kept quiet, and a file cut short (which libjpeg would pad with grey) is refused.
// Greyscale, RGB/YCbCr and CMYK/YCCK files are read; the result is always opaque.
//
// As for PNG, the functions that call setjmp own no object with a destructor; the decompressor
// and the buffers belong to the caller.
#include "common/image_codecs.h"

#include <cstdio>  // jpeglib.h needs FILE
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

namespace platform::image::detail {
namespace {

// More scans than any sane progressive file has; crafted files with thousands of empty scans
// would otherwise take minutes to decode.
constexpr long kMaxScans = 500;
constexpr long kMaxDecoderMemory = 512L << 20;

struct JpegReader {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool truncated = false;
    char message[JMSG_LENGTH_MAX] = "";

    JpegReader() {
        std::memset(&cinfo, 0, sizeof cinfo);
        std::memset(&progress, 0, sizeof progress);
    }
    ~JpegReader() { jpeg_destroy_decompress(&cinfo); }  // safe on a zeroed or partly built struct
};

JpegReader& ReaderOf(j_common_ptr cinfo) { return *static_cast<JpegReader*>(cinfo->client_data); }

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
    JpegReader& r = ReaderOf(cinfo);
    cinfo->err->format_message(cinfo, r.message);
    std::longjmp(r.jump, 1);
}

void OnEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    cinfo->err->num_warnings++;
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) ReaderOf(cinfo).truncated = true;
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegReader& r = ReaderOf(cinfo);
        std::snprintf(r.message, sizeof r.message, "too many scans");
        std::longjmp(r.jump, 1);
    }
}

bool Start(JpegReader& r, const uint8_t* data, size_t size, std::string& error) {
    if (setjmp(r.jump)) return false;
    jpeg_create_decompress(&r.cinfo);
    r.cinfo.client_data = &r;
    r.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    r.progress.progress_monitor = OnProgress;
    r.cinfo.progress = &r.progress;
    jpeg_mem_src(&r.cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&r.cinfo, TRUE);
    if (r.truncated) {
        std::snprintf(r.message, sizeof r.message, "premature end of data");
        return false;
    }
    if (!CheckDimensions(r.cinfo.image_width, r.cinfo.image_height, error)) return false;
    switch (r.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        r.cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_RGB:
    case JCS_YCbCr:
        r.cinfo.out_color_space = JCS_EXT_BGRA;  // 0xFFRRGGBB words as they are
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        r.cinfo.out_color_space = JCS_CMYK;
        break;
    default:
        std::snprintf(r.message, sizeof r.message, "unsupported colour space");
        return false;
    }
    r.cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&r.cinfo);
    const J_COLOR_SPACE space = r.cinfo.out_color_space;
    const int expected = space == JCS_GRAYSCALE ? 1 : 4;
    if (r.cinfo.output_components != expected) {
        std::snprintf(r.message, sizeof r.message, "unexpected component count");
        return false;
    }
    return true;
}

// CMYK from Adobe applications is stored inverted (0 = full ink); others store plain ink.
uint32_t FromCmyk(const uint8_t* p, bool inverted) {
    uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    return Argb(0xFF, (c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
}

bool ReadLines(JpegReader& r, uint8_t* row, uint32_t* pixels) {
    if (setjmp(r.jump)) return false;
    const uint32_t width = r.cinfo.output_width;
    const int components = r.cinfo.output_components;
    const bool inverted = r.cinfo.saw_Adobe_marker != 0;
    const bool bgra = r.cinfo.out_color_space == JCS_EXT_BGRA;  // decoded straight into the pixels
    while (r.cinfo.output_scanline < r.cinfo.output_height) {
        uint32_t* dst = pixels + size_t{r.cinfo.output_scanline} * width;
        JSAMPROW rows[1] = {bgra ? reinterpret_cast<JSAMPROW>(dst) : row};
        if (jpeg_read_scanlines(&r.cinfo, rows, 1) != 1) {
            std::snprintf(r.message, sizeof r.message, "no scan line returned");
            return false;
        }
        if (bgra) continue;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* s = row + size_t{x} * components;
            dst[x] = components == 1 ? Argb(0xFF, s[0], s[0], s[0]) : FromCmyk(s, inverted);
        }
    }
    jpeg_finish_decompress(&r.cinfo);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
        error = "bad signature";
        return false;
    }
    JpegReader r;
    r.cinfo.err = jpeg_std_error(&r.err);
    r.err.error_exit = OnErrorExit;
    r.err.emit_message = OnEmitMessage;
    r.err.output_message = OnOutputMessage;
    r.cinfo.client_data = &r;  // jpeg_create_decompress keeps err and client_data

    if (!Start(r, data, size, error)) {
        if (error.empty()) error = r.message;
        return false;
    }
    const uint32_t width = r.cinfo.output_width, height = r.cinfo.output_height;
    out.pixels.resize(size_t{width} * height);
    std::vector<uint8_t> row(size_t{width} * r.cinfo.output_components);
    if (!ReadLines(r, row.data(), out.pixels.data()) || r.truncated) {
        error = r.truncated ? "premature end of data" : r.message;
        return false;
    }
    out.width = width;
    out.height = height;
    out.hasAlpha = false;
    out.source = Format::Jpeg;
    out.bitsPerPixel = unsigned(r.cinfo.num_components) * 8;
    return true;
}

}  // namespace platform::image::detail
