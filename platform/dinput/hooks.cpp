// The input test hooks: events pushed into SDL's queue, as real input arrives.
#include "platform/test_hooks.h"

#include "dinput/input_state.h"
#include "win32/window_system.h"

namespace platform::hooks {
namespace {

Uint32 FocusedWindowId() {
    SDL_Window* focus = SDL_GetKeyboardFocus();
    return focus ? SDL_GetWindowID(focus) : 0;
}

}  // namespace

void InjectMouseMotion(int dx, int dy) {
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = FocusedWindowId();
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

void InjectMouseButton(int button, bool down) {
    static const Uint8 kButtons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    if (button < 0 || button > 2) return;
    SDL_Event e = {};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = FocusedWindowId();
    e.button.button = kButtons[button];
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
}

void InjectKey(int dik, bool down) {
    SDL_Event e = {};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = FocusedWindowId();
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = dinput::ScancodeFromDik(dik);
    e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
    SDL_PushEvent(&e);
}

void InjectFocus(HWND hwnd, bool focused) {
    auto window = win32::WindowSystem::Get().Find(hwnd);
    if (!window) return;
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window->sdlId;
    e.window.event = focused ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
}

}  // namespace platform::hooks
