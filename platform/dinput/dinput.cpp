// DirectInput 8 over SDL: the system keyboard and mouse, read from the events that the window
// system's pump takes, so that polling works also in loops that dispatch no window messages.
#include <dinput.h>

#include "common/com.h"
#include "dinput/input_state.h"
#include "win32/window_system.h"

#include <cstring>

const DIDATAFORMAT c_dfDIKeyboard = {24, 16, DIDF_RELAXIS, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIMouse = {24, 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7, nullptr};

namespace platform::dinput {
namespace {

enum class Kind { Keyboard, Mouse };

class InputDevice final : public ComObject<IDirectInputDevice8A> {
public:
    explicit InputDevice(Kind kind) : kind_(kind) {}
    ~InputDevice() override {
        if (acquired_) Unacquire();
        InputState::Get().Forget(this);
    }

    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
        if (!format || acquired_) return DIERR_INVALIDPARAM;
        // Formats are told apart by content: the program carries its own copies of them.
        DWORD expected = kind_ == Kind::Keyboard ? 256 : sizeof(DIMOUSESTATE);
        if (format->dwDataSize != expected) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
        bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
        if (exclusive && background) return DIERR_INVALIDPARAM;
        if (!win32::WindowSystem::Get().Find(hwnd)) return E_HANDLE;
        window_ = hwnd;
        exclusive_ = exclusive;
        foreground_ = foreground;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        InputState& input = InputState::Get();
        input.Pump();
        if (acquired_) return S_FALSE;
        if (foreground_ && !input.HasFocus(window_)) return DIERR_OTHERAPPHASPRIO;
        acquired_ = true;
        lost_ = false;
        input.Acquired(this, kind_ == Kind::Mouse && exclusive_);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        InputState::Get().Forget(this);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
        if (!data) return DIERR_INVALIDPARAM;
        DWORD expected = kind_ == Kind::Keyboard ? 256 : sizeof(DIMOUSESTATE);
        if (!formatSet_ || size != expected) return DIERR_INVALIDPARAM;
        InputState& input = InputState::Get();
        input.Pump();
        if (!acquired_) {
            std::memset(data, 0, size);
            if (lost_) {
                lost_ = false;
                return DIERR_INPUTLOST;
            }
            return DIERR_NOTACQUIRED;
        }
        if (kind_ == Kind::Keyboard) input.ReadKeys(static_cast<BYTE*>(data));
        else input.ReadMouse(this, static_cast<DIMOUSESTATE*>(data));
        return DI_OK;
    }

    // The window went to the background: foreground devices are taken away, and an exclusive
    // mouse lets the pointer go.
    void LoseFocus(HWND hwnd) {
        if (acquired_ && foreground_ && hwnd == window_) {
            acquired_ = false;
            lost_ = true;
            InputState::Get().Forget(this);
        }
    }

private:
    Kind kind_;
    bool formatSet_ = false;
    HWND window_ = nullptr;
    bool exclusive_ = false;
    bool foreground_ = false;
    bool acquired_ = false;
    bool lost_ = false;
};

class DirectInput final : public ComObject<IDirectInput8A> {
public:
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* out,
                                           LPUNKNOWN outer) override {
        if (!out || outer) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (guid == GUID_SysKeyboard) *out = new InputDevice(Kind::Keyboard);
        else if (guid == GUID_SysMouse) *out = new InputDevice(Kind::Mouse);
        else return DIERR_DEVICENOTREG;
        return DI_OK;
    }

protected:
    bool Implements(REFIID riid) const override { return riid == IID_IDirectInput8A; }
};

}  // namespace

void NotifyFocusLost(void* device, HWND hwnd) { static_cast<InputDevice*>(device)->LoseFocus(hwnd); }

}  // namespace platform::dinput

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version < 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > 0x0800) return DIERR_BETADIRECTINPUTVERSION;
    if (outer) return DIERR_INVALIDPARAM;
    if (riid != IID_IDirectInput8A) return DIERR_NOINTERFACE;
    if (!platform::win32::WindowSystem::Get().EnsureVideo()) return DIERR_NOTINITIALIZED;
    platform::dinput::InputState::Get();
    *out = static_cast<IDirectInput8A*>(new platform::dinput::DirectInput);
    return DI_OK;
}
