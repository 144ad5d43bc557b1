// The art tools' image library: what the build writes reads back the same, and
// damaged files are refused rather than read past their end.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/art_image.h"

namespace {

art::Image Pattern(int w, int h) {
  art::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.at(x, y);
      p[0] = static_cast<std::uint8_t>(x * 37 + y);
      p[1] = static_cast<std::uint8_t>(y * 53 + x * 3);
      p[2] = static_cast<std::uint8_t>((x ^ y) * 11);
      p[3] = static_cast<std::uint8_t>((x + y) % 2 ? 255 : 40);
    }
  return img;
}

std::string TempPath(const char* name) { return std::string(::testing::TempDir()) + name; }

TEST(ArtImage, BmpRoundTripsAt24And32Bits) {
  const art::Image src = Pattern(13, 7);  // odd width: rows are padded
  for (int bits : {24, 32}) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(art::EncodeBmp(src, bits, bytes));
    art::Image back;
    art::FileInfo info;
    std::string err;
    ASSERT_TRUE(art::DecodeBmp(bytes, back, &info, &err)) << err;
    EXPECT_EQ(info.bitsPerPixel, bits);
    EXPECT_FALSE(info.topDown);
    ASSERT_EQ(back.width, 13);
    ASSERT_EQ(back.height, 7);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x)
        for (int c = 0; c < 4; ++c) {
          const int expected = c == 3 && bits == 24 ? 255 : src.at(x, y)[c];
          ASSERT_EQ(back.at(x, y)[c], expected) << x << "," << y << " channel " << c;
        }
  }
}

TEST(ArtImage, DamagedBmpIsRefused) {
  std::vector<std::uint8_t> good;
  ASSERT_TRUE(art::EncodeBmp(Pattern(8, 8), 24, good));
  art::Image out;
  std::string err;
  // Cut short, anywhere.
  for (std::size_t n : {std::size_t{0}, std::size_t{2}, std::size_t{30}, std::size_t{54}, good.size() - 1}) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(art::DecodeBmp(cut, out, nullptr, &err)) << "length " << n;
    EXPECT_TRUE(out.empty());
  }
  auto patched = [&](std::size_t at, std::uint32_t value, int bytes) {
    std::vector<std::uint8_t> b = good;
    for (int i = 0; i < bytes; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return b;
  };
  EXPECT_FALSE(art::DecodeBmp(patched(10, 0xFFFFFF00u, 4), out, nullptr, &err));  // pixel offset past the end
  EXPECT_FALSE(art::DecodeBmp(patched(18, 0x7FFFFFFFu, 4), out, nullptr, &err));  // absurd width
  EXPECT_FALSE(art::DecodeBmp(patched(22, 0u, 4), out, nullptr, &err));           // no rows
  EXPECT_FALSE(art::DecodeBmp(patched(28, 8u, 2), out, nullptr, &err));           // palette depth
  EXPECT_FALSE(art::DecodeBmp(patched(30, 1u, 4), out, nullptr, &err));           // run-length compressed
  EXPECT_FALSE(art::DecodeBmp(patched(14, 4000u, 4), out, nullptr, &err));        // header larger than the file
  // A top-down file reads the same as the bottom-up one.
  std::vector<std::uint8_t> flipped = patched(22, static_cast<std::uint32_t>(-8), 4);
  const std::size_t stride = 24;
  for (int r = 0; r < 4; ++r)
    for (std::size_t i = 0; i < stride; ++i)
      std::swap(flipped[54 + r * stride + i], flipped[54 + (7 - r) * stride + i]);
  art::Image a, b;
  art::FileInfo info;
  ASSERT_TRUE(art::DecodeBmp(good, a, nullptr, &err));
  ASSERT_TRUE(art::DecodeBmp(flipped, b, &info, &err)) << err;
  EXPECT_TRUE(info.topDown);
  EXPECT_EQ(a.pixels, b.pixels);
}

TEST(ArtImage, PngKeepsAlphaAndJpegStaysClose) {
  const art::Image src = Pattern(16, 16);
  const std::string png = TempPath("art_image_test.png"), jpg = TempPath("art_image_test.jpg");
  ASSERT_TRUE(art::WritePng(png, src, true));
  art::Image back;
  art::FileInfo info;
  ASSERT_TRUE(art::ReadImage(png, back, &info));
  EXPECT_EQ(info.kind, art::FileKind::Png);
  EXPECT_TRUE(info.hasAlpha);
  EXPECT_EQ(back.pixels, src.pixels);

  art::Image flat(32, 32, 0x4080C0FF);
  ASSERT_TRUE(art::WriteJpeg(jpg, flat, 95));
  ASSERT_TRUE(art::ReadImage(jpg, back, &info));
  EXPECT_EQ(info.kind, art::FileKind::Jpeg);
  ASSERT_EQ(back.width, 32);
  for (std::size_t i = 0; i < back.pixels.size(); i += 4) {
    EXPECT_NEAR(back.pixels[i], 0x40, 3);
    EXPECT_NEAR(back.pixels[i + 1], 0x80, 3);
    EXPECT_NEAR(back.pixels[i + 2], 0xC0, 3);
  }
  // Not images at all.
  std::vector<std::uint8_t> junk = {'B', 'M', 1, 2, 3};
  EXPECT_FALSE(art::DecodeImage(junk, back, nullptr, nullptr));
  junk = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
  EXPECT_FALSE(art::DecodeJpeg(junk, back, nullptr, nullptr));
  junk = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0};
  EXPECT_FALSE(art::DecodePng(junk, back, nullptr, nullptr));
  std::remove(png.c_str());
  std::remove(jpg.c_str());
}

TEST(ArtImage, ResizeAveragesAreasWithoutDarkFringes) {
  // Halving averages each 2 x 2 block.
  art::Image checker(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      std::uint8_t* p = checker.at(x, y);
      p[0] = p[1] = p[2] = (x + y) % 2 ? 200 : 100;
      p[3] = 255;
    }
  const art::Image half = art::Resize(checker, 2, 1);
  ASSERT_EQ(half.width, 2);
  EXPECT_EQ(half.at(0, 0)[0], 150);
  EXPECT_EQ(half.at(1, 0)[0], 150);
  // A transparent black neighbour does not darken a red pixel (premultiplied alpha).
  art::Image edge(2, 1);
  edge.at(0, 0)[0] = 255;
  edge.at(0, 0)[3] = 255;
  const art::Image one = art::Resize(edge, 1, 1);
  EXPECT_EQ(one.at(0, 0)[0], 255);
  EXPECT_NEAR(one.at(0, 0)[3], 128, 1);
  // Enlarging keeps the ends.
  const art::Image big = art::Resize(checker, 8, 4);
  EXPECT_EQ(big.width, 8);
  EXPECT_EQ(big.at(0, 0)[0], 100);
  EXPECT_TRUE(art::Resize(art::Image(), 4, 4).empty());
}

}  // namespace
