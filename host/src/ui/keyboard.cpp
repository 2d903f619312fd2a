#include "host/keyboard.h"

#include <atomic>

#include "max/win_ui.h"

namespace host {
namespace {

std::atomic<int> gEscapeDown{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler stores the Escape flag");

}  // namespace

void pressEscape() noexcept {
    gEscapeDown.store(1, std::memory_order_relaxed);
}

void releaseEscape() noexcept {
    gEscapeDown.store(0, std::memory_order_relaxed);
}

bool escapeDown() noexcept {
    return gEscapeDown.load(std::memory_order_relaxed) != 0;
}

}  // namespace host

SHORT GetAsyncKeyState(int vKey) {
    return vKey == VK_ESCAPE && host::escapeDown() ? SHORT(0x8000) : SHORT(0);
}
