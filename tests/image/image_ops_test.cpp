// Decode dispatch and files, the BMP writer and saver, resampling, colour key, powers of two.
#include "image_test_util.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include <sys/stat.h>

namespace {

using namespace imagetest;
using namespace platform::image;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::path(testing::TempDir()) / "morvane-image-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : "";
        EXPECT_FALSE(path_.empty());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (fs::path(path_) / name).string(); }
    std::set<std::string> List() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.insert(e.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

uint32_t Le32(const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}

// ---------------------------------------------------------------------------------------------

TEST(ImageDecode, FormatComesFromTheContentNotTheName) {
    const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const uint8_t jpeg[3] = {0xFF, 0xD8, 0xFF};
    EXPECT_EQ(DetectFormat(png, 8), Format::Png);
    EXPECT_EQ(DetectFormat(png, 7), Format::Unknown);
    EXPECT_EQ(DetectFormat(jpeg, 3), Format::Jpeg);
    EXPECT_EQ(DetectFormat(jpeg, 2), Format::Unknown);
    EXPECT_EQ(DetectFormat(reinterpret_cast<const uint8_t*>("BM"), 2), Format::Bmp);
    EXPECT_EQ(DetectFormat(nullptr, 0), Format::Unknown);

    // A BMP saved under a .png name loads as the BMP it is.
    TempDir dir;
    const Image written = RandomImage(5, 3, 9, true);
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(EncodeBmp(written, bmp, 24));
    WriteFile(dir / "picture.png", bmp);
    Image loaded;
    std::string error;
    ASSERT_TRUE(LoadFile(dir / "picture.png", loaded, &error)) << error;
    EXPECT_EQ(loaded.source, Format::Bmp);
    EXPECT_TRUE(SamePixels(written, loaded));
}

// A file loaded again gives its image again, and a file rewritten in between (same name, same
// size) gives its new content.
TEST(ImageDecode, ReloadsFollowTheFileContent) {
    TempDir dir;
    std::vector<uint8_t> first, second;
    const Image a = RandomImage(6, 4, 21, true), b = RandomImage(6, 4, 22, true);
    ASSERT_TRUE(EncodeBmp(a, first, 32));
    ASSERT_TRUE(EncodeBmp(b, second, 32));
    for (const Image* expected : {&a, &a, &b, &b, &a}) {
        WriteFile(dir / "state.bmp", expected == &a ? first : second);
        Image loaded;
        ASSERT_TRUE(LoadFile(dir / "state.bmp", loaded));
        EXPECT_TRUE(SamePixels(*expected, loaded));
        EXPECT_EQ(loaded.bitsPerPixel, 32u);
    }
}

TEST(ImageDecode, UnreadableInputsFailAndLeaveNothing) {
    TempDir dir;
    WriteFile(dir / "text.bmp", {'h', 'e', 'l', 'l', 'o'});
    WriteFile(dir / "empty.png", {});
    fs::create_directory(dir / "folder.jpg");
    ASSERT_EQ(mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);  // must not block waiting for a writer
    for (const char* name : {"text.bmp", "empty.png", "folder.jpg", "pipe.bmp", "missing.bmp"}) {
        Image image = RandomImage(2, 2, 1, true);
        std::string error;
        EXPECT_FALSE(LoadFile(dir / name, image, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_TRUE(image.pixels.empty() && image.width == 0 && image.source == Format::Unknown) << name;
    }
    Image image;
    EXPECT_FALSE(Decode(nullptr, 0, image));
}

// ---------------------------------------------------------------------------------------------

TEST(BmpEncode, WritesABottomUpInfoHeaderFile) {
    const Image image = MakeImage(3, 2, {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112});
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeBmp(image, file, 24));
    ASSERT_EQ(file.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 10), 54u);
    EXPECT_EQ(Le32(file, 14), 40u);
    EXPECT_EQ(Le32(file, 18), 3u);
    EXPECT_EQ(Le32(file, 22), 2u);  // positive height: bottom-up
    EXPECT_EQ(Le32(file, 26), 1u | 24u << 16);
    EXPECT_EQ(Le32(file, 30), 0u);  // BI_RGB
    EXPECT_EQ(Le32(file, 34), 24u);
    // The first stored row is the bottom one, blue first, then zero padding.
    const std::vector<uint8_t> firstRow(file.begin() + 54, file.begin() + 66);
    EXPECT_EQ(firstRow, (std::vector<uint8_t>{0x0C, 0x0B, 0x0A, 0x0F, 0x0E, 0x0D, 0x12, 0x11, 0x10, 0, 0, 0}));

    Image bad = image;
    for (unsigned bpp : {0u, 8u, 16u, 48u}) EXPECT_FALSE(EncodeBmp(image, file, bpp)) << bpp;
    bad.pixels.pop_back();
    EXPECT_FALSE(EncodeBmp(bad, file, 24));
    EXPECT_FALSE(EncodeBmp(Image{}, file, 32));
}

TEST(BmpEncode, RoundTripsThroughDecode) {
    for (uint32_t w = 1; w <= 9; ++w)
        for (uint32_t h : {1u, 4u}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h);
            const Image opaque = RandomImage(w, h, w * 10 + h, true);
            const Image translucent = RandomImage(w, h, w * 10 + h, false);
            Image forced = translucent;  // alpha bytes but no alpha: written and read as opaque
            forced.hasAlpha = false;
            Image opaqueOf = translucent;
            for (uint32_t& p : opaqueOf.pixels) p |= 0xFF000000u;
            opaqueOf.hasAlpha = false;

            struct Trip {
                const Image& in;
                unsigned bpp;
                const Image& out;
            };
            for (const Trip& t : {Trip{opaque, 24, opaque}, Trip{opaque, 32, opaque}, Trip{translucent, 24, opaqueOf},
                                  Trip{translucent, 32, translucent}, Trip{forced, 32, opaqueOf}}) {
                std::vector<uint8_t> file;
                Image back;
                ASSERT_TRUE(EncodeBmp(t.in, file, t.bpp));
                ASSERT_TRUE(DecodeBytes(file, back));
                EXPECT_TRUE(SamePixels(t.out, back)) << t.bpp;
                EXPECT_EQ(back.hasAlpha, t.out.hasAlpha) << t.bpp;
                EXPECT_EQ(back.bitsPerPixel, t.bpp);
            }
        }
}

