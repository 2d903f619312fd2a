#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "host/builtin_objects.h"
#include "host/frame_windows.h"
#include "host/host_app.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "host/std_materials.h"
#include "max/bitmap.h"
#include "max/interface.h"
#include "max/notify.h"
#include "max/shade_context.h"
#include "render/png_writer.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSize = 64;  // image side, pixels
constexpr float kCameraHeight = 100.0f;

// The analytic scene: a 120 x 120 plane at z = 0, a 20-unit cube standing on its centre,
// and a camera 100 units above the origin looking straight down with a 90-degree field of
// view, so that pixel centre (px, py) sees ground point (100 sx, 100 sy) with
// sx = (px + 0.5) / 32 - 1 and sy = 1 - (py + 0.5) / 32.
struct AnalyticScene {
    INode* plane = nullptr;
    INode* box = nullptr;
    INode* camera = nullptr;

    AnalyticScene() {
        host::resetScene();
        Interface* ip = GetCOREInterface();
        plane = ip->CreateObjectNode(host::createPlane(120.0f, 120.0f, 4, 4));
        plane->SetName(L"Ground");
        box = ip->CreateObjectNode(host::createBox(20.0f, 20.0f, 20.0f));
        box->SetName(L"Cube");
        camera = ip->CreateObjectNode(host::createFreeCamera(kPi / 2));
        camera->SetName(L"TopCam");
        camera->SetPosition(0, Point3(0, 0, kCameraHeight));
    }

    static float sx(int px) { return (float(px) + 0.5f) / (kSize / 2.0f) - 1.0f; }
    static float sy(int py) { return 1.0f - (float(py) + 0.5f) / (kSize / 2.0f); }
    static Point3 rayDir(int px, int py) { return Point3(sx(px), sy(py), -1.0f).Normalize(); }
};

host::PreviewImage render(host::PreviewSettings s = {}) {
    if (s.width == 0) s.width = s.height = kSize;
    host::PreviewImage image;
    std::string error;
    EXPECT_TRUE(host::renderPreview(s, image, error)) << error;
    return image;
}

Point3 pixel(const host::PreviewImage& img, int px, int py) {
    const float* p = &img.rgba[(size_t(py) * img.width + px) * 4];
    return {p[0], p[1], p[2]};
}
float depthAt(const host::PreviewImage& img, int px, int py) {
    return img.depth[size_t(py) * img.width + px];
}

void expectColour(const Point3& got, const Point3& want, const char* what) {
    EXPECT_NEAR(got.x, want.x, 1e-4) << what;
    EXPECT_NEAR(got.y, want.y, 1e-4) << what;
    EXPECT_NEAR(got.z, want.z, 1e-4) << what;
}

TEST(PreviewRender, AnalyticSceneIsLitShadowedAndSkyAtChosenPixels) {
    AnalyticScene scene;
    host::PreviewSettings s;
    s.cameraName = L"TopCam";
    host::PreviewImage img = render(s);
    ASSERT_EQ(img.width, kSize);
    EXPECT_TRUE(img.defaultLight);  // no light in the scene: the default sun
    EXPECT_EQ(img.cameraName, L"TopCam");
    EXPECT_EQ(img.triangles, 32 + 12);

    const Point3 grey = host::kPreviewDefaultDiffuse;
    const Point3 up(0, 0, 1);
    const Point3 sky = host::previewSkyAmbient(up);
    const Point3 lit = grey * (sky + host::kPreviewSunColor * host::kPreviewSunToward.z);
    const Point3 shadowed = grey * sky;

    // Ground far from the cube on the sun's side: (-42.2, -39.1).
    expectColour(pixel(img, 18, 44), lit, "lit ground");
    EXPECT_NEAR(depthAt(img, 18, 44), kCameraHeight, 1e-3);  // along the view axis, not the ray
    // Ground at (14.1, 20.3): the way to the sun passes through the cube.
    expectColour(pixel(img, 36, 25), shadowed, "shadowed ground");
    EXPECT_NEAR(depthAt(img, 36, 25), kCameraHeight, 1e-3);
    // The cube's top.
    expectColour(pixel(img, 32, 32), lit, "cube top");
    EXPECT_NEAR(depthAt(img, 32, 32), kCameraHeight - 20.0f, 1e-3);
    // Outside the plane: the background sky along the ray, opaque, infinitely deep.
    expectColour(pixel(img, 0, 0), host::previewSkyColor(AnalyticScene::rayDir(0, 0)), "sky");
    EXPECT_TRUE(std::isinf(depthAt(img, 0, 0)));
    for (size_t i = 3; i < img.rgba.size(); i += 4) ASSERT_EQ(img.rgba[i], 1.0f);
}

