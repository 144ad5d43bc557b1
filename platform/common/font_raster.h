// Text rasterisation with FreeType, faces found through fontconfig.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::text {

// Windows code page 1252 to Unicode.
std::u32string FromCp1252(const char* text, size_t length);

// Receives one pixel of a glyph: position and coverage 1..255.
using PlotFn = std::function<void(int x, int y, uint8_t coverage)>;

// One rasterised glyph: `width` x `height` coverage bytes (0..255), rows top first, placed with
// its top-left pixel at (pen x + left, baseline - top).
struct GlyphBitmap {
    int left = 0, top = 0;
    int width = 0, height = 0;
    int advance = 0;  // pixels to the next pen position
    std::vector<uint8_t> coverage;
};

// How a requested height is matched, as GDI's LOGFONT does.
enum class HeightMode {
    Em,    // the em square (the character height) is the height
    Cell,  // ascent + descent from the face's Windows metrics is at most the height
};

class Face {
public:
    // The installed face that best matches the family, weight (400 normal, 700 bold) and slant,
    // sized so that its em is `pixelHeight` pixels. Families that are not installed fall back to
    // a face of the same kind. Null when no face at all can be loaded.
    static std::shared_ptr<Face> Open(const std::string& family, int weight, bool italic,
                                      int pixelHeight, HeightMode mode = HeightMode::Em);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    const std::string& FilePath() const { return path_; }
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int LineHeight() const { return ascent_ + descent_; }

    // The family name of the face that was loaded.
    const std::string& FamilyName() const { return family_; }
    // GDI-style cell metrics, from the face's Windows ascent and descent when it has them:
    // the cell is CellAscent() + CellDescent() pixels high; the em is EmPixels().
    int CellAscent() const { return cellAscent_; }
    int CellDescent() const { return cellDescent_; }
    int EmPixels() const { return em_; }
    // Rasterises one character with hinting, antialiased or as black and white pixels. Characters
    // the face lacks give its missing-glyph shape. False only when FreeType fails.
    bool RenderGlyph(char32_t c, bool antialiased, GlyphBitmap& out);

    int MeasureString(const std::u32string& text);
    // Draws one line with its baseline at `baselineY`; returns the advance.
    int DrawString(const std::u32string& text, int x, int baselineY, const PlotFn& plot);

private:
    Face() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
    std::string family_;
    int cellAscent_ = 0, cellDescent_ = 0, em_ = 0;
    bool emboldenSynthetic_ = false;
    int ascent_ = 0;
    int descent_ = 0;
};

}  // namespace platform::text
