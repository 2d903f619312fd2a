// Thread-message timers, as the host's Win32 SetTimer(nullptr, 0, ms, proc) gives them: a
// timer is periodic until KillTimer, and its procedure runs only from the host's message
// loop, at most once per pump (WM_TIMER messages coalesce), once its period has passed
// since it was set or last fired. Tests and the CLI pump the loop explicitly, and a test
// clock can stand in for wall time (host/message_pump.h). Main thread only.
#pragma once

#include <cstdint>

#include "max/max_types.h"

constexpr UINT WM_TIMER = 0x0113;
using TIMERPROC = void (*)(HWND hwnd, UINT msg, UINT_PTR id, DWORD tickMs);

// With hwnd null the id argument is ignored and a new non-zero id is returned (0 on failure).
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