TEST(PreviewRender, SceneLightsReplaceTheSunAndFlagsHideNodes) {
    AnalyticScene scene;
    Interface* ip = GetCOREInterface();
    INode* light = ip->CreateObjectNode(host::createLight(DIRECT_LGT, Color(1.0f, 0.5f, 0.25f), 2.0f));
    light->SetPosition(0, Point3(0, 0, 500));  // shines along its -Z: straight down
    light->Hide(TRUE);                         // hidden lights still light
    scene.box->Hide(TRUE);
    host::PreviewSettings s;
    s.camera = scene.camera;
    host::PreviewImage img = render(s);
    EXPECT_FALSE(img.defaultLight);
    EXPECT_EQ(img.lights, 1);
    const Point3 sky = host::previewSkyAmbient(Point3(0, 0, 1));
    const Point3 want = host::kPreviewDefaultDiffuse * (sky + Point3(2.0f, 1.0f, 0.5f));
    expectColour(pixel(img, 36, 25), want, "no sun, no shadow: the cube is hidden");
    EXPECT_NEAR(depthAt(img, 32, 32), kCameraHeight, 1e-3);

    scene.box->Hide(FALSE);
    scene.box->SetRenderable(FALSE);
    EXPECT_NEAR(depthAt(render(s), 32, 32), kCameraHeight, 1e-3);
    scene.box->SetRenderable(TRUE);
    EXPECT_NEAR(depthAt(render(s), 32, 32), kCameraHeight - 20.0f, 1e-3);

    // A light switched off leaves sky light alone (and still no default sun).
    static_cast<GenLight*>(light->GetObjectRef())->SetUseLight(FALSE);
    img = render(s);
    expectColour(pixel(img, 18, 44), host::kPreviewDefaultDiffuse * sky, "light off");
}

TEST(PreviewRender, MultiSubMaterialPicksTheFaceMaterialIndex) {
    AnalyticScene scene;
    // The cube's top faces carry material index 1: white there, red elsewhere, as the
    // snow modifier's multi/sub-object material makes snow white.
    Mtl* white = host::createStdMaterial(L"Snow", Color(1, 1, 1), 0.0f);
    Mtl* red = host::createStdMaterial(L"Brick", Color(0.6f, 0.1f, 0.1f), 0.0f);
    scene.box->SetMtl(host::createMultiMaterial(L"Cube", {red, white}, {0, 1}));
    host::PreviewSettings s;
    s.camera = scene.camera;
    host::PreviewImage img = render(s);
    const Point3 light = host::previewSkyAmbient(Point3(0, 0, 1)) + host::kPreviewSunColor * host::kPreviewSunToward.z;
    expectColour(pixel(img, 32, 32), light, "white top");
}

