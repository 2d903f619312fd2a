// The temporary files of writes under way, kept where a signal handler can reach them:
// SIGINT, SIGTERM and SIGHUP unlink every one of them, then the signal goes on to what
// it did before (by default, ending the process). The table has a fixed size and the
// handler only calls unlink, sigaction and raise, so it is safe at any point of a write.
// A name that does not fit (too long, or every slot taken) is simply not removed on a
// signal. Thread-safe.
#pragma once

namespace wx {

// Slots for this many temporary files at once.
constexpr int kTempFileSlots = 64;
// The longest name a slot holds, with its terminating zero.
constexpr int kTempFileNameBytes = 4096;

// Remembers `name` until forgetTempFile; the slot, or -1 when it cannot be remembered.
// The first call installs the handlers (a signal that was ignored stays ignored).
int rememberTempFile(const char* name);
// Forgets a slot from rememberTempFile (-1 is fine).
void forgetTempFile(int slot);
// Installs the handlers now rather than at the first rememberTempFile, so that a program
// can put its own handler in front of them (one that defers the first interrupt, say) and
// hand a signal on to them when it ends the program.
void installTempFileHandlers();

}  // namespace wx
