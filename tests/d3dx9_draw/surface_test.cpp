// Surfaces to and from files and other surfaces, GDI bitmaps from files, and D3DX buffers.
#include "d3dx_fixture.h"

#include "common/image.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

using namespace d3dxtest;
namespace fs = std::filesystem;

uint32_t Pattern(int x, int y) { return Argb(255, uint32_t(x * 13 % 256), uint32_t(y * 29 % 256), uint32_t((x + y) * 7 % 256)); }

// Bilinear sampling as D3DX_FILTER_LINEAR defines it: the four source pixels nearest to the
// destination pixel's centre mapped back into the source, edges clamped.
uint32_t Bilinear(const std::vector<uint32_t>& src, int sw, int sh, int dw, int dh, int x, int y) {
    auto coord = [](int i, int s, int d) {
        return std::clamp((i + 0.5) * double(s) / d - 0.5, 0.0, double(s - 1));
    };
    const double cx = coord(x, sw, dw), cy = coord(y, sh, dh);
    const int x0 = int(cx), y0 = int(cy), x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
    const double fx = cx - x0, fy = cy - y0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        auto at = [&](int px, int py) { return double(Channel(src[size_t(py * sw + px)], c)); };
        const double v = (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) + (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
        out |= uint32_t(std::lround(v)) << (8 * c);
    }
    return out;
}

using SurfaceFileTest = D3DXTest;

TEST_F(SurfaceFileTest, SaveWritesA24BitBitmapOfTheRectangle) {
    IDirect3DSurface9* surface = MakeSurface(16, 8, D3DFMT_A8R8G8B8, [](int x, int y) {
        return (Pattern(x, y) & 0x00FFFFFF) | (uint32_t(x * 16) << 24);  // alpha is not saved
    });
    ASSERT_NE(surface, nullptr);
    const RECT part{2, 1, 10, 7};
    ASSERT_EQ(D3DXSaveSurfaceToFileA("part.bmp", D3DXIFF_BMP, surface, nullptr, &part), D3D_OK);
    platform::image::Image saved;
    ASSERT_TRUE(platform::image::LoadFile("part.bmp", saved));
    EXPECT_EQ(saved.bitsPerPixel, 24u);
    ASSERT_EQ(saved.width, 8u);
    ASSERT_EQ(saved.height, 6u);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(saved.at(uint32_t(x), uint32_t(y)), Pattern(x + 2, y + 1));

    // The whole surface, replacing the file.
    ASSERT_EQ(D3DXSaveSurfaceToFileA("part.bmp", D3DXIFF_BMP, surface, nullptr, nullptr), D3D_OK);
    ASSERT_TRUE(platform::image::LoadFile("part.bmp", saved));
    EXPECT_EQ(saved.width, 16u);
    EXPECT_EQ(saved.at(15, 7), Pattern(15, 7));

    // A rectangle reaching past the surface is cut to it; one wholly outside fails.
    const RECT wide{-4, 6, 20, 30};
    ASSERT_EQ(D3DXSaveSurfaceToFileA("edge.bmp", D3DXIFF_BMP, surface, nullptr, &wide), D3D_OK);
    ASSERT_TRUE(platform::image::LoadFile("edge.bmp", saved));
    EXPECT_EQ(saved.width, 16u);
    EXPECT_EQ(saved.height, 2u);
    EXPECT_EQ(saved.at(0, 0), Pattern(0, 6));
    const RECT outside{20, 0, 30, 5};
    EXPECT_EQ(D3DXSaveSurfaceToFileA("none.bmp", D3DXIFF_BMP, surface, nullptr, &outside), D3DERR_INVALIDCALL);
    EXPECT_FALSE(fs::exists("none.bmp"));
    surface->Release();
}

