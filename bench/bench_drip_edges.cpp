// The drip-edge search on the generated town refined to about 2M triangles, against
// building the hierarchy over the same triangles in the same run.
// Counters: drip_over_buildBVH (target <= 0.25 on two threads), drip_s (target < 0.5),
// buildBVH_s, edges.
// Args: threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "fall/drip_edges.h"
#include "shelter/bvh.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Town {
    std::vector<wx::V3> soup;
    wx::ShelterBVH bvh;
    double buildSeconds = 1e30;  // best of the builds
};

Town& town() {
    static std::unique_ptr<Town> t;
    if (t) return *t;
    t = std::make_unique<Town>();
    t->soup = wx::example::refine(wx::example::makeTown(125000), 2);
    for (int run = 0; run < 2; ++run) {
        const auto start = Clock::now();
        wx::buildBVH(t->soup, t->bvh);
        t->buildSeconds = std::min(t->buildSeconds, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("town: %zu triangles, buildBVH %.3f s\n", t->bvh.tris.size(), t->buildSeconds);
    return *t;
}

void BM_DripEdges(benchmark::State& state) {
    Town& t = town();
    wx::setParallelThreadLimit(unsigned(state.range(0)));
    double seconds = 0.0;
    size_t edges = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto found = wx::findDripEdges(t.bvh, 1.0f);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        edges = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    wx::setParallelThreadLimit(0);
    const double perCall = seconds / double(state.iterations());
    state.counters["drip_s"] = perCall;
    state.counters["buildBVH_s"] = t.buildSeconds;
    state.counters["drip_over_buildBVH"] = perCall / t.buildSeconds;
    state.counters["edges"] = double(edges);
}
BENCHMARK(BM_DripEdges)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