TEST(PreviewRender, SupersamplingBlendsEdgesAndKeepsFlatAreas) {
    AnalyticScene scene;
    host::PreviewSettings s;
    s.camera = scene.camera;
    host::PreviewImage one = render(s);
    s.samplesPerPixel = 16;
    host::PreviewImage many = render(s);
    expectColour(pixel(many, 18, 44), pixel(one, 18, 44), "flat lit ground");
    EXPECT_NEAR(depthAt(many, 18, 44), kCameraHeight, 1e-3);
    // Pixel 51 spans ground x 59.4 .. 62.5: part plane (edge at 60), part background.
    const Point3 edge = pixel(many, 51, 44), ground = pixel(one, 18, 44);
    const Point3 sky = host::previewSkyColor(AnalyticScene::rayDir(51, 44));
    EXPECT_GT(edge.z, std::min(ground.z, sky.z) + 0.01f);
    EXPECT_LT(edge.z, std::max(ground.z, sky.z) - 0.01f);
    EXPECT_NEAR(depthAt(many, 51, 44), kCameraHeight, 1e-3);  // the nearest sample's depth
}

// A map that records what the renderer's ShadeContext says at one pixel and colours the
// surface with a fixed colour.
class ProbeMap : public Texmap {
public:
    int targetX = 0, targetY = 0;
    std::mutex mutex;
    bool seen = false;
    bool renderingWhileShading = false;
    Point3 worldP, worldN, worldV, objectP, uvw1, uvw0, uvw5, bary;
    TimeValue time = -1;
    INode* node = nullptr;
    int face = -1;
    BOOL inEditor = TRUE;

    Class_ID ClassID() override { return Class_ID(0x7e57, 0x1); }
    AColor EvalColor(ShadeContext& sc) override {
        IPoint2 c = sc.ScreenCoord();
        if (c.x == targetX && c.y == targetY) {
            std::lock_guard<std::mutex> lock(mutex);
            seen = true;
            renderingWhileShading = host::rendering();
            worldP = sc.PointTo(sc.P(), REF_WORLD);
            worldN = sc.VectorTo(sc.Normal(), REF_WORLD);
            worldV = sc.VectorTo(sc.V(), REF_WORLD);
            objectP = sc.PObj();
            uvw1 = sc.UVW(1);
            uvw0 = sc.UVW(0);
            uvw5 = sc.UVW(5);
            bary = sc.BarycentricCoords();
            time = sc.CurTime();
            node = sc.Node();
            face = sc.FaceNumber();
            inEditor = sc.InMtlEditor();
        }
        return AColor(0.8f, 0.2f, 0.4f, 1.0f);
    }
};

TEST(PreviewRender, TextureSlotsSeeTheSampleThroughARealShadeContext) {
    AnalyticScene scene;
    scene.plane->SetPosition(0, Point3(5, 0, 0));
    // Turn the camera a quarter turn about Z, so camera space and world space differ.
    scene.camera->SetRotation(0, Point3(0, 0, kPi / 2));
    auto* probe = new ProbeMap();
    probe->targetX = 18;
    probe->targetY = 44;
    Mtl* mtl = host::createStdMaterial(L"Probe", Color(0, 0, 0), 0.0f);
    mtl->SetSubTexmap(ID_DI, probe);
    scene.plane->SetMtl(mtl);
    const TimeValue t = 5 * 160;
    host::PreviewSettings s;
    s.camera = scene.camera;
    s.time = t;
    host::PreviewImage img = render(s);

    ASSERT_TRUE(probe->seen);
    EXPECT_TRUE(probe->renderingWhileShading);
    // Rotated camera: image right is world +Y and image up is world -X.
    const float cx = AnalyticScene::sx(18), cy = AnalyticScene::sy(44);
    const Point3 ground(-cy * kCameraHeight, cx * kCameraHeight, 0.0f);
    EXPECT_NEAR(probe->worldP.x, ground.x, 1e-3);
    EXPECT_NEAR(probe->worldP.y, ground.y, 1e-3);
    EXPECT_NEAR(probe->worldP.z, 0.0f, 1e-3);
    EXPECT_NEAR(probe->worldN.z, 1.0f, 1e-5);
    const Point3 toGround = (ground - Point3(0, 0, kCameraHeight)).Normalize();
    EXPECT_NEAR((probe->worldV - toGround).Length(), 0.0f, 1e-5);
    EXPECT_NEAR(probe->objectP.x, ground.x - 5.0f, 1e-3);  // the plane node sits at x = 5
    EXPECT_NEAR(probe->uvw1.x, (ground.x - 5.0f + 60.0f) / 120.0f, 1e-4);
    EXPECT_NEAR(probe->uvw1.y, (ground.y + 60.0f) / 120.0f, 1e-4);
    EXPECT_EQ(probe->uvw0, Point3(1, 1, 1));  // no vertex colours: white
    EXPECT_EQ(probe->uvw5, Point3(0, 0, 0));  // a channel the mesh lacks
    EXPECT_NEAR(probe->bary.x + probe->bary.y + probe->bary.z, 1.0f, 1e-5);
    EXPECT_EQ(probe->time, t);
    EXPECT_EQ(probe->node, scene.plane);
    EXPECT_GE(probe->face, 0);
    EXPECT_LT(probe->face, 32);
    EXPECT_FALSE(probe->inEditor);
    // The map's colour is the surface's diffuse colour.
    const Point3 light = host::previewSkyAmbient(Point3(0, 0, 1)) + host::kPreviewSunColor * host::kPreviewSunToward.z;
    expectColour(pixel(img, 18, 44), Point3(0.8f, 0.2f, 0.4f) * light, "mapped diffuse");
}

