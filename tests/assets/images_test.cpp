// The game's images as built: present, decodable, of the expected size and
// format, and drawn so that they work the way the game shows them.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "game_files.h"

namespace assets_test {
namespace {

struct Loaded {
  art::Image image;
  art::FileInfo info;
};

Loaded Load(const std::string& relative) {
  Loaded l;
  std::string err;
  EXPECT_TRUE(art::ReadImage(GamePath(relative), l.image, &l.info, &err)) << relative << ": " << err;
  return l;
}

bool Black(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }
double Luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

// Mean colour of the visible (not see-through) pixels of a rectangle.
struct Mean {
  double r = 0, g = 0, b = 0, luma = 0;
  int count = 0;
};
Mean MeanOf(const art::Image& img, int x0, int y0, int x1, int y1, bool skipKey) {
  Mean m;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* p = img.at(x, y);
      if (p[3] == 0 || (skipKey && Black(p))) continue;
      m.r += p[0];
      m.g += p[1];
      m.b += p[2];
      m.luma += Luma(p);
      ++m.count;
    }
  if (m.count) {
    m.r /= m.count;
    m.g /= m.count;
    m.b /= m.count;
    m.luma /= m.count;
  }
  return m;
}

double Distance(const Mean& a, const Mean& b) {
  return std::sqrt((a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b));
}

TEST(GameImages, EveryFileExistsWithItsSizeAndFormat) {
  for (const ImageFile& f : GameImages()) {
    SCOPED_TRACE(f.path);
    const Loaded l = Load(f.path);
    ASSERT_FALSE(l.image.empty());
    EXPECT_EQ(l.info.kind, f.kind);
    EXPECT_EQ(l.image.width, f.width);
    EXPECT_EQ(l.image.height, f.height);
    if (f.bits) {
      EXPECT_EQ(l.info.bitsPerPixel, f.bits);
    }
    // Powers of two, as textures (the alphabet is a plain surface: 6 rows of cells).
    EXPECT_EQ(f.width & (f.width - 1), 0);
    if (f.height != 192) {
      EXPECT_EQ(f.height & (f.height - 1), 0);
    }
  }
}

TEST(GameImages, KeyedArtUsesPureBlackOnlyWhereSeeThrough) {
  for (const ImageFile& f : GameImages()) {
    if (!f.keyed) continue;
    SCOPED_TRACE(f.path);
    const Loaded l = Load(f.path);
    ASSERT_FALSE(l.image.empty());
    const art::Image& img = l.image;
    if (f.kind == art::FileKind::Jpeg) {
      // Compression noise must not reach the key anywhere.
      for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) ASSERT_FALSE(Black(img.at(x, y))) << x << "," << y;
    } else if (f.kind == art::FileKind::Png) {
      // Opaque pure black would turn into a hole.
      for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
          const std::uint8_t* p = img.at(x, y);
          ASSERT_FALSE(p[3] == 255 && Black(p)) << x << "," << y;
        }
    }
    if (f.kind != art::FileKind::Bmp || std::string(f.path).find("cursore") != std::string::npos) continue;
    // Buttons and cards: see-through corners, solid middle.
    EXPECT_TRUE(Black(img.at(0, 0)));
    EXPECT_TRUE(Black(img.at(img.width - 1, 0)));
    EXPECT_TRUE(Black(img.at(0, img.height - 1)));
    EXPECT_TRUE(Black(img.at(img.width - 1, img.height - 1)));
    for (int y = img.height / 10; y < img.height * 9 / 10; ++y)
      for (int x = img.width / 10; x < img.width * 9 / 10; ++x) ASSERT_FALSE(Black(img.at(x, y))) << x << "," << y;
  }
}

TEST(GameImages, SplashScreensHaveNoPureBlack) {
  for (const char* path : {"Immagini/DRESK_LOGO.jpg", "Immagini/Loading.jpg"}) {
    const Loaded l = Load(path);
    ASSERT_FALSE(l.image.empty());
    int black = 0;
    for (std::size_t i = 0; i < l.image.pixels.size(); i += 4) black += Black(&l.image.pixels[i]);
    EXPECT_EQ(black, 0) << path;
    // Neither flat nor washed out.
    const Mean m = MeanOf(l.image, 0, 0, l.image.width, l.image.height, false);
    EXPECT_GT(m.luma, 30) << path;
    EXPECT_LT(m.luma, 160) << path;
  }
}

