// The fall's render mesh: one million snow flakes and one million rain drops filled into a
// mesh already sized, against memcpy of that mesh's vertex bytes ("vs_memcpy" is memcpy's
// time over ours: 0.2 means five times memcpy), on one and on two threads; and the whole
// GetRenderMesh call, which also allocates the mesh (first-touch page faults included).
#include <benchmark/benchmark.h>

#include "bench/bench_yardstick.h"
#include "common/parallel_for.h"
#include "fall/fall_params.h"
#include "fall/weather_fall.h"
#include "fall/weather_fall_mesh_sink.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "max/param_block2.h"
#include "max/render.h"

namespace {

constexpr int64_t kParticles = 1000000;
constexpr float kSeconds = 12.5f;

wx::FallParams benchField(int type) {
    wx::FallInputs in;
    in.type = type;
    in.count = kParticles;
    in.windSpeed = 35.0f;
    in.windAngle = 30.0f;
    return wx::makeFallParams(in, wx::FallCountMode::Render);
}

wx::FallMeshInputs benchInputs() {
    wx::FallMeshInputs in;
    in.seconds = kSeconds;
    in.worldFromObject.r0 = {0.6f, 0.8f, 0.0f};
    in.worldFromObject.r1 = {-0.8f, 0.6f, 0.0f};
    in.worldFromObject.t = {120.0f, 50.0f, 300.0f};
    return in;
}

// range(0): type (0 snow, 1 rain); range(1): threads.
void BM_FallMeshFill(benchmark::State& state) {
    const wx::FallParams p = benchField(int(state.range(0)));
    const wx::FallMeshTopology topo = wx::fallMeshTopology(p.type);
    Mesh mesh;
    mesh.setNumVerts(int(kParticles * topo.verts));
    mesh.setNumFaces(int(kParticles * topo.faces));
    const double yardstick = wxbench::memcpySeconds(size_t(mesh.numVerts) * sizeof(Point3));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    const wx::FallMeshInputs in = benchInputs();
    for (auto _ : state) {
        wx::HostMeshSink sink{mesh.verts, mesh.faces, EDGE_ALL};
        wx::fillFallMesh(p, in, sink);
        benchmark::DoNotOptimize(mesh.verts);
        benchmark::ClobberMemory();
    }
    wx::setParallelThreadLimit(0);
    state.SetItemsProcessed(int64_t(state.iterations()) * kParticles);
    wxbench::reportRatio(state, "vs_memcpy", yardstick);
}

// The whole call on a fall object: snapshot, allocation of a fresh mesh, fill, free.
void BM_FallGetRenderMesh(benchmark::State& state) {
    host::replaceScene(nullptr);
    host::classRegistry().add(wx::GetFallDesc());
    auto* fall = static_cast<wx::WeatherFall*>(wx::GetFallDesc()->Create(FALSE));
    IParamBlock2* pb = fall->GetParamBlock(0);
    pb->SetValue(wx::kFallRenderMode, 0, int(wx::kFallRenderGeometry));
    pb->SetValue(wx::kFallType, 0, int(state.range(0)));
    pb->SetValue(wx::kFallCount, 0, int(kParticles));
    pb->SetValue(wx::kFallWindSpeed, 0, 35.0f);
    const wx::FallMeshTopology topo = wx::fallMeshTopology(int(state.range(0)));
    const double yardstick = wxbench::memcpySeconds(size_t(kParticles * topo.verts) * sizeof(Point3));
    wx::setParallelThreadLimit(unsigned(state.range(1)));
    View view;
    for (auto _ : state) {
        BOOL needDelete = FALSE;
        Mesh* mesh = fall->GetRenderMesh(TimeValue(kSeconds * 4800.0f), nullptr, view, needDelete);
        benchmark::DoNotOptimize(mesh->verts);
        if (needDelete) delete mesh;
    }
    wx::setParallelThreadLimit(0);
    fall->DeleteThis();
    host::replaceScene(nullptr);
    host::classRegistry().remove(wx::GetFallDesc());
    state.SetItemsProcessed(int64_t(state.iterations()) * kParticles);
    wxbench::reportRatio(state, "vs_memcpy", yardstick);
}

}  // namespace

BENCHMARK(BM_FallMeshFill)
    ->ArgNames({"rain", "threads"})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FallGetRenderMesh)
    ->ArgNames({"rain", "threads"})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
