// BMP decoding: files built byte by byte here, in every layout the reader accepts, and damaged.
#include "image_test_util.h"

#include <cmath>
#include <functional>

namespace {

using namespace imagetest;
using platform::image::Format;

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
void Poke16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void Poke32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    Poke16(v, at, x & 0xFFFF);
    Poke16(v, at + 2, x >> 16);
}

struct BmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 0, height = 0;  // negative height: top-down
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    uint32_t sizeImage = 0;
    std::vector<uint32_t> masks;    // after a 40-byte header, inside larger ones
    std::vector<uint32_t> palette;  // 0xRRGGBB
    uint32_t gap = 0;               // filler between the colour table and the pixels
    std::vector<uint8_t> pixels;    // as stored
};

std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
    std::vector<uint8_t> info;
    Put32(info, s.headerSize);
    if (s.headerSize == 12) {
        Put16(info, uint32_t(s.width));
        Put16(info, uint32_t(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
    } else {
        Put32(info, uint32_t(s.width));
        Put32(info, uint32_t(s.height));
        Put16(info, 1);
        Put16(info, s.bpp);
        Put32(info, s.compression);
        Put32(info, s.sizeImage);
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, s.colorsUsed);
        Put32(info, 0);
        for (size_t i = 0; info.size() < s.headerSize; ++i)
            Put32(info, i < s.masks.size() ? s.masks[i] : i == 4 ? 0x73524742u /* 'sRGB' */ : 0);
        if (s.headerSize == 40)
            for (uint32_t m : s.masks) Put32(info, m);
    }
    for (uint32_t c : s.palette) {
        info.push_back(uint8_t(c));
        info.push_back(uint8_t(c >> 8));
        info.push_back(uint8_t(c >> 16));
        if (s.headerSize != 12) info.push_back(0);
    }
    info.insert(info.end(), s.gap, 0xEE);
    std::vector<uint8_t> file = {'B', 'M'};
    Put32(file, uint32_t(14 + info.size() + s.pixels.size()));
    Put32(file, 0);
    Put32(file, uint32_t(14 + info.size()));
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

// Stores `raw(x, y)` (y from the top) as the file does: rows padded to 4 bytes with junk,
// bottom row first unless top-down, sub-byte pixels from the high bits, bytes little-endian.
std::vector<uint8_t> PackRows(uint32_t w, uint32_t h, unsigned bpp, bool topDown,
                              const std::function<uint32_t(uint32_t, uint32_t)>& raw) {
    const size_t stride = (w * bpp + 31) / 32 * 4, used = (w * bpp + 7) / 8;
    std::vector<uint8_t> out;
    for (uint32_t r = 0; r < h; ++r) {
        std::vector<uint8_t> row(stride, 0xA5);
        std::fill(row.begin(), row.begin() + long(used), 0);
        const uint32_t y = topDown ? r : h - 1 - r;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t v = raw(x, y);
            if (bpp < 8)
                row[x * bpp / 8] |= uint8_t(v << (8 - bpp - x * bpp % 8));
            else
                for (unsigned b = 0; b < bpp / 8; ++b) row[x * bpp / 8 + b] = uint8_t(v >> (8 * b));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

uint32_t Expand(uint32_t v, unsigned bits) {
    return bits >= 8 ? v >> (bits - 8) : uint32_t(std::lround(v * 255.0 / ((1u << bits) - 1)));
}

struct BmpCase {
    std::string name;
    std::vector<uint8_t> file;
    Image expected;
};

std::vector<uint32_t> RandomPalette(size_t n, uint32_t seed) {
    Random rng(seed);
    std::vector<uint32_t> p(n);
    for (uint32_t& c : p) c = rng.Next() & 0xFFFFFF;
    return p;
}

std::vector<BmpCase> ValidCases() {
    std::vector<BmpCase> cases;
    const uint32_t widths[] = {1, 3, 6, 9, 13};
    for (uint32_t w : widths)
        for (bool topDown : {false, true}) {
            const uint32_t h = 3;
            const std::string tag = "_w" + std::to_string(w) + (topDown ? "_topdown" : "_bottomup");
            const int32_t hh = topDown ? -int32_t(h) : int32_t(h);
            auto add = [&](std::string name, BmpSpec s, std::function<uint32_t(uint32_t, uint32_t)> expect,
                           bool alpha = false) {
                Image e = MakeImage(w, h, std::vector<uint32_t>(w * h), alpha);
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x) e.at(x, y) = expect(x, y);
                e.bitsPerPixel = s.bpp;
                s.width = int32_t(w);
                s.height = s.headerSize == 12 ? int32_t(h) : hh;
                cases.push_back({name + tag, BuildBmp(s), e});
            };
            Random rng(w * 7 + topDown);
            std::vector<uint32_t> noise(w * h * 4);
            for (uint32_t& n : noise) n = rng.Next();
            auto rnd = [&noise, w](uint32_t x, uint32_t y) { return noise[y * w + x]; };

            // Palettised: full tables, short tables (biClrUsed), the core header's RGB triples.
            for (unsigned bpp : {1u, 4u, 8u})
                for (uint32_t used : {0u, 3u})
                    for (uint32_t header : {40u, 12u}) {
                        if (header == 12 && (used || topDown)) continue;
                        const size_t n = used ? used : 1u << bpp;
                        if (n > (1u << bpp)) continue;
                        BmpSpec s;
                        s.headerSize = header;
                        s.bpp = uint16_t(bpp);
                        s.colorsUsed = used;
                        s.palette = RandomPalette(n, bpp + used);
                        s.gap = 6;
                        auto index = [&](uint32_t x, uint32_t y) { return rnd(x, y) % uint32_t(n); };
                        s.pixels = PackRows(w, h, bpp, topDown && header != 12, index);
                        const auto pal = s.palette;
                        add("pal" + std::to_string(bpp) + "_used" + std::to_string(used) + "_hdr" +
                                std::to_string(header),
                            s, [&, pal](uint32_t x, uint32_t y) { return 0xFF000000u | pal[index(x, y)]; });
                    }
            // 24-bit under every header size.
            for (uint32_t header : {12u, 40u, 108u, 124u}) {
                if (header == 12 && topDown) continue;
                BmpSpec s;
                s.headerSize = header;
                s.pixels = PackRows(w, h, 24, topDown && header != 12, [&](uint32_t x, uint32_t y) { return rnd(x, y); });
                add("rgb24_hdr" + std::to_string(header), s,
                    [&](uint32_t x, uint32_t y) { return 0xFF000000u | (rnd(x, y) & 0xFFFFFF); });
            }
            // 16-bit 5-5-5 (BI_RGB), 5-6-5 bit fields, and 4-4-4-4 with an alpha mask (V4).
            {
                BmpSpec s;
                s.bpp = 16;
                s.pixels = PackRows(w, h, 16, topDown, rnd);
                add("rgb555", s, [&](uint32_t x, uint32_t y) {
                    const uint32_t v = rnd(x, y);
                    return 0xFF000000u | Expand(v >> 10 & 31, 5) << 16 | Expand(v >> 5 & 31, 5) << 8 | Expand(v & 31, 5);
                });
                s.compression = 3;
                s.masks = {0xF800, 0x07E0, 0x001F};
                add("bitfields565", s, [&](uint32_t x, uint32_t y) {
                    const uint32_t v = rnd(x, y);
                    return 0xFF000000u | Expand(v >> 11 & 31, 5) << 16 | Expand(v >> 5 & 63, 6) << 8 | Expand(v & 31, 5);
                });
                s.headerSize = 108;
                s.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
                add("v4_argb4444", s, [&](uint32_t x, uint32_t y) {
                    const uint32_t v = rnd(x, y);
                    return Expand(v >> 12 & 15, 4) << 24 | Expand(v >> 8 & 15, 4) << 16 | Expand(v >> 4 & 15, 4) << 8 |
                           Expand(v & 15, 4);
                }, true);
            }
            // 32-bit BI_RGB: an all-zero fourth byte means opaque; otherwise it is alpha.
            {
                BmpSpec s;
                s.bpp = 32;
                s.pixels = PackRows(w, h, 32, topDown, [&](uint32_t x, uint32_t y) { return rnd(x, y) & 0xFFFFFF; });
                add("rgb32_reserved_zero", s, [&](uint32_t x, uint32_t y) { return 0xFF000000u | (rnd(x, y) & 0xFFFFFF); });
                s.headerSize = 124;
                auto withAlpha = [&](uint32_t x, uint32_t y) { return x == 0 && y == 0 ? 0x01000000u : rnd(x, y); };
                s.pixels = PackRows(w, h, 32, topDown, withAlpha);
                add("v5_rgb32_alpha", s, withAlpha, true);
            }
            // 32-bit bit fields: swapped channels without alpha, 10-10-10, and V5 with alpha.
            {
                BmpSpec s;
                s.bpp = 32;
                s.compression = 3;
                s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
                s.pixels = PackRows(w, h, 32, topDown, rnd);
                add("bitfields_bgr", s, [&](uint32_t x, uint32_t y) {
                    const uint32_t v = rnd(x, y);
                    return 0xFF000000u | (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
                });
                s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
                add("bitfields_101010", s, [&](uint32_t x, uint32_t y) {
                    const uint32_t v = rnd(x, y);
                    return 0xFF000000u | (v >> 22 & 0xFF) << 16 | (v >> 12 & 0xFF) << 8 | (v >> 2 & 0xFF);
                });
                s.headerSize = 124;
                s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
                add("v5_bitfields_argb", s, rnd, true);
            }
        }
    return cases;
}

// A 6x4 RLE8 image using encoded runs, absolute runs (odd and even), clipping, a delta and
// end-of-bitmap before the last row is complete.
BmpCase Rle8Case() {
    BmpSpec s;
    s.bpp = 8;
    s.compression = 1;
    s.width = 6;
    s.height = 4;
    s.colorsUsed = 6;
    s.palette = RandomPalette(6, 88);
    s.pixels = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0,   // row 0: 1 1 1, absolute 2 3 4 (+pad), EOL
                0, 4, 4, 3, 2, 1, 8, 2, 0, 0,   // row 1: absolute 4 3 2 1, run of 8 clipped to 2
                0, 2, 2, 1,                     // delta: right 2, up 1
                2, 5, 0, 1};                    // row 3: 5 5 at x = 2, end of bitmap
    const uint8_t rows[4][6] = {{0, 0, 5, 5, 0, 0}, {0, 0, 0, 0, 0, 0}, {4, 3, 2, 1, 2, 2}, {1, 1, 1, 2, 3, 4}};
    Image e = MakeImage(6, 4, std::vector<uint32_t>(24));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x) e.at(x, y) = 0xFF000000u | s.palette[rows[y][x]];
    e.bitsPerPixel = 8;
    return {"rle8", BuildBmp(s), e};
}

// A 6x3 RLE4 image: alternating-nibble runs, odd absolute runs with padding, clipping, a delta,
// and an end of line after the last row before end-of-bitmap.
BmpCase Rle4Case() {
    BmpSpec s;
    s.bpp = 4;
    s.compression = 2;
    s.width = 6;
    s.height = 3;
    s.palette = RandomPalette(16, 44);
    s.pixels = {5, 0x12, 0, 5, 0x54, 0x32, 0x10, 0, 0, 0,   // row 0: 1 2 1 2 1, absolute 5 4 3 2 1 clipped to 5
                0, 3, 0x67, 0x80, 3, 0x9A, 0, 0,            // row 1: absolute 6 7 8, run 9 A 9
                0, 2, 1, 0, 4, 0xBB, 0, 0,                  // row 2: delta right 1, run of B x4
                0, 1};
    const uint8_t rows[3][6] = {{0, 11, 11, 11, 11, 0}, {6, 7, 8, 9, 10, 9}, {1, 2, 1, 2, 1, 5}};
    Image e = MakeImage(6, 3, std::vector<uint32_t>(18));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 6; ++x) e.at(x, y) = 0xFF000000u | s.palette[rows[y][x]];
    e.bitsPerPixel = 4;
    return {"rle4", BuildBmp(s), e};
}

