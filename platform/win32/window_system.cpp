#include "win32/window_system.h"

#include "common/font_raster.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace platform::win32 {

Window::~Window() {
    if (sdl) SDL_DestroyWindow(sdl);
}

WindowSystem& WindowSystem::Get() {
    static WindowSystem* system = new WindowSystem;
    return *system;
}

bool WindowSystem::EnsureVideo() {
    if (videoReady_) return true;
    // Ctrl+C and kill end the process as for any program; the game knows nothing of SDL_QUIT.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Windows need an X display: without one SDL would fall back to a driver that shows nothing.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) return false;
    SDL_StopTextInput();
    capsLock_ = (SDL_GetModState() & KMOD_CAPS) != 0;
    videoReady_ = true;
    if (!exitHookInstalled_) {
        exitHookInstalled_ = true;
        // exit() from anywhere leaves the desktop as it found it.
        std::atexit([] { WindowSystem::Get().LeaveFullscreen(); });
    }
    return true;
}

std::shared_ptr<Window> WindowSystem::Find(HWND hwnd) const {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : it->second;
}

std::shared_ptr<Window> WindowSystem::FindBySdlId(Uint32 id) const {
    for (const auto& [handle, window] : windows_)
        if (window->sdlId == id) return window;
    return nullptr;
}

HWND WindowSystem::Add(std::shared_ptr<Window> window) {
    HWND handle = reinterpret_cast<HWND>(nextHandle_);
    nextHandle_ += 0x10;
    window->handle = handle;
    windows_[handle] = std::move(window);
    return handle;
}

void WindowSystem::Remove(HWND hwnd) {
    windows_.erase(hwnd);
    // Messages still queued for a destroyed window are dropped, as Windows does.
    for (auto it = posted_.begin(); it != posted_.end();)
        it = it->hwnd == hwnd ? posted_.erase(it) : it + 1;
}

int WindowSystem::AddListener(EventListener listener) {
    int id = nextListener_++;
    listeners_[id] = std::move(listener);
    return id;
}

void WindowSystem::RemoveListener(int id) { listeners_.erase(id); }

void WindowSystem::SetModal(Uint32 sdlId, EventListener handler) {
    modalId_ = sdlId;
    modalHandler_ = std::move(handler);
}

void WindowSystem::ClearModal() {
    modalId_ = 0;
    modalHandler_ = nullptr;
}

void WindowSystem::Pump() {
    if (!videoReady_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        // Copy: a listener may remove itself or others.
        std::vector<EventListener> listeners;
        listeners.reserve(listeners_.size());
        for (const auto& [id, listener] : listeners_) listeners.push_back(listener);
        for (const auto& listener : listeners) listener(event);
        Translate(event);
    }
}

namespace {

Uint32 EventWindowId(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
    }
}

}  // namespace

void WindowSystem::Translate(const SDL_Event& e) {
    if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
        int vk = VirtualKeyFromScancode(e.key.keysym.scancode);
        if (vk > 0 && vk < 256) {
            if (e.type == SDL_KEYDOWN) keyPressedSinceQuery_[vk] = true;
            keyDown_[vk] = e.type == SDL_KEYDOWN;
            // A modal window's own loop takes the key, and with it its state.
            if (modalId_) messageKeyDown_[vk] = e.type == SDL_KEYDOWN;
        }
    }

    Uint32 id = EventWindowId(e);
    if (modalId_ && (id == modalId_ || e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)) {
        if (modalHandler_) modalHandler_(e);
        return;
    }
    std::shared_ptr<Window> window = id ? FindBySdlId(id) : nullptr;
    if (!window) return;

    MSG msg = {};
    msg.hwnd = window->handle;
    msg.time = SDL_GetTicks();
    switch (e.type) {
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: msg.message = WM_CLOSE; break;
        case SDL_WINDOWEVENT_EXPOSED: window->needsPaint = true; return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            msg.message = WM_ACTIVATE;
            msg.wParam = WA_ACTIVE;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            msg.message = WM_ACTIVATE;
            msg.wParam = WA_INACTIVE;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // A full-screen window has the mode's size.
            int w = e.window.data1, h = e.window.data2;
            if (window->fullscreen && modeW_ > 0 && modeH_ > 0) {
                w = modeW_;
                h = modeH_;
            }
            msg.message = WM_SIZE;
            msg.lParam = MAKELONG(w, h);
            break;
        }
        case SDL_WINDOWEVENT_MOVED:
            msg.message = WM_MOVE;
            msg.lParam = MAKELONG(e.window.data1, e.window.data2);
            break;
        default: return;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = VirtualKeyFromScancode(e.key.keysym.scancode);
        if (vk == 0) return;
        msg.message = e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
        msg.wParam = WPARAM(vk);
        DWORD lParam = 1u | (DWORD(e.key.keysym.scancode & 0xff) << 16);
        if (e.type == SDL_KEYUP) lParam |= (1u << 30) | (1u << 31);
        else if (e.key.repeat) lParam |= 1u << 30;
        msg.lParam = LPARAM(lParam);
        break;
    }
    case SDL_MOUSEMOTION: {
        int x = e.motion.x, y = e.motion.y;
        ToClient(*window, &x, &y);
        msg.message = WM_MOUSEMOVE;
        msg.lParam = MAKELONG(x, y);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        if (e.button.button == SDL_BUTTON_LEFT) msg.message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT) msg.message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else if (e.button.button == SDL_BUTTON_MIDDLE) msg.message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        else return;
        int x = e.button.x, y = e.button.y;
        ToClient(*window, &x, &y);
        msg.lParam = MAKELONG(x, y);
        break;
    }
    default: return;
    }
    Post(msg);
}

