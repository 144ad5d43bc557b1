// PNG and JPEG decoding: images written here with libpng and libjpeg, read back through Decode.
#include "image_test_util.h"

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <jpeglib.h>

namespace {

using namespace imagetest;
using platform::image::Format;
using Sample = std::function<uint32_t(uint32_t x, uint32_t y, int channel)>;

// ---------------------------------------------------------------------------------------------
// PNG

struct PngSpec {
    uint32_t width = 13, height = 9;
    int colorType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // tRNS for palette images
    bool colorKey = false;               // tRNS for grey and RGB images: the sample at (0, 0)
};

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

void AppendToVector(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

bool WritePngRows(png_structp png, png_infop info, const PngSpec& s, png_bytep* rows,
                  std::vector<uint8_t>* out, const png_color_16* key) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendToVector, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), int(s.paletteAlpha.size()), nullptr);
    if (key) png_set_tRNS(png, info, nullptr, 0, key);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

std::vector<uint8_t> WritePng(const PngSpec& s, const Sample& sample) {
    const int channels = Channels(s.colorType);
    const size_t rowBytes = (size_t{s.width} * channels * s.depth + 7) / 8;
    std::vector<std::vector<png_byte>> data(s.height, std::vector<png_byte>(rowBytes, 0));
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x)
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = sample(x, y, c);
                const size_t bit = (size_t{x} * channels + c) * s.depth;
                if (s.depth == 16) {
                    data[y][bit / 8] = png_byte(v >> 8);
                    data[y][bit / 8 + 1] = png_byte(v);
                } else {
                    data[y][bit / 8] |= png_byte(v << (8 - s.depth - bit % 8));
                }
            }
    std::vector<png_bytep> rows;
    for (auto& r : data) rows.push_back(r.data());
    png_color_16 key{};
    if (s.colorKey) {
        key.gray = png_uint_16(sample(0, 0, 0));
        key.red = png_uint_16(sample(0, 0, 0));
        key.green = png_uint_16(channels > 1 ? sample(0, 0, 1) : 0);
        key.blue = png_uint_16(channels > 1 ? sample(0, 0, 2) : 0);
    }
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = WritePngRows(png, info, s, rows.data(), &out, s.colorKey ? &key : nullptr);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok) << "libpng could not write the test image";
    return out;
}

uint32_t To8(uint32_t v, int depth) { return depth == 16 ? v >> 8 : v * 255 / ((1u << depth) - 1); }

// Writes an image of random samples and computes the ARGB pixels it must decode to.
std::vector<uint8_t> RandomPng(const PngSpec& s, uint32_t seed, Image& expected) {
    const int channels = Channels(s.colorType);
    Random rng(seed);
    const uint32_t range = s.colorType == PNG_COLOR_TYPE_PALETTE ? uint32_t(s.palette.size()) : 1u << s.depth;
    std::vector<uint32_t> samples(size_t{s.width} * s.height * channels);
    for (uint32_t& v : samples) v = rng.Below(range);
    auto sample = [&](uint32_t x, uint32_t y, int c) { return samples[(size_t{y} * s.width + x) * channels + c]; };

    expected = MakeImage(s.width, s.height, std::vector<uint32_t>(size_t{s.width} * s.height));
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x) {
            uint32_t a = 255, r, g, b;
            if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
                const uint32_t i = sample(x, y, 0);
                r = s.palette[i].red, g = s.palette[i].green, b = s.palette[i].blue;
                if (i < s.paletteAlpha.size()) a = s.paletteAlpha[i];
            } else {
                const bool color = channels >= 3;
                r = To8(sample(x, y, 0), s.depth);
                g = color ? To8(sample(x, y, 1), s.depth) : r;
                b = color ? To8(sample(x, y, 2), s.depth) : r;
                if (channels == 2 || channels == 4) a = To8(sample(x, y, channels - 1), s.depth);
                bool keyed = s.colorKey;
                for (int c = 0; c < channels; ++c) keyed &= sample(x, y, c) == sample(0, 0, c);
                if (keyed) a = 0;
            }
            expected.at(x, y) = a << 24 | r << 16 | g << 8 | b;
        }
    expected.hasAlpha = (s.colorType & PNG_COLOR_MASK_ALPHA) || !s.paletteAlpha.empty() || s.colorKey;
    expected.bitsPerPixel = unsigned(channels * s.depth);
    return WritePng(s, sample);
}

