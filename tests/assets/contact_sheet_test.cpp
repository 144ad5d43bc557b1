// Writes the contact sheet: the screens put together as the game lays them out,
// every image file with its name, and the models drawn with the board camera.
// A person looks at it; the test checks that it is made from every file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "game_files.h"
#include "preview.h"
#include "xfile_light.h"

namespace assets_test {
namespace {

art::Image LoadOrEmpty(const std::string& relative) {
  art::Image img;
  art::ReadImage(GamePath(relative), img);
  return img;
}

// ---- drawing ---------------------------------------------------------------------------------

void Blend(std::uint8_t* d, const std::uint8_t* s, double a) {
  for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>(std::lround(d[c] * (1 - a) + s[c] * a));
  d[3] = 255;
}

void Fill(art::Image& dst, int x0, int y0, int w, int h, std::uint32_t rgb) {
  const std::uint8_t c[3] = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                             static_cast<std::uint8_t>(rgb)};
  for (int y = std::max(0, y0); y < std::min(dst.height, y0 + h); ++y)
    for (int x = std::max(0, x0); x < std::min(dst.width, x0 + w); ++x) {
      std::uint8_t* p = dst.at(x, y);
      p[0] = c[0];
      p[1] = c[1];
      p[2] = c[2];
      p[3] = 255;
    }
}

void Checker(art::Image& dst, int x0, int y0, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Fill(dst, x0 + x, y0 + y, 1, 1, ((x / 8 + y / 8) % 2) ? 0x5a5a64 : 0x7a7a86);
}

// Draws `src` scaled to w x h with its top-left at (x, y). Keyed images lose
// their opaque black first, as the game's loader does.
void Blit(art::Image& dst, const art::Image& srcIn, double x, double y, double w, double h, bool keyed) {
  if (srcIn.empty()) return;
  art::Image src = srcIn;
  if (keyed)
    for (std::size_t i = 0; i < src.pixels.size(); i += 4)
      if (src.pixels[i + 3] == 255 && src.pixels[i] == 0 && src.pixels[i + 1] == 0 && src.pixels[i + 2] == 0)
        src.pixels[i + 3] = 0;
  const int iw = std::max(1, static_cast<int>(std::lround(w))), ih = std::max(1, static_cast<int>(std::lround(h)));
  const art::Image s = art::Resize(src, iw, ih);
  const int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(y));
  for (int j = 0; j < ih; ++j)
    for (int i = 0; i < iw; ++i) {
      const int dx = ix + i, dy = iy + j;
      if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
      const std::uint8_t* p = s.at(i, j);
      if (p[3]) Blend(dst.at(dx, dy), p, p[3] / 255.0);
    }
}

// Text in the game's own bitmap alphabet (16 x 32 cells), scaled and tinted.
class Font {
 public:
  Font() : sheet_(LoadOrEmpty("Alfabeto/Expo_16x32_DRESK.bmp")) {}

  int Width(const std::string& s, double scale) const { return static_cast<int>(s.size() * 16 * scale); }

  void Draw(art::Image& dst, int x, int y, const std::string& text, double scale, std::uint32_t rgb) {
    if (sheet_.empty()) return;
    const std::uint8_t col[3] = {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb)};
    const int cw = std::max(1, static_cast<int>(std::lround(16 * scale)));
    const int ch = std::max(1, static_cast<int>(std::lround(32 * scale)));
    for (std::size_t i = 0; i < text.size(); ++i) {
      const int code = static_cast<unsigned char>(text[i]);
      if (code <= 32 || code >= 127) continue;
      const art::Image& g = Glyph(code, cw, ch);
      for (int gy = 0; gy < ch; ++gy)
        for (int gx = 0; gx < cw; ++gx) {
          const int dx = x + static_cast<int>(i) * cw + gx, dy = y + gy;
          if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
          const std::uint8_t* p = g.at(gx, gy);
          const double a = std::min(1.0, std::max({p[0], p[1], p[2]}) / 230.0);
          if (a > 0) Blend(dst.at(dx, dy), col, a);
        }
    }
  }

  // Prints as the console does: every glyph pixel that is not black, unscaled.
  void Print(art::Image& dst, int x, int y, const std::string& text) {
    if (sheet_.empty()) return;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const int n = static_cast<unsigned char>(text[i]) - 32;
      if (n <= 0 || n >= 96) continue;
      for (int gy = 0; gy < 32; ++gy)
        for (int gx = 0; gx < 16; ++gx) {
          const std::uint8_t* p = sheet_.at((n % 16) * 16 + gx, (n / 16) * 32 + gy);
          const int dx = x + static_cast<int>(i) * 16 + gx, dy = y + gy;
          if ((p[0] | p[1] | p[2]) && dx < dst.width && dy < dst.height) std::memcpy(dst.at(dx, dy), p, 4);
        }
    }
  }

  bool ok() const { return !sheet_.empty(); }

 private:
  const art::Image& Glyph(int code, int cw, int ch) {
    auto& slot = cache_[{code, cw * 1000 + ch}];
    if (slot.empty()) {
      const int n = code - 32;
      art::Image cell(16, 32);
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x) std::memcpy(cell.at(x, y), sheet_.at((n % 16) * 16 + x, (n / 16) * 32 + y), 4);
      slot = art::Resize(cell, cw, ch);
    }
    return slot;
  }
  art::Image sheet_;
  std::map<std::pair<int, int>, art::Image> cache_;
};

