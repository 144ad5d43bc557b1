// ID3DXFont: text laid out as GDI's DrawText does, with glyphs rasterised once by FreeType into
// atlas textures and drawn as sprites.
#include <d3dx9core.h>
#include <platform/d3dx_info.h>

#include "common/com.h"
#include "common/font_raster.h"
#include "common/image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using platform::ComPtr;
namespace text = platform::text;

constexpr UINT kPageSize = 256;
constexpr UINT kMaxPageSize = 4096;
constexpr int kMaxHeight = 2048;
constexpr int kDefaultCellHeight = 16;  // a height of 0 asks for the default size
constexpr int kTabColumns = 8;

struct Glyph {
    int page = -1;  // -1: nothing to draw (a space, a control character)
    RECT rect{};    // in the page
    int left = 0, top = 0, advance = 0;
};

struct Page {
    ComPtr<IDirect3DTexture9> texture;
    UINT size = 0;
    UINT shelfX = 0, shelfY = 0, shelfHeight = 0;
};

struct Line {
    size_t begin = 0, end = 0;  // characters of the text
    int width = 0;
};

bool IsLineBreak(char32_t c) { return c == U'\n' || c == U'\r'; }

class Font final : public platform::ComObject<ID3DXFont> {
public:
    Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc, std::shared_ptr<text::Face> face,
         ComPtr<ID3DXSprite> sprite)
        : device_(ComPtr<IDirect3DDevice9>::Share(device)), desc_(desc), face_(std::move(face)),
          sprite_(std::move(sprite)), antialiased_(desc.Quality != NONANTIALIASED_QUALITY) {}

    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = device_.Get();
        (*out)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescA(D3DXFONT_DESCA* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = desc_;
        return D3D_OK;
    }
    INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count, LPRECT rect, DWORD format,
                                    D3DCOLOR color) override;
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return sprite_->OnLostDevice(); }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return sprite_->OnResetDevice(); }

    void Describe(platform::d3dx::FontInfo* info) const {
        info->file = face_->FilePath();
        info->family = face_->FamilyName();
        info->cellAscent = face_->CellAscent();
        info->cellDescent = face_->CellDescent();
        info->emPixels = face_->EmPixels();
        info->atlasPages = int(pages_.size());
        info->glyphs = int(glyphs_.size());
    }

protected:
    bool Implements(REFIID riid) const override { return riid == IID_ID3DXFont; }

private:
    // The glyph of a character, rasterised into a page the first time it is asked for.
    const Glyph& GlyphOf(char32_t c);
    bool Place(const text::GlyphBitmap& bitmap, Glyph& glyph);
    int Advance(char32_t c, int penX, DWORD format);
    int Measure(const std::u32string& s, size_t begin, size_t end, DWORD format);
    std::vector<Line> Layout(const std::u32string& s, DWORD format, int maxWidth);

    ComPtr<IDirect3DDevice9> device_;
    D3DXFONT_DESCA desc_;
    std::shared_ptr<text::Face> face_;
    ComPtr<ID3DXSprite> sprite_;  // draws when the caller gives no sprite
    bool antialiased_;
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::vector<Page> pages_;
};

const Glyph& Font::GlyphOf(char32_t c) {
    auto found = glyphs_.find(c);
    if (found != glyphs_.end()) return found->second;
    Glyph glyph;
    if (c >= 0x20 && c != 0x7F) {
        text::GlyphBitmap bitmap;
        if (face_->RenderGlyph(c, antialiased_, bitmap)) {
            glyph.advance = bitmap.advance;
            glyph.left = bitmap.left;
            glyph.top = bitmap.top;
            if (bitmap.width > 0 && bitmap.height > 0 && !Place(bitmap, glyph)) glyph.page = -1;
        }
    }
    return glyphs_.emplace(c, glyph).first->second;
}

