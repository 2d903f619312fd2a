// The scene commands' own cost inside the host, against yardsticks in the same run:
// - Bake of the snowed demo town (Heavy snow, at render detail) against evaluating the same
//   nodes at render detail and copying their meshes into new objects, the least any bake
//   must do (bake_over_copy: goal at most 2);
// - Remove on 5,041 weathered boxes against the Make that weathered them
//   (remove_over_make: reported, no goal).
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "app/demo_town.h"
#include "fall/weather_fall.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/object.h"
#include "plugin/live_modifiers.h"
#include "plugin/module_state.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "utility/make_weather.h"
#include "utility/materials_library.h"
#include "utility/scene_commands.h"
#include "utility/script_bridge.h"
#include "weather_scene.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

using Weather = wxbench::WeatherScene;

// The yardstick: each node evaluated at render detail (a fresh scene gathered, as a render
// starts) and its mesh copied into a new object, which is then dropped.
double evaluateAndCopySeconds(const std::vector<INode*>& nodes) {
    const auto start = Clock::now();
    wx::setHostRendering(true);
    wx::captureScene(0);
    for (INode* node : nodes) {
        Object* obj = node->EvalWorldState(0).obj;
        Object* converted = obj->ConvertToType(0, triObjectClassID);
        TriObject* copy = CreateNewTriObject();
        copy->GetMesh() = static_cast<TriObject*>(converted)->GetMesh();
        benchmark::DoNotOptimize(copy->GetMesh().numVerts);
        copy->DeleteThis();
        if (converted != obj) converted->DeleteThis();
    }
    wx::setHostRendering(false);
    wx::invalidateAllSnowMods();
    return since(start);
}

void BM_BakeDemoTown(benchmark::State& state) {
    double bake = 0.0, copy = 0.0;
    for (auto _ : state) {
        Weather weather;
        tweather::buildDemoTown();
        wx::makeWeather(1, wx::kApplyScene, true, false, false);
        std::vector<INode*> nodes = wx::gatherTargets(wx::kApplyScene, 0);
        copy = evaluateAndCopySeconds(nodes);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(wx::bakeWeather());
        bake = since(start);
        state.SetIterationTime(bake);
    }
    state.counters["bake_s"] = bake;
    state.counters["copy_s"] = copy;
    state.counters["bake_over_copy"] = bake / copy;
}
BENCHMARK(BM_BakeDemoTown)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

void BM_RemoveAgainstMake(benchmark::State& state) {
    double make = 0.0, remove = 0.0;
    for (auto _ : state) {
        Weather weather;
        Interface* ip = GetCOREInterface();
        for (int j = 0; j < 71; ++j)
            for (int i = 0; i < 71; ++i)
                ip->CreateObjectNode(host::createBox(30, 30, 30))->SetPosition(0, Point3(50.0f * i, 50.0f * j, 0));
        auto start = Clock::now();
        wx::makeWeather(1, wx::kApplyScene, true, true, false);
        make = since(start);
        start = Clock::now();
        benchmark::DoNotOptimize(wx::removeWeather(wx::kApplyScene));
        remove = since(start);
        state.SetIterationTime(remove);
    }
    state.counters["make_s"] = make;
    state.counters["remove_s"] = remove;
    state.counters["remove_over_make"] = remove / make;
}
BENCHMARK(BM_RemoveAgainstMake)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