std::vector<png_color> RandomPngPalette(size_t n, uint32_t seed) {
    Random rng(seed);
    std::vector<png_color> p(n);
    for (png_color& c : p) c = {png_byte(rng.Next()), png_byte(rng.Next()), png_byte(rng.Next())};
    return p;
}

std::vector<PngSpec> PngSpecs() {
    const std::pair<int, int> kinds[] = {
        {PNG_COLOR_TYPE_GRAY, 1},       {PNG_COLOR_TYPE_GRAY, 2},       {PNG_COLOR_TYPE_GRAY, 4},
        {PNG_COLOR_TYPE_GRAY, 8},       {PNG_COLOR_TYPE_GRAY, 16},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_RGB, 8},        {PNG_COLOR_TYPE_RGB, 16},
        {PNG_COLOR_TYPE_RGB_ALPHA, 8},  {PNG_COLOR_TYPE_RGB_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},
        {PNG_COLOR_TYPE_PALETTE, 2},    {PNG_COLOR_TYPE_PALETTE, 4},    {PNG_COLOR_TYPE_PALETTE, 8},
    };
    std::vector<PngSpec> specs;
    for (auto [type, depth] : kinds)
        for (bool interlace : {false, true})
            for (bool transparency : {false, true}) {
                if (transparency && (type & PNG_COLOR_MASK_ALPHA)) continue;
                PngSpec s;
                s.colorType = type;
                s.depth = depth;
                s.interlace = interlace;
                if (type == PNG_COLOR_TYPE_PALETTE) {
                    s.palette = RandomPngPalette(depth == 8 ? 200 : size_t{1} << depth, depth);
                    if (transparency)
                        for (size_t i = 0; i <= s.palette.size() / 2; ++i) s.paletteAlpha.push_back(png_byte(i * 37));
                } else {
                    s.colorKey = transparency;
                }
                specs.push_back(s);
            }
    return specs;
}

TEST(PngDecode, EveryColourTypeAndDepthMatchesTheSamplesWritten) {
    uint32_t seed = 1;
    for (PngSpec s : PngSpecs())
        for (auto size : {std::pair<uint32_t, uint32_t>{13, 9}, {1, 1}}) {
            s.width = size.first;
            s.height = size.second;
            SCOPED_TRACE(testing::Message() << "type " << s.colorType << " depth " << s.depth << " interlace "
                                            << s.interlace << " tRNS " << (s.colorKey || !s.paletteAlpha.empty())
                                            << " " << s.width << "x" << s.height);
            Image expected, image;
            const std::vector<uint8_t> file = RandomPng(s, seed++, expected);
            std::string error;
            ASSERT_TRUE(DecodeBytes(file, image, &error)) << error;
            EXPECT_TRUE(SamePixels(expected, image));
            EXPECT_EQ(image.hasAlpha, expected.hasAlpha);
            EXPECT_EQ(image.bitsPerPixel, expected.bitsPerPixel);
            EXPECT_EQ(image.source, Format::Png);
        }
}

TEST(PngDecode, EveryTruncationFails) {
    for (const PngSpec& s : PngSpecs()) {
        if (!(s.interlace && (s.depth == 16 || s.colorType == PNG_COLOR_TYPE_PALETTE))) continue;
        Image expected;
        EXPECT_TRUE(EveryTruncationFails(RandomPng(s, 7, expected))) << s.colorType << "/" << s.depth;
    }
}

// Rewrites a chunk's data and (unless told not to) its CRC.
void PatchChunk(std::vector<uint8_t>& png, const char* type, size_t offset, std::vector<uint8_t> bytes,
                bool fixCrc = true) {
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const size_t length = size_t(png[pos]) << 24 | size_t(png[pos + 1]) << 16 | size_t(png[pos + 2]) << 8 | png[pos + 3];
        if (std::memcmp(&png[pos + 4], type, 4) == 0) {
            std::copy(bytes.begin(), bytes.end(), png.begin() + long(pos + 8 + offset));
            if (fixCrc) {
                const uint32_t crc = uint32_t(crc32(0, &png[pos + 4], uInt(length + 4)));
                for (int i = 0; i < 4; ++i) png[pos + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
            }
            return;
        }
        pos += length + 12;
    }
    ADD_FAILURE() << "no " << type << " chunk";
}