TEST(GameImages, CursorTipIsTheTopLeftPixel) {
  const Loaded l = Load("Immagini/Mouse/cursore.bmp");
  ASSERT_FALSE(l.image.empty());
  const art::Image& img = l.image;
  EXPECT_FALSE(Black(img.at(0, 0)));
  EXPECT_TRUE(Black(img.at(img.width - 1, img.height - 1)));
  EXPECT_TRUE(Black(img.at(img.width - 1, 0)));
  EXPECT_TRUE(Black(img.at(0, img.height - 1)));
  // An arrow: along the top row only the tip is drawn, down the left edge the shaft.
  int topRow = 0, leftColumn = 0, visible = 0;
  for (int x = 0; x < img.width; ++x) topRow += !Black(img.at(x, 0));
  for (int y = 0; y < img.height; ++y) leftColumn += !Black(img.at(0, y));
  for (std::size_t i = 0; i < img.pixels.size(); i += 4) visible += !Black(&img.pixels[i]);
  EXPECT_LE(topRow, 3);
  EXPECT_GE(leftColumn, 18);
  EXPECT_GT(visible, 120);
  EXPECT_LT(visible, 32 * 32 / 2);
}

TEST(GameImages, HighlightedStatesAreBrighter) {
  const std::pair<const char*, const char*> pairs[] = {
      {"Immagini/Button/startGame.png", "Immagini/Button/startGameOn.png"},
      {"Immagini/Button/exitGame.png", "Immagini/Button/exitGameOn.png"},
      {"Immagini/Exit/EXIT.bmp", "Immagini/Exit/EXIT_ON.bmp"},
      {"Immagini/Window/YES.bmp", "Immagini/Window/YES_ON.bmp"},
      {"Immagini/Window/NO.bmp", "Immagini/Window/NO_ON.bmp"},
  };
  for (const auto& [normal, lit] : pairs) {
    const Loaded a = Load(normal), b = Load(lit);
    ASSERT_FALSE(a.image.empty());
    ASSERT_FALSE(b.image.empty());
    const int w = a.image.width, h = a.image.height;
    const Mean ma = MeanOf(a.image, w / 4, h / 4, w * 3 / 4, h * 3 / 4, true);
    const Mean mb = MeanOf(b.image, w / 4, h / 4, w * 3 / 4, h * 3 / 4, true);
    EXPECT_GT(mb.luma, ma.luma + 15) << lit;
  }
}

TEST(GameImages, CardsHaveDistinctColourAreas) {
  // The picture's background, left of its top edge, is each card's own colour.
  std::vector<Mean> areas;
  for (int c = 1; c <= 5; ++c) {
    const std::string path = "Immagini/Card/0" + std::to_string(c) + ".bmp";
    const Loaded l = Load(path);
    ASSERT_FALSE(l.image.empty());
    const Mean m = MeanOf(l.image, 6, 8, 16, 12, true);
    ASSERT_EQ(m.count, 40) << path;
    // Saturated: a colour, not grey.
    const double hi = std::max({m.r, m.g, m.b}), lo = std::min({m.r, m.g, m.b});
    EXPECT_GT(hi - lo, 60) << path;
    areas.push_back(m);
  }
  for (std::size_t i = 0; i < areas.size(); ++i)
    for (std::size_t j = i + 1; j < areas.size(); ++j)
      EXPECT_GT(Distance(areas[i], areas[j]), 70) << "cards " << i + 1 << " and " << j + 1;
}

TEST(GameImages, BottomBarFramesTheHandSlots) {
  const Loaded l = Load("Immagini/GUI/Barra_inf.jpg");
  ASSERT_FALSE(l.image.empty());
  const art::Image& img = l.image;
  // Each slot's recess is darker than the wood on both sides of its frame.
  for (double slot : kHandSlotX) {
    const int x = static_cast<int>(slot);
    const Mean inside = MeanOf(img, x + 8, 30, x + 56, 110, false);
    const Mean left = MeanOf(img, x - 14, 30, x - 8, 110, false);
    const Mean right = MeanOf(img, x + 72, 30, x + 78, 110, false);
    EXPECT_LT(inside.luma + 20, left.luma) << "slot at " << slot;
    EXPECT_LT(inside.luma + 20, right.luma) << "slot at " << slot;
  }
}

TEST(GameImages, DescriptionBoxIsLightWhereTheTextGoes) {
  const Loaded l = Load("Immagini/GUI/description_box.png");
  ASSERT_FALSE(l.image.empty());
  // Text starts at (12, 17) on screen and runs twelve lines; the file is drawn at 0.7 height.
  const int top = static_cast<int>(17 / 0.7), bottom = static_cast<int>(170 / 0.7);
  const Mean m = MeanOf(l.image, 12, top, 180, bottom, false);
  EXPECT_GT(m.luma, 200);
  EXPECT_EQ(m.count, (180 - 12) * (bottom - top));
  for (int y = top; y < bottom; ++y)
    for (int x = 12; x < 180; ++x) ASSERT_GT(Luma(l.image.at(x, y)), 150) << x << "," << y;
}