TEST(PreviewRender, BitmapTextureMapsItsImageAtChannelOne) {
    AnalyticScene scene;
    scene.box->Hide(TRUE);
    // 4 x 4 texels, a colour per 2 x 2 quadrant: red, green over blue, white.
    const float quadrant[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    std::vector<float> img(4 * 4 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 4; ++c) img[(y * 4 + x) * 4 + c] = c < 3 ? quadrant[(y / 2) * 2 + x / 2][c] : 1.0f;
    char path[] = "/tmp/wx_texture_XXXXXX.png";
    close(mkstemps(path, 4));
    ASSERT_TRUE(wx::writePng16(path, img.data(), 4, 4));
    Mtl* mtl = host::createStdMaterial(L"Textured", Color(0, 0, 0), 0.0f);
    mtl->SetSubTexmap(ID_DI, host::createBitmapTex(std::wstring(path, path + std::strlen(path))));
    scene.plane->SetMtl(mtl);
    host::PreviewSettings s;
    s.camera = scene.camera;
    host::PreviewImage out = render(s);
    std::remove(path);
    // Ground (-29.7, 29.7) is u = 0.25, v = 0.75: the top-left quadrant; and so on.
    const Point3 light = host::previewSkyAmbient(Point3(0, 0, 1)) + host::kPreviewSunColor * host::kPreviewSunToward.z;
    expectColour(pixel(out, 22, 22), Point3(light.x, 0, 0), "red");
    expectColour(pixel(out, 41, 22), Point3(0, light.y, 0), "green");
    expectColour(pixel(out, 22, 41), Point3(0, 0, light.z), "blue");
    expectColour(pixel(out, 41, 41), light, "white");
}

// Evaluates through the per-sample cache, as the Weather Map does, and counts real work.
class CountingMap : public Texmap {
public:
    std::atomic<int> computed{0};
    Class_ID ClassID() override { return Class_ID(0x7e57, 0x2); }
    float EvalMono(ShadeContext& sc) override {
        float v = 0.0f;
        if (sc.GetCache(this, v)) return v;
        ++computed;
        v = 0.75f;
        sc.PutCache(this, v);
        return v;
    }
    AColor EvalColor(ShadeContext& sc) override {
        float v = EvalMono(sc);
        return AColor(v, v, v, 1.0f);
    }
};

TEST(PreviewRender, OneSampleEvaluatesAMapInTwoSlotsOnce) {
    host::resetScene();
    INode* plane = GetCOREInterface()->CreateObjectNode(host::createPlane(1000.0f, 1000.0f));
    INode* cam = GetCOREInterface()->CreateObjectNode(host::createFreeCamera(kPi / 2));
    cam->SetPosition(0, Point3(0, 0, 10));
    auto* map = new CountingMap();
    Mtl* mtl = host::createStdMaterial(L"Wet", Color(1, 1, 1), 80.0f);
    mtl->SetSubTexmap(ID_DI, map);
    mtl->SetSubTexmap(ID_SH, map);
    plane->SetMtl(mtl);
    host::PreviewSettings s;
    s.camera = cam;
    s.width = 16;
    s.height = 12;
    s.samplesPerPixel = 3;
    render(s);
    EXPECT_EQ(map->computed.load(), 16 * 12 * 3);  // once per sample: cached within it, not across
}

struct NotifyLog {
    std::vector<int> codes;
    INode* box = nullptr;
    int frameWidth = 0;
};

void onRenderNotice(void* param, NotifyInfo* info) {
    auto* log = static_cast<NotifyLog*>(param);
    log->codes.push_back(info->intcode);
    IParamBlock2* pb = log->box->GetObjectRef()->GetParamBlock(0);
    // As a snow modifier switches to render detail before the render and back after it.
    if (info->intcode == NOTIFY_PRE_RENDER) pb->SetValue(host::kBoxHeight, 0, 40.0f);
    if (info->intcode == NOTIFY_POST_RENDER) pb->SetValue(host::kBoxHeight, 0, 20.0f);
    if (info->intcode == NOTIFY_PRE_RENDERFRAME && info->callParam)
        log->frameWidth = static_cast<RenderGlobalContext*>(info->callParam)->devWidth;
}

TEST(PreviewRender, NotificationsBracketTheRenderInOrder) {
    AnalyticScene scene;
    NotifyLog log;
    log.box = scene.box;
    for (int code : {NOTIFY_PRE_RENDER, NOTIFY_PRE_RENDERFRAME, NOTIFY_POST_RENDERFRAME, NOTIFY_POST_RENDER})
        RegisterNotification(onRenderNotice, &log, code);
    host::PreviewSettings s;
    s.camera = scene.camera;
    host::PreviewImage img = render(s);
    EXPECT_EQ(log.codes, (std::vector<int>{NOTIFY_PRE_RENDER, NOTIFY_PRE_RENDERFRAME, NOTIFY_POST_RENDERFRAME,
                                           NOTIFY_POST_RENDER}));
    EXPECT_EQ(log.frameWidth, kSize);
    EXPECT_NEAR(depthAt(img, 32, 32), kCameraHeight - 40.0f, 1e-3);  // rendered what the pre-render set up
    EXPECT_FALSE(host::rendering());
    EXPECT_EQ(scene.box->GetObjectRef()->GetParamBlock(0)->GetFloat(host::kBoxHeight), 20.0f);

    // Refused settings fire nothing.
    log.codes.clear();
    std::string error;
    s.camera = nullptr;
    s.cameraName = L"NoSuchCamera";
    EXPECT_FALSE(host::renderPreview(s, img, error));
    EXPECT_NE(error.find("NoSuchCamera"), std::string::npos);
    s.cameraName = L"Cube";
    EXPECT_FALSE(host::renderPreview(s, img, error));
    EXPECT_NE(error.find("not a camera"), std::string::npos);
    s.cameraName.clear();
    s.samplesPerPixel = 0;
    EXPECT_FALSE(host::renderPreview(s, img, error));
    s.samplesPerPixel = 1;
    s.width = 40000;
    EXPECT_FALSE(host::renderPreview(s, img, error));
    EXPECT_TRUE(log.codes.empty());
    UnRegisterNotification(onRenderNotice, &log);
}

TEST(PreviewRender, KeepsTheLastRenderedImageWithItsDepth) {
    AnalyticScene scene;
    host::PreviewSettings s;
    s.width = 24;
    s.height = 16;
    host::PreviewImage first = render(s);  // the first camera of the scene
    EXPECT_EQ(first.cameraName, L"TopCam");
    Bitmap* last = GetCOREInterface7()->GetLastRenderedImage();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Width(), 24);
    EXPECT_EQ(last->Height(), 16);
    EXPECT_TRUE(last->HasAlpha());
    std::vector<BMM_Color_fl> row(24);
    ASSERT_EQ(last->GetLinearPixels(0, 7, 24, row.data()), 1);
    for (int x = 0; x < 24; ++x) ASSERT_EQ(row[x].g, first.rgba[(7 * 24 + x) * 4 + 1]);
    EXPECT_EQ(host::lastRenderedDepth().width, 24);
    EXPECT_EQ(host::lastRenderedDepth().depth, first.depth);
    ASSERT_NE(host::findFrameWindow(host::kDefaultFrameWindowTitle), nullptr);
    EXPECT_EQ(host::findFrameWindow(host::kDefaultFrameWindowTitle)->bitmap, last);

    // A refused render and one that asks not to be kept leave it; the next render replaces it.
    std::string error;
    host::PreviewSettings bad = s;
    bad.samplesPerPixel = 5000;
    EXPECT_FALSE(host::renderPreview(bad, first, error));
    host::PreviewSettings quiet = s;
    quiet.keepAsLastRender = false;
    quiet.width = 8;
    render(quiet);
    EXPECT_EQ(GetCOREInterface7()->GetLastRenderedImage()->Width(), 24);
    // The renderer output size is the default size.
    GetCOREInterface()->SetRendWidth(30);
    GetCOREInterface()->SetRendHeight(20);
    GetCOREInterface()->SetRendHeight(0);  // ignored
    host::PreviewSettings sized;
    host::PreviewImage second;
    ASSERT_TRUE(host::renderPreview(sized, second, error)) << error;
    EXPECT_EQ(second.width, 30);
    EXPECT_EQ(second.height, 20);
    EXPECT_EQ(GetCOREInterface7()->GetLastRenderedImage()->Width(), 30);
}