TEST(BmpSave, ReplacesTheTargetOrLeavesNoFileAtAll) {
    TempDir dir;
    const std::string target = dir / "shot.bmp";
    const Image first = RandomImage(7, 5, 1, true), second = RandomImage(4, 4, 2, true);
    std::string error;
    ASSERT_TRUE(SaveBmpFile(first, target, 24, &error)) << error;
    ASSERT_TRUE(SaveBmpFile(second, target, 32, &error)) << error;
    EXPECT_EQ(dir.List(), std::set<std::string>{"shot.bmp"});  // no temporary left behind
    Image loaded;
    ASSERT_TRUE(LoadFile(target, loaded));
    EXPECT_TRUE(SamePixels(second, loaded));
    EXPECT_EQ(loaded.bitsPerPixel, 32u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_read, fs::perms::owner_read);

    // A missing folder, a folder in the target's place, an image that cannot be encoded.
    fs::create_directory(dir / "taken.bmp");
    EXPECT_FALSE(SaveBmpFile(first, dir / "missing/shot.bmp", 24, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(SaveBmpFile(first, dir / "taken.bmp", 24));
    EXPECT_FALSE(SaveBmpFile(first, dir / "odd.bmp", 16));
    EXPECT_FALSE(SaveBmpFile(Image{}, dir / "empty.bmp", 24));
    EXPECT_EQ(dir.List(), (std::set<std::string>{"shot.bmp", "taken.bmp"}));
    EXPECT_TRUE(fs::is_empty(dir / "taken.bmp"));
}

// ---------------------------------------------------------------------------------------------

// Straightforward two-dimensional references for the filters, in double precision.
double Tap(Filter f, double scale, uint32_t i, uint32_t j, uint32_t n) {
    if (f == Filter::Box) {
        const double a = i * scale, b = (i + 1) * scale;
        return std::max(0.0, std::min(b, j + 1.0) - std::max(a, double(j)));
    }
    if (f == Filter::Triangle) {
        const double r = std::max(1.0, scale);
        return std::max(0.0, 1 - std::abs(j + 0.5 - (i + 0.5) * scale) / r);
    }
    const double c = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(n - 1));  // Linear
    const double d = std::abs(c - j);
    return d < 1 ? 1 - d : 0;
}

Image Reference(const Image& src, uint32_t w, uint32_t h, Filter f) {
    Image out = MakeImage(w, h, std::vector<uint32_t>(w * h));
    const double sx = double(src.width) / w, sy = double(src.height) / h;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            double acc[4] = {}, total = 0;
            for (uint32_t j = 0; j < src.height; ++j)
                for (uint32_t i = 0; i < src.width; ++i) {
                    const double wt = Tap(f, sx, x, i, src.width) * Tap(f, sy, y, j, src.height);
                    total += wt;
                    for (unsigned c = 0; c < 4; ++c) acc[c] += wt * ChannelOf(src.at(i, j), c);
                }
            uint32_t p = 0;
            for (unsigned c = 0; c < 4; ++c) p |= uint32_t(std::lround(acc[c] / total)) << (8 * c);
            out.at(x, y) = p;
        }
    return out;
}

