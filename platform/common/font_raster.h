// Text rasterisation with FreeType, faces found through fontconfig.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::text {

// Windows code page 1252 to Unicode.
std::u32string FromCp1252(const char* text, size_t length);

// Receives one pixel of a glyph: position and coverage 1..255.
using PlotFn = std::function<void(int x, int y, uint8_t coverage)>;

class Face {
public:
    // The installed face that best matches the family, weight (400 normal, 700 bold) and slant,
    // sized so that its em is `pixelHeight` pixels. Families that are not installed fall back to
    // a face of the same kind. Null when no face at all can be loaded.
    static std::shared_ptr<Face> Open(const std::string& family, int weight, bool italic,
                                      int pixelHeight);
    ~Face();
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    const std::string& FilePath() const { return path_; }
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int LineHeight() const { return ascent_ + descent_; }

    int MeasureString(const std::u32string& text);
    // Draws one line with its baseline at `baselineY`; returns the advance.
    int DrawString(const std::u32string& text, int x, int baselineY, const PlotFn& plot);

private:
    Face() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
    int ascent_ = 0;
    int descent_ = 0;
};

}  // namespace platform::text