// ---- scenes ----------------------------------------------------------------------------------

struct Models {
  std::map<std::string, art::Image> textures;
  preview::Model square, background, dwarf;
  bool ok = false;
};

bool LoadModel(const std::string& path, const std::string& folder, Models& all, preview::Model& out) {
  xlight::File f;
  xlight::Mesh m;
  if (!xlight::ParseFile(GamePath(path), f, nullptr)) return false;
  const auto meshes = xlight::FindAll(f, "Mesh");
  if (meshes.empty() || !xlight::ReadMesh(*meshes[0].node, m, nullptr)) return false;
  out = preview::FromMesh(m, GamePath(folder), all.textures);
  return true;
}

void LoadModels(Models& m) {
  m.ok = LoadModel("Data/casella.x", "Data/", m, m.square) &&
         LoadModel("Data/Background/Background.x", "Data/BackGround/", m, m.background) &&
         LoadModel("Data/nano_guerriero/nano_guerriero.x", "Data/nano_guerriero/", m, m.dwarf);
}

struct BoardView {
  int dwarfSquare = 2;
  int highlightSquare = -1;
  bool dwarfHovered = false;
};

// The board pass: squares in their checkerboard, the background, the dwarf.
art::Image DrawBoard(Models& models, const BoardView& v, int w, int h, const preview::Camera& cam) {
  preview::Canvas canvas(w, h, 0x000000FF);
  const art::Image blue = LoadOrEmpty("Data/blue.PNG"), red = LoadOrEmpty("Data/red.PNG");
  const art::Image on = LoadOrEmpty("Data/mouseOn.PNG"), onChar = LoadOrEmpty("Data/mouseOnChar.PNG");
  const preview::Light light{{-120, 100, 150}};  // where the game frame keeps it
  for (int i = 0; i < 64; ++i) {
    const int r = i / 8, c = i % 8;
    const art::Image* tex = i == v.highlightSquare ? &on : ((r + c) % 2 == 0 ? &blue : &red);
    canvas.Draw(models.square, 1.0, {-50.0 * c, 0, -50.0 * r}, cam, light, tex);
  }
  canvas.Draw(models.background, 0.1, {-200, -1, -200}, cam, light);
  const double height = (models.dwarf.hi.y - models.dwarf.lo.y) * 4;
  const int r = v.dwarfSquare / 8, c = v.dwarfSquare % 8;
  canvas.Draw(models.dwarf, 4.0, {-50.0 * c, height / 4, -50.0 * r}, cam, light, v.dwarfHovered ? &onChar : nullptr);
  return canvas.image();
}

struct Gui {
  std::map<std::string, art::Image> img;
  const art::Image& operator[](const std::string& path) {
    auto it = img.find(path);
    if (it == img.end()) it = img.emplace(path, LoadOrEmpty(path)).first;
    return it->second;
  }
  // An element at unscaled (x, y) drawn with scales (sx, sy), as the game's GUI does.
  void Element(art::Image& dst, const std::string& path, double x, double y, double sx = 1.0, double sy = 0.7) {
    const art::Image& i = (*this)[path];
    Blit(dst, i, x * sx, y * sy, i.width * sx, i.height * sy, true);
  }
};

const char* const kDwarfText[] = {"Tipo: NANO", "", "Caratteristiche:", "", "Attacco: 3", "Difesa: 2",
                                  "Movimento: 2", "", "Descrizione:", "FANTERIA NANICA"};

