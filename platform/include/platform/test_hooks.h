// Test hooks of the platform layer. The game never calls these; tests do, directly or through
// environment variables that the layer reads once at start:
//   MORVANE_TEST_MSGBOX   answers to the next message boxes, comma separated: yes, no, ok, cancel
//   MORVANE_TEST_D3D_FAIL "create" (Direct3DCreate9 returns null), "hal" (the hardware device
//                         fails), "all" (every device type fails)
#pragma once

#include <wintypes.h>

#include <string>
#include <vector>

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

// Input as the devices see it, sent through the same event queue as real input.
void InjectMouseMotion(int dx, int dy);
void InjectMouseButton(int button, bool down);  // 0 left, 1 right, 2 middle
void InjectKey(int dik, bool down);
void InjectFocus(HWND hwnd, bool focused);

}  // namespace platform::hooks
