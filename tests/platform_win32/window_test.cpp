// Windows and their messages, driven by events injected into the SDL queue.
#include <windows.h>

#include "platform/resources.h"
#include "win32/window_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> g_received;
bool g_quitOnDestroy = true;

LRESULT CALLBACK TestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_received.push_back(msg);
    switch (msg) {
    case WM_DESTROY:
        if (g_quitOnDestroy) PostQuitMessage(7);
        return 0;
    case WM_KEYDOWN: return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = TestProc;
        wc.lpszClassName = "TestClass";
        wc.hInstance = GetModuleHandleA(nullptr);
        ASSERT_NE(RegisterClassExA(&wc), 0);
        g_received.clear();
        hwnd_ = CreateWindowExA(0, "testclass", "Prova \xE0", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                0, 0, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(hwnd_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) {
            g_quitOnDestroy = false;
            DestroyWindow(hwnd_);
            g_quitOnDestroy = true;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA("TestClass", GetModuleHandleA(nullptr));
    }
    Uint32 SdlId() const { return SDL_GetWindowID(platform::win32::SdlWindowOf(hwnd_)); }
    void PushKey(Uint32 type, SDL_Scancode sc, bool repeat = false) {
        SDL_Event e = {};
        e.type = type;
        e.key.windowID = SdlId();
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        SDL_PushEvent(&e);
    }
    // The next message that is not a paint, activation or geometry message.
    bool NextInputMessage(MSG* msg) {
        while (PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg->message == WM_PAINT) {
                ValidateRect(msg->hwnd, nullptr);
                continue;
            }
            if (msg->message == WM_ACTIVATE || msg->message == WM_SIZE || msg->message == WM_MOVE)
                continue;
            return true;
        }
        return false;
    }
    HWND hwnd_ = nullptr;
};

TEST_F(WindowTest, CreationSendsCreateBeforeReturning) {
    ASSERT_GE(g_received.size(), 2u);
    EXPECT_EQ(g_received[0], UINT(WM_NCCREATE));
    EXPECT_EQ(g_received[1], UINT(WM_CREATE));
    EXPECT_EQ(SDL_GetWindowTitle(platform::win32::SdlWindowOf(hwnd_)), std::string("Prova \xC3\xA0"));
    // A second class of the same name is refused.
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TestProc;
    wc.lpszClassName = "TESTCLASS";
    EXPECT_EQ(RegisterClassExA(&wc), 0);
}

TEST_F(WindowTest, GeometryFollowsMoveWindow) {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    RECT client, window;
    ASSERT_TRUE(GetClientRect(hwnd_, &client));
    ASSERT_TRUE(GetWindowRect(hwnd_, &window));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(window.right - window.left, 640);
    EXPECT_EQ(window.bottom - window.top, 480);
    // Grow the window so that the client area becomes 800 x 600, as the device set-up does.
    MoveWindow(hwnd_, window.left, window.top, (window.right - window.left) + (800 - client.right),
               (window.bottom - window.top) + (600 - client.bottom), TRUE);
    SDL_PumpEvents();
    ASSERT_TRUE(GetClientRect(hwnd_, &client));
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

TEST_F(WindowTest, PaintStaysUntilValidated) {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    MSG msg;
    // Other messages come first; the paint request then stays at the end of the queue.
    bool sawPaint = false;
    for (int i = 0; i < 50 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_PAINT) {
            sawPaint = true;
            break;
        }
    }
    ASSERT_TRUE(sawPaint);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_PAINT));  // still there: nothing validated it
    DispatchMessageA(&msg);                  // DefWindowProc validates
    for (int i = 0; i < 50 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        EXPECT_NE(msg.message, UINT(WM_PAINT));
}