std::vector<BmpCase> AllValidCases() {
    std::vector<BmpCase> cases = ValidCases();
    cases.push_back(Rle8Case());
    cases.push_back(Rle4Case());
    return cases;
}

TEST(BmpDecode, EveryLayoutMatchesTheBytesWritten) {
    const auto cases = AllValidCases();
    ASSERT_GT(cases.size(), 150u);
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        std::string error;
        ASSERT_TRUE(DecodeBytes(c.file, image, &error)) << error;
        EXPECT_TRUE(SamePixels(c.expected, image));
        EXPECT_EQ(image.hasAlpha, c.expected.hasAlpha);
        EXPECT_EQ(image.bitsPerPixel, c.expected.bitsPerPixel);
        EXPECT_EQ(image.source, Format::Bmp);
    }
}

TEST(BmpDecode, EveryTruncationFails) {
    for (const BmpCase& c : AllValidCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(EveryTruncationFails(c.file));
    }
}

// A valid 3x2 24-bit file, then one field at a time spoiled.
TEST(BmpDecode, DamagedHeadersFail) {
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    s.pixels = PackRows(3, 2, 24, false, [](uint32_t x, uint32_t y) { return x * 40 + y; });
    const std::vector<uint8_t> good = BuildBmp(s);
    Image image;
    ASSERT_TRUE(DecodeBytes(good, image));

    struct Patch {
        const char* what;
        size_t at;
        unsigned bytes;
        uint32_t value;
    };
    const Patch patches[] = {
        {"magic BA", 0, 2, 'B' | 'A' << 8},     {"magic MB", 0, 2, 'M' | 'B' << 8},
        {"header size 0", 14, 4, 0},            {"header size 20", 14, 4, 20},
        {"header size 64", 14, 4, 64},          {"header size huge", 14, 4, 0x7FFFFFFF},
        {"width 0", 18, 4, 0},                  {"width negative", 18, 4, uint32_t(-3)},
        {"width 16385", 18, 4, 16385},          {"height 0", 22, 4, 0},
        {"height 16385", 22, 4, 16385},         {"height -16385", 22, 4, uint32_t(-16385)},
        {"height INT_MIN", 22, 4, 0x80000000u}, {"planes 0", 26, 2, 0},
        {"planes 2", 26, 2, 2},                 {"bpp 0", 28, 2, 0},
        {"bpp 2", 28, 2, 2},                    {"bpp 64", 28, 2, 64},
        {"BI_JPEG", 30, 4, 4},                  {"BI_PNG", 30, 4, 5},
        {"RLE8 at 24 bpp", 30, 4, 1},           {"bit fields at 24 bpp", 30, 4, 3},
        {"compression 99", 30, 4, 99},          {"offset past the end", 10, 4, uint32_t(good.size())},
        {"offset huge", 10, 4, 0xFFFFFFFFu},    {"offset inside header", 10, 4, 20},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bad = good;
        if (p.bytes == 2) Poke16(bad, p.at, p.value);
        else Poke32(bad, p.at, p.value);
        std::string error;
        EXPECT_FALSE(DecodeBytes(bad, image, &error)) << p.what;
        EXPECT_FALSE(error.empty()) << p.what;
    }

    // Dimensions within the per-side limit whose pixel data is not in the file, or too many pixels.
    for (auto wh : {std::pair<int32_t, int32_t>{8192, 8192}, {16384, 1}, {16384, 16384}, {1, -16384}}) {
        std::vector<uint8_t> bad = good;
        Poke32(bad, 18, uint32_t(wh.first));
        Poke32(bad, 22, uint32_t(wh.second));
        EXPECT_FALSE(DecodeBytes(bad, image)) << wh.first << "x" << wh.second;
    }
}

