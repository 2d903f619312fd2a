// Tornado drift: the bulk path against the scalar reference (fallWorldWithDrift) on the
// same particles, one thread. "vs_reference" is the reference's time over ours; "per_vortex"
// is the time per vortex evaluation (each particle takes 24: two frames at each of twelve
// samples). A storm of the stand-in's default size crossing a 200 m x 200 m snow fall in
// centimetres, with no satellites (arg 0) and with eight (arg 8), the particles older
// than the carried-for window as most are.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "bench/bench_yardstick.h"
#include "fall/fall_drift.h"
#include "fall/fall_field_fast.h"
#include "common/parallel_for.h"
#include "fall/tornado_drift.h"

namespace {

constexpr size_t kParticles = 16384;
constexpr float kTime = 101.0f;
constexpr double kVorticesPerParticle = 2.0 * wx::kFallDriftSamples;

std::vector<wx::TornadoFrame> benchStorm(int satellites) {
    std::vector<wx::TornadoFrame> frames(48);
    for (size_t i = 0; i < frames.size(); ++i) {
        wx::TornadoFrame& f = frames[i];
        f = wx::TornadoFrame{};
        f.time = 100.0f + float(i) / 24.0f;
        f.centreX = -10.0f + 8.0f * (f.time - 100.0f);
        f.driftX = 8.0f;
        f.cloudBase = 600.0f;
        f.leanX = 40.0f;
        f.leanPower = 1.5f;
        f.wobble = 4.0f;
        f.wobbleFreq = 0.1f;
        f.peakSpeed = 60.0f;
        f.coreRadius = 40.0f;
        f.coreGrowth = 1.5f;
        f.profileInner = 1.0f;
        f.profileOuter = 1.0f;
        f.spin = 1;
        f.inflow = 20.0f;
        f.inflowDepth = 50.0f;
        f.updraft = 30.0f;
        f.updraftWidth = 2.0f;
        f.downdraft = 0.3f;
        f.satellites = satellites;
        f.satelliteSpeed = 20.0f;
        f.satelliteCore = 0.3f;
        f.satelliteOrbit = 1.5f;
        f.parentSpeed = 15.0f;
        f.parentRadius = 800.0f;
    }
    return frames;
}

struct Setup {
    std::vector<wx::TornadoFrame> frames;
    wx::TornadoWind wind;
    wx::FallParams field;
    wx::FallMatrix m;
};

Setup benchSetup(int satellites) {
    Setup s;
    s.frames = benchStorm(satellites);
    s.wind.frames = s.frames.data();
    s.wind.frameCount = int32_t(s.frames.size());
    s.wind.firstFrame = 2400;
    s.wind.reach = 30000.0f;
    wx::FallInputs in;
    in.count = int64_t(kParticles);
    in.width = 20000.0f;
    in.length = 20000.0f;
    in.height = 3000.0f;
    in.speed = 300.0f;
    in.windSpeed = 35.0f;
    s.field = wx::makeFallParams(in, wx::FallCountMode::Render);
    return s;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// Best-of-several seconds of this thread's processor time for the reference over the
// particles: the benchmark's own rates count processor time too, so the ratio holds on a
// busy machine.
double referenceSeconds(const Setup& s) {
    std::vector<wx::FallParticle> out(kParticles);
    const wx::TornadoDriftWind wind{s.wind};
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const double start = threadSeconds();
        for (size_t i = 0; i < kParticles; ++i) out[i] = wx::fallWorldWithDrift(s.field, i, kTime, s.m, wind);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        best = std::min(best, threadSeconds() - start);
    }
    return best;
}

// Seconds per vortex evaluation ("150n" is 150 ns).
void reportPerVortex(benchmark::State& state) {
    state.counters["per_vortex"] =
        benchmark::Counter(double(state.iterations()) * double(kParticles) * kVorticesPerParticle,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// range(0): satellites.
void BM_DriftReference(benchmark::State& state) {
    const Setup s = benchSetup(int(state.range(0)));
    const wx::TornadoDriftWind wind{s.wind};
    std::vector<wx::FallParticle> out(kParticles);
    for (auto _ : state) {
        for (size_t i = 0; i < kParticles; ++i) out[i] = wx::fallWorldWithDrift(s.field, i, kTime, s.m, wind);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kParticles));
    reportPerVortex(state);
}

// range(0): satellites; range(1): the level (0 portable, 1 AVX2, 2 AVX-512).
void BM_DriftFast(benchmark::State& state) {
    const auto level = wx::FallSimd(state.range(1));
    if (!wx::fallSimdSupported(level)) {
        state.SkipWithError("this CPU lacks the level");
        return;
    }
    const Setup s = benchSetup(int(state.range(0)));
    std::vector<wx::FallParticle> out(kParticles);
    const double reference = referenceSeconds(s);
    for (auto _ : state) {
        wx::fallWorldDriftBatch(s.field, 0, kParticles, kTime, s.m, s.wind, out.data(), level);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kParticles));
    reportPerVortex(state);
    wxbench::reportRatio(state, "vs_reference", reference);
}

// The best level on the thread pool (WX_THREADS caps it) over eight times the particles,
// against itself on one thread.
void BM_DriftFastThreads(benchmark::State& state) {
    const Setup s = benchSetup(int(state.range(0)));
    const size_t n = 8 * kParticles;
    std::vector<wx::FallParticle> out(n);
    double oneThread = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        wx::fallWorldDriftBatch(s.field, 0, n, kTime, s.m, s.wind, out.data());
        benchmark::DoNotOptimize(out.data());
        oneThread = std::min(oneThread, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    for (auto _ : state) {
        wx::fallWorldDriftParallel(s.field, n, kTime, s.m, s.wind, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
    state.counters["threads"] = double(wx::parallelThreadCount());
    wxbench::reportRatio(state, "vs_one_thread", oneThread);
}

}  // namespace

BENCHMARK(BM_DriftReference)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DriftFast)->ArgsProduct({{0, 8}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DriftFastThreads)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
