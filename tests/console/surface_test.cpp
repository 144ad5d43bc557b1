// The surface helpers and the bitmap alphabet.
#include "console_fixture.h"
#include "surface.h"

#include "platform/test_hooks.h"

#include <algorithm>
#include <string>

namespace consoletest {
namespace {

constexpr DWORD kGuardValue = 0xDEADBEEF;

// A width x height pixel buffer inside a guard frame that nothing may touch.
struct Buffer {
    static constexpr int kGuard = 40;
    int width, height, stride;
    std::vector<DWORD> data;
    Buffer(int w, int h, DWORD fill) : width(w), height(h), stride(w + 2 * kGuard),
                                       data(size_t(stride) * (h + 2 * kGuard), kGuardValue) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) At(x, y) = fill;
    }
    DWORD* Bits() { return &data[size_t(kGuard) * stride + kGuard]; }
    int Pitch() const { return stride * 4; }
    DWORD& At(int x, int y) { return data[size_t(y + kGuard) * stride + x + kGuard]; }
    bool GuardIntact() {
        for (int y = -kGuard; y < height + kGuard; ++y)
            for (int x = -kGuard; x < width + kGuard; ++x)
                if ((x < 0 || y < 0 || x >= width || y >= height) && At(x, y) != kGuardValue) return false;
        return true;
    }
    void PrintChar(int x, int y, char c, BOOL transparent) {
        ::PrintChar(x, y, c, transparent, 0, Bits(), Pitch(), width, height);
    }
};

