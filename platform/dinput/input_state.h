// What the keyboard and the mouse are doing, gathered from the window system's events.
#pragma once

#include <dinput.h>

#include <SDL.h>

#include <map>
#include <set>

namespace platform::dinput {

class InputState {
public:
    // Listens to the window system from its first use on; never destroyed.
    static InputState& Get();

    void Pump();
    bool HasFocus(HWND hwnd) const;

    // An acquired device; an exclusive mouse takes the pointer (hidden, relative motion).
    void Acquired(void* device, bool exclusiveMouse);
    void Forget(void* device);

    void ReadKeys(BYTE keys[256]) const;
    // Motion since this device's last read, and the buttons held now.
    void ReadMouse(void* device, DIMOUSESTATE* state);

private:
    InputState();
    void OnEvent(const SDL_Event& e);
    void UpdatePointerGrab();

    struct Motion {
        LONG x = 0, y = 0, z = 0;
    };
    BYTE keys_[256] = {};
    BYTE buttons_[4] = {};
    std::map<void*, Motion> mice_;
    std::set<void*> acquired_;
    std::set<void*> exclusiveMice_;
    std::set<Uint32> focused_;
};

// The DirectInput key code of an SDL scancode, 0 when none.
int DikFromScancode(SDL_Scancode sc);
// The SDL scancode of a DirectInput key code.
SDL_Scancode ScancodeFromDik(int dik);

// Tells an acquired device that its window lost the foreground.
void NotifyFocusLost(void* device, HWND hwnd);

}  // namespace platform::dinput
