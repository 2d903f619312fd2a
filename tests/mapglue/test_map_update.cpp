// The Weather Map between the host and the formulas: when Update rereads its parameters and
// what validity it reports, Reset and Clone, a saved scene, the per-sample cache, world space
// through the context's conversions, the captured scene it probes, and threads.
#include <bit>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "host/preview_renderer.h"
#include "host/scene_file.h"
#include "host/std_materials.h"
#include "mapglue_fixture.h"
#include "max/material.h"
#include "weathermap/map_eval.h"

namespace {

using mapgluetest::MapGlueTest;

constexpr TimeValue kT = 2400;

TEST_F(MapGlueTest, ValidityFollowsTheModeAndTheKeys) {
    wx::WeatherMap* map = newMap();
    IParamBlock2* pb = map->GetParamBlock(0);
    for (int mode = 0; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        pb->SetValue(wx::kMapMode, 0, mode);
        Interval valid = FOREVER;
        map->Update(kT, valid);
        const bool animated = mode >= 2;
        EXPECT_EQ(valid, animated ? Interval(kT, kT) : FOREVER);
        EXPECT_EQ(map->Validity(kT), valid);
        EXPECT_EQ(map->state().mode, mode);
        // The caller's interval is intersected, never widened.
        Interval narrow(kT - 10, kT + 10);
        map->Update(kT, narrow);
        EXPECT_EQ(narrow, animated ? Interval(kT, kT) : Interval(kT - 10, kT + 10));
    }

    // A keyed parameter narrows a static mode to the span where its value holds.
    pb->SetValue(wx::kMapMode, 0, 0);
    AnimateOn();
    pb->SetValue(wx::kMapWetness, 0, 0.2f);
    pb->SetValue(wx::kMapWetness, 4800, 0.8f);
    AnimateOff();
    Interval valid = FOREVER;
    map->Update(kT, valid);
    EXPECT_EQ(valid, Interval(kT, kT));
    EXPECT_NEAR(map->state().wetness, 0.5f, 1e-6f);
    valid = FOREVER;
    map->Update(9600, valid);
    EXPECT_EQ(map->state().wetness, 0.8f);
    EXPECT_TRUE(valid.InInterval(9600));
    EXPECT_FALSE(valid.InInterval(kT));
    map->DeleteThis();
}

TEST_F(MapGlueTest, UpdateRereadsOnlyWhenStaleAndKeepsTheSeedKey) {
    wx::WeatherMap* map = newMap();
    IParamBlock2* pb = map->GetParamBlock(0);
    pb->SetValue(wx::kMapSeed, 0, 41);
    update(map, 0);
    EXPECT_EQ(map->state().seedKey, 42);
    EXPECT_EQ(map->state().sheltered, true);
    EXPECT_FLOAT_EQ(map->state().breakupScale, 100.0f);
    // Any change through the block empties the validity, so the next Update sees it even
    // at a time the old values were valid for.
    pb->SetValue(wx::kMapPuddleScale, 0, 55.0f);
    pb->SetValue(wx::kMapInvert, 0, 1);
    update(map, 0);
    EXPECT_EQ(map->state().puddleScale, 55.0f);
    EXPECT_TRUE(map->state().invert);
    map->DeleteThis();
}

TEST_F(MapGlueTest, ResetAndCloneKeepMapsApart) {
    wx::WeatherMap* map = newMap();
    IParamBlock2* pb = map->GetParamBlock(0);
    pb->SetValue(wx::kMapMode, 0, 3);
    pb->SetValue(wx::kMapDropScale, 0, 2.5f);
    pb->SetValue(wx::kMapSheltered, 0, 0);
    update(map);

    RemapDir remap;
    auto* copy = static_cast<wx::WeatherMap*>(map->Clone(remap));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->GetParamBlock(0), pb) << "the copy owns its own block";
    update(copy);
    EXPECT_EQ(copy->state().mode, 3);
    EXPECT_EQ(copy->state().dropScale, 2.5f);
    EXPECT_FALSE(copy->state().sheltered);
    copy->GetParamBlock(0)->SetValue(wx::kMapDropScale, 0, 9.0f);
    EXPECT_EQ(pb->GetFloat(wx::kMapDropScale, 0), 2.5f);

    map->Reset();
    EXPECT_EQ(pb->GetInt(wx::kMapMode, 0), 0);
    EXPECT_EQ(pb->GetFloat(wx::kMapDropScale, 0), 0.4f);
    update(map);
    EXPECT_EQ(map->state().mode, 0) << "Reset empties the validity";
    EXPECT_TRUE(map->state().sheltered);
    EXPECT_EQ(copy->GetParamBlock(0)->GetInt(wx::kMapMode, 0), 3);
    copy->DeleteThis();
    map->DeleteThis();
}