TEST_F(SurfaceFileTest, AFailedSaveLeavesNoFile) {
    IDirect3DSurface9* surface = MakeSurface(4, 4, D3DFMT_X8R8G8B8, Pattern);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(D3DXSaveSurfaceToFileA("no_such_folder\\shot.bmp", D3DXIFF_BMP, surface, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(fs::exists("no_such_folder"));
    // A folder in the file's place stays as it was, and no temporary file is left behind.
    fs::create_directories("taken.bmp/inner");
    EXPECT_EQ(D3DXSaveSurfaceToFileA("taken.bmp", D3DXIFF_BMP, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_TRUE(fs::is_directory("taken.bmp/inner"));
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(".")) {
        ++entries;
        EXPECT_EQ(entry.path().filename(), "taken.bmp");
    }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(D3DXSaveSurfaceToFileA("x.png", D3DXIFF_PNG, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(nullptr, D3DXIFF_BMP, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA("x.bmp", D3DXIFF_BMP, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    surface->Release();
}

TEST_F(SurfaceFileTest, SavesTheBackBuffer) {
    Clear(Argb(255, 10, 200, 30));
    const D3DRECT band{0, 10, kWidth, 20};
    ASSERT_EQ(device_->Clear(1, &band, D3DCLEAR_TARGET, Argb(255, 250, 5, 5), 1.0f, 0), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const RECT r{5, 5, 25, 25};
    ASSERT_EQ(D3DXSaveSurfaceToFileA("back.bmp", D3DXIFF_BMP, back, nullptr, &r), D3D_OK);
    back->Release();
    platform::image::Image saved;
    ASSERT_TRUE(platform::image::LoadFile("back.bmp", saved));
    ASSERT_EQ(saved.width, 20u);
    ASSERT_EQ(saved.height, 20u);
    EXPECT_EQ(saved.at(0, 0), Argb(255, 10, 200, 30));
    EXPECT_EQ(saved.at(3, 5), Argb(255, 250, 5, 5));   // row 10
    EXPECT_EQ(saved.at(3, 14), Argb(255, 250, 5, 5));  // row 19
    EXPECT_EQ(saved.at(3, 15), Argb(255, 10, 200, 30));
}

TEST_F(SurfaceFileTest, LoadFromFileCopiesOrStretches) {
    WriteBytes("p.bmp", BmpBytes(12, 10, 24, Pattern));
    IDirect3DSurface9* surface = MakeSurface(8, 6, D3DFMT_X8R8G8B8, [](int, int) { return 0xFF123456u; });
    ASSERT_NE(surface, nullptr);

    // No filter: copied unscaled, cut to the surface.
    D3DXIMAGE_INFO info;
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "p.bmp", nullptr, D3DX_FILTER_NONE, 0, &info), D3D_OK);
    EXPECT_EQ(info.Width, 12u);
    EXPECT_EQ(info.Height, 10u);
    std::vector<uint32_t> pixels = ReadSurface(surface);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(pixels[size_t(y * 8 + x)] | 0xFF000000u, Pattern(x, y));

    // Source and destination rectangles: the 3x2 block at (4, 5) goes to (1, 2); nothing else changes.
    const RECT src{4, 5, 7, 7}, dst{1, 2, 4, 4};
    IDirect3DSurface9* blank = MakeSurface(8, 6, D3DFMT_X8R8G8B8, [](int, int) { return 0xFF123456u; });
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(blank, nullptr, &dst, "p.bmp", &src, D3DX_FILTER_NONE, 0, nullptr), D3D_OK);
    pixels = ReadSurface(blank);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
            EXPECT_EQ(pixels[size_t(y * 8 + x)] | 0xFF000000u, inside ? Pattern(x + 3, y + 3) : 0xFF123456u) << x << "," << y;
        }

    // Stretched with a linear filter over the whole surface.
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "p.bmp", nullptr, D3DX_FILTER_LINEAR, 0, nullptr), D3D_OK);
    std::vector<uint32_t> source(12 * 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) source[size_t(y * 12 + x)] = Pattern(x, y);
    pixels = ReadSurface(surface);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(ColorNear(pixels[size_t(y * 8 + x)], Bilinear(source, 12, 10, 8, 6, x, y), 1, false)) << x << "," << y;

    EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "missing.bmp", nullptr, D3DX_DEFAULT, 0, nullptr),
              D3DXERR_INVALIDDATA);
    const RECT tooBig{0, 0, 13, 4};
    EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "p.bmp", &tooBig, D3DX_DEFAULT, 0, nullptr),
              D3DERR_INVALIDCALL);
    blank->Release();
    surface->Release();
}

