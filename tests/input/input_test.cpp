// The DirectInput mouse and keyboard, fed through the platform's input hooks.
#include "input.h"
#include "log.h"

#include "platform/test_hooks.h"

#include <SDL.h>
#include <gtest/gtest.h>

HWND g_hWnd = NULL;
HINSTANCE g_hInstance = NULL;
IDirect3DDevice9* g_pd3dDevice = NULL;
CMouse g_Mouse;
CKeyboard g_Keyboard;

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

class InputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "InputTest";
        RegisterClassExA(&wc);
        g_hInstance = GetModuleHandleA(nullptr);
        g_hWnd = CreateWindowExA(0, "InputTest", "input", WS_OVERLAPPED | WS_CAPTION, 0, 0, 1024, 768,
                                 nullptr, nullptr, g_hInstance, nullptr);
        ShowWindow(g_hWnd, SW_SHOWNORMAL);
        platform::hooks::InjectFocus(g_hWnd, true);
        ASSERT_EQ(InitDirectInput(), S_OK);
    }
    void SetUp() override {
        Poll();  // forget what earlier tests left
        g_Mouse.SetPosition(0, 0);
    }
    static void Poll() {
        g_Mouse.Update();
        g_Mouse.UpdatePosition();
    }
};

TEST_F(InputTest, TheCursorStaysInsideItsFixedRange) {
    platform::hooks::InjectMouseMotion(-5000, -5000);
    Poll();
    int x, y;
    g_Mouse.GetPosition(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    platform::hooks::InjectMouseMotion(700, 300);
    platform::hooks::InjectMouseMotion(4300, 4700);
    Poll();
    g_Mouse.GetPosition(&x, &y);
    EXPECT_EQ(x, 1279);  // beyond the 1024 x 768 window, as the range is fixed
    EXPECT_EQ(y, 1023);
    POINT moved = g_Mouse.GetMovement();
    EXPECT_EQ(moved.x, 5000);
    EXPECT_EQ(moved.y, 5000);
}

TEST_F(InputTest, MoveByIsClampedOnlyByTheNextUpdate) {
    g_Mouse.SetPosition(1000, 900);
    g_Mouse.MoveBy(512, 384);
    EXPECT_EQ(g_Mouse.m_X, 1512);
    EXPECT_EQ(g_Mouse.m_Y, 1284);
    platform::hooks::InjectMouseMotion(-100, -100);
    Poll();
    EXPECT_EQ(g_Mouse.m_X, 1279);
    EXPECT_EQ(g_Mouse.m_Y, 1023);
    g_Mouse.SetPosition(-5, 2000);
    EXPECT_EQ(g_Mouse.m_X, 0);
    EXPECT_EQ(g_Mouse.m_Y, 1023);
}

TEST_F(InputTest, ButtonsAreReadByTheirHighBit) {
    platform::hooks::InjectMouseButton(0, true);
    Poll();
    EXPECT_TRUE(g_Mouse.IsButtonDown(0));
    EXPECT_FALSE(g_Mouse.IsButtonDown(1));
    EXPECT_EQ(g_Mouse.m_State.rgbButtons[0], 0x80);
    EXPECT_FALSE(g_Mouse.IsButtonDown(4));
    EXPECT_FALSE(g_Mouse.IsButtonDown(-1));
    platform::hooks::InjectMouseButton(0, false);
    Poll();
    EXPECT_FALSE(g_Mouse.IsButtonDown(0));
}

TEST_F(InputTest, TheKeyboardIsReadAgainAtEveryQuery) {
    EXPECT_FALSE(g_Keyboard.IsKeyDown(DIK_S));
    platform::hooks::InjectKey(DIK_S, true);
    EXPECT_TRUE(g_Keyboard.IsKeyDown(DIK_S));  // no message was dispatched in between
    platform::hooks::InjectKey(DIK_S, false);
    EXPECT_FALSE(g_Keyboard.IsKeyDown(DIK_S));
    EXPECT_FALSE(g_Keyboard.IsKeyDown(256));
    EXPECT_FALSE(g_Keyboard.IsKeyDown(-1));
    // The window messages of those keys still wait in the queue.
    MSG msg;
    bool sawKeyDown = false;
    for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_KEYDOWN && msg.wParam == 'S') sawKeyDown = true;
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(sawKeyDown);
}

TEST_F(InputTest, LostFocusClearsTheStateAndTheNextPollReacquires) {
    platform::hooks::InjectMouseButton(0, true);
    Poll();
    ASSERT_TRUE(g_Mouse.IsButtonDown(0));
    EXPECT_TRUE(SDL_GetRelativeMouseMode());  // the exclusive mouse holds the pointer
    platform::hooks::InjectFocus(g_hWnd, false);
    platform::hooks::InjectMouseMotion(50, 50);
    Poll();
    // In the background: nothing held, nothing moved, and the pointer is free for other windows.
    EXPECT_FALSE(SDL_GetRelativeMouseMode());
    EXPECT_FALSE(g_Mouse.IsButtonDown(0));
    EXPECT_EQ(g_Mouse.m_State.lX, 0);
    EXPECT_EQ(g_Mouse.m_X, 0);
    EXPECT_FALSE(g_Keyboard.IsKeyDown(DIK_S));
    platform::hooks::InjectFocus(g_hWnd, true);
    platform::hooks::InjectMouseButton(1, true);
    Poll();  // acquires again and reads the state of now
    EXPECT_TRUE(SDL_GetRelativeMouseMode());
    EXPECT_TRUE(g_Mouse.IsButtonDown(1));
    platform::hooks::InjectMouseButton(1, false);
    platform::hooks::InjectMouseMotion(30, 40);
    Poll();
    EXPECT_FALSE(g_Mouse.IsButtonDown(1));
    EXPECT_EQ(g_Mouse.m_X, 30);
    EXPECT_EQ(g_Mouse.m_Y, 40);
    platform::hooks::InjectKey(DIK_Z, true);
    EXPECT_TRUE(g_Keyboard.IsKeyDown(DIK_Z));
    platform::hooks::InjectKey(DIK_Z, false);
}

TEST_F(InputTest, DrawingTheCursorWithoutASpriteDoesNothing) {
    // No device: the cursor image and the sprite could not be made.
    EXPECT_EQ(g_Mouse.m_pSprite, nullptr);
    g_Mouse.DrawCursor();
}

}  // namespace
