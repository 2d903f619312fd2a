#include "max/timer.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "host/message_pump.h"
#include "host/scene.h"

namespace {

struct Timer {
    UINT_PTR id;
    UINT periodMs;
    uint64_t dueMs;
    TIMERPROC proc;
};

struct Loop {
    std::vector<Timer> timers;
    UINT_PTR nextId = 1;
    bool testClock = false;
    uint64_t testNowMs = 0;
};

Loop& loop() {
    static Loop l;
    return l;
}

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    if (!proc) return 0;
    Loop& l = loop();
    // Windows raises periods under 10 ms to 10 ms.
    UINT period = std::max<UINT>(elapseMs, 10);
    if (hwnd != nullptr && id != 0) {
        for (Timer& t : l.timers)
            if (t.id == id) {
                t.periodMs = period;
                t.dueMs = host::clockMs() + period;
                t.proc = proc;
                return id;
            }
    } else {
        id = l.nextId++;
    }
    l.timers.push_back({id, period, host::clockMs() + period, proc});
    return id;
}

BOOL KillTimer(HWND, UINT_PTR id) {
    auto& timers = loop().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}

namespace host {

uint64_t clockMs() {
    if (loop().testClock) return loop().testNowMs;
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void useTestClock(bool on) {
    loop().testClock = on;
    loop().testNowMs = 0;
}

void advanceTestClock(uint64_t ms) {
    loop().testNowMs += ms;
}

int pendingTimerCount() {
    return int(loop().timers.size());
}

int pumpMessages() {
    freeRetiredScenes();
    uint64_t now = clockMs();
    // Ids due now; each is looked up again before it runs, since a procedure may kill
    // or add timers.
    std::vector<UINT_PTR> due;
    for (const Timer& t : loop().timers)
        if (t.dueMs <= now) due.push_back(t.id);
    int ran = 0;
    for (UINT_PTR id : due) {
        auto& timers = loop().timers;
        auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.id == id; });
        if (it == timers.end()) continue;
        it->dueMs = now + it->periodMs;
        TIMERPROC proc = it->proc;
        proc(nullptr, WM_TIMER, id, DWORD(now));
        ++ran;
    }
    return ran;
}

int pumpUntilIdle(uint64_t maxMs) {
    uint64_t start = clockMs();
    int ran = pumpMessages();
    while (!loop().timers.empty() && clockMs() - start < maxMs) {
        uint64_t next = UINT64_MAX;
        for (const Timer& t : loop().timers) next = std::min(next, t.dueMs);
        uint64_t now = clockMs();
        uint64_t wait = next > now ? std::min(next - now, start + maxMs - now) : 0;
        if (loop().testClock)
            loop().testNowMs += wait;
        else if (wait > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        ran += pumpMessages();
    }
    return ran;
}

}  // namespace host
