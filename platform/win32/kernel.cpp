// Kernel services, the multimedia timer and COM start-up.
#include <windows.h>

#include "common/test_hooks_internal.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

thread_local DWORD t_lastError = 0;
int g_comInitCount = 0;

uint64_t BootTimeNs() {
    long long fake = 0;
    if (platform::hooks::internal::FakeClock(&fake)) return uint64_t(fake) * 1000000ull;
    timespec ts;
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

uint64_t MonotonicNs() {
    long long fake = 0;
    if (platform::hooks::internal::FakeClock(&fake)) return uint64_t(fake) * 1000000ull;
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

}  // namespace

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    platform::hooks::internal::RecordDebugOutput(text);
    std::fputs(text, stderr);
    std::fflush(stderr);
}

DWORD WINAPI GetTickCount() { return DWORD(BootTimeNs() / 1000000ull); }

DWORD WINAPI timeGetTime() { return DWORD(BootTimeNs() / 1000000ull); }

MMRESULT WINAPI timeBeginPeriod(UINT) { return TIMERR_NOERROR; }
MMRESULT WINAPI timeEndPeriod(UINT) { return TIMERR_NOERROR; }

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = LONGLONG(MonotonicNs());
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

void WINAPI Sleep(DWORD ms) {
    timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = long(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0) {
    }
}

DWORD WINAPI GetLastError() { return t_lastError; }
void WINAPI SetLastError(DWORD error) { t_lastError = error; }

int WINAPI MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = (long long)number * numerator;
    // Rounds half away from zero, as Windows does.
    long long half = (denominator > 0 ? denominator : -denominator) / 2;
    long long result = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    if (result > 0x7fffffffLL || result < -0x7fffffffLL - 1) return -1;
    return int(result);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    // One module: the program itself.
    static int self;
    return name ? nullptr : reinterpret_cast<HMODULE>(&self);
}

HRESULT WINAPI CoInitialize(LPVOID) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD) { return g_comInitCount++ == 0 ? S_OK : S_FALSE; }

void WINAPI CoUninitialize() {
    if (g_comInitCount > 0) --g_comInitCount;
}
