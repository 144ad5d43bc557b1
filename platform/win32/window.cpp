// Window classes, windows, the message queue, cursors, icons and the GDI bits.
#include <windows.h>

#include "platform/resources.h"
#include "win32/window_system.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

using platform::win32::Window;
using platform::win32::WindowClass;
using platform::win32::WindowSystem;

namespace {

// Classes, icons and cursors live as long as the process.
std::map<std::string, WindowClass>& Classes() {
    static auto* classes = new std::map<std::string, WindowClass>;
    return *classes;
}

std::string LowerName(const char* name) {
    std::string s = name ? name : "";
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

struct IconObject {
    SDL_Surface* surface = nullptr;
};
struct CursorObject {
    SDL_SystemCursor id;
    SDL_Cursor* cursor = nullptr;
};

std::vector<std::unique_ptr<IconObject>>& Icons() {
    static auto* icons = new std::vector<std::unique_ptr<IconObject>>;
    return *icons;
}
std::vector<std::unique_ptr<CursorObject>>& Cursors() {
    static auto* cursors = new std::vector<std::unique_ptr<CursorObject>>;
    return *cursors;
}

int g_cursorDisplayCount = 0;

// Reads the frame that the window manager put around a shown window.
void ReadFrame(Window& w) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(w.sdl, &top, &left, &bottom, &right) == 0) {
        w.frameTop = top;
        w.frameLeft = left;
        w.frameBottom = bottom;
        w.frameRight = right;
    }
}

void ClientOrigin(const Window& w, int* x, int* y) {
    SDL_GetWindowPosition(w.sdl, x, y);
    WindowSystem::Get().ToProgramScreen(x, y);
}