class SurfaceTest : public DeviceTest {
protected:
    // The alphabet pixel at (x, y) of the bitmap.
    DWORD Glyph(int x, int y) {
        if (alphabet_.empty()) alphabet_ = ReadSurface(g_pAlphabetSurface);
        return alphabet_[size_t(y) * g_AlphabetWidth + x];
    }
    IDirect3DSurface9* Surface(UINT w, UINT h, D3DFORMAT format, DWORD fill) {
        IDirect3DSurface9* s = nullptr;
        EXPECT_EQ(g_pd3dDevice->CreateOffscreenPlainSurface(w, h, format, D3DPOOL_SYSTEMMEM, &s, nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        if (format != D3DFMT_R5G6B5 && SUCCEEDED(s->LockRect(&lr, nullptr, 0))) {
            for (UINT y = 0; y < h; ++y)
                std::fill_n(reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch), w, fill);
            s->UnlockRect();
        }
        return s;
    }
    std::vector<DWORD> alphabet_;
};

TEST_F(SurfaceTest, BitmapsLoadIntoX8SurfacesAndFailuresLeaveNothing) {
    IDirect3DSurface9* s = nullptr;
    ASSERT_EQ(LoadBitmapToSurface(kAlphabetFile, &s, g_pd3dDevice), S_OK);
    D3DSURFACE_DESC desc;
    s->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 192u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    // The glyphs lie on black whose unused byte is set: a key compared on 32 bits would miss it.
    EXPECT_EQ(ReadSurface(s)[0], 0xFF000000u);
    s->Release();

    platform::hooks::StartCapturingDebugOutput();
    s = reinterpret_cast<IDirect3DSurface9*>(this);
    EXPECT_EQ(LoadBitmapToSurface("..\\Immagini\\missing.bmp", &s, g_pd3dDevice), E_FAIL);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(LoadBitmapToSurface(kAlphabetFile, &s, nullptr), E_FAIL);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(LoadAlphabet("..\\Alfabeto\\missing.bmp", 16, 32), E_FAIL);
    EXPECT_EQ(g_AlphabetLoaded, 1);  // the loaded one stays
    auto out = platform::hooks::TakeDebugOutput();
    platform::hooks::StopCapturingDebugOutput();
    const std::vector<std::string> expected = {"ERROR: ", "Unable to load bitmap", "\n",
                                               "ERROR: ", "Unable to load bitmap", "\n",
                                               "ERROR: ", "Unable to load alphabet bitmap", "\n"};
    EXPECT_EQ(out, expected);
}

TEST_F(SurfaceTest, AlphabetRefusesBadCellsAndReplacesTheOldOne) {
    EXPECT_EQ(g_LettersPerRow, 16);
    IDirect3DSurface9* old = g_pAlphabetSurface;
    old->AddRef();
    for (auto cell : {std::pair{0, 32}, {16, 0}, {-16, 32}, {16, -1}, {257, 32}, {16, 193}})
        EXPECT_EQ(LoadAlphabet(kAlphabetFile, cell.first, cell.second), E_FAIL) << cell.first << "x" << cell.second;
    EXPECT_EQ(LoadAlphabet(nullptr, 16, 32), E_FAIL);
    EXPECT_EQ(g_pAlphabetSurface, old);
    EXPECT_EQ(g_LetterHeight, 32);

    // Cells 16 x 64: three rows of 16 cells, so "z" (cell 90) has none and draws nothing.
    ASSERT_EQ(LoadAlphabet(kAlphabetFile, 16, 64), S_OK);
    EXPECT_EQ(old->Release(), 0u);  // the old alphabet was released
    Buffer buffer(16, 64, 0x00123456);
    buffer.PrintChar(0, 0, 'z', FALSE);
    EXPECT_EQ(buffer.At(0, 0), 0x00123456u);
    buffer.PrintChar(0, 0, 'A', FALSE);  // cell 33: column 1, row 2 of 64-pixel rows
    EXPECT_EQ(buffer.At(5, 40), Glyph(16 + 5, 128 + 40));

    EXPECT_EQ(UnloadAlphabet(), S_OK);
    EXPECT_EQ(g_pAlphabetSurface, nullptr);
    EXPECT_EQ(g_AlphabetLoaded, 0);
    EXPECT_EQ(UnloadAlphabet(), S_OK);
    std::vector<DWORD> before = buffer.data;
    buffer.PrintChar(0, 0, '!', FALSE);
    EXPECT_EQ(buffer.data, before);  // no alphabet, nothing drawn
}

TEST_F(SurfaceTest, GlyphsComeFromTheirCellsWithTheKeyOnTheColourBits) {
    const DWORD kBack = 0xFF123456;
    Buffer transparent(64, 48, kBack), opaque(64, 48, kBack);
    transparent.PrintChar(5, 7, 'A', TRUE);
    opaque.PrintChar(5, 7, 'A', FALSE);
    int ink = 0, key = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 16; ++x) {
            DWORD g = Glyph(16 + x, 64 + y);  // "A" is cell 33: column 1, row 2
            bool isKey = (g & 0x00FFFFFF) == 0;
            (isKey ? key : ink)++;
            EXPECT_EQ(transparent.At(5 + x, 7 + y), isKey ? kBack : g) << x << "," << y;
            EXPECT_EQ(opaque.At(5 + x, 7 + y), g);
        }
    }
    EXPECT_GT(ink, 20);
    EXPECT_GT(key, 100);

    // A space, codes below 32 and bytes above 127 draw nothing in either mode.
    Buffer blank(64, 48, kBack);
    for (char c : {' ', '\x1F', '\t', '\xE0', '\x80'}) {
        blank.PrintChar(0, 0, c, TRUE);
        blank.PrintChar(0, 0, c, FALSE);
    }
    EXPECT_TRUE(std::all_of(blank.data.begin(), blank.data.end(), [](DWORD p) { return p == kBack || p == kGuardValue; }));

    // Character i of a string lies i cells to the right.
    Buffer line(64, 32, kBack);
    PrintString(0, 0, "AB", FALSE, 0, line.Bits(), line.Pitch(), line.width, line.height);
    EXPECT_EQ(line.At(16 + 7, 20), Glyph(32 + 7, 64 + 20));
}

