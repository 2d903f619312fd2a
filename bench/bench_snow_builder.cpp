// Snow builder speed and memory on one core, without shelter: (a) a flat 100 m square
// (10,000 units) of 2 triangles at resolution 3, (b) a 200k-triangle terrain, (c) a
// 50k-triangle town block, all at the modifier's defaults and its 500,000 budget; and
// case (a) over a range of budgets to show the cost per output triangle stays flat.
// Counters: shell_tris_per_s (target >= 500,000), refine_share, peak_bytes_per_tri
// (heap high-water mark of one build over its output triangles), vs_memcpy (the time to
// copy the finished shell once, over the build time).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/bench_yardstick.h"
#include "common/parallel_for.h"
#include "snow/snow_builder.h"
#include "tests/snow/snow_meshes.h"

// Heap accounting for the peak-memory counter: every allocation goes through here.
namespace {
std::atomic<int64_t> gHeapNow{0}, gHeapPeak{0};

void noteAlloc(void* p) {
    if (!p) return;
    const int64_t now = gHeapNow.fetch_add(int64_t(malloc_usable_size(p))) + int64_t(malloc_usable_size(p));
    int64_t peak = gHeapPeak.load();
    while (now > peak && !gHeapPeak.compare_exchange_weak(peak, now)) {
    }
}
void noteFree(void* p) {
    if (p) gHeapNow.fetch_sub(int64_t(malloc_usable_size(p)));
}
}  // namespace

// The replacement pair allocates with malloc and frees with free, which GCC cannot see
// through when it checks that new and delete match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    noteAlloc(p);
    return p;
}
void operator delete(void* p) noexcept {
    noteFree(p);
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    noteFree(p);
    std::free(p);
}

namespace {

wx::SnowSettings modifierDefaults(int32_t maxTris = 500000) { return wxtest::modifierDefaults(maxTris); }

const wxtest::Mesh& caseMesh(int which) {
    static const wxtest::Mesh flat = wxtest::flatSquare(10000.0f);
    static const wxtest::Mesh terrain = wxtest::terrain(317, 10000.0f);     // 200,978 triangles
    static const wxtest::Mesh town = wxtest::townBlock(20, 150, 10000.0f);  // 49,800 triangles
    return which == 0 ? flat : which == 1 ? terrain : town;
}

void runCase(benchmark::State& state, const wxtest::Mesh& mesh, const wx::SnowSettings& settings) {
    wx::setParallelThreadLimit(1);
    wx::SnowShell shell;
    wx::SnowStats stats;
    double refineMs = 0.0, buildMs = 0.0;
    int64_t peakBytes = 0;
    for (auto _ : state) {
        shell = wx::SnowShell{};  // start each build from empty arrays, as a fresh modifier does
        const int64_t before = gHeapNow.load();
        gHeapPeak.store(before);
        wx::buildSnow(mesh.positions, mesh.faces, {}, nullptr, settings, shell, stats);
        peakBytes = std::max(peakBytes, gHeapPeak.load() - before);
        refineMs += stats.refineMs;
        buildMs += stats.buildMs;
        benchmark::DoNotOptimize(shell.vertices.data());
    }
    wx::setParallelThreadLimit(0);
    const double tris = double(stats.trianglesOut);
    const double shellBytes = double(shell.vertices.size() * 24 + shell.indices.size() * 4 + shell.kinds.size());
    state.counters["shell_tris"] = tris;
    state.counters["input_tris"] = double(mesh.faceCount());
    state.counters["shell_tris_per_s"] =
        benchmark::Counter(tris * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["ns_per_shell_tri"] =
        benchmark::Counter(buildMs * 1e6 / std::max(1.0, tris * double(state.iterations())));
    state.counters["refine_share"] = refineMs / std::max(buildMs, 1e-9);
    state.counters["peak_bytes_per_tri"] = double(peakBytes) / std::max(1.0, tris);
    state.counters["detail"] = stats.detail;
    wxbench::reportRatio(state, "vs_memcpy", wxbench::memcpySeconds(size_t(shellBytes)));
}

void BM_SnowFlatSquare(benchmark::State& state) {
    runCase(state, caseMesh(0), modifierDefaults());
}
void BM_SnowTerrain200k(benchmark::State& state) {
    runCase(state, caseMesh(1), modifierDefaults());
}
void BM_SnowTownBlock50k(benchmark::State& state) {
    runCase(state, caseMesh(2), modifierDefaults());
}
void BM_SnowFlatSquareBudget(benchmark::State& state) {
    runCase(state, caseMesh(0), modifierDefaults(int32_t(state.range(0))));
}

}  // namespace

BENCHMARK(BM_SnowFlatSquare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SnowTerrain200k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SnowTownBlock50k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SnowFlatSquareBudget)
    ->Arg(31250)
    ->Arg(125000)
    ->Arg(500000)
    ->Arg(2000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
