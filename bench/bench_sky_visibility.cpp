// Sky visibility throughput: 24 cone rays per point at the default 25-degree spread, from
// points on the up-facing surfaces of a generated town, against Embree 3 casting the
// very same rays from the same points in the same order. Counters:
//   rays_per_second   rays cast per second of wall time
//   vs_embree         Embree's time for the same job over ours (above 1: we are faster);
//                     any-hit is compared with rtcOccluded1, closest-hit with rtcIntersect1
// SkyAnyHit is what the snow builder runs; SkyClosestHit is the reference castRay on the
// binary tree (the GPU's traversal); SkyClosestHitWide is closest-hit on the wide tree.
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "shelter/sky_cpu.h"
#include "shelter/wide_bvh.h"

namespace {

using wx::V3;

struct Town {
    std::vector<V3> soup;
    wx::ShelterBVH bvh;
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    std::vector<V3> positions, normals;
    std::vector<uint32_t> order;
    wx::SkyParams params{};
    size_t rays = 0;  // cone rays cast per job
};

RTCScene embreeScene(RTCDevice device, const std::vector<V3>& soup) {
    RTCScene scene = rtcNewScene(device);
    RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    const size_t n = soup.size() / 3;
    auto* vertices = static_cast<float*>(
        rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, sizeof(V3), n * 3));
    auto* indices = static_cast<unsigned*>(
        rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), n));
    std::memcpy(vertices, soup.data(), soup.size() * sizeof(V3));
    for (unsigned i = 0; i < n * 3; ++i) indices[i] = i;
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(scene);
    return scene;
}

// The cone rays of one point, exactly as the sky measurement makes them.
template <class Cast>
int forEachConeRay(const Town& town, uint32_t i, Cast&& cast) {
    const wx::SkyParams& p = town.params;
    V3 t1, t2;
    wx::coneFrame(p.skyDir, t1, t2);
    const float rot = wx::pointRotation(p.seed, i);
    const V3 origin = wx::skyRayOrigin(p, town.positions[i], town.normals[i]);
    const float cosSpread = cosf(p.spread);
    int open = 0;
    for (int j = 0; j < p.rays; ++j) {
        V3 dir;
        if (wx::coneRay(p, t1, t2, rot, cosSpread, town.normals[i], j, dir)) open += cast(origin, dir) ? 1 : 0;
    }
    return open;
}

Town& town(int which) {
    static std::unique_ptr<Town> towns[2];
    if (towns[which]) return *towns[which];
    auto t = std::make_unique<Town>();
    std::vector<V3> base = wx::example::makeTown(125000);
    t->soup = which == 0 ? base : wx::example::refine(base, 2);
    wx::buildBVH(t->soup, t->bvh);
    t->device = rtcNewDevice("threads=1");
    t->scene = embreeScene(t->device, t->soup);
    wx::example::upFacingPoints(t->soup, 20000, t->positions, t->normals);
    t->order = wx::mortonOrder(t->positions);
    wx::SkyInputs in;
    in.occRays = 24;
    in.spreadDegrees = 25.0f;
    in.fineEdge = 0.5f;
    in.depth = 0.3f;
    in.diag = 300.0f;
    in.seed = 1;
    t->params = wx::makeSkyParams(in);
    for (uint32_t i = 0; i < t->positions.size(); ++i) t->rays += forEachConeRay(*t, i, [](V3, V3) { return true; });
    std::printf("town %d: %zu triangles, %zu points, %zu rays per job\n", which, t->soup.size() / 3,
                t->positions.size(), t->rays);
    towns[which] = std::move(t);
    return *towns[which];
}

void embreeJob(const Town& t, bool closestHit) {
    wx::parallelFor(t.order.size(), [&](size_t k) {
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        forEachConeRay(t, t.order[k], [&](V3 o, V3 d) {
            RTCRayHit rh{};
            rh.ray.org_x = o.x, rh.ray.org_y = o.y, rh.ray.org_z = o.z;
            rh.ray.dir_x = d.x, rh.ray.dir_y = d.y, rh.ray.dir_z = d.z;
            rh.ray.tnear = 0.0f;
            rh.ray.tfar = t.params.maxDist;
            rh.ray.mask = 0xFFFFFFFF;
            if (closestHit) {
                rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
                rtcIntersect1(t.scene, &context, &rh);
                return rh.hit.geomID == RTC_INVALID_GEOMETRY_ID;
            }
            rtcOccluded1(t.scene, &context, &rh.ray);
            return rh.ray.tfar >= 0.0f;  // set to -inf when occluded
        });
    });
}

void oursClosestHitJob(const Town& t, std::vector<wx::SkyResult>& out) {
    const wx::BVHView view = t.bvh.view();
    wx::parallelFor(t.order.size(), [&](size_t k) {
        uint32_t i = t.order[k];
        out[i] = wx::skyVisibility(view, t.positions[i], t.normals[i], i, t.params);
    });
}

template <class Job>
double bestSeconds(Job&& job, int runs = 3) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        auto start = std::chrono::steady_clock::now();
        job();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void finish(benchmark::State& state, const Town& t, double embreeSeconds) {
    state.counters["rays_per_second"] =
        benchmark::Counter(double(t.rays) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vs_embree"] =
        benchmark::Counter(embreeSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
    wx::setParallelThreadLimit(0);
}

void BM_SkyAnyHit(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    double embree = bestSeconds([&] { embreeJob(t, false); });
    std::vector<wx::SkyResult> results(t.positions.size());
    for (auto _ : state) wx::measureSkyCpu(t.bvh, t.positions, t.normals, t.params, results);
    finish(state, t, embree);
}

void BM_SkyClosestHit(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    double embree = bestSeconds([&] { embreeJob(t, true); });
    std::vector<wx::SkyResult> results(t.positions.size());
    for (auto _ : state) oursClosestHitJob(t, results);
    finish(state, t, embree);
}

// Closest-hit rays on the wide tree (what the lee rays use), every cone ray included.
struct WideClosestTracer {
    const wx::WideBVH& wide;
    bool occluded(V3 o, V3 d, float maxDist) const { return wx::castRayWide(wide, o, d, maxDist) < maxDist; }
    float cast(V3 o, V3 d, float maxDist) const { return wx::castRayWide(wide, o, d, maxDist); }
};

void BM_SkyClosestHitWide(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    double embree = bestSeconds([&] { embreeJob(t, true); });
    std::vector<wx::SkyResult> results(t.positions.size());
    const WideClosestTracer tracer{*t.bvh.wide};
    for (auto _ : state) {
        wx::parallelFor(t.order.size(), [&](size_t k) {
            uint32_t i = t.order[k];
            results[i] = wx::skyVisibilityWith(tracer, t.positions[i], t.normals[i], i, t.params);
        });
    }
    finish(state, t, embree);
}

void BM_EmbreeOccluded(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    for (auto _ : state) embreeJob(t, false);
    state.counters["rays_per_second"] =
        benchmark::Counter(double(t.rays) * double(state.iterations()), benchmark::Counter::kIsRate);
    wx::setParallelThreadLimit(0);
}

// Hierarchy build, ours (single-threaded) against Embree's on one thread.
void BM_BuildOurs(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    RTCDevice device = rtcNewDevice("threads=1");
    double embree = bestSeconds([&] { rtcReleaseScene(embreeScene(device, t.soup)); }, 2);
    wx::ShelterBVH bvh;
    for (auto _ : state) wx::buildBVH(t.soup, bvh);
    state.counters["vs_embree"] = benchmark::Counter(embree * double(state.iterations()), benchmark::Counter::kIsRate);
    rtcReleaseDevice(device);
}

}  // namespace

// Args: town (0: about 125k triangles, 1: the same refined to about 2M), threads.
BENCHMARK(BM_SkyAnyHit)->Args({0, 1})->Args({0, 2})->Args({1, 1})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SkyClosestHit)->Args({0, 1})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SkyClosestHitWide)->Args({0, 1})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EmbreeOccluded)->Args({0, 1})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildOurs)->Args({0, 0})->Args({1, 0})->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
