// The host's message loop and clock: thread-message timers (SetTimer with no window) fire
// when the loop is pumped, which tests and the CLI do explicitly; tests can swap wall time
// for a manual clock. Main thread only.
#pragma once

#include <cstdint>

#include "max/timer.h"

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
