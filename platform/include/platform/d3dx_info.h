// What the layer's D3DX objects are made of, for tests and diagnostics. The game never calls these.
#pragma once

#include <d3dx9core.h>

#include <string>

namespace platform::d3dx {

struct FontInfo {
    std::string file;    // the installed font file that serves the face name
    std::string family;  // that file's family name
    int cellAscent = 0;  // pixels above the baseline in a line's cell
    int cellDescent = 0; // pixels below it
    int emPixels = 0;    // the em size the glyphs are rasterised at
    int atlasPages = 0;  // textures holding rasterised glyphs
    int glyphs = 0;      // characters rasterised so far
};

// False when `font` was not made by D3DXCreateFontA.
bool GetFontInfo(ID3DXFont* font, FontInfo* info);

}  // namespace platform::d3dx
