// ID3DXFont: the faces that stand in for the game's face names, GDI's height mapping, DrawText's
// layout and measurement, and the text drawn on the back buffer.
#include "d3dx_fixture.h"

#include <platform/d3dx_info.h>
#include <platform/test_hooks.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <climits>
#include <cmath>
#include <filesystem>

namespace {

using namespace d3dxtest;

// What GDI derives from a font file: the cell height (the OS/2 Windows ascent plus descent,
// scaled to the em and rounded) and a character's hinted advance.
struct FileMetrics {
    int ascent = 0, descent = 0, advance = 0;
    int LineHeight() const { return ascent + descent; }
};

FileMetrics ReadMetrics(const std::string& file, int em, char32_t c = U'M') {
    FileMetrics m;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Face(library, file.c_str(), 0, &face), 0);
    if (!face) {
        FT_Done_FreeType(library);
        return m;
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    EXPECT_NE(os2, nullptr);
    if (os2) {
        m.ascent = int(std::lround(double(os2->usWinAscent) * em / face->units_per_EM));
        m.descent = int(std::lround(double(os2->usWinDescent) * em / face->units_per_EM));
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(em));
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(c)), FT_LOAD_DEFAULT) == 0)
        m.advance = int((face->glyph->advance.x + 32) >> 6);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return m;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The bounding box of the pixels that differ from the background.
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN, count = 0;
    bool Inside(int x0, int y0, int x1, int y1) const { return count && left >= x0 && top >= y0 && right < x1 && bottom < y1; }
};

Ink FindInk(const std::vector<uint32_t>& pixels, uint32_t background, int x0 = 0, int y0 = 0, int x1 = kWidth,
            int y1 = kHeight) {
    Ink ink;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if ((pixels[size_t(y * kWidth + x)] | 0xFF000000u) != (background | 0xFF000000u)) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
    return ink;
}

class FontTest : public D3DXTest {
protected:
    void TearDown() override {
        if (font_) {
            EXPECT_EQ(font_->Release(), 0u);
        }
        D3DXTest::TearDown();
    }
    void Create(INT height, const char* face = "Typewriter", UINT weight = FW_BOLD, DWORD quality = ANTIALIASED_QUALITY) {
        if (font_) font_->Release();
        font_ = nullptr;
        ASSERT_EQ(D3DXCreateFontA(device_, height, 0, weight, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, quality,
                                  DEFAULT_PITCH | FF_DONTCARE, face, &font_),
                  D3D_OK);
        ASSERT_TRUE(platform::d3dx::GetFontInfo(font_, &info_));
    }
    FileMetrics Metrics(char32_t c = U'M') { return ReadMetrics(info_.file, info_.emPixels, c); }
    // Measures with DT_CALCRECT from (left, top) in a rectangle `width` wide.
    RECT Measure(const char* text, DWORD format, int width = 0, int* height = nullptr, int count = -1) {
        RECT r{10, 20, 10 + width, 20};
        const int h = font_->DrawTextA(nullptr, text, count, &r, format | DT_CALCRECT, 0xFFFFFFFF);
        if (height) *height = h;
        return r;
    }
    // Draws in a scene of its own over black; returns DrawText's result.
    int Draw(const char* text, RECT r, DWORD format, D3DCOLOR color = 0xFFFFFFFF) {
        Clear(Argb(255, 0, 0, 0));
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        const int h = font_->DrawTextA(nullptr, text, -1, &r, format, color);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return h;
    }

    ID3DXFont* font_ = nullptr;
    platform::d3dx::FontInfo info_;
};

