// Ctrl-C and kill while a command runs the host. The first SIGINT or SIGTERM presses the
// host's Escape key, as a user stopping a render would: a sequence ends after the frame
// under way, which is still written whole, and the command exits with kExitInterrupted.
// A second one ends the program at once: the temporary files of writes under way go
// (common/temp_file_registry.h) and the signal ends the process as it would have.
// The handler only stores to lock-free atomics, calls write, sigaction and raise, so it
// is safe at any point. One guard at a time, on the main thread.
#pragma once

namespace tweather {

class InterruptGuard {
public:
    InterruptGuard();
    // Puts the handlers found at construction back and releases Escape.
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// Whether a first interrupt arrived since the guard was made.
bool interrupted();

}  // namespace tweather