TEST_F(WindowTest, KeysBecomeKeyDownMessagesWithRepeatBit) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_S);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_S, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_S);
    MSG msg;
    ASSERT_TRUE(NextInputMessage(&msg));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, WPARAM('S'));
    EXPECT_EQ(msg.hwnd, hwnd_);
    EXPECT_EQ(LOWORD(msg.lParam), 1);
    EXPECT_EQ((msg.lParam >> 30) & 1, 0);
    ASSERT_TRUE(NextInputMessage(&msg));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ((msg.lParam >> 30) & 1, 1);
    ASSERT_TRUE(NextInputMessage(&msg));
    EXPECT_EQ(msg.message, UINT(WM_KEYUP));
    EXPECT_TRUE(TranslateMessage(&msg));
}

TEST_F(WindowTest, TranslatedKeyPressesAreFollowedByTheirUsLayoutCharacters) {
    // Key, modifier held (0, shift or control) and character (-1: none).
    const int kPresses[][3] = {{SDL_SCANCODE_M, SDL_SCANCODE_LSHIFT, 'M'}, {SDL_SCANCODE_M, 0, 'm'},
                               {SDL_SCANCODE_2, SDL_SCANCODE_LSHIFT, '@'}, {SDL_SCANCODE_COMMA, 0, ','},
                               {SDL_SCANCODE_TAB, 0, '\t'}, {SDL_SCANCODE_BACKSPACE, 0, 8},
                               {SDL_SCANCODE_C, SDL_SCANCODE_LCTRL, 3}, {SDL_SCANCODE_F11, 0, -1}};
    std::vector<int> seen, expected;
    for (const auto& p : kPresses) {
        if (p[1]) PushKey(SDL_KEYDOWN, SDL_Scancode(p[1]));
        PushKey(SDL_KEYDOWN, SDL_Scancode(p[0]));
        PushKey(SDL_KEYUP, SDL_Scancode(p[0]));
        if (p[1]) PushKey(SDL_KEYUP, SDL_Scancode(p[1]));
        expected.push_back(0);
        if (p[2] >= 0) expected.push_back(p[2]);
    }
    MSG msg;
    while (NextInputMessage(&msg)) {
        TranslateMessage(&msg);
        if (msg.message == WM_KEYDOWN && msg.wParam != VK_LSHIFT && msg.wParam != VK_LCONTROL) seen.push_back(0);
        if (msg.message == WM_CHAR) seen.push_back(int(msg.wParam));
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(WindowTest, AsyncKeyStateReportsHeldAndTappedKeys) {
    GetAsyncKeyState(VK_ESCAPE);  // forget earlier presses
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0x8001, 0x8001);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0xFFFF, 0x8000);
    PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
    // A tap that is over before anyone asks still counts as pressed since the last query.
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 1);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
    EXPECT_EQ(GetAsyncKeyState(0x1FF), 0);
}

TEST_F(WindowTest, CloseLeadsThroughDestroyToQuit) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SdlId();
    SDL_PushEvent(&e);
    MSG msg;
    ASSERT_TRUE(NextInputMessage(&msg));
    ASSERT_EQ(msg.message, UINT(WM_CLOSE));
    g_received.clear();
    DispatchMessageA(&msg);
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(g_received[0], UINT(WM_CLOSE));
    EXPECT_NE(std::find(g_received.begin(), g_received.end(), UINT(WM_DESTROY)), g_received.end());
    EXPECT_FALSE(IsWindow(hwnd_));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Resources, IconsComeFromTheProgramsResources) {
    // A 2 x 2 32-bit BMP.
    static const unsigned char bmp[] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0,
        32, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    platform::resources::Register(platform::resources::Type::Icon, 4242, bmp, sizeof bmp);
    HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_NE(LoadIconA(self, MAKEINTRESOURCE(4242)), nullptr);
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCE(4243)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST(DeviceContext, ReportsTheWindowsDefaultDpi) {
    HDC hdc = GetDC(nullptr);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), 96);
    EXPECT_EQ(ReleaseDC(nullptr, hdc), 1);
}

}  // namespace