TEST_F(FontTest, TheGameFaceNamesResolveToInstalledFaces) {
    Create(-24, "Typewriter", FW_BOLD);
    EXPECT_EQ(FileName(info_.file), "LiberationMono-Bold.ttf");
    EXPECT_EQ(info_.family, "Liberation Mono");
    Create(-11, "Eras Demi ITC", FW_BOLD);
    EXPECT_EQ(FileName(info_.file), "DejaVuSans-Bold.ttf");
    EXPECT_EQ(info_.family, "DejaVu Sans");
    Create(-24, "Typewriter", FW_NORMAL);
    EXPECT_EQ(FileName(info_.file), "LiberationMono-Regular.ttf");
    Create(-12, "Arial", FW_NORMAL);
    EXPECT_EQ(info_.family, "Liberation Sans");

    // The description is what was asked for; a long face name is cut to 31 characters.
    Create(-24, "A face name much longer than thirty-one characters", 600, NONANTIALIASED_QUALITY);
    D3DXFONT_DESCA desc;
    ASSERT_EQ(font_->GetDescA(&desc), D3D_OK);
    EXPECT_EQ(desc.Height, -24);
    EXPECT_EQ(desc.Weight, 600u);
    EXPECT_EQ(desc.Quality, NONANTIALIASED_QUALITY);
    EXPECT_EQ(desc.CharSet, DEFAULT_CHARSET);
    EXPECT_EQ(std::string(desc.FaceName), std::string("A face name much longer than thirty-one characters").substr(0, 31));
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(font_->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device_);
    owner->Release();
}

TEST_F(FontTest, HeightsFollowGdisCellAndEmRules) {
    // Negative: the em. The game's 18 points at 96 dpi are -24, its 8 points -11.
    for (int em : {24, 11}) {
        Create(-em);
        EXPECT_EQ(info_.emPixels, em);
        int height = 0;
        Measure("Hg", 0, 0, &height);
        EXPECT_EQ(height, Metrics().LineHeight()) << em;
    }
    // Positive: the largest font whose cell is no taller than asked.
    for (int cell : {27, 26, 16}) {
        Create(cell);
        const int line = Metrics().LineHeight();
        EXPECT_LE(line, cell);
        EXPECT_GT(ReadMetrics(info_.file, info_.emPixels + 1).LineHeight(), cell);
        int height = 0;
        Measure("Hg", 0, 0, &height);
        EXPECT_EQ(height, line);
    }
    ID3DXFont* none = nullptr;
    EXPECT_EQ(D3DXCreateFontA(nullptr, -24, 0, FW_BOLD, 0, FALSE, 1, 0, 4, 0, "Typewriter", &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateFontA(device_, -24, 0, FW_BOLD, 0, FALSE, 1, 0, 4, 0, "Typewriter", nullptr), D3DERR_INVALIDCALL);
}

TEST_F(FontTest, CalcRectMeasuresLinesAndWidths) {
    Create(-24);  // a monospaced face: every character advances the same
    const int adv = Metrics().advance, line = Metrics().LineHeight();
    ASSERT_GT(adv, 0);
    int height = 0;

    RECT r = Measure("Hello", DT_NOCLIP, 0, &height);
    EXPECT_EQ(height, line);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 10 + 5 * adv);
    EXPECT_EQ(r.bottom, 20 + line);

    r = Measure("ab\ncdef", 0, 0, &height);
    EXPECT_EQ(height, 2 * line);
    EXPECT_EQ(r.right, 10 + 4 * adv);
    EXPECT_EQ(r.bottom, 20 + 2 * line);
    Measure("a\r\nb\rc", 0, 0, &height);
    EXPECT_EQ(height, 3 * line) << "CR LF, CR and LF each end a line";
    Measure("ab\ncd", DT_SINGLELINE, 0, &height);
    EXPECT_EQ(height, line) << "a single line ignores line breaks";

    // Word breaks: at the rectangle's edge, dropping the spaces; a word longer than the width stays whole.
    r = Measure("aaa bbb ccc", DT_WORDBREAK, 7 * adv, &height);
    EXPECT_EQ(height, 2 * line);
    EXPECT_EQ(r.right, 10 + 7 * adv);
    r = Measure("aaa bbb ccc", DT_WORDBREAK, 6 * adv, &height);
    EXPECT_EQ(height, 3 * line);
    EXPECT_EQ(r.right, 10 + 3 * adv) << "the rectangle narrows to the text";
    r = Measure("abcdef gh", DT_WORDBREAK, 2 * adv, &height);
    EXPECT_EQ(height, 2 * line);
    EXPECT_EQ(r.right, 10 + 6 * adv) << "the rectangle widens for a long word";
    Measure("aaa bbb ccc", 0, 2 * adv, &height);
    EXPECT_EQ(height, line) << "no wrapping without DT_WORDBREAK";

    // Tabs stop every eight average characters with DT_EXPANDTABS.
    r = Measure("a\tb", DT_EXPANDTABS, 0, &height);
    EXPECT_EQ(r.right, 10 + 9 * adv);
    r = Measure("abcdefghi\tb", DT_EXPANDTABS, 0, &height);
    EXPECT_EQ(r.right, 10 + 17 * adv);

    // A count, an empty text, no text.
    r = Measure("Hello", 0, 0, &height, 2);
    EXPECT_EQ(r.right, 10 + 2 * adv);
    r = Measure("", 0, 50, &height);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(r.right, r.left);
    EXPECT_EQ(r.bottom, r.top);
    RECT any{0, 0, 10, 10};
    EXPECT_EQ(font_->DrawTextA(nullptr, nullptr, -1, &any, DT_CALCRECT, 0xFFFFFFFF), 0);
    EXPECT_EQ(font_->DrawTextA(nullptr, "abc", 0, &any, DT_CALCRECT, 0xFFFFFFFF), 0);
}