art::Image BoardScreen(Models& models, Gui& gui, Font& font, bool exitWindow) {
  BoardView v;
  v.highlightSquare = exitWindow ? -1 : 11;
  v.dwarfHovered = exitWindow;
  art::Image s = DrawBoard(models, v, 1024, 768, preview::BoardCamera(1024.0 / 768.0));
  gui.Element(s, "Immagini/GUI/Barra_inf.jpg", 0, 975);
  gui.Element(s, "Immagini/GUI/mazzo.png", 890, 844);
  if (!exitWindow) {
    gui.Element(s, "Immagini/GUI/description_box.png", 0, 725.76);
    int y = static_cast<int>((25 + 725.76) * 0.7);
    for (const char* line : kDwarfText) {
      font.Draw(s, 12, y, line, 0.42, 0x000000);
      y += 13;
    }
  }
  const char* hand[] = {"Immagini/Card/02.bmp", "Immagini/Card/03.bmp", "Immagini/Card/04.bmp",
                        "Immagini/Card/05.bmp"};
  for (int i = 0; i < 4; ++i) gui.Element(s, hand[i], kHandSlotX[i], 975.5);
  if (exitWindow) {
    gui.Element(s, "Immagini/Window/window.png", 256, 192);
    gui.Element(s, "Immagini/Window/YES.bmp", 450, 344);
    gui.Element(s, "Immagini/Window/NO_ON.bmp", 450, 464);
  }
  gui.Element(s, exitWindow ? "Immagini/Exit/EXIT_ON.bmp" : "Immagini/Exit/EXIT.bmp", 890, 7);
  font.Draw(s, 2, 1, "FPS: 60.00", 0.55, 0xFFFFFF);
  if (!exitWindow) font.Draw(s, 307, 614, "Scegli dove posizionare il personaggio", 0.55, 0xFFFF00);
  const art::Image& cursor = gui["Immagini/Mouse/cursore.bmp"];
  Blit(s, cursor, exitWindow ? 520 : 430, exitWindow ? 345 : 350, 32, 32, true);
  return s;
}

art::Image MenuScreen(Gui& gui) {
  art::Image s(1024, 768, 0x000000FF);
  gui.Element(s, "Immagini/Button/startGameOn.png", 512, 384, 0.5, 0.7);
  gui.Element(s, "Immagini/Button/exitGame.png", 512, 537, 0.5, 0.7);
  Blit(s, gui["Immagini/Mouse/cursore.bmp"], 470, 300, 32, 32, true);
  return s;
}

art::Image Splash(const std::string& path) {
  art::Image s(1024, 768, 0x000000FF);
  Blit(s, LoadOrEmpty(path), 0, 0, 1024, 768, false);
  return s;
}

art::Image ConsoleScreen(Font& font) {
  art::Image s(1024, 384, 0x000000FF);
  Blit(s, LoadOrEmpty("Immagini/ConsoleBackground.bmp"), 0, 0, 1024, 384, false);
  const char* lines[] = {"MORVANE - console", "> help", "-- Unknown Command --", "> dwarf 3 2", "> _"};
  int y = 347 - 32 * 4;
  for (const char* l : lines) {
    font.Print(s, 10, y, l);
    y += 32;
  }
  return s;
}

art::Image DwarfPortrait(Models& models, double yaw, bool hovered) {
  const double h = models.dwarf.hi.y - models.dwarf.lo.y;
  const double centre = (models.dwarf.hi.y + models.dwarf.lo.y) / 2;
  const preview::V3 eye{std::sin(yaw) * 34, centre + 6, std::cos(yaw) * 34};
  preview::Canvas canvas(360, 440, 0x3A4150FF);
  const preview::Light light{{std::sin(yaw + 0.6) * 30, 25, std::cos(yaw + 0.6) * 30}, 1000, 0.9};
  const art::Image onChar = LoadOrEmpty("Data/mouseOnChar.PNG");
  canvas.Draw(models.dwarf, 1.0, {0, 0, 0}, preview::LookAt(eye, {0, centre, 0}, 0.55 * (h / 15), 360.0 / 440.0),
              light, hovered ? &onChar : nullptr);
  return canvas.image();
}

// ---- the sheet -------------------------------------------------------------------------------

class Sheet {
 public:
  explicit Sheet(Font& font) : font_(font), img_(kWidth, 8000, 0x22252BFF) {}

  void Title(const std::string& text) {
    NewRow();
    y_ += 16;
    font_.Draw(img_, kMargin, y_, text, 0.9, 0xF0C457);
    y_ += 40;
    Fill(img_, kMargin, y_, kWidth - 2 * kMargin, 2, 0x6A5428);
    y_ += 14;
  }

  void Item(const art::Image& image, double w, double h, const std::string& label, bool checker, bool keyed) {
    const int iw = static_cast<int>(std::lround(w)), ih = static_cast<int>(std::lround(h));
    const int cell = std::max(iw, font_.Width(label, 0.5));
    if (x_ + cell > kWidth - kMargin && x_ > kMargin) NewRow();
    if (checker) Checker(img_, x_, y_, iw, ih);
    Blit(img_, image, x_, y_, w, h, keyed);
    font_.Draw(img_, x_, y_ + ih + 4, label, 0.5, 0xE8E4D8);
    rowHeight_ = std::max(rowHeight_, ih + 26);
    x_ += cell + kGap;
  }