TEST_F(MapGlueTest, SavedSceneKeepsTheMapInItsSlot) {
    const auto path = std::filesystem::temp_directory_path() / "tweather_mapglue_saved.scene";
    {
        INode* ground = addPlane(100.0f);
        ground->SetName(L"ground");
        Mtl* mtl = host::createStdMaterial(L"wet ground", Color(0.4f, 0.4f, 0.4f), 30.0f);
        wx::WeatherMap* map = newMap();
        IParamBlock2* pb = map->GetParamBlock(0);
        pb->SetValue(wx::kMapMode, 0, 1);
        pb->SetValue(wx::kMapSeed, 0, 7);
        pb->SetValue(wx::kMapPuddleScale, 0, 123.5f);
        AnimateOn();
        pb->SetValue(wx::kMapPuddleAmount, 4800, 0.9f);
        AnimateOff();
        mtl->SetSubTexmap(ID_SH, map);
        ground->SetMtl(mtl);
    }
    std::string error;
    ASSERT_TRUE(host::saveScene(path.string(), error)) << error;
    host::replaceScene(nullptr);
    host::freeRetiredScenes();
    ASSERT_TRUE(host::loadScene(path.string(), error)) << error;
    std::filesystem::remove(path);

    INode* ground = ip->GetINodeByName(L"ground");
    ASSERT_NE(ground, nullptr);
    ASSERT_NE(ground->GetMtl(), nullptr);
    Texmap* loaded = ground->GetMtl()->GetSubTexmap(ID_SH);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->ClassID(), wx::kWeatherMapClassID);
    auto* map = static_cast<wx::WeatherMap*>(loaded);
    Interval valid = FOREVER;
    map->Update(4800, valid);
    EXPECT_EQ(map->state().mode, 1);
    EXPECT_EQ(map->state().seedKey, 8);
    EXPECT_EQ(map->state().puddleScale, 123.5f);
    EXPECT_EQ(map->state().puddleAmount, 0.9f);
    EXPECT_TRUE(map->GetParamBlock(0)->IsAnimated(wx::kMapPuddleAmount)) << "the keys came back";
    EXPECT_FALSE(valid.InInterval(0));
}

// A second evaluation of the same sample, as a colour or a mono value, computes nothing; the
// next sample computes again.
TEST_F(MapGlueTest, ContextCacheSavesTheSecondEvaluation) {
    wx::WeatherMap* map = newMap();
    update(map);
    host::SampleShadeContext sc;
    aim(sc, Point3(10, 20, 0), Point3(0, 0, 1), Point3(0, 0, -1));
    const uint64_t before = wx::WeatherMap::computedOnThisThread();
    const float first = map->EvalMono(sc);
    EXPECT_EQ(wx::WeatherMap::computedOnThisThread() - before, 1u);
    EXPECT_EQ(map->EvalMono(sc), first);
    const AColor c = map->EvalColor(sc);
    EXPECT_EQ(wx::WeatherMap::computedOnThisThread() - before, 1u);
    EXPECT_EQ(c.r, first);
    EXPECT_EQ(c.g, first);
    EXPECT_EQ(c.b, first);
    EXPECT_EQ(c.a, 1.0f);
    aim(sc, Point3(10, 20, 0), Point3(0, 0, 1), Point3(0, 0, -1));
    EXPECT_EQ(map->EvalMono(sc), first);
    EXPECT_EQ(wx::WeatherMap::computedOnThisThread() - before, 2u);
    map->DeleteThis();
}

