// MAKE WEATHER's own cost inside the host, against yardsticks in the same run:
// - gathering what lies inside 10 fall volumes among 10,000 objects, against gathering the
//   whole scene (vs_scene: the scene's time over ours; goal: at least 0.5, at most 2x);
// - Make "Heavy snow" with materials and falling off on 2,000 small objects, against
//   evaluating their snow once at viewport detail (make_over_snow: goal at most 0.1), for
//   12-triangle boxes and for 1,000-triangle spheres.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "bench_yardstick.h"
#include "fall/fall_params.h"
#include "fall/weather_fall.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/make_weather.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"
#include "weather_scene.h"

namespace {

using Clock = std::chrono::steady_clock;

using Weather = wxbench::WeatherScene;

// side x side small objects 50 cm apart: 30 cm boxes (12 triangles), or 30 cm spheres of
// 32 segments (about 1,000 triangles), the size of a real small prop.
void addBoxes(int side, bool spheres = false) {
    Interface* ip = GetCOREInterface();
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i)
            ip->CreateObjectNode(spheres ? host::createSphere(15, 32) : host::createBox(30, 30, 30))
                ->SetPosition(0, Point3(50.0f * i, 50.0f * j, 0));
}

void addVolume(float x, float y) {
    auto* fall = static_cast<Object*>(wx::GetFallDesc()->Create(FALSE));
    IParamBlock2* pb = fall->GetParamBlock(0);
    pb->SetValue(wx::kFallWidth, 0, 300.0f);
    pb->SetValue(wx::kFallLength, 0, 300.0f);
    pb->SetValue(wx::kFallHeight, 0, 500.0f);
    GetCOREInterface()->CreateObjectNode(fall)->SetPosition(0, Point3(x, y, -10));
}

template <class F>
double secondsOf(F&& f, int runs = 3) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Best-of-runs seconds of this thread's CPU time: gathering runs on one thread, and the
// counter it is set against is CPU time too, so other work on the machine leaves the
// ratio alone.
template <class F>
double threadSecondsOf(F&& f, int runs = 5) {
    auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
    };
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        const double start = now();
        f();
        best = std::min(best, now() - start);
    }
    return best;
}

void BM_GatherInsideVolumes(benchmark::State& state) {
    Weather weather;
    addBoxes(100);
    for (int v = 0; v < 10; ++v) addVolume(500.0f * v, 500.0f * v);
    const double scene =
        threadSecondsOf([] { benchmark::DoNotOptimize(wx::gatherTargets(wx::kApplyScene, 0).size()); });
    size_t inside = 0;
    for (auto _ : state) inside = wx::gatherTargets(wx::kApplyInsideVolumes, 0).size();
    state.counters["inside"] = double(inside);
    wxbench::reportRatio(state, "vs_scene", scene);
}
BENCHMARK(BM_GatherInsideVolumes)->Unit(benchmark::kMillisecond);

void BM_MakeHeavySnowWithoutMaterials(benchmark::State& state) {
    double make = 0.0, snow = 0.0;
    for (auto _ : state) {
        Weather weather;
        addBoxes(45, state.range(0) == 1);  // 2,025 objects
        const auto start = Clock::now();
        wx::makeWeather(1, wx::kApplyScene, true, false, false);
        make = std::chrono::duration<double>(Clock::now() - start).count();
        INode* root = GetCOREInterface()->GetRootNode();
        snow = secondsOf(
            [&] {
                for (int i = 0; i < root->NumberOfChildren(); ++i) root->GetChildNode(i)->EvalWorldState(0);
            },
            1);
        state.SetIterationTime(make);
    }
    state.counters["make_s"] = make;
    state.counters["snow_s"] = snow;
    state.counters["make_over_snow"] = make / snow;
}
// Argument 0: boxes; 1: spheres.
BENCHMARK(BM_MakeHeavySnowWithoutMaterials)
    ->ArgName("spheres")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
