// Thread-message timers, as the host's Win32 SetTimer(nullptr, 0, ms, proc) gives them: a
// timer is periodic until KillTimer, and its procedure runs only from the host's message
// loop, at most once per pump (WM_TIMER messages coalesce), once its period has passed
// since it was set or last fired. The loop is pumped explicitly (tests, the CLI); a test
// clock can stand in for wall time. Main thread only.
#pragma once

#include <cstdint>

#include "max/max_types.h"

constexpr UINT WM_TIMER = 0x0113;
using TIMERPROC = void (*)(HWND hwnd, UINT msg, UINT_PTR id, DWORD tickMs);

// With hwnd null the id argument is ignored and a new non-zero id is returned (0 on failure).
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

namespace host {
// Runs the procedures of the timers that are due; returns how many ran.
int pumpMessages();
// Milliseconds on the host clock (steady wall time, or the test clock when enabled).
uint64_t clockMs();
// Replace wall time with a manual clock starting at 0 (true) or go back to wall time.
void useTestClock(bool on);
void advanceTestClock(uint64_t ms);
int pendingTimerCount();
// Pumps until no timer is pending or maxMs have passed on the host clock (the test clock is
// advanced to each next due time instead of waiting). Returns how many procedures ran.
int pumpUntilIdle(uint64_t maxMs);
}  // namespace host
