// A window, a device with a lockable back buffer and a scratch folder for the D3DX tests, with
// writers for the image files the tests load.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include "../support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace d3dxtest {

inline LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// 0xAARRGGBB from channels.
constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }
inline int Channel(uint32_t color, int c) { return int((color >> (8 * c)) & 0xFF); }

// Every channel of `actual` within `tolerance` steps of `expected`; `alpha` false skips alpha.
inline ::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance = 1, bool alpha = true) {
    for (int c = 0; c < (alpha ? 4 : 3); ++c)
        if (std::abs(Channel(actual, c) - Channel(expected, c)) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not within " << std::dec
                                                 << tolerance << " of 0x" << std::hex << expected;
    return ::testing::AssertionSuccess();
}

using PixelFn = std::function<uint32_t(int x, int y)>;

// --- Image files written independently of the layer's codecs ---------------------------------

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// A BMP at 24 or 32 bits per pixel (the alpha byte written as given at 32), or 8 bits with the
// palette given (pixels are then indexes).
std::vector<uint8_t> BmpBytes(int w, int h, int bits, const PixelFn& pixel,
                              const std::vector<uint32_t>& palette = {});
// A PNG, RGB or RGBA.
std::vector<uint8_t> PngBytes(int w, int h, bool alpha, const PixelFn& pixel);
// A baseline JPEG at quality 95.
std::vector<uint8_t> JpegBytes(int w, int h, const PixelFn& pixel);

// --- The device ---------------------------------------------------------------------------------

class D3DXTest : public testsupport::InTempDir {
protected:
    void SetUp() override;
    void TearDown() override;

    // The back buffer as 0xAARRGGBB, top row first.
    std::vector<uint32_t> BackBuffer();
    uint32_t Pixel(int x, int y) { return BackBuffer()[size_t(y) * kWidth + size_t(x)]; }
    void Clear(D3DCOLOR color, float z = 1.0f);

    // A managed A8R8G8B8 texture filled from `pixel`.
    IDirect3DTexture9* MakeTexture(int w, int h, const PixelFn& pixel, UINT levels = 1);
    // Level `level` of a lockable texture as 0xAARRGGBB, rows top first.
    std::vector<uint32_t> ReadLevel(IDirect3DTexture9* texture, UINT level);
    // A plain surface in system memory filled from `pixel`.
    IDirect3DSurface9* MakeSurface(int w, int h, D3DFORMAT format, const PixelFn& pixel);
    std::vector<uint32_t> ReadSurface(IDirect3DSurface9* surface);

    HWND hwnd_ = nullptr;
    D3DPRESENT_PARAMETERS pp_ = {};
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

}  // namespace d3dxtest