TEST(PreviewRender, DefaultViewFramesTheSceneAndProgressReachesAHundred) {
    host::resetScene();
    INode* box = GetCOREInterface()->CreateObjectNode(host::createBox(10.0f, 10.0f, 10.0f));
    box->SetPosition(0, Point3(500, 300, 0));
    // A broken mesh (a corner at NaN) is left out instead of spoiling the framing.
    TriObject* broken = CreateNewTriObject();
    broken->GetMesh().setNumVerts(3);
    broken->GetMesh().setNumFaces(1);
    broken->GetMesh().verts[1] = Point3(std::nanf(""), 0, 0);
    broken->GetMesh().verts[2] = Point3(0, 1, 0);
    broken->GetMesh().faces[0].setVerts(0, 1, 2);
    GetCOREInterface()->CreateObjectNode(broken);
    std::vector<int> percents;
    std::mutex m;
    host::PreviewSettings s;
    s.width = 80;
    s.height = 60;
    s.progress = [&](int p) {
        std::lock_guard<std::mutex> lock(m);
        percents.push_back(p);
    };
    host::PreviewImage img = render(s);
    EXPECT_TRUE(img.cameraName.empty());
    // The box fills the middle of the picture and leaves its corners to the sky.
    EXPECT_TRUE(std::isfinite(depthAt(img, 40, 30)));
    EXPECT_TRUE(std::isinf(depthAt(img, 0, 0)));
    EXPECT_TRUE(std::isinf(depthAt(img, 79, 59)));
    for (float v : img.rgba) ASSERT_TRUE(std::isfinite(v));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_GT(percents[i], percents[i - 1]);
}

}  // namespace
