#include "common/font_raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>

namespace platform::text {
namespace {

// Unicode of the bytes 0x80..0x9F of code page 1252; 0 where the code page has no character.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Families named by Windows programs, and the installed kind that stands in for them.
struct Alias {
    const char* family;
    const char* substitute;
};
constexpr Alias kAliases[] = {
    {"typewriter", "Liberation Mono"}, {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},    {"eras demi itc", "DejaVu Sans"},
    {"arial", "Liberation Sans"},      {"times new roman", "Liberation Serif"},
    {"tahoma", "DejaVu Sans"},         {"verdana", "DejaVu Sans"},
};

struct FreeType {
    FT_Library library = nullptr;
    std::mutex mutex;
    FreeType() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
};

// Lives for the whole process: faces may be released by global destructors at exit.
FreeType& Library() {
    static FreeType* ft = new FreeType;
    return *ft;
}

std::string FindFontFile(const std::string& family, int weight, bool italic) {
    std::string wanted = family;
    std::string lower = family;
    for (char& c : lower) c = char(std::tolower((unsigned char)c));
    for (const Alias& alias : kAliases)
        if (lower == alias.family) wanted = alias.substitute;

    static std::mutex fcMutex;
    std::lock_guard<std::mutex> lock(fcMutex);
    if (!FcInit()) return {};
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return {};
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string path;
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

}  // namespace

std::u32string FromCp1252(const char* text, size_t length) {
    std::u32string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 && c < 0xA0) {
            char32_t u = kCp1252High[c - 0x80];
            out += u ? u : char32_t(0xFFFD);
        } else {
            out += char32_t(c);
        }
    }
    return out;
}

struct Face::Impl {
    FT_Face face = nullptr;
    ~Impl() {
        if (face) {
            std::lock_guard<std::mutex> lock(Library().mutex);
            FT_Done_Face(face);
        }
    }
};

std::shared_ptr<Face> Face::Open(const std::string& family, int weight, bool italic,
                                 int pixelHeight, HeightMode mode) {
    FreeType& ft = Library();
    if (!ft.library || pixelHeight <= 0) return nullptr;
    std::string path = FindFontFile(family, weight, italic);
    if (path.empty()) return nullptr;
    std::shared_ptr<Face> face(new Face);
    face->impl_ = std::make_unique<Impl>();
    {
        std::lock_guard<std::mutex> lock(ft.mutex);
        if (FT_New_Face(ft.library, path.c_str(), 0, &face->impl_->face) != 0) {
            face->impl_->face = nullptr;
            return nullptr;
        }
    }
    FT_Face f = face->impl_->face;
    if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0) return nullptr;

    // Windows sizes cells by the OS/2 table's ascent and descent; hhea is the fallback.
    double upem = f->units_per_EM, winAscent = f->ascender, winDescent = -double(f->descender);
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2)))
        if (os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
    if (winAscent + winDescent <= 0) winAscent = upem, winDescent = 0;
    auto ascentAt = [&](int em) { return int(std::lround(winAscent * em / upem)); };
    auto descentAt = [&](int em) { return int(std::lround(winDescent * em / upem)); };
    int em = pixelHeight;
    if (mode == HeightMode::Cell) {
        // The largest em whose cell does not exceed the height.
        // A face with absurd metrics must not ask FreeType for a gigantic em.
        em = std::clamp(int(pixelHeight * upem / (winAscent + winDescent)), 1, 4 * pixelHeight);
        while (em > 1 && ascentAt(em) + descentAt(em) > pixelHeight) --em;
        while (em < 4 * pixelHeight && ascentAt(em + 1) + descentAt(em + 1) <= pixelHeight) ++em;
    }
    if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(em)) != 0) return nullptr;
    face->path_ = path;
    face->family_ = f->family_name ? f->family_name : "";
    face->em_ = em;
    face->cellAscent_ = ascentAt(em);
    face->cellDescent_ = descentAt(em);
    face->emboldenSynthetic_ = weight >= 600 && !(f->style_flags & FT_STYLE_FLAG_BOLD);
    face->ascent_ = int((f->size->metrics.ascender + 63) >> 6);
    face->descent_ = int((-f->size->metrics.descender + 63) >> 6);
    return face;
}

bool Face::RenderGlyph(char32_t c, bool antialiased, GlyphBitmap& out) {
    out = GlyphBitmap{};
    FT_Face f = impl_->face;
    FT_UInt index = FT_Get_Char_Index(f, FT_ULong(c));
    FT_Int32 load = antialiased ? FT_LOAD_DEFAULT : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(f, index, load) != 0) return false;
    FT_GlyphSlot g = f->glyph;
    if (emboldenSynthetic_) FT_GlyphSlot_Embolden(g);
    if (FT_Render_Glyph(g, antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return false;
    const FT_Bitmap& bm = g->bitmap;
    out.advance = int((g->advance.x + 32) >> 6);
    out.left = g->bitmap_left;
    out.top = g->bitmap_top;
    out.width = int(bm.width);
    out.height = int(bm.rows);
    out.coverage.assign(size_t(out.width) * size_t(out.height), 0);
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) {
        out.width = out.height = 0;
        out.coverage.clear();
        return true;
    }
    const int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    for (int row = 0; row < out.height; ++row) {
        const unsigned char* line =
            bm.pitch < 0 ? bm.buffer + size_t(out.height - 1 - row) * size_t(pitch)
                         : bm.buffer + size_t(row) * size_t(pitch);
        uint8_t* dst = &out.coverage[size_t(row) * size_t(out.width)];
        for (int col = 0; col < out.width; ++col)
            dst[col] = bm.pixel_mode == FT_PIXEL_MODE_GRAY
                           ? line[col]
                           : ((line[col >> 3] >> (7 - (col & 7))) & 1) ? 255 : 0;
    }
    return true;
}

Face::~Face() = default;

int Face::MeasureString(const std::u32string& text) {
    return DrawString(text, 0, 0, nullptr);
}

int Face::DrawString(const std::u32string& text, int x, int baselineY, const PlotFn& plot) {
    FT_Face f = impl_->face;
    int penX = x;
    FT_UInt previous = 0;
    for (char32_t c : text) {
        FT_UInt index = FT_Get_Char_Index(f, FT_ULong(c));
        if (previous && index && FT_HAS_KERNING(f)) {
            FT_Vector kern;
            if (FT_Get_Kerning(f, previous, index, FT_KERNING_DEFAULT, &kern) == 0)
                penX += int(kern.x >> 6);
        }
        if (FT_Load_Glyph(f, index, plot ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0) continue;
        FT_GlyphSlot g = f->glyph;
        if (plot && g->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const FT_Bitmap& bm = g->bitmap;
            for (unsigned row = 0; row < bm.rows; ++row) {
                const unsigned char* line = bm.buffer + int(row) * bm.pitch;
                for (unsigned col = 0; col < bm.width; ++col)
                    if (line[col])
                        plot(penX + g->bitmap_left + int(col), baselineY - g->bitmap_top + int(row),
                             line[col]);
            }
        }
        penX += int((g->advance.x + 32) >> 6);
        previous = index;
    }
    return penX - x;
}

}  // namespace platform::text
