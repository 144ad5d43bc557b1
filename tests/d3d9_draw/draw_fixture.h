// A window and a device with a lockable 64 x 64 back buffer, for the drawing tests.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace drawtest {

inline LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

constexpr int kSize = 64;

// A pre-transformed vertex with a colour: D3DFVF_XYZRHW | D3DFVF_DIFFUSE.
struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "DrawTest";
        RegisterClassExA(&wc);
        hwnd_ = CreateWindowExA(0, "DrawTest", "draw", WS_OVERLAPPED | WS_CAPTION, 40, 30, 200, 160,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        pp_ = {};
        pp_.Windowed = TRUE;
        pp_.SwapEffect = D3DSWAPEFFECT_COPY;
        pp_.BackBufferWidth = kSize;
        pp_.BackBufferHeight = kSize;
        pp_.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp_.EnableAutoDepthStencil = TRUE;
        pp_.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp_.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        pp_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp_,
                                     &device_),
                  D3D_OK);
    }
    void TearDown() override {
        if (device_) {
            EXPECT_EQ(device_->Release(), 0u) << "a resource was not released";
        }
        if (d3d_) d3d_->Release();
        DestroyWindow(hwnd_);
        UnregisterClassA("DrawTest", nullptr);
    }

    // The back buffer, top row first, as 0xAARRGGBB.
    std::vector<DWORD> Pixels() {
        std::vector<DWORD> out(size_t(kSize) * kSize);
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        if (!back) return out;
        D3DLOCKED_RECT lr;
        EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                out[size_t(y) * kSize + x] = static_cast<const DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x];
        back->UnlockRect();
        back->Release();
        return out;
    }
    DWORD Pixel(int x, int y) { return Pixels()[size_t(y) * kSize + x]; }

    void Clear(D3DCOLOR color, float z = 1.0f, DWORD stencil = 0) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, color, z,
                                 stencil),
                  D3D_OK);
    }

    // Switches the back buffer to another format (and size), keeping the rest.
    void ResetTo(D3DFORMAT format) {
        pp_.BackBufferFormat = format;
        ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    }

    // A pre-transformed rectangle in pixels, as a strip wound clockwise on screen.
    void DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.0f) {
        const TLVertex v[4] = {{x0, y0, z, 1, color}, {x1, y0, z, 1, color}, {x0, y1, z, 1, color},
                               {x1, y1, z, 1, color}};
        ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex)), D3D_OK);
    }
    void DrawScreen(D3DCOLOR color, float z = 0.0f) { DrawRect(0, 0, float(kSize), float(kSize), color, z); }

    void Begin() { ASSERT_EQ(device_->BeginScene(), D3D_OK); }
    void End() { ASSERT_EQ(device_->EndScene(), D3D_OK); }

    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DPRESENT_PARAMETERS pp_;
};

// Channel c (0 = blue, 1 = green, 2 = red, 3 = alpha) of a packed colour.
inline int Channel(DWORD color, int c) { return int((color >> (8 * c)) & 0xFF); }

// Packs floats 0..1 (clamped) into a colour, rounding each channel.
inline DWORD Pack(double r, double g, double b, double a = 1.0) {
    auto q = [](double v) { return DWORD(std::lround(std::fmin(std::fmax(v, 0.0), 1.0) * 255.0)); };
    return (q(a) << 24) | (q(r) << 16) | (q(g) << 8) | q(b);
}

// A float as the DWORD that float render states take.
inline DWORD F2D(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

// Every channel of `actual` within `tolerance` steps of `expected`.
inline ::testing::AssertionResult ColorNear(DWORD actual, DWORD expected, int tolerance = 2) {
    for (int c = 0; c < 4; ++c)
        if (std::abs(Channel(actual, c) - Channel(expected, c)) > tolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << actual << " is not within " << std::dec << tolerance
                   << " of 0x" << std::hex << expected;
    return ::testing::AssertionSuccess();
}

}  // namespace drawtest
