// Windows, their messages and the SDL event pump behind them.
#pragma once

#include <windows.h>

#include <SDL.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace platform::win32 {

struct WindowClass {
    std::string name;
    WNDCLASSEXA info;
};

struct Window {
    HWND handle = nullptr;
    SDL_Window* sdl = nullptr;
    Uint32 sdlId = 0;
    WNDPROC proc = nullptr;
    std::string className;
    DWORD style = 0;
    bool visible = false;
    bool needsPaint = false;
    bool fullscreen = false;
    bool coverFallback = false;  // full screen as a borderless window covering the display
    SDL_Rect savedRect = {};     // the windowed place to go back to
    // The frame around the client area: caption and borders, as the window manager reports them.
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;

    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window();
};

using EventListener = std::function<void(const SDL_Event&)>;

// SDL's video, the window table and the message queue. One per process, never destroyed, so that
// the game's global objects can still use it while the runtime runs their destructors.
class WindowSystem {
public:
    static WindowSystem& Get();

    // Starts SDL's video and event subsystems; false when no display can be opened.
    bool EnsureVideo();
    bool VideoReady() const { return videoReady_; }

    std::shared_ptr<Window> Find(HWND hwnd) const;
    std::shared_ptr<Window> FindBySdlId(Uint32 id) const;
    HWND Add(std::shared_ptr<Window> window);
    void Remove(HWND hwnd);

    // Takes every pending SDL event: listeners see each one, window events become messages.
    void Pump();

    // Listeners see every SDL event that the pump takes (input devices, the Direct3D device).
    int AddListener(EventListener listener);
    void RemoveListener(int id);

    // While a modal window is up, its events and all keyboard events go to its handler.
    void SetModal(Uint32 sdlId, EventListener handler);
    void ClearModal();

    void Post(const MSG& msg);
    // Queues a message ahead of all others, as TranslateMessage does with characters.
    void PostNext(const MSG& msg);
    bool TakeMessage(MSG* msg, HWND filter, bool remove);

    // The character that a key press gives with the keyboard state of the messages taken so
    // far (the US layout), 0 for none.
    int CharFromKey(int vk) const;
    void PostQuit(int code);

    // Keyboard state by virtual key, as GetAsyncKeyState reports it.
    SHORT AsyncKeyState(int vk);

    // Windows in full screen go back to windowed mode (at exit).
    void LeaveFullscreen();

    // The display mode: the desktop's size, or the mode a full-screen window has set.
    bool DisplaySize(int* width, int* height);
    // A full-screen window shows the mode stretched over the desktop; 0 x 0 goes back to the desktop.
    void SetDisplayMode(int width, int height) {
        modeW_ = width;
        modeH_ = height;
    }
    // A position in a window's pixels as the program sees it (in the mode's pixels in full screen).
    void ToClient(const Window& window, int* x, int* y) const;
    // A position on the screen as the program sees it, and back.
    void ToProgramScreen(int* x, int* y);
    void FromProgramScreen(int* x, int* y);

private:
    WindowSystem() = default;
    void Translate(const SDL_Event& event);

    bool videoReady_ = false;
    bool exitHookInstalled_ = false;
    uintptr_t nextHandle_ = 0x10000;
    std::map<HWND, std::shared_ptr<Window>> windows_;
    std::map<int, EventListener> listeners_;
    int nextListener_ = 1;
    Uint32 modalId_ = 0;
    EventListener modalHandler_;
    std::deque<MSG> posted_;
    bool quitPosted_ = false;
    int quitCode_ = 0;
    bool keyDown_[256] = {};
    bool keyPressedSinceQuery_[256] = {};
    // The keyboard as the key messages taken from the queue left it (Windows' GetKeyState).
    bool messageKeyDown_[256] = {};
    bool capsLock_ = false;
    int modeW_ = 0, modeH_ = 0;
};

// The virtual-key code of an SDL scancode, 0 when none.
int VirtualKeyFromScancode(SDL_Scancode sc);

// UTF-8 of a code page 1252 text.
std::string Utf8FromCp1252(const char* text);

// The SDL window behind a window handle, or null.
SDL_Window* SdlWindowOf(HWND hwnd);

// The OpenGL attributes of the windows and of the contexts that draw into them, set before either
// is made so that the two agree: OpenGL 3.3 core, double-buffered, colour only (depth and stencil
// live with the device's back buffer).
void SetGlAttributes();

// Whether a window manager looks after the window's screen.
bool WindowManagerRunning(SDL_Window* window);

// Switches a window between windowed and full-screen presentation; full screen sets the display
// mode to `modeWidth` x `modeHeight`.
bool SetFullscreen(HWND hwnd, bool fullscreen, int modeWidth = 0, int modeHeight = 0);

}  // namespace platform::win32