// The client area's size; a full-screen window has the display mode's.
void ClientSize(const Window& w, int* width, int* height) {
    if (w.fullscreen && WindowSystem::Get().DisplaySize(width, height)) return;
    SDL_GetWindowSize(w.sdl, width, height);
}

}  // namespace

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
    std::string key = LowerName(wc->lpszClassName);
    if (Classes().count(key)) return 0;
    WindowClass cls;
    cls.name = wc->lpszClassName;
    cls.info = *wc;
    cls.info.lpszClassName = nullptr;
    Classes()[key] = cls;
    return ATOM(0xC000 + Classes().size());
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
    return Classes().erase(LowerName(name)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE hInstance, LPVOID param) {
    auto cls = Classes().find(LowerName(className));
    if (cls == Classes().end()) return nullptr;
    WindowSystem& system = WindowSystem::Get();
    if (!system.EnsureVideo()) return nullptr;

    if (x == CW_USEDEFAULT) x = y = int(SDL_WINDOWPOS_UNDEFINED);
    if (width == CW_USEDEFAULT || width <= 0) width = 640;
    if (height == CW_USEDEFAULT || height <= 0) height = 480;
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    std::string title = platform::win32::Utf8FromCp1252(windowName);

    auto window = std::make_shared<Window>();
    platform::win32::SetGlAttributes();
    window->sdl = SDL_CreateWindow(title.c_str(), x, y, width, height, flags);
    if (!window->sdl) {
        // Windows draw with OpenGL: an X display without GLX, say, gives none.
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "CreateWindowExA: cannot open the OpenGL window \"%s\" on the X display \"%s\": %s\n",
                     title.c_str(), display ? display : "", SDL_GetError());
        return nullptr;
    }
    window->sdlId = SDL_GetWindowID(window->sdl);
    window->proc = cls->second.info.lpfnWndProc;
    window->className = cls->second.name;
    window->style = style;
    if (HICON icon = cls->second.info.hIcon) {
        for (const auto& object : Icons())
            if (reinterpret_cast<HICON>(object.get()) == icon && object->surface)
                SDL_SetWindowIcon(window->sdl, object->surface);
    }
    HWND hwnd = system.Add(window);

    CREATESTRUCTA cs = {};
    cs.lpCreateParams = param;
    cs.hInstance = hInstance;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = LONG(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    if (!window->proc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        window->proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        system.Remove(hwnd);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    WindowSystem& system = WindowSystem::Get();
    auto window = system.Find(hwnd);
    if (!window) return FALSE;
    if (window->fullscreen) platform::win32::SetFullscreen(hwnd, false);
    SDL_HideWindow(window->sdl);
    window->visible = false;
    window->proc(hwnd, WM_DESTROY, 0, 0);
    window->proc(hwnd, WM_NCDESTROY, 0, 0);
    // The SDL window goes when the last holder (a device on it, say) lets go.
    system.Remove(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return WindowSystem::Get().Find(hwnd) ? TRUE : FALSE; }

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    BOOL wasVisible = window->visible;
    switch (cmd) {
    case SW_HIDE:
        SDL_HideWindow(window->sdl);
        window->visible = false;
        return wasVisible;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: SDL_MinimizeWindow(window->sdl); break;
    case SW_SHOWMAXIMIZED: SDL_MaximizeWindow(window->sdl); break;
    default: break;
    }
    if (!window->visible) {
        int outerW = 0, outerH = 0;
        SDL_GetWindowSize(window->sdl, &outerW, &outerH);
        SDL_ShowWindow(window->sdl);
        window->visible = true;
        window->needsPaint = true;
        // Created sizes are outer sizes: give the frame its room out of them.
        SDL_PumpEvents();
        ReadFrame(*window);
        int clientW = outerW - window->frameLeft - window->frameRight;
        int clientH = outerH - window->frameTop - window->frameBottom;
        if (clientW > 0 && clientH > 0 && (clientW != outerW || clientH != outerH))
            SDL_SetWindowSize(window->sdl, clientW, clientH);
        if (cmd == SW_SHOWNORMAL || cmd == SW_SHOW || cmd == SW_SHOWDEFAULT || cmd == SW_RESTORE) {
            SDL_RaiseWindow(window->sdl);
            SDL_SetWindowInputFocus(window->sdl);
        }
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    if (window->needsPaint && window->visible) window->proc(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window || !rect) return FALSE;
    int w = 0, h = 0;
    ClientSize(*window, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window || !rect) return FALSE;
    int x = 0, y = 0, w = 0, h = 0;
    ClientOrigin(*window, &x, &y);
    ClientSize(*window, &w, &h);
    if (window->fullscreen) {
        // A full-screen window has no frame.
        *rect = RECT{x, y, x + w, y + h};
        return TRUE;
    }
    *rect = RECT{x - window->frameLeft, y - window->frameTop, x + w + window->frameRight,
                 y + h + window->frameBottom};
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    int clientW = width - window->frameLeft - window->frameRight;
    int clientH = height - window->frameTop - window->frameBottom;
    if (clientW < 1) clientW = 1;
    if (clientH < 1) clientH = 1;
    if (!window->fullscreen) {
        SDL_SetWindowPosition(window->sdl, x + window->frameLeft, y + window->frameTop);
        SDL_SetWindowSize(window->sdl, clientW, clientH);
    }
    if (repaint) window->needsPaint = true;
    window->proc(hwnd, WM_SIZE, 0, MAKELONG(clientW, clientH));
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window || !point) return FALSE;
    int x = 0, y = 0;
    ClientOrigin(*window, &x, &y);
    point->x -= x;
    point->y -= y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window || !point) return FALSE;
    int x = 0, y = 0;
    ClientOrigin(*window, &x, &y);
    point->x += x;
    point->y += y;
    return TRUE;
}

HWND WINAPI GetForegroundWindow() {
    SDL_Window* focus = WindowSystem::Get().VideoReady() ? SDL_GetKeyboardFocus() : nullptr;
    if (!focus) return nullptr;
    auto window = WindowSystem::Get().FindBySdlId(SDL_GetWindowID(focus));
    return window ? window->handle : nullptr;
}