void WindowSystem::Post(const MSG& msg) { posted_.push_back(msg); }

void WindowSystem::PostNext(const MSG& msg) { posted_.push_front(msg); }

void WindowSystem::PostQuit(int code) {
    quitPosted_ = true;
    quitCode_ = code;
}

bool WindowSystem::TakeMessage(MSG* msg, HWND filter, bool remove) {
    Pump();
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (filter && it->hwnd != filter) continue;
        *msg = *it;
        if (remove) {
            posted_.erase(it);
            if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam < 256) {
                bool down = msg->message == WM_KEYDOWN;
                if (down && msg->wParam == VK_CAPITAL && !messageKeyDown_[VK_CAPITAL]) capsLock_ = !capsLock_;
                messageKeyDown_[msg->wParam] = down;
            }
        }
        return true;
    }
    if (quitPosted_) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(quitCode_);
        if (remove) quitPosted_ = false;
        return true;
    }
    // WM_PAINT comes when nothing else waits, and stays until the window is validated.
    for (const auto& [handle, window] : windows_) {
        if (window->needsPaint && window->visible && (!filter || filter == handle)) {
            *msg = MSG{};
            msg->hwnd = handle;
            msg->message = WM_PAINT;
            msg->time = SDL_GetTicks();
            return true;
        }
    }
    return false;
}

SHORT WindowSystem::AsyncKeyState(int vk) {
    if (vk <= 0 || vk >= 256) return 0;
    Pump();
    if (videoReady_) {
        // The mouse buttons are read from the pointer itself.
        Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
        if (vk == VK_LBUTTON) keyDown_[vk] = buttons & SDL_BUTTON(SDL_BUTTON_LEFT);
        if (vk == VK_RBUTTON) keyDown_[vk] = buttons & SDL_BUTTON(SDL_BUTTON_RIGHT);
        if (vk == VK_MBUTTON) keyDown_[vk] = buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE);
    }
    bool down = keyDown_[vk];
    if (vk == VK_SHIFT) down = keyDown_[VK_LSHIFT] || keyDown_[VK_RSHIFT];
    if (vk == VK_CONTROL) down = keyDown_[VK_LCONTROL] || keyDown_[VK_RCONTROL];
    if (vk == VK_MENU) down = keyDown_[VK_LMENU] || keyDown_[VK_RMENU];
    SHORT state = down ? SHORT(0x8000) : 0;
    if (keyPressedSinceQuery_[vk]) state |= 1;
    keyPressedSinceQuery_[vk] = false;
    return state;
}

int WindowSystem::CharFromKey(int vk) const {
    if (vk <= 0 || vk >= 256) return 0;
    const bool shift = messageKeyDown_[VK_LSHIFT] || messageKeyDown_[VK_RSHIFT];
    const bool ctrl = messageKeyDown_[VK_LCONTROL] || messageKeyDown_[VK_RCONTROL];
    const bool alt = messageKeyDown_[VK_LMENU] || messageKeyDown_[VK_RMENU];
    if (alt) return 0;  // system keys, and AltGr gives nothing on this layout
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return vk - 'A' + 1;
        return shift != capsLock_ ? vk : vk - 'A' + 'a';
    }
    if (ctrl) return 0;
    if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return '0' + (vk - VK_NUMPAD0);
    struct KeyChar {
        int vk;
        char plain, shifted;
    };
    static const KeyChar kChars[] = {
        {VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},
        {VK_OEM_MINUS, '-', '_'},  {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
        {VK_OEM_3, '`', '~'},      {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},
        {VK_OEM_6, ']', '}'},      {VK_OEM_7, '\'', '"'},     {VK_OEM_102, '\\', '|'},
        {VK_SPACE, ' ', ' '},      {VK_TAB, '\t', '\t'},      {VK_RETURN, '\r', '\r'},
        {VK_BACK, '\b', '\b'},     {VK_ESCAPE, 27, 27},       {VK_MULTIPLY, '*', '*'},
        {VK_ADD, '+', '+'},        {VK_SUBTRACT, '-', '-'},   {VK_DECIMAL, '.', '.'},
        {VK_DIVIDE, '/', '/'},
    };
    for (const KeyChar& k : kChars)
        if (k.vk == vk) return shift ? k.shifted : k.plain;
    return 0;
}

