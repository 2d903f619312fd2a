#include "common/temp_file_registry.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace wx {

namespace {

// A slot is free, being filled, or holds a name the handler may unlink.
enum SlotState : int { kFree = 0, kFilling = 1, kHeld = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    char name[kTempFileNameBytes];
};

Slot slots[kTempFileSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[sizeof kSignals / sizeof kSignals[0]];

void removeTempFilesAndResignal(int signal) {
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kHeld) ::unlink(slot.name);
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        if (kSignals[i] == signal) ::sigaction(signal, &previousActions[i], nullptr);
    // Delivered when this handler returns (the signal is blocked while it runs).
    ::raise(signal);
}

void installHandlers() {
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction previous {};
        if (::sigaction(kSignals[i], nullptr, &previous) != 0) continue;
        // nohup and friends ignore SIGHUP on purpose: keep it so.
        if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) continue;
        previousActions[i] = previous;
        struct sigaction action {};
        action.sa_handler = removeTempFilesAndResignal;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART;
        ::sigaction(kSignals[i], &action, nullptr);
    }
}

}  // namespace

void installTempFileHandlers() {
    static std::once_flag installed;
    std::call_once(installed, installHandlers);
}

int rememberTempFile(const char* name) {
    installTempFileHandlers();
    const size_t length = std::strlen(name);
    if (length >= size_t(kTempFileNameBytes)) return -1;
    for (int i = 0; i < kTempFileSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acq_rel)) continue;
        std::memcpy(slots[i].name, name, length + 1);
        slots[i].state.store(kHeld, std::memory_order_release);
        return i;
    }
    return -1;
}

void forgetTempFile(int slot) {
    if (slot >= 0 && slot < kTempFileSlots) slots[slot].state.store(kFree, std::memory_order_release);
}

}  // namespace wx
