// The "Fall - GPU render" rollout through the stand-in's UI model and dialogs, the view
// camera it renders from, and where a flake lands over the preview renderer's image.
#include <cmath>

#include "fallrender_fixture.h"
#include "host/frame_windows.h"
#include "host/preview_renderer.h"
#include "host/ui_model.h"
#include "max/bitmap.h"
#include "max/units.h"

namespace {

using fallrendertest::endsWith;
using fallrendertest::FallRenderTest;

constexpr int kDialog = 7560, kAddToLast = 7561, kAlone = 7562, kSequence = 7563, kStatusBox = 7564;
constexpr const wchar_t* kOverTitle = L"Tarnwick Weather - over the last render";

struct RolloutTest : FallRenderTest {
    HWND rollout = nullptr;
    std::vector<std::pair<bool, std::wstring>> asked;  // (save?, title) of each dialog
    std::wstring answer;                               // empty: cancel

    void SetUp() override {
        FallRenderTest::SetUp();
        std::string error;
        const auto file = std::filesystem::path(WX_SOURCE_DIR) / "resources" / "weather_fall.json";
        ASSERT_TRUE(host::ui::loadResources(file.string(), error)) << error;
        host::ui::setFileResponder([this](bool save, const std::wstring& title, std::wstring& path) {
            asked.emplace_back(save, title);
            if (answer.empty()) return false;
            path = answer;
            return true;
        });
        fall()->BeginEditParams(ip, 0, nullptr);
        rollout = host::ui::findRollout(kDialog);
        ASSERT_NE(rollout, nullptr);
    }
    void TearDown() override {
        fall()->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
        host::ui::resetUi();
        host::closeAllFrameWindows();
        FallRenderTest::TearDown();
    }
    std::wstring box() const { return host::ui::controlText(rollout, kStatusBox); }
};

TEST_F(RolloutTest, ButtonsRunTheCommandsThroughTheDialogsAndTheBoxShowsTheStatus) {
    EXPECT_EQ(box(), L"not rendered yet");
    ASSERT_TRUE(host::ui::pressButton(rollout, kAddToLast));
    EXPECT_EQ(box(), L"Render the frame first (any renderer, from a camera view), then press this.");

    // The frame alone: saved where the dialog says, at the renderer's output size.
    ip->SetRendWidth(48);
    ip->SetRendHeight(36);
    answer = path("alone.png");
    ASSERT_TRUE(host::ui::pressButton(rollout, kAlone));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].first);
    EXPECT_EQ(asked[0].second, L"The snow / rain alone, on a transparent background");
    EXPECT_TRUE(std::filesystem::exists(narrow("alone.png")));
    EXPECT_EQ(box().rfind(L"2000 flakes, 48x36, ", 0), 0u);
    EXPECT_EQ(box(), status());
    // Cancelled: nothing runs.
    answer.clear();
    ASSERT_TRUE(host::ui::pressButton(rollout, kAlone));
    EXPECT_EQ(box().rfind(L"2000 flakes, 48x36, ", 0), 0u);

    // Over a sequence from its first frame to the end of the animation range.
    const int tpf = GetTicksPerFrame();
    ip->SetAnimRange(Interval(0, 14 * tpf));
    for (const char* name : {"shot_0012.png", "shot_0013.png"}) writeBackground(name, 10, 8);
    answer = path("shot_0012.png");
    ASSERT_TRUE(host::ui::pressButton(rollout, kSequence));
    EXPECT_FALSE(asked.back().first);
    EXPECT_EQ(asked.back().second, L"The FIRST frame of the rendered sequence (name_0000.png)");
    EXPECT_TRUE(std::filesystem::exists(narrow("shot_weather_0012.png")));
    EXPECT_TRUE(std::filesystem::exists(narrow("shot_weather_0013.png")));
    EXPECT_EQ(box(), L"2 frames written as " + path("shot_weather_####.png") +
                         L"\r\nrenderOver: cannot read the background image");
    // A first frame without a number at the end of its name.
    writeBackground("beauty.png", 10, 8);
    answer = path("beauty.png");
    ASSERT_TRUE(host::ui::pressButton(rollout, kSequence));
    EXPECT_EQ(box(), L"That file has no frame number at the end of its name.");
    // A file that does not exist cannot be chosen in an open dialog.
    answer = path("gone_0001.png");
    ASSERT_TRUE(host::ui::pressButton(rollout, kSequence));
    EXPECT_EQ(box(), L"That file has no frame number at the end of its name.");

    // Closing the panel removes the rollout; the status stays with the object.
    fall()->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    EXPECT_EQ(host::ui::findRollout(kDialog), nullptr);
    fall()->renderFrame(nullptr, 0, path("x.png"), 8, 8);
    fall()->BeginEditParams(ip, 0, nullptr);
    rollout = host::ui::findRollout(kDialog);
    ASSERT_NE(rollout, nullptr);
    EXPECT_EQ(box(), L"needs a camera: render from a camera view, or pass a camera node");
}

