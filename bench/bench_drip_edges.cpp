// The drip-edge search on the generated town refined to about 2M triangles, against
// building the hierarchy over the same triangles in the same run, and against the binary
// tree's build alone (a yardstick that stays put while buildBVH gains tracing trees).
// Counters: drip_over_buildBVH (target <= 0.25 on two threads), drip_s (target < 0.5),
// drip_over_binary, buildBVH_s, binary_s, edges.
// Args: threads, and whether the scene carries its meshes' corner indices as a capture's
// does (1) or is a bare soup (0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "fall/drip_edges.h"
#include "shelter/bvh.h"
#include "shelter/mesh_corners.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Town {
    std::vector<wx::V3> soup;
    wx::ShelterBVH bvh;
    std::shared_ptr<const wx::MeshCorners> corners;
    double buildSeconds = 1e30;   // best of the builds
    double binarySeconds = 1e30;  // best of the binary trees alone
};

template <class F>
double bestSeconds(int runs, F&& f) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

Town& town() {
    static std::unique_ptr<Town> t;
    if (t) return *t;
    t = std::make_unique<Town>();
    t->soup = wx::example::refine(wx::example::makeTown(125000), 2);
    // Meshes of 8192 triangles: a house, carport or slab of the town refined twice has 7,000-10,000.
    t->corners = std::make_shared<const wx::MeshCorners>(wx::example::meshCornersOf(t->soup, 8192));
    t->binarySeconds = bestSeconds(2, [&] { wx::buildBinaryBVH(t->soup, t->bvh); });
    t->buildSeconds = bestSeconds(2, [&] { wx::buildBVH(t->soup, t->bvh); });
    std::printf("town: %zu triangles, %u mesh vertices, buildBVH %.3f s, binary tree alone %.3f s\n",
                t->bvh.tris.size(), t->corners->vertexCount, t->buildSeconds, t->binarySeconds);
    return *t;
}

void BM_DripEdges(benchmark::State& state) {
    Town& t = town();
    t.bvh.meshCorners = state.range(1) ? t.corners : nullptr;
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
    state.counters["binary_s"] = t.binarySeconds;
    state.counters["drip_over_buildBVH"] = perCall / t.buildSeconds;
    state.counters["drip_over_binary"] = perCall / t.binarySeconds;
    state.counters["edges"] = double(edges);
}
BENCHMARK(BM_DripEdges)
    ->ArgNames({"threads", "indexed"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
