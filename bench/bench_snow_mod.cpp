// The snow modifier inside the host: what a redraw of an unchanged snowed object costs
// (the pipeline's copy of the mesh, the cache key over every input, and writing the cached
// shell into the mesh), against copying the evaluated mesh's bytes once with memcpy; and
// a full rebuild at viewport detail for scale.
#include <benchmark/benchmark.h>

#include "bench_yardstick.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "snow/snow_mod.h"

namespace {

struct SnowedPlane {
    INode* node = nullptr;
    wx::SnowMod* mod = nullptr;

    explicit SnowedPlane(int segments) {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
        node = GetCOREInterface()->CreateObjectNode(host::createPlane(2000, 2000, segments, segments));
        mod = static_cast<wx::SnowMod*>(wx::GetSnowModDesc()->Create(FALSE));
        node->AddWSModifier(mod);
        mod->GetParamBlock(0)->SetValue(wx::kSnowOccluders, 0, int(wx::kShelterThisObject));
        node->EvalWorldState(0);
    }
    ~SnowedPlane() {
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
    size_t meshBytes() {
        const Mesh& m = static_cast<TriObject*>(node->EvalWorldState(0).obj)->GetMesh();
        return size_t(m.numVerts) * sizeof(Point3) + size_t(m.numFaces) * sizeof(Face);
    }
};

void BM_RedrawUnchangedSnow(benchmark::State& state) {
    SnowedPlane scene(int(state.range(0)));
    const int builds = scene.mod->buildCount();
    TimeValue t = 0;
    for (auto _ : state) {
        scene.node->InvalidateWS();
        benchmark::DoNotOptimize(scene.node->EvalWorldState(t += 160).obj);
    }
    if (scene.mod->buildCount() != builds) state.SkipWithError("the cache missed");
    state.counters["input_faces"] = double(2 * state.range(0) * state.range(0));
    wxbench::reportRatio(state, "vs_memcpy", wxbench::memcpySeconds(scene.meshBytes()));
}
BENCHMARK(BM_RedrawUnchangedSnow)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_RebuildViewportSnow(benchmark::State& state) {
    SnowedPlane scene(int(state.range(0)));
    float depth = 10.0f;
    for (auto _ : state) {
        scene.mod->GetParamBlock(0)->SetValue(wx::kSnowDepth, 0, depth += 0.01f);
        benchmark::DoNotOptimize(scene.node->EvalWorldState(0).obj);
    }
    state.counters["shell_tris"] = double(scene.mod->lastStats().trianglesOut);
}
BENCHMARK(BM_RebuildViewportSnow)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    host::classRegistry().add(wx::GetSnowModDesc());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