TEST_F(RolloutTest, ViewCameraIsTheViewportsElseTheFirstCameraDepthFirst) {
    host::setViewCamera(nullptr);
    EXPECT_EQ(wx::WeatherFall::viewCamera(0), camera);
    INode* nested = ip->CreateObjectNode(host::createFreeCamera(0.5f));
    ground->AttachChild(nested);  // below the first root child: met before the fall and Cam
    EXPECT_EQ(wx::WeatherFall::viewCamera(0), nested);
    host::setViewCamera(camera);
    EXPECT_EQ(wx::WeatherFall::viewCamera(0), camera);
    host::setViewCamera(nullptr);
    ip->DeleteNode(nested);
    ip->DeleteNode(camera);
    camera = nullptr;
    EXPECT_EQ(wx::WeatherFall::viewCamera(0), nullptr);
    // With no camera at all, "Add to the last render" says so once there is a render.
    host::PreviewSettings s;
    s.width = 8;
    s.height = 6;
    host::PreviewImage img;
    std::string error;
    ASSERT_TRUE(host::renderPreview(s, img, error)) << error;
    ASSERT_TRUE(host::ui::pressButton(rollout, kAddToLast));
    EXPECT_EQ(box(), L"needs a camera: render from a camera view, or pass a camera node");
}

// One flake, big enough to cover a few pixels, where it is at frame `frame`.
struct Flake {
    Point3 pos;
    float fade = 0.0f;
};

Flake flakeAt(wx::WeatherFall* fall, TimeValue t) {
    std::vector<wx::FallParticle> out;
    fall->evaluateWorld(t, nullptr, false, true, false, out);
    if (out.size() != 1) return {};
    return {Point3(out[0].pos.x, out[0].pos.y, out[0].pos.z), out[0].fade};
}

// The centre of the pixels where `weight` is above zero, weighted by it.
std::pair<double, double> centroid(const std::vector<float>& weight, int width) {
    double sx = 0, sy = 0, sw = 0;
    for (size_t i = 0; i < weight.size(); ++i) {
        if (!(weight[i] > 0.0f)) continue;
        sx += weight[i] * double(i % width);
        sy += weight[i] * double(i / width);
        sw += weight[i];
    }
    return sw > 0 ? std::make_pair(sx / sw, sy / sw) : std::make_pair(-1.0, -1.0);
}