// Shelf packing with a one-texel gap around every glyph, so that filtering never reaches a
// neighbour. Pages are managed textures, so they survive a device reset.
bool Font::Place(const text::GlyphBitmap& bitmap, Glyph& glyph) {
    const UINT w = UINT(bitmap.width), h = UINT(bitmap.height);
    if (w + 2 > kMaxPageSize || h + 2 > kMaxPageSize) return false;
    Page* page = pages_.empty() ? nullptr : &pages_.back();
    if (page) {
        if (page->shelfX + w + 1 > page->size) {
            page->shelfY += page->shelfHeight + 1;
            page->shelfX = 1;
            page->shelfHeight = 0;
        }
        if (page->shelfY + h + 1 > page->size || page->shelfX + w + 1 > page->size) page = nullptr;
    }
    if (!page) {
        const UINT size = std::max(kPageSize, platform::image::NextPowerOfTwo(std::max(w, h) + 2));
        IDirect3DTexture9* raw = nullptr;
        if (FAILED(device_->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &raw, nullptr)))
            return false;
        Page fresh;
        fresh.texture = ComPtr<IDirect3DTexture9>(raw);
        fresh.size = size;
        fresh.shelfX = fresh.shelfY = 1;
        // A new texture's contents are undefined: clear it to transparent.
        D3DLOCKED_RECT locked;
        if (FAILED(raw->LockRect(0, &locked, nullptr, 0))) return false;
        for (UINT y = 0; y < size; ++y)
            std::memset(static_cast<uint8_t*>(locked.pBits) + ptrdiff_t(y) * locked.Pitch, 0, size_t(size) * 4);
        raw->UnlockRect(0);
        pages_.push_back(std::move(fresh));
        page = &pages_.back();
    }
    const RECT r{LONG(page->shelfX), LONG(page->shelfY), LONG(page->shelfX + w), LONG(page->shelfY + h)};
    D3DLOCKED_RECT locked;
    if (FAILED(page->texture->LockRect(0, &locked, &r, 0))) return false;
    for (UINT y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + ptrdiff_t(y) * locked.Pitch);
        const uint8_t* coverage = &bitmap.coverage[size_t(y) * w];
        // White, with the coverage as alpha: the sprite colour tints it.
        for (UINT x = 0; x < w; ++x) row[x] = (uint32_t(coverage[x]) << 24) | 0x00FFFFFFu;
    }
    page->texture->UnlockRect(0);
    glyph.page = int(pages_.size() - 1);
    glyph.rect = r;
    page->shelfX += w + 1;
    page->shelfHeight = std::max(page->shelfHeight, h);
    return true;
}

int Font::Advance(char32_t c, int penX, DWORD format) {
    if (c == U'\t' && (format & DT_EXPANDTABS)) {
        const int stop = std::max(1, kTabColumns * GlyphOf(U'x').advance);
        return (penX / stop + 1) * stop - penX;
    }
    return GlyphOf(c).advance;
}

int Font::Measure(const std::u32string& s, size_t begin, size_t end, DWORD format) {
    int pen = 0;
    for (size_t i = begin; i < end; ++i) pen += Advance(s[i], pen, format);
    return pen;
}

// Lines as GDI forms them: CR, LF and CR LF end a line unless DT_SINGLELINE; with DT_WORDBREAK a
// line also ends before a word that would pass the right edge (a word longer than the width
// stays whole), and the spaces at such a break are dropped.
std::vector<Line> Font::Layout(const std::u32string& s, DWORD format, int maxWidth) {
    std::vector<Line> lines;
    auto add = [&](size_t b, size_t e) { lines.push_back(Line{b, e, Measure(s, b, e, format)}); };
    if (format & DT_SINGLELINE) {
        add(0, s.size());
        return lines;
    }
    size_t start = 0;
    while (true) {
        size_t stop = start;
        while (stop < s.size() && !IsLineBreak(s[stop])) ++stop;
        if (!(format & DT_WORDBREAK)) {
            add(start, stop);
        } else {
            size_t lineBegin = start, i = start;
            while (true) {
                // The next word and the spaces before it.
                size_t wordBegin = i;
                while (wordBegin < stop && s[wordBegin] == U' ') ++wordBegin;
                size_t wordEnd = wordBegin;
                while (wordEnd < stop && s[wordEnd] != U' ') ++wordEnd;
                if (wordBegin == wordEnd) {
                    add(lineBegin, i);
                    break;
                }
                if (i > lineBegin && Measure(s, lineBegin, wordEnd, format) > maxWidth) {
                    add(lineBegin, i);
                    lineBegin = wordBegin;
                }
                i = wordEnd;
            }
        }
        if (stop >= s.size()) break;
        start = stop + (s[stop] == U'\r' && stop + 1 < s.size() && s[stop + 1] == U'\n' ? 2 : 1);
    }
    return lines;
}

