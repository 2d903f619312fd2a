// Preview renderer throughput: one 1280x720 frame at one sample per pixel, seen from the
// scene's camera, timed over the pixel loop (primary rays, shading, shadow rays), against
// a yardstick measured in the same run: the very same primary rays through the reference
// closest-hit traversal wx::castRay alone, on the same thread pool. Counters:
//   primary_rays_per_second   pixels (one primary ray each) per second of the pixel loop
//   vs_castray                the yardstick's time over ours (1 would mean shading and
//                             shadows were free; it stays below 1)
//   triangles                 render triangles in the frame
// Scenes: the built-in demo town (the example of `tweather example`, a few thousand
// triangles) and the generated town of the sky benchmark (125,000 triangles). Run with
// WX_THREADS=2 for the two-core figure.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "app/demo_town.h"
#include "bench/bench_yardstick.h"
#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "max/interface.h"
#include "shelter/bvh.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;

void buildGeneratedTown() {
    const std::vector<wx::V3> soup = wx::example::makeTown(125000);
    TriObject* tri = CreateNewTriObject();
    Mesh& m = tri->GetMesh();
    m.setNumVerts(int(soup.size()));
    m.setNumFaces(int(soup.size() / 3));
    for (size_t i = 0; i < soup.size(); ++i) m.verts[i] = Point3(soup[i].x, soup[i].y, soup[i].z);
    for (int f = 0; f < m.getNumFaces(); ++f) m.faces[f].setVerts(3 * f, 3 * f + 1, 3 * f + 2);
    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(tri);
    INode* cam = ip->CreateObjectNode(host::createFreeCamera(0.9f));
    cam->SetName(L"Camera");
    // From above the south-west corner, looking at the middle of the 200 m square.
    const Point3 eye(-40.0f, -60.0f, 90.0f), back = (eye - Point3(100.0f, 100.0f, 0.0f)).Normalize();
    const Point3 right = (Point3(0, 0, 1) ^ back).Normalize();
    cam->SetNodeTM(0, Matrix3(right, back ^ right, back, eye));
    ip->CreateObjectNode(host::createLight(DIRECT_LGT, Color(1, 1, 1), 1.0f))->SetRotation(0, Point3(0.5f, 0.3f, 0));
}

// The scene's render triangles in world space, as the renderer sees them.
std::vector<wx::V3> worldSoup() {
    std::vector<wx::V3> soup;
    for (INode* node : host::currentScene().allNodes()) {
        if (node->IsNodeHidden(TRUE) || !node->Renderable()) continue;
        const ObjectState& os = node->EvalWorldState(0);
        if (!os.obj || os.obj->SuperClassID() != GEOMOBJECT_CLASS_ID) continue;
        Object* tri = os.obj->ConvertToType(0, triObjectClassID);
        if (!tri) continue;
        const Mesh& m = static_cast<TriObject*>(tri)->GetMesh();
        const Matrix3 tm = node->GetObjTMAfterWSM(0);
        for (int f = 0; f < m.numFaces; ++f)
            for (int k = 0; k < 3; ++k) {
                Point3 p = m.verts[m.faces[f].v[k]] * tm;
                soup.push_back({p.x, p.y, p.z});
            }
        if (tri != os.obj) tri->DeleteThis();
    }
    return soup;
}

// Seconds for the frame's primary rays (pixel centres, from the first camera) through
// wx::castRay on the thread pool; best of three.
double castRaySeconds() {
    wx::ShelterBVH bvh;
    buildBVH(worldSoup(), bvh);
    INode* cam = nullptr;
    for (INode* n : host::currentScene().allNodes())
        if (n->GetObjectRef() && n->GetObjectRef()->SuperClassID() == CAMERA_CLASS_ID) {
            cam = n;
            break;
        }
    if (!cam) return 0.0;
    Interval valid = FOREVER;
    CameraState cs;
    static_cast<CameraObject*>(cam->EvalWorldState(0).obj)->EvalCameraState(0, valid, &cs);
    const Matrix3 tm = cam->GetObjTMAfterWSM(0);
    const Point3 right = tm.GetRow(0).Normalize(), up = tm.GetRow(1).Normalize(), back = tm.GetRow(2).Normalize();
    const Point3 eye = tm.GetTrans();
    const float tanHalf = std::tan(0.5f * cs.fov), aspect = float(kHeight) / float(kWidth);
    std::vector<float> sink(size_t(kWidth) * kHeight);
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        wx::parallelFor(sink.size(), [&](size_t i) {
            const float sx = 2.0f * (float(i % kWidth) + 0.5f) / kWidth - 1.0f;
            const float sy = 1.0f - 2.0f * (float(i / kWidth) + 0.5f) / kHeight;
            const Point3 d = (right * (sx * tanHalf) + up * (sy * tanHalf * aspect) - back).Normalize();
            sink[i] = wx::castRay(bvh.view(), {eye.x, eye.y, eye.z}, {d.x, d.y, d.z}, 1e30f);
        });
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    benchmark::DoNotOptimize(sink.data());
    return best;
}

void renderFrame(benchmark::State& state, void (*build)()) {
    host::resetScene();
    build();
    const double yardstick = castRaySeconds();
    host::PreviewSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.keepAsLastRender = false;
    settings.progress = [](int) {};
    host::PreviewImage image;
    for (auto _ : state) {
        std::string error;
        if (!host::renderPreview(settings, image, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.SetIterationTime(image.seconds);
    }
    state.counters["primary_rays_per_second"] =
        benchmark::Counter(double(image.primaryRays) * double(state.iterations()), benchmark::Counter::kIsRate);
    wxbench::reportRatio(state, "vs_castray", yardstick);
    state.counters["triangles"] = double(image.triangles);
    host::resetScene();
}

void BM_PreviewDemoTown(benchmark::State& state) {
    renderFrame(state, tweather::buildDemoTown);
}
void BM_PreviewGeneratedTown(benchmark::State& state) {
    renderFrame(state, buildGeneratedTown);
}
BENCHMARK(BM_PreviewDemoTown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PreviewGeneratedTown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
