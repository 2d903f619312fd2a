// The Weather Map's cost inside a render: one 1-sample-per-pixel preview frame of a view
// where every pixel hits one mapped ground (a 400 m plane seen from above), per mode,
// against the same frame with the plain standard material. Counters:
//   ns_per_sample     the pixel loop's wall time per sample
//   map_over_plain    (mapped - plain) / plain in wall time: what the map adds per
//                     sample, in plain samples (the goal is at most 2)
//   cpu_ns_per_sample the frame's processor time, all threads together, per sample: on
//                     a machine shared with other work it moves far less than wall time
//   map_over_plain_cpu  map_over_plain in processor time
//   samples_per_s_core  samples per second per thread, from processor time
// Each figure is the best of the iterations (and of three plain frames).
// Modes: wetness without the probe (no captured scene) and with it (a captured scene with
// a roof over part of the view), puddles, both bumps (bump slot) and sparkle. Threads: the
// /threads: argument (1 or 2), so that 2 against 1 reads off the same run.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>

#include "common/parallel_for.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "host/std_materials.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "weathermap/weather_map.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

enum Case { kPlain = -1, kWetNoProbe = 0, kWetProbe = 10, kPuddles = 1, kRipples = 2, kGlass = 3, kSparkle = 4 };

struct MapScene {
    Mtl* mtl = nullptr;
    INode* camera = nullptr;
};

MapScene buildScene() {
    host::resetScene();
    host::classRegistry().add(wx::GetWeatherMapDesc());
    Interface* ip = GetCOREInterface();
    MapScene s;
    INode* ground = ip->CreateObjectNode(host::createPlane(40000, 40000, 4, 4));
    s.mtl = host::createStdMaterial(L"ground", Color(0.4f, 0.4f, 0.4f), 80.0f);
    s.mtl->GetParamBlock(0)->SetValue(host::kStdBumpAmount, 0, 30.0f);
    ground->SetMtl(s.mtl);
    // A roof 3 m over part of the view, above the camera's sight: the probe has cover to find.
    INode* roof = ip->CreateObjectNode(host::createPlane(600, 600, 1, 1));
    roof->SetPosition(0, Point3(300, 300, 300));
    roof->SetRenderable(FALSE);
    s.camera = ip->CreateObjectNode(host::createFreeCamera(1.2f));
    s.camera->SetPosition(0, Point3(0, 0, 2000));  // looking straight down
    return s;
}

void setCase(MapScene& s, Case c) {
    for (int slot : {ID_SH, ID_BU}) s.mtl->SetSubTexmap(slot, nullptr);
    wx::discardScene();
    if (c == kPlain) return;
    auto* map = static_cast<Texmap*>(wx::GetWeatherMapDesc()->Create(FALSE));
    const int mode = c == kWetProbe ? 0 : int(c);
    map->GetParamBlock(0)->SetValue(wx::kMapMode, 0, mode);
    map->GetParamBlock(0)->SetValue(wx::kMapSparkleDensity, 0, 0.3f);
    s.mtl->SetSubTexmap(mode == 2 || mode == 3 ? ID_BU : ID_SH, map);
    if (c == kWetProbe) wx::captureScene(0);
}

// The whole process's processor time in seconds: the render's worker threads included.
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

struct FrameCost {
    double wallNs = 0.0, cpuNs = 0.0;  // per sample
};

FrameCost frameCostPerSample(const MapScene& s) {
    host::PreviewSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.camera = s.camera;
    settings.keepAsLastRender = false;
    settings.progress = [](int) {};
    host::PreviewImage image;
    std::string error;
    const double cpuStart = processCpuSeconds();
    if (!host::renderPreview(settings, image, error)) return {};
    const double cpuSeconds = processCpuSeconds() - cpuStart;
    const double samples = double(kWidth * kHeight);
    return {image.seconds * 1e9 / samples, cpuSeconds * 1e9 / samples};
}

FrameCost bestOf(FrameCost a, FrameCost b) {
    return {std::min(a.wallNs, b.wallNs), std::min(a.cpuNs, b.cpuNs)};
}

void BM_MapRender(benchmark::State& state) {
    const auto c = Case(state.range(0));
    const unsigned threads = unsigned(state.range(1));
    wx::setParallelThreadLimit(threads);
    std::vector<std::string> errors;
    host::startUp({}, errors);
    MapScene s = buildScene();
    setCase(s, kPlain);
    FrameCost plain{1e30, 1e30};
    for (int i = 0; i < 3; ++i) plain = bestOf(plain, frameCostPerSample(s));
    setCase(s, c);
    FrameCost best{1e30, 1e30};
    for (auto _ : state) {
        const FrameCost frame = frameCostPerSample(s);
        best = bestOf(best, frame);
        state.SetIterationTime(frame.wallNs * 1e-9 * double(kWidth * kHeight));
    }
    state.counters["ns_per_sample"] = best.wallNs;
    state.counters["map_over_plain"] = (best.wallNs - plain.wallNs) / plain.wallNs;
    state.counters["cpu_ns_per_sample"] = best.cpuNs;
    state.counters["map_over_plain_cpu"] = (best.cpuNs - plain.cpuNs) / plain.cpuNs;
    state.counters["samples_per_s_core"] = 1e9 / best.cpuNs;
    wx::discardScene();
    host::shutDown();
    wx::setParallelThreadLimit(0);
}

}  // namespace

BENCHMARK(BM_MapRender)
    ->ArgNames({"mode", "threads"})
    ->ArgsProduct({{kPlain, kWetNoProbe, kWetProbe, kPuddles, kRipples, kGlass, kSparkle}, {1, 2}})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