TEST(Resize, FiltersMatchTheirDefinitions) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {2, 3}, {4, 4}, {5, 7}, {8, 2}, {16, 16}, {3, 9}};
    for (Filter f : {Filter::Linear, Filter::Triangle, Filter::Box})
        for (auto [sw, sh] : sizes)
            for (auto [dw, dh] : sizes) {
                SCOPED_TRACE(testing::Message() << int(f) << ": " << sw << "x" << sh << " -> " << dw << "x" << dh);
                const Image src = RandomImage(sw, sh, sw * 100 + sh, false);
                const Image out = Resize(src, dw, dh, f);
                EXPECT_TRUE(SamePixels(Reference(src, dw, dh, f), out, 1));
                EXPECT_TRUE(out.hasAlpha);
            }
}

TEST(Resize, HandComputedCases) {
    // Point: every destination pixel takes the source pixel under its centre.
    const Image src = MakeImage(4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(SamePixels(MakeImage(2, 1, {6, 8}), Resize(src, 2, 1, Filter::Point)));
    EXPECT_EQ(Resize(MakeImage(4, 1, {1, 2, 3, 4}), 8, 1, Filter::Point).pixels,
              (std::vector<uint32_t>{1, 1, 2, 2, 3, 3, 4, 4}));

    // Box halving (of both axes or of one) is the mean of each block rounded half up, alpha included.
    const Image block = MakeImage(2, 2, {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF});
    EXPECT_EQ(Resize(block, 1, 1, Filter::Box).pixels[0], 0x40404040u);
    const Image random = RandomImage(6, 4, 77, false);
    for (auto [fx, fy] : {std::pair<uint32_t, uint32_t>{2, 2}, {1, 2}, {2, 1}}) {
        const Image half = Resize(random, 6 / fx, 4 / fy, Filter::Box);
        for (uint32_t y = 0; y < 4 / fy; ++y)
            for (uint32_t x = 0; x < 6 / fx; ++x)
                for (unsigned c = 0; c < 4; ++c) {
                    unsigned sum = 0;
                    for (uint32_t j = 0; j < fx * fy; ++j)
                        sum += ChannelOf(random.at(fx * x + j % fx, fy * y + j / fx), c);
                    EXPECT_EQ(ChannelOf(half.at(x, y), c), (sum + fx * fy / 2) / (fx * fy)) << x << "," << y;
                }
    }

    // Linear doubling of [0, 100]: centres at -0.25, 0.25, 0.75, 1.25 source pixels.
    EXPECT_EQ(Resize(MakeImage(2, 1, {0, 100}), 4, 1, Filter::Linear).pixels,
              (std::vector<uint32_t>{0, 25, 75, 100}));
    // Triangle halving of [0, 70, 140, 210]: weights 3:3:1 over a tent two pixels wide.
    EXPECT_EQ(Resize(MakeImage(4, 1, {0, 70, 140, 210}), 2, 1, Filter::Triangle).pixels,
              (std::vector<uint32_t>{50, 160}));

    // A flat image stays flat, any size and filter; an empty size gives an empty image.
    for (Filter f : {Filter::Point, Filter::Linear, Filter::Triangle, Filter::Box}) {
        const Image flat = Resize(MakeImage(5, 3, std::vector<uint32_t>(15, 0x80C0FF10)), 13, 2, f);
        EXPECT_EQ(flat.pixels, std::vector<uint32_t>(26, 0x80C0FF10)) << int(f);
        EXPECT_TRUE(Resize(src, 0, 4, f).empty());
        EXPECT_TRUE(Resize(Image{}, 4, 4, f).empty());
    }
}

TEST(ColorKey, MatchingPixelsBecomeTransparentBlack) {
    // An opaque image is compared with alpha 0xFF, whatever its stored alpha byte.
    Image opaque = MakeImage(4, 1, {0xFF000000, 0x00000000, 0xFF000001, 0xFFFFFFFF});
    EXPECT_EQ(ApplyColorKey(opaque, 0x00000001), 0u);
    EXPECT_FALSE(opaque.hasAlpha);
    EXPECT_EQ(ApplyColorKey(opaque, 0xFF000000), 2u);
    EXPECT_EQ(opaque.pixels, (std::vector<uint32_t>{0, 0, 0xFF000001, 0xFFFFFFFF}));
    EXPECT_TRUE(opaque.hasAlpha);

    // With alpha, the key must match it too.
    Image translucent = MakeImage(3, 1, {0x80000000, 0xFF000000, 0x80102030}, true);
    EXPECT_EQ(ApplyColorKey(translucent, 0x80102030), 1u);
    EXPECT_EQ(translucent.pixels, (std::vector<uint32_t>{0x80000000, 0xFF000000, 0}));

    // Through a file: opaque black in a 24-bit BMP goes, everything else stays.
    Image image = RandomImage(6, 5, 3, true);
    image.at(1, 1) = image.at(4, 2) = 0xFF000000;
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeBmp(image, file, 24));
    Image loaded;
    ASSERT_TRUE(DecodeBytes(file, loaded));
    EXPECT_EQ(ApplyColorKey(loaded, 0xFF000000), 2u);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(loaded.at(x, y), image.at(x, y) == 0xFF000000 ? 0u : image.at(x, y));
}

TEST(NextPowerOfTwo, SmallestPowerNotBelow) {
    auto reference = [](uint64_t n) {
        uint64_t p = 1;
        while (p < n) p *= 2;
        return p > 0x80000000u ? 0u : uint32_t(p);
    };
    for (uint32_t n = 0; n < 70000; ++n) ASSERT_EQ(NextPowerOfTwo(n), reference(n)) << n;
    for (unsigned k = 0; k < 32; ++k)
        for (int64_t d : {-1, 0, 1}) {
            const uint64_t n = (uint64_t{1} << k) + uint64_t(d);
            if (n <= 0xFFFFFFFFu) {
                EXPECT_EQ(NextPowerOfTwo(uint32_t(n)), reference(n)) << n;
            }
        }
    EXPECT_EQ(NextPowerOfTwo(0xFFFFFFFFu), 0u);
}

}  // namespace