// The map shades the world point whatever the camera: values and bumps equal the formulas'
// at the world position, and the bump comes back in the context's space.
TEST_F(MapGlueTest, ShadesInWorldSpaceThroughTheContext) {
    host::SampleShadeContext sc;
    sc.worldFromCamera.RotateZ(0.7f);
    sc.worldFromCamera.PreRotateX(0.3f);
    sc.worldFromCamera.SetTrans(Point3(500, -300, 40));
    sc.cameraFromWorld = Inverse(sc.worldFromCamera);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> span(-400.0f, 400.0f), unit(-1.0f, 1.0f);
    for (int mode : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(mode);
        wx::WeatherMap* map = newMap();
        map->GetParamBlock(0)->SetValue(wx::kMapMode, 0, mode);
        map->GetParamBlock(0)->SetValue(wx::kMapRippleScale, 0, 5.0f);
        map->GetParamBlock(0)->SetValue(wx::kMapDropScale, 0, 0.05f);
        map->GetParamBlock(0)->SetValue(wx::kMapSparkleDensity, 0, 0.5f);
        update(map, kT);
        int bumped = 0;
        for (int i = 0; i < 200; ++i) {
            const Point3 pw(span(rng), span(rng), 0.1f * span(rng));
            const Point3 nw = Point3(0.3f * unit(rng), 0.3f * unit(rng), 1.0f).Normalize();
            const Point3 vw = Point3(unit(rng), unit(rng), -1.0f).Normalize();
            const Point3 pc = pw * sc.cameraFromWorld, nc = sc.cameraFromWorld.VectorTransform(nw),
                         vc = sc.cameraFromWorld.VectorTransform(vw);
            aim(sc, pc, nc, vc, kT, i);
            // The world sample the context's own conversions give (the last bits of a round
            // trip through the camera frame are its business, not the map's).
            const Point3 pb = pc * sc.worldFromCamera, nb = sc.worldFromCamera.VectorTransform(nc),
                         vb = sc.worldFromCamera.VectorTransform(vc);
            wx::MapSample s;
            s.position = {pb.x, pb.y, pb.z};
            s.normal = {nb.x, nb.y, nb.z};
            s.viewDir = {vb.x, vb.y, vb.z};
            s.s = wx::mapSeconds(kT, 1.0f);
            s.faceNumber = i;
            EXPECT_EQ(map->EvalMono(sc), wx::mapMonoUnprobed(map->state(), s));
            const wx::V3 w = wx::mapPerturbWorld(map->state(), s);
            const Point3 got = map->EvalNormalPerturb(sc);
            const Point3 want = sc.cameraFromWorld.VectorTransform(Point3(w.x, w.y, w.z));
            EXPECT_TRUE(got.x == want.x && got.y == want.y && got.z == want.z) << "back in camera space";
            if (got.Length() > 1e-4f) ++bumped;
        }
        if (mode == 2 || mode == 3)
            EXPECT_GT(bumped, 0) << "the bump modes bump somewhere";
        else
            EXPECT_EQ(bumped, 0) << "masks give no bump";
        map->DeleteThis();
    }
}

// Wetness under a floating roof: open sky before any capture and with the option off; dry
// once Update takes the captured scene; open again after the scene is discarded.
TEST_F(MapGlueTest, UpdateTakesTheCapturedSceneWhenItChanges) {
    addPlane(1000.0f, 0.0f);
    addPlane(200.0f, 300.0f);  // a roof 3 m up over the origin
    wx::WeatherMap* map = newMap();
    IParamBlock2* pb = map->GetParamBlock(0);
    pb->SetValue(wx::kMapPuddleAmount, 0, 0.0f);
    pb->SetValue(wx::kMapBreakup, 0, 0.0f);
    host::SampleShadeContext sc;
    auto wetUnderRoof = [&] {
        aim(sc, Point3(5, -5, 0), Point3(0, 0, 1), Point3(0, 0.6f, -0.8f));
        return map->EvalMono(sc);
    };
    auto wetInTheOpen = [&] {
        aim(sc, Point3(450, 450, 0), Point3(0, 0, 1), Point3(0, 0.6f, -0.8f));
        return map->EvalMono(sc);
    };
    update(map);
    EXPECT_EQ(map->shelter(), nullptr);
    EXPECT_EQ(wetUnderRoof(), 1.0f) << "no scene, no cover";

    wx::captureScene(0);
    ASSERT_GT(wx::capturedTriangles(), 0);
    EXPECT_EQ(wetUnderRoof(), 1.0f) << "Eval uses what Update took, nothing newer";
    update(map);
    EXPECT_NE(map->shelter(), nullptr);
    EXPECT_EQ(wetUnderRoof(), 0.0f);
    EXPECT_EQ(wetInTheOpen(), 1.0f);

    // The map keeps its scene alive through a recapture until its next Update.
    const wx::ShelterBVH* held = map->shelter();
    wx::captureScene(0);
    wx::captureScene(0);
    EXPECT_EQ(map->shelter(), held);
    EXPECT_EQ(wetUnderRoof(), 0.0f);
    update(map);
    EXPECT_NE(map->shelter(), held);

    pb->SetValue(wx::kMapSheltered, 0, 0);
    update(map);
    EXPECT_EQ(wetUnderRoof(), 1.0f);
    pb->SetValue(wx::kMapSheltered, 0, 1);
    wx::discardScene();
    update(map);
    EXPECT_EQ(map->shelter(), nullptr);
    EXPECT_EQ(wetUnderRoof(), 1.0f);
    map->DeleteThis();
}

