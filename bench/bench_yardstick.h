// Yardsticks measured in the same run as the code they judge, so that benchmark results
// read as ratios that hold from one machine to the next.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace wxbench {

// Best-of-several seconds for one memcpy of `bytes` between two warmed buffers.
inline double memcpySeconds(size_t bytes) {
    std::vector<char> from(bytes, 1), to(bytes, 0);
    double best = 1e30;
    for (int run = 0; run < 15; ++run) {
        auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Adds a counter holding yardstickSecondsPerCall / measured seconds per iteration.
inline void reportRatio(benchmark::State& state, const char* name, double yardstickSecondsPerCall) {
    state.counters[name] =
        benchmark::Counter(yardstickSecondsPerCall * double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace wxbench
