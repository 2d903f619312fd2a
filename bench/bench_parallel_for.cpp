// parallelFor's overhead: 10^6 trivial bodies against a plain loop doing the same work.
// "vs_plain_loop" is the plain loop's time over parallelFor's (above 1: parallelFor wins).
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/bench_yardstick.h"
#include "common/parallel_for.h"

namespace {

constexpr size_t kItems = 1000000;

double plainLoopSeconds(std::vector<uint32_t>& out) {
    double best = 1e30;
    for (int run = 0; run < 20; ++run) {
        auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < out.size(); ++i) out[i] = uint32_t(i * 2654435761u);
        benchmark::DoNotOptimize(out.data());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void BM_PlainLoop(benchmark::State& state) {
    std::vector<uint32_t> out(kItems);
    for (auto _ : state) {
        for (size_t i = 0; i < out.size(); ++i) out[i] = uint32_t(i * 2654435761u);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kItems));
}

void BM_ParallelForTrivialBodies(benchmark::State& state) {
    std::vector<uint32_t> out(kItems);
    double plain = plainLoopSeconds(out);
    for (auto _ : state) {
        wx::parallelFor(out.size(), [&](size_t i) { out[i] = uint32_t(i * 2654435761u); });
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kItems));
    wxbench::reportRatio(state, "vs_plain_loop", plain);
}

}  // namespace

BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ParallelForTrivialBodies)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