TEST_F(RolloutTest, AFlakeInFrontOfARenderedPlaneLandsWhereThePreviewRendererSeesIt) {
    setInt(wx::kFallCount, 1);
    setInt(wx::kFallCollide, 0);
    setFloat(wx::kFallTurbulence, 0.0f);
    setFloat(wx::kFallSize, 40.0f);
    setFloat(wx::kFallSizeVar, 0.0f);
    setFloat(wx::kFallOpacity, 1.0f);
    // A time where the flake is well inside the column and away from the image centre.
    const int tpf = GetTicksPerFrame();
    TimeValue t = 0;
    Flake flake;
    for (int frame = 0; frame < 200; ++frame) {
        flake = flakeAt(fall(), frame * tpf);
        t = frame * tpf;
        if (flake.fade > 0.9f && std::fabs(flake.pos.x) > 80.0f && std::fabs(flake.pos.y) > 80.0f) break;
    }
    ASSERT_GT(flake.fade, 0.9f);
    ip->SetTime(t);

    // Where the preview renderer's rays meet a ball centred on the flake.
    constexpr int kW = 160, kH = 120;
    host::PreviewSettings s;
    s.width = kW;
    s.height = kH;
    s.time = t;
    s.camera = camera;
    INode* marker = ip->CreateObjectNode(host::createSphere(20.0f));
    marker->SetPosition(t, flake.pos);
    host::PreviewImage img;
    std::string error;
    ASSERT_TRUE(host::renderPreview(s, img, error)) << error;
    std::vector<float> hit(img.depth.size());
    for (size_t i = 0; i < hit.size(); ++i) hit[i] = img.depth[i] < 1990.0f - flake.pos.z + 30.0f ? 1.0f : 0.0f;
    const auto seen = centroid(hit, kW);
    ASSERT_GE(seen.first, 0.0);

    // The plane alone as the last render, then the flake over it from the view camera.
    ip->DeleteNode(marker);
    ASSERT_TRUE(host::renderPreview(s, img, error)) << error;
    wx::discardScene();
    host::setViewCamera(camera);
    ASSERT_TRUE(host::ui::pressButton(rollout, kAddToLast));
    const host::FrameWindow* window = host::findFrameWindow(kOverTitle);
    ASSERT_NE(window, nullptr) << std::string(box().begin(), box().end());
    ASSERT_EQ(window->bitmap->Width(), kW);
    ASSERT_EQ(window->bitmap->Height(), kH);
    std::vector<float> change(size_t(kW) * kH);
    const float* over = window->bitmap->Data();
    for (size_t i = 0; i < change.size(); ++i)
        for (int c = 0; c < 3; ++c) change[i] += std::fabs(over[4 * i + c] - img.rgba[4 * i + c]);
    const auto drawn = centroid(change, kW);
    EXPECT_NEAR(drawn.first, seen.first, 1.0) << "flake at " << flake.pos.x << ", " << flake.pos.y;
    EXPECT_NEAR(drawn.second, seen.second, 1.0);

    // The render's depth hides a flake behind what it drew: a plane lifted above the flake
    // (not in the captured scene, only in the render) hides it.
    ground->SetPosition(t, Point3(0.0f, 0.0f, flake.pos.z + 50.0f));
    ASSERT_TRUE(host::renderPreview(s, img, error)) << error;
    ground->SetPosition(t, Point3(0.0f, 0.0f, 0.0f));
    wx::discardScene();
    wx::captureScene(t);
    ASSERT_TRUE(host::ui::pressButton(rollout, kAddToLast));
    window = host::findFrameWindow(kOverTitle);
    over = window->bitmap->Data();
    for (size_t i = 0; i < img.rgba.size(); ++i) ASSERT_NEAR(over[i], img.rgba[i], 1e-6f) << "value " << i;
    // With hiddenByScene off, nothing hides it.
    setInt(wx::kFallHiddenByScene, 0);
    ASSERT_TRUE(host::ui::pressButton(rollout, kAddToLast));
    window = host::findFrameWindow(kOverTitle);
    over = window->bitmap->Data();
    float changed = 0.0f;
    for (size_t i = 0; i < img.rgba.size(); ++i) changed += std::fabs(over[i] - img.rgba[i]);
    EXPECT_GT(changed, 0.1f);
}

}  // namespace
