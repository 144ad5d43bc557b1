// The frame-rate counters against a stopped clock, the text font and the screenshot.
#include "d3dinit.h"
#include "display.h"

#include "common/image.h"
#include "platform/test_hooks.h"
#include "temp_dir.h"
#include "test_window.h"

#include <cstdio>
#include <memory>

extern IDirect3DDevice9* g_pd3dDevice;
HWND g_hWnd = NULL;

namespace {

class FrameRate : public ::testing::Test {
protected:
    void SetUp() override {
        g_FpsFrames = 0;
        g_FpsLastTick = 0;
        g_FPS = 0;
        g_FrameCount = 0;
        g_FramesPerSecond = 0;
        g_LastPerfCount = 0;
    }
    void TearDown() override { platform::hooks::SetFakeClock(-1); }
};

TEST_F(FrameRate, TickCounterUpdatesOncePerSecond) {
    long long now = 300000;  // five minutes after the machine started
    platform::hooks::SetFakeClock(now);
    char text[32];
    snprintf(text, sizeof text, "%.2f", UpdateFPS());
    EXPECT_STREQ(text, "0.00");  // one frame over the whole time since start
    // Sixty frames a second: the value stays until a full second has passed.
    float first = g_FPS;
    for (int frame = 1; frame < 60; ++frame) {
        now += 1000 / 60;
        platform::hooks::SetFakeClock(now);
        EXPECT_EQ(UpdateFPS(), first);
    }
    now = 300000 + 1000;
    platform::hooks::SetFakeClock(now);
    EXPECT_NEAR(UpdateFPS(), 60.0f, 0.01f);
    platform::hooks::SetFakeClock(now + 500);
    EXPECT_NEAR(UpdateFPS(), 60.0f, 0.01f);
}

TEST_F(FrameRate, PerformanceCounterLatchesOnTheFirstFrame) {
    platform::hooks::SetFakeClock(100000);
    ASSERT_EQ(InitTiming(), S_OK);
    CountFrame();
    EXPECT_EQ(g_FramesPerSecond, 1);
    for (int i = 0; i < 29; ++i) {
        platform::hooks::SetFakeClock(100000 + 30 * i);
        CountFrame();
    }
    EXPECT_EQ(g_FramesPerSecond, 1);
    platform::hooks::SetFakeClock(101000);
    CountFrame();
    EXPECT_EQ(g_FramesPerSecond, 30);
}

class DisplayTest : public testsupport::InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        window_ = std::make_unique<testsupport::TestWindow>("DisplayTest");
        g_hWnd = window_->Handle();
        platform::hooks::ScriptMessageBoxAnswers({IDNO});
        ASSERT_EQ(InitD3D(&d3d_, &g_pd3dDevice, g_hWnd, 0, 0), S_OK);
    }
    void TearDown() override {
        if (g_pFont) g_pFont->Release();
        g_pFont = NULL;
        g_pd3dDevice->Release();
        g_pd3dDevice = NULL;
        d3d_->Release();
        window_.reset();
        InTempDir::TearDown();
    }
    std::unique_ptr<testsupport::TestWindow> window_;
    IDirect3D9* d3d_ = nullptr;
};

TEST_F(DisplayTest, ScreenshotHoldsTheWindowsPartOfThePresentedFrame) {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    D3DRECT corner = {0, 0, 10, 10};
    g_pd3dDevice->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    ASSERT_EQ(g_pd3dDevice->Present(NULL, NULL, NULL, NULL), D3D_OK);
    ASSERT_TRUE(TakeScreenshot("screenshot00.bmp"));
    platform::image::Image shot;
    ASSERT_TRUE(platform::image::LoadFile("screenshot00.bmp", shot));
    RECT rc;
    GetWindowRect(g_hWnd, &rc);
    EXPECT_EQ(shot.width, uint32_t(rc.right - rc.left));
    EXPECT_EQ(shot.height, uint32_t(rc.bottom - rc.top));
    // Without a window manager the window has no frame: the client area starts at the corner.
    EXPECT_EQ(shot.at(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shot.at(500, 400) & 0xFFFFFF, 0x336699u);
    EXPECT_FALSE(TakeScreenshot("no_such_folder/screenshot01.bmp"));
    EXPECT_FALSE(std::filesystem::exists("no_such_folder"));
}

TEST_F(DisplayTest, TheTextFontIsBoldAndSizedFromPoints) {
    DrawTextAt(10, 10, "no font yet", D3DXCOLOR(1, 1, 1, 1));  // does nothing
    ASSERT_EQ(CreateTextFont("Typewriter"), S_OK);
    ASSERT_NE(g_pFont, nullptr);
    D3DXFONT_DESCA desc;
    ASSERT_EQ(g_pFont->GetDescA(&desc), S_OK);
    EXPECT_EQ(desc.Height, -24);  // 18 points at 96 dots per inch
    EXPECT_EQ(desc.Weight, 700u);
    EXPECT_STREQ(desc.FaceName, "Typewriter");
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    DrawTextAt(100, 200, "FPS: 60.00", D3DXCOLOR(1, 1, 0, 1));
    g_pd3dDevice->EndScene();
    IDirect3DSurface9* back = NULL;
    ASSERT_EQ(g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(back->LockRect(&lr, NULL, D3DLOCK_READONLY), D3D_OK);
    int inkInside = 0, inkOutside = 0;
    for (int y = 150; y < 280; ++y)
        for (int x = 50; x < 400; ++x) {
            DWORD p = static_cast<DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x] & 0xFFFFFF;
            bool ink = p != 0;
            bool inside = x >= 100 && y >= 200 && y < 200 + 30;
            (inside ? inkInside : inkOutside) += ink;
        }
    back->UnlockRect();
    back->Release();
    EXPECT_GT(inkInside, 100);  // yellow text at (100, 200), not clipped by the empty rectangle
    EXPECT_EQ(inkOutside, 0);
}

}  // namespace
