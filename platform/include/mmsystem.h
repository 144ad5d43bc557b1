// The multimedia timer.
#pragma once

#include "wintypes.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0

DWORD WINAPI timeGetTime(void);
MMRESULT WINAPI timeBeginPeriod(UINT uPeriod);
MMRESULT WINAPI timeEndPeriod(UINT uPeriod);
