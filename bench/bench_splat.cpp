// The splat renderer on the thread pool (2 threads): a whole renderFallOnCpu call on the
// standard scene (the default box, camera at (0, -1500, 170) along +Y, 45 degrees,
// 1920 x 1080, t = 12.5 s), against the scalar particle field computing the same
// particles' world positions on the same threads in the same run. "times_field" is the
// render's time over the field's: how many field evaluations one frame of splats costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "common/parallel_for.h"
#include "fall/fall_field.h"
#include "splat/splat_fall.h"
#include "splat/splat_render.h"
#include "standard_fall_job.h"

namespace {

constexpr int kThreads = 2;

// Best-of-three seconds for the field's world positions of the job's particles.
double fieldSeconds(const wx::FallRenderJob& job) {
    const wx::SplatDev dev = wx::makeSplatDev(job);
    const wx::FallParams p = wx::splatFieldParams(dev.head);
    const wx::FallMatrix m = wx::splatBoxMatrix(dev.head);
    std::vector<wx::V3> out(size_t(job.count));
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        wx::parallelFor(out.size(), [&](size_t i) { out[i] = wx::fallWorld(p, i, job.time, m).pos; });
        benchmark::DoNotOptimize(out.data());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void renderStandard(benchmark::State& state, int type) {
    wx::setParallelThreadLimit(kThreads);
    const wx::FallRenderJob job = wxbench::standardFallJob(type, 1000000);
    std::vector<float> image;
    double seconds = 0.0, total = 0.0;
    std::string error;
    if (!wx::renderFallOnCpu(job, image, seconds, error)) {  // warms the kept buffers
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        wx::renderFallOnCpu(job, image, seconds, error);
        benchmark::DoNotOptimize(image.data());
        total += seconds;
    }
    const double field = fieldSeconds(job);
    state.counters["call_ms"] = total / double(state.iterations()) * 1e3;
    state.counters["field_ms"] = field * 1e3;
    state.counters["times_field"] = total / double(state.iterations()) / field;
    wx::setParallelThreadLimit(0);
}

void BM_SplatSnow1M(benchmark::State& state) {
    renderStandard(state, wx::kSplatSnow);
}
void BM_SplatRain1M(benchmark::State& state) {
    renderStandard(state, wx::kSplatRain);
}

BENCHMARK(BM_SplatSnow1M)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SplatRain1M)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
