// The layer's side of the test hooks.
#pragma once

#include "platform/test_hooks.h"

namespace platform::hooks::internal {

bool NextScriptedAnswer(int* answer);
void RecordMessageBox(const MessageBoxRecord& record);
void RecordDebugOutput(const char* text);
// The stopped test clock, when one is set.
bool FakeClock(long long* milliseconds);

// True while the Direct3D trace runs.
bool D3DTraceOn();
void RecordD3DCall(D3DCall call);

}  // namespace platform::hooks::internal