TEST(GameImages, ExitWindowLeavesParchmentUnderTheAnswers) {
  const Loaded l = Load("Immagini/Window/window.png");
  ASSERT_FALSE(l.image.empty());
  // YES and NO stand at (194, 106.4) and (194, 190.4) on the panel, 128 x 44.8 each:
  // around them the panel is the parchment their soft edges are blended with.
  for (double top : {106.4, 190.4}) {
    const int y0 = static_cast<int>(top / 0.7), y1 = static_cast<int>((top + 44.8) / 0.7);
    for (int x : {188, 328}) {
      const Mean m = MeanOf(l.image, x - 2, y0, x + 2, y1, false);
      EXPECT_NEAR(m.r, 232, 24);
      EXPECT_NEAR(m.g, 216, 24);
      EXPECT_NEAR(m.b, 176, 24);
    }
  }
  // The question is written above the first answer.
  int dark = 0;
  for (int y = static_cast<int>(60 / 0.7); y < static_cast<int>(104 / 0.7); ++y)
    for (int x = 60; x < 452; ++x) dark += Luma(l.image.at(x, y)) < 100;
  EXPECT_GT(dark, 500);
}

TEST(GameImages, SquareTexturesReadAsTheirColours) {
  const Loaded blue = Load("Data/blue.PNG"), red = Load("Data/red.PNG");
  const Loaded on = Load("Data/mouseOn.PNG"), onChar = Load("Data/mouseOnChar.PNG");
  ASSERT_FALSE(blue.image.empty());
  ASSERT_FALSE(red.image.empty());
  ASSERT_FALSE(on.image.empty());
  ASSERT_FALSE(onChar.image.empty());
  const Mean b = MeanOf(blue.image, 0, 0, 128, 128, false), r = MeanOf(red.image, 0, 0, 128, 128, false);
  EXPECT_GT(b.b, b.r + 60);
  EXPECT_GT(r.r, r.b + 60);
  EXPECT_GT(MeanOf(on.image, 0, 0, 128, 128, false).luma, 180);
  // The hover colour is flat and bright.
  const std::uint8_t* first = onChar.image.at(0, 0);
  for (std::size_t i = 0; i < onChar.image.pixels.size(); i += 4)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(onChar.image.pixels[i + c], first[c]);
  EXPECT_GT(Luma(first), 180);
}

TEST(Alphabet, CellsHoldCodes32To127InOrder) {
  const Loaded l = Load("Alfabeto/Expo_16x32_DRESK.bmp");
  ASSERT_FALSE(l.image.empty());
  const art::Image& img = l.image;
  std::set<std::vector<bool>> shapes;
  for (int code = 32; code < 128; ++code) {
    const int n = code - 32, cx = (n % 16) * 16, cy = (n / 16) * 32;
    int lit = 0;
    std::vector<bool> shape;
    for (int y = cy; y < cy + 32; ++y)
      for (int x = cx; x < cx + 16; ++x) {
        const bool on = Luma(img.at(x, y)) > 96;
        shape.push_back(on);
        lit += !Black(img.at(x, y));
      }
    if (code == 32 || code == 127) {
      EXPECT_EQ(lit, 0) << "code " << code << " must be blank";
      continue;
    }
    EXPECT_GE(lit, 6) << "code " << code;
    EXPECT_TRUE(shapes.insert(shape).second) << "code " << code << " looks like another glyph";
  }
  // Glyphs stay inside their cells: the first and last columns of every cell are ground.
  for (int y = 0; y < img.height; ++y)
    for (int col = 0; col < 16; ++col) {
      EXPECT_LT(Luma(img.at(col * 16, y)), 96) << "cell column " << col << " row " << y;
      EXPECT_LT(Luma(img.at(col * 16 + 15, y)), 96) << "cell column " << col << " row " << y;
    }
  // "A" (cell 33) lies at pixel (16, 64).
  int litA = 0;
  for (int y = 64; y < 96; ++y)
    for (int x = 16; x < 32; ++x) litA += Luma(img.at(x, y)) > 96;
  EXPECT_GT(litA, 40);
}

TEST(WindowIcon, IsA32BitBitmapWithAlpha) {
  std::string err;
  art::Image img;
  art::FileInfo info;
  ASSERT_TRUE(art::ReadImage(MORVANE_ICON_BMP, img, &info, &err)) << err;
  EXPECT_EQ(info.kind, art::FileKind::Bmp);
  EXPECT_EQ(info.bitsPerPixel, 32);
  EXPECT_TRUE(info.hasAlpha);
  EXPECT_EQ(img.width, 32);
  EXPECT_EQ(img.height, 32);
  EXPECT_EQ(img.at(0, 0)[3], 0);
  EXPECT_EQ(img.at(31, 31)[3], 0);
  EXPECT_EQ(img.at(16, 16)[3], 255);
  int clear = 0, solid = 0;
  for (std::size_t i = 0; i < img.pixels.size(); i += 4) {
    clear += img.pixels[i + 3] == 0;
    solid += img.pixels[i + 3] == 255;
    if (img.pixels[i + 3] == 0) {
      EXPECT_TRUE(Black(&img.pixels[i]));
    }
  }
  EXPECT_GT(clear, 100);
  EXPECT_GT(solid, 400);
}

}  // namespace
}  // namespace assets_test
