// A shown top-level window of a class of its own, for tests that need one; the procedure is
// DefWindowProcA unless one is given.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

class TestWindow {
public:
    explicit TestWindow(const char* className, int width = 1024, int height = 768,
                        WNDPROC proc = nullptr)
        : className_(className) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc ? proc : Proc;
        wc.lpszClassName = className_.c_str();
        RegisterClassExA(&wc);
        hwnd_ = CreateWindowExA(0, className_.c_str(), className_.c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0, width, height,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
    }
    ~TestWindow() {
        DestroyWindow(hwnd_);
        UnregisterClassA(className_.c_str(), nullptr);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
    std::string className_;
    HWND hwnd_ = nullptr;
};

}  // namespace testsupport