TEST_F(SurfaceFileTest, LoadFromSurfaceWithEachFilter) {
    IDirect3DSurface9* src = MakeSurface(8, 4, D3DFMT_X8R8G8B8, Pattern);
    ASSERT_NE(src, nullptr);
    std::vector<uint32_t> source(32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) source[size_t(y * 8 + x)] = Pattern(x, y);

    // NONE into a larger surface: the copy at the top left, the rest untouched.
    IDirect3DSurface9* big = MakeSurface(12, 6, D3DFMT_X8R8G8B8, [](int, int) { return 0xFF000080u; });
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(big, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
    std::vector<uint32_t> pixels = ReadSurface(big);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(pixels[size_t(y * 12 + x)] | 0xFF000000u, x < 8 && y < 4 ? Pattern(x, y) : 0xFF000080u);

    // LINEAR stretch, as the console stretches its background.
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(big, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_LINEAR, 0), D3D_OK);
    pixels = ReadSurface(big);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_TRUE(ColorNear(pixels[size_t(y * 12 + x)], Bilinear(source, 8, 4, 12, 6, x, y), 1, false)) << x << "," << y;

    // POINT: the source pixel whose area holds the destination centre.
    IDirect3DSurface9* half = MakeSurface(4, 2, D3DFMT_X8R8G8B8, [](int, int) { return 0u; });
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(half, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_POINT, 0), D3D_OK);
    pixels = ReadSurface(half);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixels[size_t(y * 4 + x)] | 0xFF000000u, Pattern(2 * x + 1, 2 * y + 1));

    // BOX halving: each pixel the mean of a 2x2 block.
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(half, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_BOX, 0), D3D_OK);
    pixels = ReadSurface(half);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int k = 0; k < 4; ++k) sum += Channel(Pattern(2 * x + (k & 1), 2 * y + (k >> 1)), c);
                EXPECT_NEAR(Channel(pixels[size_t(y * 4 + x)], c), sum / 4, 1.0);
            }

    half->Release();
    big->Release();
    src->Release();
}

TEST_F(SurfaceFileTest, LoadFromSurfaceRectanglesKeyAndFormats) {
    // Left half opaque black, right half orange.
    IDirect3DSurface9* src = MakeSurface(4, 4, D3DFMT_X8R8G8B8, [](int x, int) { return x < 2 ? 0xFF000000u : 0xFFFF8000u; });
    IDirect3DSurface9* dst = MakeSurface(6, 6, D3DFMT_A8R8G8B8, [](int, int) { return 0xFF0000FFu; });
    ASSERT_NE(src, nullptr);
    ASSERT_NE(dst, nullptr);
    const RECT s{1, 1, 3, 3}, d{2, 2, 4, 4};
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(dst, nullptr, &d, src, nullptr, &s, D3DX_FILTER_NONE, 0xFF000000), D3D_OK);
    std::vector<uint32_t> pixels = ReadSurface(dst);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            uint32_t expected = 0xFF0000FFu;
            if (x >= 2 && x < 4 && y >= 2 && y < 4) expected = x == 2 ? 0x00000000u : 0xFFFF8000u;
            EXPECT_EQ(pixels[size_t(y * 6 + x)], expected) << x << "," << y;
        }

    // Into 16 bits: each channel rounded to its width (128 of 255 is 32 of 63).
    IDirect3DSurface9* narrow = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &narrow, nullptr), D3D_OK);
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(narrow, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(narrow->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<const uint16_t*>(lr.pBits)[0], 0x0000);
    EXPECT_EQ(static_cast<const uint16_t*>(lr.pBits)[3], (31 << 11) | (32 << 5));
    narrow->UnlockRect();

    const RECT outside{4, 4, 8, 8};
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dst, nullptr, &outside, src, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dst, nullptr, nullptr, src, nullptr, &outside, D3DX_FILTER_NONE, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dst, nullptr, nullptr, src, nullptr, nullptr, 9, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(nullptr, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dst, nullptr, nullptr, nullptr, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3DERR_INVALIDCALL);
    narrow->Release();
    dst->Release();
    src->Release();
}

// A default-pool level (kept by OpenGL alone) reads back what a managed one (kept in memory)
// holds, rounded to its format alike.
TEST_F(SurfaceFileTest, DefaultPoolTextureLevelsLoadBothWays) {
    IDirect3DSurface9* src = MakeSurface(8, 4, D3DFMT_A8R8G8B8, Pattern);
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X8R8G8B8}) {
        std::vector<uint32_t> read[2];
        for (D3DPOOL pool : {D3DPOOL_DEFAULT, D3DPOOL_MANAGED}) {
            IDirect3DTexture9* texture = nullptr;
            ASSERT_EQ(device_->CreateTexture(8, 4, 1, 0, format, pool, &texture, nullptr), D3D_OK);
            IDirect3DSurface9* level = nullptr;
            ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
            IDirect3DSurface9* back = MakeSurface(8, 4, D3DFMT_A8R8G8B8, [](int, int) { return 0u; });
            ASSERT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, src, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
            ASSERT_EQ(D3DXLoadSurfaceFromSurface(back, nullptr, nullptr, level, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
            read[pool == D3DPOOL_MANAGED] = ReadSurface(back);
            back->Release();
            level->Release();
            EXPECT_EQ(texture->Release(), 0u);
        }
        EXPECT_EQ(read[0], read[1]) << format;
        if (format == D3DFMT_A8R8G8B8) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 8; ++x) EXPECT_EQ(read[0][size_t(y * 8 + x)], Pattern(x, y));
        }
    }
    src->Release();
}

