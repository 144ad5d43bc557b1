// The layer's side of the test hooks.
#pragma once

#include "platform/test_hooks.h"

namespace platform::hooks::internal {

bool NextScriptedAnswer(int* answer);
void RecordMessageBox(const MessageBoxRecord& record);
void RecordDebugOutput(const char* text);

}  // namespace platform::hooks::internal