TEST_F(FontTest, TextDrawnAtAPositionStaysInItsCells) {
    Create(-24);
    const FileMetrics m = Metrics();
    // As the game draws: a rectangle from (x, y) to (0, 0) with DT_NOCLIP.
    EXPECT_EQ(Draw("Hello", RECT{10, 20, 0, 0}, DT_NOCLIP), m.LineHeight());
    const std::vector<uint32_t> pixels = BackBuffer();
    const Ink ink = FindInk(pixels, 0);
    ASSERT_GT(ink.count, 0);
    EXPECT_TRUE(ink.Inside(10 - 1, 20, 10 + 5 * m.advance + 1, 20 + m.LineHeight()))
        << ink.left << "," << ink.top << " to " << ink.right << "," << ink.bottom;
    // Every character has ink in its own cell, and the capitals reach up towards the ascent.
    for (int i = 0; i < 5; ++i)
        EXPECT_GT(FindInk(pixels, 0, 10 + i * m.advance, 20, 10 + (i + 1) * m.advance, 20 + m.LineHeight()).count, 0) << i;
    EXPECT_LT(ink.top, 20 + m.ascent / 2);
    // The baseline: "Hello" has no descenders, so no ink below it.
    EXPECT_LE(ink.bottom, 20 + m.ascent);
}

TEST_F(FontTest, CodePage1252Characters) {
    Create(-24);
    const Ink plain = FindInk((Draw("a", RECT{10, 20, 0, 0}, DT_NOCLIP), BackBuffer()), 0);
    const Ink grave = FindInk((Draw("\xE0", RECT{10, 20, 0, 0}, DT_NOCLIP), BackBuffer()), 0);  // à
    ASSERT_GT(plain.count, 0);
    ASSERT_GT(grave.count, plain.count);
    EXPECT_LT(grave.top, plain.top - 2) << "the accent stands above the letter";
    EXPECT_EQ(grave.bottom, plain.bottom);
    const Ink euro = FindInk((Draw("\x80", RECT{10, 20, 0, 0}, DT_NOCLIP), BackBuffer()), 0);  // €
    EXPECT_GT(euro.count, 0);
}