std::vector<uint8_t> Be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

TEST(PngDecode, DamagedFilesFail) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.depth = 4;
    s.palette = RandomPngPalette(16, 3);
    Image expected, image;
    const std::vector<uint8_t> good = RandomPng(s, 5, expected);
    ASSERT_TRUE(DecodeBytes(good, image));

    struct Damage {
        const char* what;
        const char* chunk;
        size_t offset;
        std::vector<uint8_t> bytes;
        bool fixCrc;
    };
    const Damage damages[] = {
        {"width 0", "IHDR", 0, Be32(0), true},
        {"width 16385", "IHDR", 0, Be32(16385), true},
        {"height 16385", "IHDR", 4, Be32(16385), true},
        {"10000x10000", "IHDR", 0, {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10}, true},
        {"bit depth 3", "IHDR", 8, {3}, true},
        {"colour type 5", "IHDR", 9, {5}, true},
        {"IHDR CRC", "IHDR", 0, Be32(14), false},
        {"IDAT data", "IDAT", 4, {0x55, 0xAA, 0x55, 0xAA}, true},
        {"IDAT CRC", "IDAT", 2, {0x42}, false},
        {"no PLTE", "PLTE", size_t(-4), {'x'}, true},  // renamed to an unknown ancillary chunk
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = good;
        PatchChunk(bad, d.chunk, d.offset, d.bytes, d.fixCrc);
        std::string error;
        EXPECT_FALSE(DecodeBytes(bad, image, &error)) << d.what;
        EXPECT_NE(error.find("PNG"), std::string::npos) << d.what << ": " << error;
    }
    std::vector<uint8_t> bad = good;
    bad[1] = 'p';  // no longer a PNG signature, nor anything else
    EXPECT_FALSE(DecodeBytes(bad, image));
}

// ---------------------------------------------------------------------------------------------
// JPEG

struct JpegSpec {
    uint32_t width = 37, height = 21;
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_YCbCr;
    bool adobeMarker = true;  // only matters for CMYK
    bool progressive = false;
    bool fullChroma = true;
    int quality = 100;
};