INT Font::DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count, LPRECT rect, DWORD format, D3DCOLOR color) {
    if (!string || count == 0 || count < -1) return 0;
    try {
        const size_t length = count < 0 ? std::strlen(string) : strnlen(string, size_t(count));
        const std::u32string s = text::FromCp1252(string, length);
        RECT r = rect ? *rect : RECT{0, 0, 0, 0};
        if (!rect) format |= DT_NOCLIP;
        const int lineHeight = face_->CellAscent() + face_->CellDescent();
        if (s.empty()) {
            if (rect && (format & DT_CALCRECT)) rect->right = rect->left, rect->bottom = rect->top;
            return 0;
        }
        const std::vector<Line> lines = Layout(s, format, int(r.right - r.left));
        int widest = 0;
        for (const Line& line : lines) widest = std::max(widest, line.width);
        const int height = int(lines.size()) * lineHeight;

        if (format & DT_CALCRECT) {
            if (rect) {
                rect->right = rect->left + widest;
                rect->bottom = rect->top + height;
            }
            return height;
        }

        int top = int(r.top);
        if (format & DT_SINGLELINE) {
            if (format & DT_VCENTER) top = int(r.top + r.bottom - lineHeight) / 2;
            else if (format & DT_BOTTOM) top = int(r.bottom) - lineHeight;
        }
        const int result = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))
                               ? top - int(r.top) + lineHeight
                               : height;

        ID3DXSprite* target = sprite ? sprite : sprite_.Get();
        if (!sprite && FAILED(sprite_->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE))) return 0;
        bool ok = true;
        const bool clip = !(format & DT_NOCLIP);
        for (size_t n = 0; n < lines.size() && ok; ++n) {
            const Line& line = lines[n];
            int x = int(r.left);
            if (format & DT_CENTER) x = int(r.left + r.right - line.width) / 2;
            else if (format & DT_RIGHT) x = int(r.right) - line.width;
            const int baseline = top + int(n) * lineHeight + face_->CellAscent();
            int pen = 0;
            for (size_t i = line.begin; i < line.end && ok; ++i) {
                const int advance = Advance(s[i], pen, format);
                const Glyph& g = GlyphOf(s[i]);
                if (g.page >= 0) {
                    RECT src = g.rect;
                    LONG gx = x + pen + g.left, gy = baseline - g.top;
                    if (clip) {
                        // Cut the glyph's quad and its texels to the rectangle.
                        const LONG cl = std::max(gx, r.left) - gx, ct = std::max(gy, r.top) - gy;
                        const LONG cr = std::max<LONG>(0, gx + (src.right - src.left) - r.right);
                        const LONG cb = std::max<LONG>(0, gy + (src.bottom - src.top) - r.bottom);
                        src.left += cl, src.top += ct, src.right -= cr, src.bottom -= cb;
                        gx += cl, gy += ct;
                    }
                    if (src.right > src.left && src.bottom > src.top) {
                        const D3DXVECTOR3 at(float(gx), float(gy), 0.0f);
                        ok = SUCCEEDED(target->Draw(pages_[size_t(g.page)].texture.Get(), &src, nullptr, &at, color));
                    }
                }
                pen += advance;
            }
        }
        if (!sprite && FAILED(sprite_->End())) ok = false;
        return ok ? result : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 pDevice, INT Height, UINT Width, UINT Weight, UINT MipLevels,
                               BOOL Italic, DWORD CharSet, DWORD OutputPrecision, DWORD Quality,
                               DWORD PitchAndFamily, LPCSTR pFaceName, LPD3DXFONT* ppFont) {
    if (!ppFont) return D3DERR_INVALIDCALL;
    *ppFont = nullptr;
    if (!pDevice || Height > kMaxHeight || Height < -kMaxHeight) return D3DERR_INVALIDCALL;
    D3DXFONT_DESCA desc{};
    desc.Height = Height;
    desc.Width = Width;
    desc.Weight = Weight;
    desc.MipLevels = MipLevels;
    desc.Italic = Italic;
    desc.CharSet = BYTE(CharSet);
    desc.OutputPrecision = BYTE(OutputPrecision);
    desc.Quality = BYTE(Quality);
    desc.PitchAndFamily = BYTE(PitchAndFamily);
    if (pFaceName) std::strncpy(desc.FaceName, pFaceName, LF_FACESIZE - 1);
    try {
        // GDI's mapping: a positive height is the cell, a negative one the em, 0 a default cell.
        const text::HeightMode mode = Height < 0 ? text::HeightMode::Em : text::HeightMode::Cell;
        const int pixels = Height == 0 ? kDefaultCellHeight : Height < 0 ? -Height : Height;
        const std::string family = desc.FaceName[0] ? desc.FaceName : "Arial";
        std::shared_ptr<text::Face> face =
            text::Face::Open(family, Weight == 0 ? FW_NORMAL : int(Weight), Italic != FALSE, pixels, mode);
        if (!face) return D3DXERR_INVALIDDATA;
        LPD3DXSPRITE rawSprite = nullptr;
        HRESULT hr = D3DXCreateSprite(pDevice, &rawSprite);
        if (FAILED(hr)) return hr;
        *ppFont = new Font(pDevice, desc, std::move(face), ComPtr<ID3DXSprite>(rawSprite));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

bool platform::d3dx::GetFontInfo(ID3DXFont* font, FontInfo* info) {
    auto* ours = dynamic_cast<Font*>(font);
    if (!ours || !info) return false;
    ours->Describe(info);
    return true;
}