TEST(BmpDecode, PaletteAndMaskFaultsFail) {
    auto palettised = [](unsigned bpp, uint32_t used, uint32_t badIndex) {
        BmpSpec s;
        s.bpp = uint16_t(bpp);
        s.width = 5;
        s.height = 2;
        s.colorsUsed = used;
        s.palette = RandomPalette(used, 5);
        s.pixels = PackRows(5, 2, bpp, false, [&](uint32_t x, uint32_t y) { return x == 4 && y == 1 ? badIndex : x % used; });
        return BuildBmp(s);
    };
    Image image;
    for (unsigned bpp : {1u, 4u, 8u}) {
        const uint32_t used = bpp == 1 ? 1 : 3;
        ASSERT_TRUE(DecodeBytes(palettised(bpp, used, used - 1), image)) << bpp;
        EXPECT_FALSE(DecodeBytes(palettised(bpp, used, used), image)) << "index past the palette at " << bpp;
        std::vector<uint8_t> huge = palettised(bpp, used, 0);
        Poke32(huge, 46, 0xFFFFFFFFu);  // biClrUsed: a table that cannot fit before the pixels
        EXPECT_FALSE(DecodeBytes(huge, image)) << bpp;
    }

    BmpSpec s;
    s.bpp = 16;
    s.compression = 3;
    s.width = 2;
    s.height = 1;
    s.pixels = {1, 2, 3, 4};
    for (auto masks : {std::vector<uint32_t>{0xF0F0, 0x0F00, 0x000F},   // not contiguous
                       std::vector<uint32_t>{0x1F0000, 0x07E0, 0x001F}, // beyond 16 bits
                       std::vector<uint32_t>{0xF800, 0x07E0}}) {        // third mask missing
        s.masks = masks;
        EXPECT_FALSE(DecodeBytes(BuildBmp(s), image)) << std::hex << masks[0];
    }
}