// The console's bitmap loading: the size from GDI, then the pixels through D3DX.
using GdiBitmapTest = D3DXTest;

TEST_F(GdiBitmapTest, LoadImageGivesABottomUpDibSection) {
    WriteBytes("five.bmp", BmpBytes(5, 3, 24, Pattern));
    HANDLE bitmap = LoadImageA(nullptr, "five.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info;
    std::memset(&info, 0xCD, sizeof info);
    ASSERT_EQ(GetObjectA(bitmap, sizeof(BITMAP), &info), int(sizeof(BITMAP)));
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmWidthBytes, 16);  // 15 bytes padded to a DWORD
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, 24);
    ASSERT_NE(info.bmBits, nullptr);
    const auto* bits = static_cast<const uint8_t*>(info.bmBits);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = bits + (2 - y) * 16 + x * 3;  // the last row comes first
            EXPECT_EQ(Argb(255, p[2], p[1], p[0]), Pattern(x, y));
        }
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), int(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectA(bitmap, int(sizeof(BITMAP)) - 1, &info), 0);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObjectA(bitmap, sizeof(BITMAP), &info), 0);
    EXPECT_FALSE(DeleteObject(bitmap));
}

TEST_F(GdiBitmapTest, DepthsKindsAndFailures) {
    WriteBytes("deep.bmp", BmpBytes(3, 2, 32, Pattern));
    WriteBytes("pic.png", PngBytes(3, 2, false, Pattern));
    HANDLE deep = LoadImageA(nullptr, "deep.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(deep, nullptr);
    BITMAP info;
    ASSERT_EQ(GetObjectA(deep, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidthBytes, 12);
    // Without LR_CREATEDIBSECTION the bitmap belongs to the display: its pixels are not shown.
    HANDLE ddb = LoadImageA(nullptr, "deep.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(ddb, nullptr);
    ASSERT_EQ(GetObjectA(ddb, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmBits, nullptr);
    EXPECT_NE(ddb, deep);
    // A requested size stretches the bitmap.
    HANDLE sized = LoadImageA(nullptr, "deep.bmp", IMAGE_BITMAP, 6, 4, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(sized, nullptr);
    ASSERT_EQ(GetObjectA(sized, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 6);
    EXPECT_EQ(info.bmHeight, 4);
    EXPECT_TRUE(DeleteObject(sized));
    EXPECT_TRUE(DeleteObject(ddb));
    EXPECT_TRUE(DeleteObject(deep));

    const UINT flags = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
    EXPECT_EQ(LoadImageA(nullptr, "missing.bmp", IMAGE_BITMAP, 0, 0, flags), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, "pic.png", IMAGE_BITMAP, 0, 0, flags), nullptr) << "GDI loads bitmaps only";
    EXPECT_EQ(LoadImageA(nullptr, "deep.bmp", IMAGE_ICON, 0, 0, flags), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, flags), nullptr);
    EXPECT_EQ(GetObjectA(nullptr, sizeof info, &info), 0);
    EXPECT_FALSE(DeleteObject(nullptr));
}

TEST_F(GdiBitmapTest, BitmapToSurfaceAsTheConsoleLoadsIt) {
    WriteBytes("ConsoleBackground.bmp", BmpBytes(20, 10, 24, Pattern));
    HANDLE bitmap = LoadImageA(nullptr, "ConsoleBackground.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info;
    ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), int(sizeof info));
    DeleteObject(bitmap);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(UINT(info.bmWidth), UINT(info.bmHeight), D3DFMT_X8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, &surface, nullptr),
              D3D_OK);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "ConsoleBackground.bmp", nullptr, D3DX_FILTER_NONE, 0,
                                       nullptr),
              D3D_OK);
    std::vector<uint32_t> pixels = ReadSurface(surface);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(pixels[size_t(y * 20 + x)] | 0xFF000000u, Pattern(x, y));
    surface->Release();
}

TEST(D3DXBuffer, HoldsZeroedWritableBytes) {
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(100, &buffer), D3D_OK);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 100u);
    auto* bytes = static_cast<uint8_t*>(buffer->GetBufferPointer());
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(bytes[i], 0);
    std::memset(bytes, 0xAB, 100);
    EXPECT_EQ(static_cast<uint8_t*>(buffer->GetBufferPointer())[99], 0xAB);
    void* same = nullptr;
    ASSERT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &same), S_OK);
    EXPECT_EQ(same, buffer);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);

    ASSERT_EQ(D3DXCreateBuffer(0, &buffer), D3D_OK);
    EXPECT_EQ(buffer->GetBufferSize(), 0u);
    buffer->Release();
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