bool CompressJpeg(jpeg_compress_struct& c, const JpegSpec& s, const std::vector<uint8_t>& samples) {
    c.image_width = s.width;
    c.image_height = s.height;
    c.input_components = s.input == JCS_GRAYSCALE ? 1 : s.input == JCS_CMYK ? 4 : 3;
    c.in_color_space = s.input;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, s.stored);
    c.write_Adobe_marker = s.adobeMarker ? TRUE : FALSE;
    jpeg_set_quality(&c, s.quality, TRUE);
    if (s.fullChroma)
        for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (s.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[size_t{c.next_scanline} * s.width * c.input_components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

std::vector<uint8_t> WriteJpeg(const JpegSpec& s, const Sample& sample) {
    const int components = s.input == JCS_GRAYSCALE ? 1 : s.input == JCS_CMYK ? 4 : 3;
    std::vector<uint8_t> samples;
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x)
            for (int c = 0; c < components; ++c) samples.push_back(uint8_t(sample(x, y, c)));
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);  // a failure here is a broken test: libjpeg exits loudly
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    CompressJpeg(c, s, samples);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// Smooth content, so that the codec's loss stays small and the tolerance can be tight.
uint32_t Smooth(uint32_t x, uint32_t y, int c) {
    return c == 0 ? x * 6 : c == 1 ? y * 11 : c == 2 ? 40 + (x + y) * 3 : 30 + x * 2 + y;
}

bool AllOpaque(const Image& image) {
    for (uint32_t p : image.pixels)
        if (p >> 24 != 0xFF) return false;
    return true;
}

TEST(JpegDecode, ColourGreyAndCmykMatchTheSamplesWritten) {
    struct Case {
        const char* name;
        JpegSpec spec;
        unsigned tolerance, bits;
        std::function<uint32_t(uint32_t, uint32_t)> expected;
    };
    auto rgb = [](uint32_t x, uint32_t y) {
        return 0xFF000000u | Smooth(x, y, 0) << 16 | Smooth(x, y, 1) << 8 | Smooth(x, y, 2);
    };
    auto grey = [](uint32_t x, uint32_t y) { return 0xFF000000u | Smooth(x, y, 0) * 0x010101u; };
    // Ink amounts per channel; R = 255 (1 - C)(1 - K) and so on.
    auto ink = [](uint32_t x, uint32_t y, int c) { return Smooth(x, y, c) / 2; };
    auto fromInk = [ink](uint32_t x, uint32_t y) {
        uint32_t p = 0xFF000000u;
        for (int c = 0; c < 3; ++c)
            p |= uint32_t(std::lround((255 - ink(x, y, c)) * (255 - ink(x, y, 3)) / 255.0)) << (16 - 8 * c);
        return p;
    };
    JpegSpec base, progressive, greySpec, cmykAdobe, cmykPlain;
    progressive.progressive = true;
    progressive.fullChroma = false;
    progressive.quality = 90;
    greySpec.input = greySpec.stored = JCS_GRAYSCALE;
    cmykAdobe.input = cmykAdobe.stored = JCS_CMYK;
    cmykPlain = cmykAdobe;
    cmykPlain.adobeMarker = false;
    const Case cases[] = {
        {"baseline 4:4:4", base, 3, 24, rgb},
        {"progressive 4:2:0", progressive, 8, 24, rgb},
        {"greyscale", greySpec, 2, 8, grey},
        {"CMYK, Adobe (inverted)", cmykAdobe, 4, 32, fromInk},
        {"CMYK, plain", cmykPlain, 4, 32, fromInk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool cmyk = c.spec.input == JCS_CMYK;
        const bool inverted = cmyk && c.spec.adobeMarker;
        const std::vector<uint8_t> file = WriteJpeg(c.spec, [&](uint32_t x, uint32_t y, int ch) {
            if (!cmyk) return Smooth(x, y, ch);
            return inverted ? 255 - ink(x, y, ch) : ink(x, y, ch);
        });
        Image expected = MakeImage(c.spec.width, c.spec.height, std::vector<uint32_t>(c.spec.width * c.spec.height));
        for (uint32_t y = 0; y < c.spec.height; ++y)
            for (uint32_t x = 0; x < c.spec.width; ++x) expected.at(x, y) = c.expected(x, y);
        Image image;
        std::string error;
        ASSERT_TRUE(DecodeBytes(file, image, &error)) << error;
        EXPECT_TRUE(SamePixels(expected, image, c.tolerance));
        EXPECT_TRUE(AllOpaque(image));
        EXPECT_FALSE(image.hasAlpha);
        EXPECT_EQ(image.bitsPerPixel, c.bits);
        EXPECT_EQ(image.source, Format::Jpeg);
    }
}

TEST(JpegDecode, DamagedFilesFailQuietly) {
    JpegSpec small;
    small.width = 19;
    small.height = 11;
    JpegSpec progressive = small;
    progressive.progressive = true;
    for (const JpegSpec& s : {small, progressive}) {
        const std::vector<uint8_t> file = WriteJpeg(s, Smooth);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(EveryTruncationFails(file)) << "progressive " << s.progressive;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }

    // The frame header (SOF0): FF C0, length, precision, height, width.
    const std::vector<uint8_t> good = WriteJpeg(small, Smooth);
    size_t sof = 2;
    while (sof + 1 < good.size() && !(good[sof] == 0xFF && good[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, good.size());
    struct Patch {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    const Patch patches[] = {
        {"height 0", sof + 5, {0, 0}},
        {"width 0", sof + 7, {0, 0}},
        {"width 20000", sof + 7, {0x4E, 0x20}},
        {"12-bit precision", sof + 4, {12}},
        {"unknown marker as frame", sof + 1, {0x01}},
        {"SOI only", 2, {0xFF, 0xD9}},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bad = good;
        std::copy(p.bytes.begin(), p.bytes.end(), bad.begin() + long(p.at));
        Image image;
        std::string error;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(DecodeBytes(bad, image, &error)) << p.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << p.what;
        EXPECT_NE(error.find("JPEG"), std::string::npos) << p.what << ": " << error;
    }
}

}  // namespace
