// The bulk particle field against the scalar reference on the same particles, one
// thread. "vs_reference" is the reference's time over ours for one frame: 4 means the
// fast path evaluates four times as many particles per second. A default snow fall with
// a breeze, 1,048,576 particles, in world space under a turned and moved node.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/bench_yardstick.h"
#include "common/parallel_for.h"
#include "fall/fall_field_fast.h"

namespace {

constexpr size_t kParticles = size_t(1) << 20;
constexpr float kTime = 37.25f;

wx::FallParams benchField() {
    wx::FallInputs in;
    in.count = int64_t(kParticles);
    in.windSpeed = 35.0f;
    in.windAngle = 30.0f;
    return wx::makeFallParams(in, wx::FallCountMode::Render);
}

wx::FallMatrix benchMatrix() {
    wx::FallMatrix m;
    m.r0 = {0.6f, 0.8f, 0.0f};
    m.r1 = {-0.8f, 0.6f, 0.0f};
    m.t = {120.0f, 50.0f, 300.0f};
    return m;
}

void referenceFrame(const wx::FallParams& p, const wx::FallMatrix& m, wx::FallParticle* out) {
    for (size_t i = 0; i < kParticles; ++i) out[i] = wx::fallWorld(p, i, kTime, m);
}

// Best-of-several seconds for one reference frame.
double referenceSeconds() {
    const wx::FallParams p = benchField();
    const wx::FallMatrix m = benchMatrix();
    std::vector<wx::FallParticle> out(kParticles);
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        referenceFrame(p, m, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void BM_FallReference(benchmark::State& state) {
    const wx::FallParams p = benchField();
    const wx::FallMatrix m = benchMatrix();
    std::vector<wx::FallParticle> out(kParticles);
    for (auto _ : state) {
        referenceFrame(p, m, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kParticles));
}

// range(0): the instruction-set level (0 portable, 1 AVX2, 2 AVX-512).
void BM_FallFast(benchmark::State& state) {
    const auto level = wx::FallSimd(state.range(0));
    if (!wx::fallSimdSupported(level)) {
        state.SkipWithError("this CPU lacks the level");
        return;
    }
    const wx::FallParams p = benchField();
    const wx::FallMatrix m = benchMatrix();
    std::vector<wx::FallParticle> out(kParticles);
    const double reference = referenceSeconds();
    for (auto _ : state) {
        wx::fallWorldBatch(p, 0, kParticles, kTime, m, out.data(), level);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kParticles));
    wxbench::reportRatio(state, "vs_reference", reference);
}

// Best-of-several seconds for one frame of the best level on one thread.
double oneThreadSeconds() {
    const wx::FallParams p = benchField();
    const wx::FallMatrix m = benchMatrix();
    std::vector<wx::FallParticle> out(kParticles);
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        wx::fallWorldBatch(p, 0, kParticles, kTime, m, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// The best level on the thread pool (WX_THREADS caps it), against the one-thread reference
// and against itself on one thread.
void BM_FallFastThreads(benchmark::State& state) {
    const wx::FallParams p = benchField();
    const wx::FallMatrix m = benchMatrix();
    std::vector<wx::FallParticle> out(kParticles);
    const double reference = referenceSeconds();
    const double oneThread = oneThreadSeconds();
    for (auto _ : state) {
        wx::fallWorldParallel(p, kParticles, kTime, m, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kParticles));
    state.counters["threads"] = double(wx::parallelThreadCount());
    wxbench::reportRatio(state, "vs_reference", reference);
    wxbench::reportRatio(state, "vs_one_thread", oneThread);
}

}  // namespace

BENCHMARK(BM_FallReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FallFast)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FallFastThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