TEST_F(FontTest, ColourAlphaAndAntialiasing) {
    Create(-24);
    Draw("MWMW", RECT{4, 4, 0, 0}, DT_NOCLIP, 0xFFFFFF00);  // opaque yellow
    std::vector<uint32_t> pixels = BackBuffer();
    int partial = 0, full = 0;
    for (uint32_t p : pixels) {
        if (!(p & 0xFFFFFF)) continue;
        EXPECT_EQ(Channel(p, 0), 0) << "no blue in yellow";
        EXPECT_LE(std::abs(Channel(p, 1) - Channel(p, 2)), 1);
        if (Channel(p, 2) >= 254) ++full;
        else ++partial;
    }
    EXPECT_GT(full, 0);
    EXPECT_GT(partial, 0) << "antialiased edges";

    // Half-transparent white over black: full coverage gives half intensity.
    Draw("MWMW", RECT{4, 4, 0, 0}, DT_NOCLIP, 0x80FFFFFF);
    int brightest = 0;
    for (uint32_t p : BackBuffer()) brightest = std::max(brightest, Channel(p, 2));
    EXPECT_NEAR(brightest, 128, 2);

    // Without antialiasing every pixel is either ink or background (give or take the few steps a
    // hard edge picks up from a neighbouring texel in the rasteriser's sub-pixel placement).
    Create(-24, "Typewriter", FW_BOLD, NONANTIALIASED_QUALITY);
    Draw("MWMW", RECT{4, 4, 0, 0}, DT_NOCLIP, 0xFFFFFFFF);
    int ink = 0;
    for (uint32_t p : BackBuffer()) {
        const int v = Channel(p, 2);
        EXPECT_TRUE(v <= 8 || v >= 247) << "value " << v;
        ink += v >= 247;
    }
    EXPECT_GT(ink, 0);
}

TEST_F(FontTest, AlignmentClippingAndWrapping) {
    Create(-24);
    const FileMetrics m = Metrics();
    const RECT screen{0, 0, kWidth, kHeight};
    const int top = (kHeight - m.LineHeight()) / 2;
    EXPECT_EQ(Draw("MM", screen, DT_CENTER | DT_VCENTER | DT_SINGLELINE), top + m.LineHeight());
    Ink ink = FindInk(BackBuffer(), 0);
    EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, kWidth / 2.0, 2.0);
    EXPECT_TRUE(ink.Inside(0, top, kWidth, top + m.LineHeight()));

    EXPECT_EQ(Draw("MM", screen, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE), kHeight);
    ink = FindInk(BackBuffer(), 0);
    EXPECT_LE(ink.right, kWidth - 1);
    EXPECT_GE(ink.right, kWidth - 1 - m.advance / 3);
    EXPECT_GE(ink.top, kHeight - m.LineHeight());

    // Clipped to the rectangle unless DT_NOCLIP.
    Draw("MMMMMM", RECT{10, 20, 30, 40}, DT_LEFT);
    ink = FindInk(BackBuffer(), 0);
    EXPECT_TRUE(ink.Inside(10, 20, 30, 40)) << ink.right << "," << ink.bottom;
    Draw("MMMMMM", RECT{10, 20, 30, 40}, DT_NOCLIP);
    ink = FindInk(BackBuffer(), 0);
    EXPECT_GT(ink.right, 30 + m.advance);

    // Two lines, the second a line height further down.
    EXPECT_EQ(Draw("MM\nMM", RECT{10, 10, 0, 0}, DT_NOCLIP), 2 * m.LineHeight());
    const std::vector<uint32_t> pixels = BackBuffer();
    EXPECT_GT(FindInk(pixels, 0, 0, 10, kWidth, 10 + m.LineHeight()).count, 0);
    EXPECT_GT(FindInk(pixels, 0, 0, 10 + m.LineHeight(), kWidth, 10 + 2 * m.LineHeight()).count, 0);
    EXPECT_EQ(FindInk(pixels, 0, 0, 10 + 2 * m.LineHeight(), kWidth, kHeight).count, 0);
}

