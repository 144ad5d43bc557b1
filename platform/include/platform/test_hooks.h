// Test hooks of the platform layer. The game never calls these; tests do, directly or through
// environment variables that the layer reads once at start:
//   MORVANE_TEST_MSGBOX   answers to the next message boxes, comma separated: yes, no, ok, cancel
//   MORVANE_TEST_D3D_FAIL "create" (Direct3DCreate9 returns null), "hal" (the hardware device
//                         fails), "all" (every device type fails)
#pragma once

#include <wintypes.h>

#include <cstdint>
#include <string>
#include <vector>

struct IDirect3DDevice9;

namespace platform::hooks {

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

// Answers given to the next message boxes, in order, without showing them.
void ScriptMessageBoxAnswers(const std::vector<int>& answers);
// Every message box asked for since the last call, scripted or shown.
std::vector<MessageBoxRecord> TakeMessageBoxRecords();

enum class D3DFailure { None, Create, HalDevice, AllDevices };
void SetD3DFailure(D3DFailure failure);
D3DFailure GetD3DFailure();

// Copies of the debugger output from now on, one string per OutputDebugStringA call.
void StartCapturingDebugOutput();
std::vector<std::string> TakeDebugOutput();
void StopCapturingDebugOutput();

// A stopped clock for the timers (GetTickCount, timeGetTime and the performance counter), in
// milliseconds; a negative value lets the real clock run again.
void SetFakeClock(long long milliseconds);

// Input as the devices see it, sent through the same event queue as real input.
void InjectMouseMotion(int dx, int dy);
void InjectMouseButton(int button, bool down);  // 0 left, 1 right, 2 middle
void InjectKey(int dik, bool down);
void InjectFocus(HWND hwnd, bool focused);

// Direct3D call trace. While it runs, each state change and draw of any device is recorded in
// order: SetRenderState, SetTextureStageState, SetSamplerState, SetTexture, SetTransform,
// SetMaterial, SetLight, LightEnable, SetFVF, SetStreamSource, SetIndices, DrawPrimitive,
// DrawIndexedPrimitive, DrawPrimitiveUP and DrawIndexedPrimitiveUP.
struct D3DCall {
    std::string name;
    // The integer arguments in order; pointers as their address, 0 for null.
    std::vector<int64_t> args;
    // Float data: a matrix row by row (16), a material in member order (17), a light's colours,
    // position, direction, range, falloff, attenuations, theta and phi (25).
    std::vector<float> values;
    // "SetRenderState(27, 1)" and the like.
    std::string ToString() const;
};
void StartD3DTrace();
void StopD3DTrace();
// The calls recorded since the last take; the record starts empty again.
std::vector<D3DCall> TakeD3DTrace();

// Device loss for windowed devices too: LoseDevice makes TestCooperativeLevel answer
// D3DERR_DEVICELOST, RegainDevice then D3DERR_DEVICENOTRESET, and Reset restores the device.
// Both return false for a device that is not the layer's.
bool LoseDevice(IDirect3DDevice9* device);
bool RegainDevice(IDirect3DDevice9* device);
// The next Reset of the device fails (leaving it lost and ready for another Reset).
bool FailNextReset(IDirect3DDevice9* device);

}  // namespace platform::hooks