HWND WINAPI GetActiveWindow() { return GetForegroundWindow(); }

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    SDL_SetWindowTitle(window->sdl, platform::win32::Utf8FromCp1252(text).c_str());
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    int w = 0, h = 0;
    if (!WindowSystem::Get().DisplaySize(&w, &h)) return 0;
    if (index == SM_CXSCREEN) return w;
    if (index == SM_CYSCREEN) return h;
    return 0;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR name) {
    // Only the program's own icons exist here; system icons have no image of their own.
    if (!hInstance || !IS_INTRESOURCE(name)) return nullptr;
    int id = int(reinterpret_cast<ULONG_PTR>(name));
    size_t size = 0;
    const unsigned char* data = platform::resources::Find(platform::resources::Type::Icon, id, &size);
    if (!data) return nullptr;
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    SDL_Surface* surface = rw ? SDL_LoadBMP_RW(rw, 1) : nullptr;
    if (!surface) return nullptr;
    auto icon = std::make_unique<IconObject>();
    icon->surface = surface;
    HICON handle = reinterpret_cast<HICON>(icon.get());
    Icons().push_back(std::move(icon));
    return handle;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR name) {
    if (hInstance || !IS_INTRESOURCE(name)) return nullptr;
    SDL_SystemCursor id;
    switch (reinterpret_cast<ULONG_PTR>(name)) {
    case 32512: id = SDL_SYSTEM_CURSOR_ARROW; break;
    case 32513: id = SDL_SYSTEM_CURSOR_IBEAM; break;
    case 32514: id = SDL_SYSTEM_CURSOR_WAIT; break;
    case 32515: id = SDL_SYSTEM_CURSOR_CROSSHAIR; break;
    case 32649: id = SDL_SYSTEM_CURSOR_HAND; break;
    default: return nullptr;
    }
    for (const auto& cursor : Cursors())
        if (cursor->id == id) return reinterpret_cast<HCURSOR>(cursor.get());
    auto cursor = std::make_unique<CursorObject>();
    cursor->id = id;
    HCURSOR handle = reinterpret_cast<HCURSOR>(cursor.get());
    Cursors().push_back(std::move(cursor));
    return handle;
}

HCURSOR WINAPI SetCursor(HCURSOR handle) {
    static HCURSOR current = nullptr;
    HCURSOR previous = current;
    current = handle;
    if (!handle || !WindowSystem::Get().VideoReady()) return previous;
    auto* cursor = reinterpret_cast<CursorObject*>(handle);
    for (const auto& known : Cursors()) {
        if (known.get() != cursor) continue;
        if (!cursor->cursor) cursor->cursor = SDL_CreateSystemCursor(cursor->id);
        if (cursor->cursor) SDL_SetCursor(cursor->cursor);
    }
    return previous;
}

int WINAPI ShowCursor(BOOL show) {
    g_cursorDisplayCount += show ? 1 : -1;
    if (WindowSystem::Get().VideoReady())
        SDL_ShowCursor(g_cursorDisplayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorDisplayCount;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point || !WindowSystem::Get().VideoReady()) return FALSE;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    WindowSystem::Get().ToProgramScreen(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    if (!WindowSystem::Get().VideoReady()) return FALSE;
    WindowSystem::Get().FromProgramScreen(&x, &y);
    return SDL_WarpMouseGlobal(x, y) == 0;
}

SHORT WINAPI GetAsyncKeyState(int vk) { return WindowSystem::Get().AsyncKeyState(vk); }

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT, UINT, UINT remove) {
    if (!msg) return FALSE;
    return WindowSystem::Get().TakeMessage(msg, hwnd, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT, UINT) {
    if (!msg) return -1;
    while (!WindowSystem::Get().TakeMessage(msg, hwnd, true)) {
        if (WindowSystem::Get().VideoReady()) SDL_WaitEventTimeout(nullptr, 10);
        else SDL_Delay(10);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        // The character goes ahead of everything queued, so it is the next message taken.
        if (int c = WindowSystem::Get().CharFromKey(int(msg->wParam))) {
            MSG character = *msg;
            character.message = WM_CHAR;
            character.wParam = WPARAM(c);
            WindowSystem::Get().PostNext(character);
        }
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    auto window = WindowSystem::Get().Find(msg->hwnd);
    if (!window) return 0;
    return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return 0;
    return window->proc(hwnd, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !WindowSystem::Get().Find(hwnd)) return FALSE;
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    WindowSystem::Get().Post(msg);
    return TRUE;
}

void WINAPI PostQuitMessage(int code) { WindowSystem::Get().PostQuit(code); }

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT: ValidateRect(hwnd, nullptr); return 0;
    case WM_ERASEBKGND: return 1;
    default: return 0;
    }
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT*) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    window->needsPaint = false;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    auto window = WindowSystem::Get().Find(hwnd);
    if (!window) return FALSE;
    window->needsPaint = true;
    return TRUE;
}

namespace {
struct DeviceContext {
    HWND window;
};
}  // namespace

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !WindowSystem::Get().Find(hwnd)) return nullptr;
    return reinterpret_cast<HDC>(new DeviceContext{hwnd});
}

int WINAPI ReleaseDC(HWND, HDC hdc) {
    if (!hdc) return 0;
    delete reinterpret_cast<DeviceContext*>(hdc);
    return 1;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    if (!hdc) return 0;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;  // the Windows default, which the game's font sizes assume
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL: return 32;
    default: return 0;
    }
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }
