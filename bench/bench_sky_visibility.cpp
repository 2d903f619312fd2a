// Sky visibility throughput: 24 cone rays per point at the default 25-degree spread, from
// points on the up-facing surfaces of a generated town, against Embree 3 casting the
// very same rays from the same points in the same order (Morton or shuffled). Counters:
//   rays_per_second   rays cast per second of wall time
//   vs_embree         Embree's time for the same job over ours (above 1: we are faster),
//                     each the best of three runs, in thread CPU time on one thread;
//                     any-hit is compared with rtcOccluded1, closest-hit with rtcIntersect1
//   vs_packet8/16     the same against Embree's 8- and 16-wide packets (one point's cone
//                     rays per packet, the rest of the lanes masked off)
//   avx512_gain       where the CPU has AVX-512: our time with the AVX2 form over ours
//                     with AVX-512 on the same job (above 1: AVX-512 wins)
//   two_over_one      at two threads: our wall time on one thread over ours on two, best
//                     of three each (the goal is 1.8 or more; needs two idle cores)
// ConeAnyHit is any-hit ray by ray on the tracing tree, ConeAnyHitFan a point's cone rays
// traced together (what measureSkyCpu runs), ConeClosestHit closest-hit ray by ray,
// ConeClosestHitFan a point's rays closest-hit together (as measureSkyCpu runs the lee
// rays); ConeClosestHitBinary is the reference castRay on the median-split tree (the
// GPU's traversal); SkyMeasure is measureSkyCpu itself. The queries run with the widest
// instruction set the CPU has; WX_WIDE_ISA=sse, avx2 or avx512 caps it.
// The lee-ray goal (one thread, random order, both towns) and the two-thread scaling:
//   bench_sky_visibility --benchmark_filter='ClosestHit(Fan)?/./1/'
//   bench_sky_visibility --benchmark_filter='/./1/2$|SkyMeasure/./2'
// Args of the cone benchmarks: town (0: 125k triangles, 1: 2M), point order (0 Morton,
// 1 shuffled), threads.
#include <benchmark/benchmark.h>
#include <embree3/rtcore.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "shelter/sky_cpu.h"
#include "shelter/trace_tree.h"
#include "shelter/wide_bvh.h"

namespace {

using wx::V3;

struct Town {
    std::vector<V3> soup;
    wx::ShelterBVH bvh;
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    std::vector<V3> positions, normals;
    std::vector<uint32_t> order, shuffled;  // Morton and random point orders
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
    t->shuffled = t->order;
    std::shuffle(t->shuffled.begin(), t->shuffled.end(), std::mt19937(12345));
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

const std::vector<uint32_t>& pointOrder(const Town& t, int order) { return order == 0 ? t.order : t.shuffled; }

RTCRayHit embreeRay(const Town& t, V3 o, V3 d) {
    RTCRayHit rh{};
    rh.ray.org_x = o.x, rh.ray.org_y = o.y, rh.ray.org_z = o.z;
    rh.ray.dir_x = d.x, rh.ray.dir_y = d.y, rh.ray.dir_z = d.z;
    rh.ray.tnear = 0.0f;
    rh.ray.tfar = t.params.maxDist;
    rh.ray.mask = 0xFFFFFFFF;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    return rh;
}

void embreeJob(const Town& t, const std::vector<uint32_t>& order, bool closestHit) {
    wx::parallelFor(order.size(), [&](size_t k) {
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        forEachConeRay(t, order[k], [&](V3 o, V3 d) {
            RTCRayHit rh = embreeRay(t, o, d);
            if (closestHit) {
                rtcIntersect1(t.scene, &context, &rh);
                return rh.hit.geomID == RTC_INVALID_GEOMETRY_ID;
            }
            rtcOccluded1(t.scene, &context, &rh.ray);
            return rh.ray.tfar >= 0.0f;  // set to -inf when occluded
        });
    });
}

// One point's cone rays in packets of Width lanes.
template <int Width, class RayHitN, class Trace>
int embreePackets(const Town& t, uint32_t i, Trace&& trace) {
    alignas(64) RayHitN packet;
    alignas(64) int valid[Width];
    int lanes = 0, open = 0;
    auto flush = [&] {
        for (int l = lanes; l < Width; ++l) valid[l] = 0;
        trace(valid, packet);
        for (int l = 0; l < lanes; ++l)
            open += packet.ray.tfar[l] >= 0.0f && packet.hit.geomID[l] == RTC_INVALID_GEOMETRY_ID ? 1 : 0;
        lanes = 0;
    };
    forEachConeRay(t, i, [&](V3 o, V3 d) {
        packet.ray.org_x[lanes] = o.x, packet.ray.org_y[lanes] = o.y, packet.ray.org_z[lanes] = o.z;
        packet.ray.dir_x[lanes] = d.x, packet.ray.dir_y[lanes] = d.y, packet.ray.dir_z[lanes] = d.z;
        packet.ray.tnear[lanes] = 0.0f;
        packet.ray.tfar[lanes] = t.params.maxDist;
        packet.ray.time[lanes] = 0.0f;
        packet.ray.mask[lanes] = 0xFFFFFFFF;
        packet.ray.id[lanes] = 0;
        packet.ray.flags[lanes] = 0;
        packet.hit.geomID[lanes] = RTC_INVALID_GEOMETRY_ID;
        valid[lanes++] = -1;
        if (lanes == Width) flush();
        return true;
    });
    if (lanes > 0) flush();
    return open;
}

template <int Width>
void embreePacketJob(const Town& t, const std::vector<uint32_t>& order, bool closestHit) {
    wx::parallelFor(order.size(), [&](size_t k) {
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        if constexpr (Width == 8) {
            embreePackets<8, RTCRayHit8>(t, order[k], [&](const int* valid, RTCRayHit8& p) {
                if (closestHit) rtcIntersect8(valid, t.scene, &context, &p);
                else rtcOccluded8(valid, t.scene, &context, &p.ray);
            });
        } else {
            embreePackets<16, RTCRayHit16>(t, order[k], [&](const int* valid, RTCRayHit16& p) {
                if (closestHit) rtcIntersect16(valid, t.scene, &context, &p);
                else rtcOccluded16(valid, t.scene, &context, &p.ray);
            });
        }
    });
}

// Seconds of this thread's CPU time: on one thread the fairest clock on a machine that
// other jobs share, since time spent preempted is not counted against either side.
double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

// The best of a few runs: thread CPU time when the pool runs one thread (everything
// runs inline on this one), wall time otherwise.
template <class Job>
double bestSeconds(Job&& job, int runs = 3) {
    const bool oneThread = wx::parallelThreadCount() == 1;
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        const double cpuStart = threadCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        job();
        const double seconds = oneThread ? threadCpuSeconds() - cpuStart
                                         : std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
    }
    return best;
}

// The yardstick's seconds over ours for the same job, both best of a few runs on the
// same clock (above 1: we are faster).
void ratio(benchmark::State& state, const char* name, double seconds, double oursSeconds) {
    state.counters[name] = seconds / oursSeconds;
}

void finish(benchmark::State& state, const Town& t) {
    state.counters["rays_per_second"] =
        benchmark::Counter(double(t.rays) * double(state.iterations()), benchmark::Counter::kIsRate);
    wx::setParallelThreadLimit(0);
}

// At two threads and more: the job's best wall time on one thread over its best on
// state's thread count, as two_over_one.
template <class Job>
void reportScaling(benchmark::State& state, unsigned threads, Job&& job) {
    if (threads < 2) return;
    auto wallSeconds = [&] {
        double best = 1e30;
        for (int r = 0; r < 3; ++r) {
            const auto start = std::chrono::steady_clock::now();
            job();
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    };
    wx::setParallelThreadLimit(1);
    const double one = wallSeconds();
    wx::setParallelThreadLimit(threads);
    state.counters["two_over_one"] = one / wallSeconds();
}

// With AVX-512 in use: the job's time with the AVX2 form over its time with AVX-512, the
// two run in turn three times (best of each), as avx512_gain.
template <class Job>
void reportIsaGain(benchmark::State& state, Job&& job) {
    if (wx::wideTraversalIsa() != wx::WideIsa::Avx512) return;
    double best[2] = {1e30, 1e30};
    for (int r = 0; r < 3; ++r) {
        for (int form = 0; form < 2; ++form) {
            wx::setWideTraversalLimit(form == 0 ? wx::WideIsa::Avx2 : wx::WideIsa::Avx512);
            best[form] = std::min(best[form], bestSeconds(job, 1));
        }
    }
    state.counters["avx512_gain"] = best[0] / best[1];
}

// Embree's single rays and packets on the same job, best of three each.
struct EmbreeSeconds {
    double single, packet8, packet16;
};
EmbreeSeconds embreeSeconds(const Town& t, const std::vector<uint32_t>& order, bool closestHit) {
    return {bestSeconds([&] { embreeJob(t, order, closestHit); }),
            bestSeconds([&] { embreePacketJob<8>(t, order, closestHit); }),
            bestSeconds([&] { embreePacketJob<16>(t, order, closestHit); })};
}

// The cone rays alone on the tracing tree, any-hit or closest-hit.
template <bool closestHit>
void oursConeJob(const Town& t, const std::vector<uint32_t>& order, std::vector<int>& open) {
    const wx::WideBVH& tree = *t.bvh.wide;
    const float maxDist = t.params.maxDist;
    wx::parallelFor(order.size(), [&](size_t k) {
        open[order[k]] = forEachConeRay(t, order[k], [&](V3 o, V3 d) {
            if constexpr (closestHit) return !(wx::castRayWide(tree, o, d, maxDist) < maxDist);
            else return !wx::occludedWide(tree, o, d, maxDist);
        });
    });
}

// A point's cone rays as one fan (occludedFanWide), as measureSkyCpu traces them.
void oursFanJob(const Town& t, const std::vector<uint32_t>& order, std::vector<int>& open) {
    const wx::WideBVH& tree = *t.bvh.wide;
    wx::parallelFor(order.size(), [&](size_t k) {
        V3 fan[wx::kFanRays], origin{};
        size_t n = 0;
        forEachConeRay(t, order[k], [&](V3 o, V3 d) {
            origin = o;
            if (n < wx::kFanRays) fan[n++] = d;
            return true;
        });
        open[order[k]] = int(n) - __builtin_popcount(wx::occludedFanWide(tree, origin, {fan, n}, t.params.maxDist));
    });
}

// A point's cone rays as one closest-hit fan (castFanWide); open when nothing is hit.
void oursClosestFanJob(const Town& t, const std::vector<uint32_t>& order, std::vector<int>& open) {
    const wx::WideBVH& tree = *t.bvh.wide;
    const float maxDist = t.params.maxDist;
    wx::parallelFor(order.size(), [&](size_t k) {
        V3 fan[wx::kFanRays], origin{};
        float nearest[wx::kFanRays];
        size_t n = 0;
        forEachConeRay(t, order[k], [&](V3 o, V3 d) {
            origin = o;
            if (n < wx::kFanRays) fan[n++] = d;
            return true;
        });
        wx::castFanWide(tree, origin, {fan, n}, maxDist, {nearest, n});
        open[order[k]] = int(std::count(nearest, nearest + n, maxDist));
    });
}

// Args: town, point order, threads.
template <bool closestHit>
void BM_ConeFan(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    const std::vector<uint32_t>& order = pointOrder(t, int(state.range(1)));
    const unsigned threads = unsigned(state.range(2));
    wx::setParallelThreadLimit(threads);
    const EmbreeSeconds embree = embreeSeconds(t, order, closestHit);
    std::vector<int> open(t.positions.size());
    auto job = [&] {
        if constexpr (closestHit) oursClosestFanJob(t, order, open);
        else oursFanJob(t, order, open);
    };
    const double ours = bestSeconds(job);
    for (auto _ : state) job();
    reportScaling(state, threads, job);
    reportIsaGain(state, job);
    ratio(state, "vs_embree", embree.single, ours);
    ratio(state, "vs_packet8", embree.packet8, ours);
    ratio(state, "vs_packet16", embree.packet16, ours);
    finish(state, t);
}
void BM_ConeAnyHitFan(benchmark::State& state) { BM_ConeFan<false>(state); }
void BM_ConeClosestHitFan(benchmark::State& state) { BM_ConeFan<true>(state); }

// Args: town, point order (0 Morton, 1 shuffled), threads.
template <bool closestHit>
void BM_Cone(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    const std::vector<uint32_t>& order = pointOrder(t, int(state.range(1)));
    wx::setParallelThreadLimit(unsigned(state.range(2)));
    const EmbreeSeconds embree = embreeSeconds(t, order, closestHit);
    std::vector<int> open(t.positions.size());
    const double ours = bestSeconds([&] { oursConeJob<closestHit>(t, order, open); });
    for (auto _ : state) oursConeJob<closestHit>(t, order, open);
    ratio(state, "vs_embree", embree.single, ours);
    ratio(state, "vs_packet8", embree.packet8, ours);
    ratio(state, "vs_packet16", embree.packet16, ours);
    finish(state, t);
}
void BM_ConeAnyHit(benchmark::State& state) { BM_Cone<false>(state); }
void BM_ConeClosestHit(benchmark::State& state) { BM_Cone<true>(state); }

// The reference castRay on the median-split tree, against rtcIntersect1. Args: town.
void BM_ConeClosestHitBinary(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(1);
    const double embree = bestSeconds([&] { embreeJob(t, t.order, true); });
    const wx::BVHView view = t.bvh.view();
    std::vector<wx::SkyResult> results(t.positions.size());
    auto job = [&] {
        wx::parallelFor(t.order.size(), [&](size_t k) {
            uint32_t i = t.order[k];
            results[i] = wx::skyVisibility(view, t.positions[i], t.normals[i], i, t.params);
        });
    };
    const double ours = bestSeconds(job);
    for (auto _ : state) job();
    ratio(state, "vs_embree", embree, ours);
    finish(state, t);
}

// What the snow builder runs (Morton order inside). Args: town, threads.
void BM_SkyMeasure(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    const unsigned threads = unsigned(state.range(1));
    wx::setParallelThreadLimit(threads);
    const double embree = bestSeconds([&] { embreeJob(t, t.order, false); });
    std::vector<wx::SkyResult> results(t.positions.size());
    auto job = [&] { wx::measureSkyCpu(t.bvh, t.positions, t.normals, t.params, results); };
    const double ours = bestSeconds(job);
    for (auto _ : state) job();
    reportScaling(state, threads, job);
    ratio(state, "vs_embree", embree, ours);
    finish(state, t);
}

// The tracing tree's build (Args: town, threads) against Embree's on one thread and
// against the median-split tree (buildBVH makes both; the median tree's time is the rest).
void BM_BuildTraceTree(benchmark::State& state) {
    const Town& t = town(int(state.range(0)));
    wx::setParallelThreadLimit(1);  // Embree's one thread, timed on the same clock
    RTCDevice device = rtcNewDevice("threads=1");
    const double embree = bestSeconds([&] { rtcReleaseScene(embreeScene(device, t.soup)); }, 2);
    rtcReleaseDevice(device);
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    wx::ShelterBVH both;
    wx::WideBVH tree;
    const double bothSeconds = bestSeconds([&] { wx::buildBVH(t.soup, both); }, 2);
    const double treeSeconds = bestSeconds([&] { wx::buildTraceTree(both, tree); }, 2);
    state.counters["median_build_ms"] = (bothSeconds - treeSeconds) * 1e3;
    state.counters["tree_over_median"] = treeSeconds / (bothSeconds - treeSeconds);
    for (auto _ : state) wx::buildTraceTree(t.bvh, tree);
    ratio(state, "vs_embree", embree, treeSeconds);
    state.counters["wide_nodes"] = double(tree.nodes.size());
    state.counters["blocks"] = double(tree.blocks.size());
    wx::setParallelThreadLimit(0);
}

}  // namespace

// town: 0 about 125k triangles, 1 the same refined to about 2M.
BENCHMARK(BM_ConeAnyHit)->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConeAnyHitFan)->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConeClosestHitFan)->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConeClosestHit)->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConeClosestHitBinary)->Args({0})->Args({1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SkyMeasure)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BuildTraceTree)->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char** argv) {
    if (const char* isa = std::getenv("WX_WIDE_ISA")) {
        const std::string name = isa;
        wx::setWideTraversalLimit(name == "sse" ? wx::WideIsa::Sse
                                  : name == "avx2" ? wx::WideIsa::Avx2
                                                   : wx::WideIsa::Avx512);
    }
    const char* names[] = {"sse", "avx2", "avx512"};
    std::printf("wide traversal: %s\n", names[int(wx::wideTraversalIsa())]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
