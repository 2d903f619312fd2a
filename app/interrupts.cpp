#include "app/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "common/temp_file_registry.h"
#include "host/keyboard.h"

namespace tweather {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

std::atomic<int> gInterrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler counts interrupts");
// What each signal did before the guard: the temporary-file handler, which removes the
// files of writes under way and then does what was there before it.
struct sigaction gPrevious[kSignalCount];

constexpr char kFirstNotice[] =
    "\ntweather: interrupted: finishing what is under way; interrupt again to stop at once\n";

void onInterrupt(int signal) {
    if (gInterrupts.fetch_add(1, std::memory_order_relaxed) == 0) {
        host::pressEscape();
        // Nothing to do if the notice cannot be written.
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kFirstNotice, sizeof kFirstNotice - 1);
        return;
    }
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == signal) ::sigaction(signal, &gPrevious[i], nullptr);
    // Delivered to the previous handler as soon as this one returns.
    ::raise(signal);
}

}  // namespace

InterruptGuard::InterruptGuard() {
    // The temporary-file handlers go first, so that ours sits in front of them.
    wx::installTempFileHandlers();
    gInterrupts.store(0, std::memory_order_relaxed);
    host::releaseEscape();
    for (int i = 0; i < kSignalCount; ++i) {
        // A command started with the signal ignored (nohup, a background job) keeps it so.
        if (::sigaction(kSignals[i], nullptr, &gPrevious[i]) != 0) continue;
        if (!(gPrevious[i].sa_flags & SA_SIGINFO) && gPrevious[i].sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART;
        ::sigaction(kSignals[i], &action, nullptr);
    }
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    host::releaseEscape();
}

bool interrupted() {
    return gInterrupts.load(std::memory_order_relaxed) != 0;
}

}  // namespace tweather