  art::Image Finish() {
    NewRow();
    art::Image out(kWidth, y_ + kMargin);
    std::memcpy(out.pixels.data(), img_.pixels.data(), out.pixels.size());
    return out;
  }

 private:
  void NewRow() {
    if (x_ > kMargin) y_ += rowHeight_ + kGap;
    x_ = kMargin;
    rowHeight_ = 0;
  }
  static constexpr int kWidth = 2112, kMargin = 24, kGap = 24;
  Font& font_;
  art::Image img_;
  int x_ = kMargin, y_ = 8, rowHeight_ = 0;
};

TEST(ContactSheet, ShowsEveryImageAndModel) {
  Font font;
  ASSERT_TRUE(font.ok()) << "the alphabet is needed for the labels";
  Models models;
  LoadModels(models);
  ASSERT_TRUE(models.ok) << "a model could not be read";
  Gui gui;
  Sheet sheet(font);

  sheet.Title("Morvane - art contact sheet: the screens as the game draws them");
  sheet.Item(Splash("Immagini/DRESK_LOGO.jpg"), 512, 384, "logo splash (DRESK_LOGO.jpg)", false, false);
  sheet.Item(Splash("Immagini/Loading.jpg"), 512, 384, "loading screen (Loading.jpg)", false, false);
  sheet.Item(MenuScreen(gui), 512, 384, "start menu, start button hovered", false, false);
  sheet.Item(ConsoleScreen(font), 512, 192, "console (ConsoleBackground + alphabet)", false, false);
  sheet.Item(BoardScreen(models, gui, font, false), 1024, 768, "board: placing the dwarf, description shown", false,
             false);
  sheet.Item(BoardScreen(models, gui, font, true), 1024, 768, "board: exit window open, dwarf hovered", false, false);

  sheet.Title("Image files (checkered = see-through; keyed images lose their pure black)");
  int shown = 0;
  for (const ImageFile& f : GameImages()) {
    const art::Image img = LoadOrEmpty(f.path);
    ASSERT_FALSE(img.empty()) << f.path;
    // Big files at a quarter or half, small ones enlarged to see their pixels.
    double zoom = img.width >= 2048 ? 0.25 : img.width >= 1024 ? 0.5 : img.width <= 64 ? 2.5 : img.width <= 128 ? 2 : 1;
    if (std::string(f.path).find("cursore") != std::string::npos) zoom = 4;
    const bool alpha = f.keyed || f.kind == art::FileKind::Png;
    sheet.Item(img, img.width * zoom, img.height * zoom,
               std::string(f.path) + "  " + std::to_string(img.width) + "x" + std::to_string(img.height), alpha,
               f.keyed);
    ++shown;
  }
  {
    art::Image icon;
    ASSERT_TRUE(art::ReadImage(MORVANE_ICON_BMP, icon));
    sheet.Item(icon, 128, 128, "window icon 32x32 (32-bit)", true, false);
    ++shown;
  }
  EXPECT_EQ(shown, static_cast<int>(GameImages().size()) + 1);

  sheet.Title("Model textures (in each model's texture folder)");
  for (const auto& [path, img] : models.textures) {
    ASSERT_FALSE(img.empty()) << path;
    const std::string shortName = path.substr(std::string(MORVANE_GAME_DIR).size() + 1);
    const double zoom = img.width <= 64 ? 2 : 1;
    sheet.Item(img, img.width * zoom, img.height * zoom, shortName, false, false);
  }

  sheet.Title("Models: the dwarf warrior, and the board seen from higher up");
  sheet.Item(DwarfPortrait(models, 0.0, false), 360, 440, "nano_guerriero.x front", false, false);
  sheet.Item(DwarfPortrait(models, 0.7, false), 360, 440, "three-quarter view", false, false);
  sheet.Item(DwarfPortrait(models, 2.6, false), 360, 440, "from behind", false, false);
  sheet.Item(DwarfPortrait(models, 0.35, true), 360, 440, "hovered (mouseOnChar)", false, false);
  {
    BoardView v;
    v.dwarfSquare = 9;
    const preview::Camera high = preview::LookAt({-175, 1400, 900}, {-175, 0, -175}, 0.9, 4.0 / 3.0);
    sheet.Item(DrawBoard(models, v, 800, 600, high), 800, 600, "Background.x and casella.x from above", false,
               false);
  }

  const art::Image out = sheet.Finish();
  const std::string path = MORVANE_CONTACT_SHEET;
  std::string err;
  ASSERT_TRUE(art::WritePng(path, out, false, &err)) << err;
  art::Image back;
  ASSERT_TRUE(art::ReadImage(path, back, nullptr, &err)) << err;
  EXPECT_EQ(back.width, out.width);
  EXPECT_EQ(back.height, out.height);
}

}  // namespace
}  // namespace assets_test