TEST(BmpDecode, DamagedRleFails) {
    BmpSpec s;
    s.bpp = 8;
    s.compression = 1;
    s.width = 4;
    s.height = 2;
    s.colorsUsed = 4;
    s.palette = RandomPalette(4, 3);
    Image image;
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> streams = {
        {"valid", {4, 1, 0, 0, 4, 2, 0, 1}},
        {"no end-of-bitmap", {4, 1, 0, 0, 4, 2, 0, 0}},
        {"absolute run past the data", {0, 9, 1, 2, 3}},
        {"delta past the right edge", {0, 2, 5, 0, 0, 1}},
        {"delta past the top", {0, 2, 0, 3, 0, 1}},
        {"truncated delta", {0, 2, 1}},
        {"index past the palette", {2, 4, 0, 1}},
        {"absolute index past the palette", {0, 3, 1, 2, 9, 0, 0, 1}},
        {"run above the last row", {0, 0, 0, 0, 2, 1, 0, 1}},
        {"end of line above the last row", {0, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const auto& [what, stream] : streams) {
        s.pixels = stream;
        const bool ok = DecodeBytes(BuildBmp(s), image);
        EXPECT_EQ(ok, std::string(what) == "valid") << what;
    }
    s.pixels = streams[0].second;
    s.height = -2;  // RLE cannot be top-down
    EXPECT_FALSE(DecodeBytes(BuildBmp(s), image));
    s.height = 2;
    s.sizeImage = 6;  // biSizeImage ends the stream before its end-of-bitmap
    EXPECT_FALSE(DecodeBytes(BuildBmp(s), image));
    s.compression = 2;  // RLE4 needs 4 bits per pixel
    EXPECT_FALSE(DecodeBytes(BuildBmp(s), image));
}

}  // namespace