TEST_F(SurfaceTest, WritesStayInsideTheBuffer) {
    Buffer b(40, 40, 0);
    // Cells across all four edges.
    b.PrintChar(-8, -16, 'A', FALSE);
    b.PrintChar(32, -16, 'A', FALSE);
    b.PrintChar(-8, 24, 'A', FALSE);
    b.PrintChar(32, 24, 'A', FALSE);
    PrintString(30, 10, "AAAAAAAAAA", FALSE, 0, b.Bits(), b.Pitch(), b.width, b.height);
    EXPECT_EQ(b.At(0, 0), Glyph(16 + 8, 64 + 16));
    EXPECT_EQ(b.At(39, 39), Glyph(16 + 7, 64 + 15));
    for (POINT p : {POINT{40, 0}, POINT{0, -1}, POINT{-1, 5}, POINT{5, 40}})
        PutPixel(p.x, p.y, 7, b.Pitch(), b.Bits(), b.width, b.height);
    PutPixel(39, 0, 7, b.Pitch(), b.Bits(), b.width, b.height);
    EXPECT_EQ(b.At(39, 0), 7u);
    RECT all = {-100, -100, 100, 100};
    FillRectangle(&all, 9, b.Pitch(), b.Bits(), b.width, b.height);
    EXPECT_EQ(b.At(0, 39), 9u);
    EXPECT_TRUE(b.GuardIntact());

    Buffer few(8, 8, 0);
    RECT r = {2, 3, 5, 4};
    FillRectangle(&r, 1, few.Pitch(), few.Bits(), few.width, few.height);
    int written = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) written += few.At(x, y) == 1;
    EXPECT_EQ(written, 3);
    EXPECT_EQ(few.At(2, 3) & few.At(3, 3) & few.At(4, 3), 1u);
}

TEST_F(SurfaceTest, CopiesClipToTheDestinationAndKeyX8OnTheColourBits) {
    IDirect3DSurface9* src = Surface(4, 4, D3DFMT_X8R8G8B8, 0xFF00FF00);
    IDirect3DSurface9* dst = Surface(8, 8, D3DFMT_A8R8G8B8, 0x11111111);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(src->LockRect(&lr, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(lr.pBits)[0] = 0xFF000000;  // black, unused byte set
    src->UnlockRect();

    // Everything to the top-left corner, the key flag clear: black is copied too.
    EXPECT_EQ(CopySurfaceToSurface(nullptr, src, nullptr, dst, FALSE, 0), S_OK);
    std::vector<DWORD> d = ReadSurface(dst);
    EXPECT_EQ(d[0], 0xFF000000u);
    EXPECT_EQ(d[3 * 8 + 3], 0xFF00FF00u);
    EXPECT_EQ(d[4 * 8 + 4], 0x11111111u);

    // Past the bottom-right corner with the key: only the 2 x 2 inside, black skipped.
    POINT at = {6, 6};
    EXPECT_EQ(CopySurfaceToSurface(nullptr, src, &at, dst, TRUE, 0), S_OK);
    d = ReadSurface(dst);
    EXPECT_EQ(d[6 * 8 + 6], 0x11111111u);
    EXPECT_EQ(d[7 * 8 + 7], 0xFF00FF00u);
    EXPECT_EQ(d[6 * 8 + 7], 0xFF00FF00u);
    // A block partly off the source and placed above-left of the destination.
    IDirect3DSurface9* other = Surface(8, 8, D3DFMT_A8R8G8B8, 0x22222222);
    RECT block = {-2, 1, 3, 9};
    at = {-1, -1};
    EXPECT_EQ(CopySurfaceToSurface(&block, src, &at, other, FALSE, 0), S_OK);
    d = ReadSurface(other);
    EXPECT_EQ(d[0 * 8 + 1], 0xFF00FF00u);  // source pixel (0, 2)
    EXPECT_EQ(d[1 * 8 + 3], 0xFF00FF00u);  // source pixel (2, 3)
    EXPECT_EQ(d[0 * 8 + 0], 0x22222222u);  // left of the source
    EXPECT_EQ(d[2 * 8 + 1], 0x22222222u);  // below the source
    other->Release();

    IDirect3DSurface9* narrow = Surface(4, 4, D3DFMT_R5G6B5, 0);
    EXPECT_EQ(CopySurfaceToSurface(nullptr, src, nullptr, narrow, FALSE, 0), E_FAIL);
    EXPECT_EQ(CopySurfaceToSurface(nullptr, narrow, nullptr, dst, FALSE, 0), E_FAIL);
    EXPECT_EQ(CopySurfaceToSurface(nullptr, nullptr, nullptr, dst, FALSE, 0), E_FAIL);
    narrow->Release();
    src->Release();
    dst->Release();
}

}  // namespace
}  // namespace consoletest