bool WindowSystem::DisplaySize(int* width, int* height) {
    if (!EnsureVideo()) return false;
    if (modeW_ > 0 && modeH_ > 0) {
        *width = modeW_;
        *height = modeH_;
        return true;
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) != 0) return false;
    *width = bounds.w;
    *height = bounds.h;
    return true;
}

void WindowSystem::ToClient(const Window& window, int* x, int* y) const {
    if (!window.fullscreen || modeW_ <= 0 || modeH_ <= 0) return;
    int w = 0, h = 0;
    SDL_GetWindowSize(window.sdl, &w, &h);
    if (w <= 0 || h <= 0) return;
    *x = int(int64_t(*x) * modeW_ / w);
    *y = int(int64_t(*y) * modeH_ / h);
}

void WindowSystem::ToProgramScreen(int* x, int* y) {
    SDL_Rect bounds;
    if (modeW_ <= 0 || modeH_ <= 0 || SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) return;
    *x = int(int64_t(*x - bounds.x) * modeW_ / bounds.w);
    *y = int(int64_t(*y - bounds.y) * modeH_ / bounds.h);
}

void WindowSystem::FromProgramScreen(int* x, int* y) {
    SDL_Rect bounds;
    if (modeW_ <= 0 || modeH_ <= 0 || SDL_GetDisplayBounds(0, &bounds) != 0) return;
    *x = bounds.x + int(int64_t(*x) * bounds.w / modeW_);
    *y = bounds.y + int(int64_t(*y) * bounds.h / modeH_);
}

void WindowSystem::LeaveFullscreen() {
    if (!videoReady_) return;
    for (const auto& [handle, window] : windows_)
        if (window->fullscreen) SetFullscreen(handle, false);
    SDL_SetRelativeMouseMode(SDL_FALSE);
}

int VirtualKeyFromScancode(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc == SDL_SCANCODE_0) return '0';
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT: return VK_RMENU;
    default: return 0;
    }
}

std::string Utf8FromCp1252(const char* text) {
    std::string out;
    if (!text) return out;
    for (char32_t c : text::FromCp1252(text, std::strlen(text))) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void SetGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Without depth and stencil, llvmpipe draws a stretched image into the window on its fast path.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

bool WindowManagerRunning(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info)) return true;
    if (info.subsystem != SDL_SYSWM_X11) return true;
    // A window manager that follows the desktop conventions announces itself on the root window.
    Display* display = info.info.x11.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                    AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
                 count > 0;
    if (data) XFree(data);
    return found;
}

SDL_Window* SdlWindowOf(HWND hwnd) {
    auto window = WindowSystem::Get().Find(hwnd);
    return window ? window->sdl : nullptr;
}

bool SetFullscreen(HWND hwnd, bool fullscreen, int modeWidth, int modeHeight) {
    auto& system = WindowSystem::Get();
    auto window = system.Find(hwnd);
    if (!window || !window->sdl) return false;
    if (window->fullscreen == fullscreen) {
        if (fullscreen) system.SetDisplayMode(modeWidth, modeHeight);
        return true;
    }
    if (!fullscreen) {
        if (window->coverFallback) {
            SDL_SetWindowBordered(window->sdl, SDL_TRUE);
            SDL_SetWindowPosition(window->sdl, window->savedRect.x, window->savedRect.y);
            SDL_SetWindowSize(window->sdl, window->savedRect.w, window->savedRect.h);
            window->coverFallback = false;
        } else if (SDL_SetWindowFullscreen(window->sdl, 0) != 0) {
            return false;
        }
        window->fullscreen = false;
        system.SetDisplayMode(0, 0);
        return true;
    }
    SDL_Rect bounds;
    int display = SDL_GetWindowDisplayIndex(window->sdl);
    if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0) return false;
    SDL_GetWindowPosition(window->sdl, &window->savedRect.x, &window->savedRect.y);
    SDL_GetWindowSize(window->sdl, &window->savedRect.w, &window->savedRect.h);
    if (WindowManagerRunning(window->sdl)) {
        if (SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    } else {
        // Nobody would lay out a full-screen window: cover the display with a borderless one.
        SDL_SetWindowBordered(window->sdl, SDL_FALSE);
        SDL_SetWindowPosition(window->sdl, bounds.x, bounds.y);
        SDL_SetWindowSize(window->sdl, bounds.w, bounds.h);
        SDL_RaiseWindow(window->sdl);
        window->coverFallback = true;
    }
    window->fullscreen = true;
    system.SetDisplayMode(modeWidth, modeHeight);
    return true;
}

}  // namespace platform::win32