// Stands in a render's diffuse slot for a Weather Map and notes, per shading call, the world
// sample the render's context shows and the value the map gave it.
class RecordingMap : public Texmap {
public:
    struct Seen {
        Point3 p, n, v;
        TimeValue t;
        int face;
        float value;
    };
    // Owns inner: the scene holds only the recorder.
    explicit RecordingMap(Texmap* inner) : inner_(inner) {}
    ~RecordingMap() override { inner_->DeleteThis(); }
    void Update(TimeValue t, Interval& valid) override { inner_->Update(t, valid); }
    AColor EvalColor(ShadeContext& sc) override {
        const float v = inner_->EvalMono(sc);
        const Seen seen{sc.PointTo(sc.P(), REF_WORLD),
                        sc.VectorTo(sc.Normal(), REF_WORLD),
                        sc.VectorTo(sc.V(), REF_WORLD),
                        sc.CurTime(),
                        sc.FaceNumber(),
                        v};
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(seen);
        return AColor(v, v, v, 1.0f);
    }
    std::vector<Seen> seen() const { return seen_; }

private:
    Texmap* inner_;
    std::mutex mutex_;
    std::vector<Seen> seen_;
};

// A render shades the map as a context that is the world itself does at the same points (as
// `map sample` and `map bake` shade), probe included.
TEST_F(MapGlueTest, RenderShadesAsAWorldContextDoes) {
    INode* ground = addPlane(3000.0f, 0.0f);
    addPlane(600.0f, 300.0f);  // a roof
    INode* camera = ip->CreateObjectNode(host::createFreeCamera(1.0f));
    const Point3 eye(-900, -1200, 900), back = (eye - Point3(0, 0, 0)).Normalize();
    const Point3 right = (Point3(0, 0, 1) ^ back).Normalize();
    camera->SetNodeTM(0, Matrix3(right, back ^ right, back, eye));
    wx::WeatherMap* map = newMap();
    map->GetParamBlock(0)->SetValue(wx::kMapBreakupScale, 0, 40.0f);
    auto* recorder = new RecordingMap(map);
    Mtl* mtl = host::createStdMaterial(L"ground", Color(0.5f, 0.5f, 0.5f), 50.0f);
    mtl->SetSubTexmap(ID_DI, recorder);
    ground->SetMtl(mtl);
    wx::captureScene(kT);
    host::PreviewSettings settings;
    settings.width = 48;
    settings.height = 36;
    settings.camera = camera;
    settings.time = kT;
    settings.keepAsLastRender = false;
    host::PreviewImage image;
    std::string error;
    ASSERT_TRUE(host::renderPreview(settings, image, error)) << error;
    const std::vector<RecordingMap::Seen> seen = recorder->seen();
    ASSERT_GT(seen.size(), 500u);
    host::SampleShadeContext sc;
    int covered = 0;
    for (const RecordingMap::Seen& s : seen) {
        aim(sc, s.p, s.n, s.v, s.t, s.face);
        EXPECT_EQ(map->EvalMono(sc), s.value);
        covered += s.value == 0.0f;
    }
    EXPECT_GT(covered, 0) << "the view takes in ground under the roof";
    EXPECT_NE(map->shelter(), nullptr);
}

// Eight shading threads, each with its own context, give one thread's bits for every mode,
// the probe included.
TEST_F(MapGlueTest, EightThreadsShadeAsOne) {
    addPlane(2000.0f, 0.0f);
    addPlane(300.0f, 250.0f);
    wx::captureScene(0);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> span(-600.0f, 600.0f), unit(-1.0f, 1.0f);
    struct Row {
        Point3 p, n, v;
        int face;
    };
    std::vector<Row> rows(4000);
    for (Row& r : rows)
        r = {Point3(span(rng), span(rng), 0.0f), Point3(0.2f * unit(rng), 0.2f * unit(rng), 1.0f).Normalize(),
             Point3(unit(rng), unit(rng), -1.0f).Normalize(), int(rng() % 100000)};
    for (int mode : {0, 2, 3, 4}) {
        SCOPED_TRACE(mode);
        wx::WeatherMap* map = newMap();
        map->GetParamBlock(0)->SetValue(wx::kMapMode, 0, mode);
        map->GetParamBlock(0)->SetValue(wx::kMapRippleScale, 0, 10.0f);
        update(map, kT);
        auto shade = [&](size_t begin, size_t step, std::vector<float>& out) {
            host::SampleShadeContext sc;
            for (size_t i = begin; i < rows.size(); i += step) {
                aim(sc, rows[i].p, rows[i].n, rows[i].v, kT, rows[i].face);
                const Point3 b = map->EvalNormalPerturb(sc);
                out[4 * i] = map->EvalMono(sc);
                out[4 * i + 1] = b.x;
                out[4 * i + 2] = b.y;
                out[4 * i + 3] = b.z;
            }
        };
        std::vector<float> one(4 * rows.size()), eight(4 * rows.size());
        shade(0, 1, one);
        std::vector<std::thread> threads;
        for (size_t k = 0; k < 8; ++k) threads.emplace_back(shade, k, 8, std::ref(eight));
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(std::memcmp(one.data(), eight.data(), one.size() * sizeof(float)), 0);
        map->DeleteThis();
    }
}

}  // namespace