TEST_F(FontTest, DrawingThroughTheCallersSprite) {
    Create(-11, "Eras Demi ITC");
    const FileMetrics m = Metrics();
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite), D3D_OK);
    RECT r{5, 5, 0, 0};
    EXPECT_EQ(font_->DrawTextA(sprite, "M", -1, &r, DT_NOCLIP, 0xFFFFFFFF), 0) << "the sprite has not begun";

    Clear(Argb(255, 0, 0, 0));
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE), D3D_OK);
    EXPECT_EQ(font_->DrawTextA(sprite, "MM", -1, &r, DT_NOCLIP, 0xFFFFFFFF), m.LineHeight());
    ASSERT_EQ(sprite->End(), D3D_OK);
    const Ink plain = FindInk(BackBuffer(), 0);

    // The sprite's transform scales the text with it.
    D3DXMATRIX twice;
    D3DXMatrixScaling(&twice, 2, 2, 1);
    sprite->SetTransform(&twice);
    Clear(Argb(255, 0, 0, 0));
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    EXPECT_EQ(font_->DrawTextA(sprite, "MM", -1, &r, DT_NOCLIP, 0xFFFFFFFF), m.LineHeight());
    ASSERT_EQ(sprite->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const Ink scaled = FindInk(BackBuffer(), 0);
    ASSERT_GT(plain.count, 0);
    EXPECT_NEAR(scaled.right - scaled.left + 1, 2 * (plain.right - plain.left + 1), 2);
    EXPECT_NEAR(scaled.bottom - scaled.top + 1, 2 * (plain.bottom - plain.top + 1), 2);
    EXPECT_NEAR(scaled.left, 2 * plain.left, 2);
    sprite->Release();
}

TEST_F(FontTest, GlyphsAreRasterisedOnceIntoAtlasTextures) {
    Create(-24);
    EXPECT_EQ(info_.glyphs, 0);
    Draw("Hello", RECT{0, 0, 0, 0}, DT_NOCLIP);
    platform::d3dx::FontInfo info;
    ASSERT_TRUE(platform::d3dx::GetFontInfo(font_, &info));
    EXPECT_EQ(info.glyphs, 4);  // H, e, l, o
    EXPECT_EQ(info.atlasPages, 1);
    Draw("Hello", RECT{0, 0, 0, 0}, DT_NOCLIP);
    Draw("Hello World", RECT{0, 0, 0, 0}, DT_NOCLIP);
    ASSERT_TRUE(platform::d3dx::GetFontInfo(font_, &info));
    EXPECT_EQ(info.glyphs, 8);  // and the space, W, r, d
    EXPECT_EQ(info.atlasPages, 1);

    // Large glyphs fill several pages and still draw.
    Create(-120, "Typewriter");
    EXPECT_GT(Draw("ABCDEFGHIJKLMNOPQRSTUVWXYZ", RECT{0, 0, 0, 0}, DT_NOCLIP), 0);
    ASSERT_TRUE(platform::d3dx::GetFontInfo(font_, &info));
    EXPECT_GE(info.atlasPages, 2);
    EXPECT_GT(FindInk(BackBuffer(), 0).count, 1000);
}

TEST_F(FontTest, SurvivesADeviceReset) {
    Create(-24);
    Draw("Hi", RECT{10, 10, 0, 0}, DT_NOCLIP);
    const Ink before = FindInk(BackBuffer(), 0);
    ASSERT_GT(before.count, 0);
    ASSERT_TRUE(platform::hooks::LoseDevice(device_));
    ASSERT_TRUE(platform::hooks::RegainDevice(device_));
    ASSERT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // The font holds resources of the default pool until OnLostDevice, and draws nothing after it.
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(font_->OnLostDevice(), D3D_OK);
    RECT r{10, 10, 0, 0};
    EXPECT_EQ(font_->DrawTextA(nullptr, "Hi", -1, &r, DT_NOCLIP, 0xFFFFFFFF), 0);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    ASSERT_EQ(font_->OnResetDevice(), D3D_OK);
    Draw("Hi", RECT{10, 10, 0, 0}, DT_NOCLIP);
    const Ink after = FindInk(BackBuffer(), 0);
    EXPECT_EQ(after.count, before.count);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

}  // namespace
