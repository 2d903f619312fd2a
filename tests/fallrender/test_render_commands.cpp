// The render commands through the stand-in host on the CPU backend: what a frame, a
// picture and a sequence write, every failure text, the rain column, the lamps the scene
// gives, the status line with its run-off and tornado parts, and the script interface.
#include <cmath>
#include <fstream>
#include <iterator>

#include "fall/frame_pattern.h"
#include "fallrender_fixture.h"
#include "host/builtin_objects.h"
#include "max/camera_light.h"
#include "splat/fall_render_job.h"
#include "utility/script_bridge.h"

namespace {

using fallrendertest::endsWith;
using fallrendertest::FallRenderTest;

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG's IHDR, or 0 x 0 when the file is no PNG.
std::pair<int, int> pngSize(const std::string& path) {
    const std::vector<unsigned char> b = fileBytes(path);
    if (b.size() < 24 || b[1] != 'P' || b[2] != 'N' || b[3] != 'G') return {0, 0};
    auto be = [&](size_t at) { return int(b[at]) << 24 | int(b[at + 1]) << 16 | int(b[at + 2]) << 8 | int(b[at + 3]); };
    return {be(16), be(20)};
}

TEST_F(FallRenderTest, FrameAndPictureWritePngsAndSayWhatTheyDrewOnTheCpu) {
    ASSERT_TRUE(fall()->renderFrame(camera, 3, path("alone.png"), 64, 48))
        << std::string(status().begin(), status().end());
    EXPECT_EQ(pngSize(narrow("alone.png")), std::make_pair(64, 48));
    const auto triangles = std::to_wstring(wx::currentScene()->tris.size());
    EXPECT_EQ(status().substr(0, status().find(L':')),
              L"2000 flakes, 64x48, " + triangles + L" scene triangles, 0 lamps");
    EXPECT_TRUE(endsWith(status(), L" s on the CPU")) << std::string(status().begin(), status().end());

    // Over a picture: its size, whatever the camera's aspect.
    writeBackground("bg.png", 40, 30);
    ASSERT_TRUE(fall()->renderOver(camera, 3, path("bg.png"), path("over.png")));
    EXPECT_EQ(pngSize(narrow("over.png")), std::make_pair(40, 30));
    EXPECT_NE(status().find(L", 40x30, "), std::wstring::npos);

    // Without the scene hiding anything, no triangles are sent.
    setInt(wx::kFallHiddenByScene, 0);
    ASSERT_TRUE(fall()->renderFrame(camera, 3, path("alone.png"), 16, 16));
    EXPECT_NE(status().find(L", 0 scene triangles, "), std::wstring::npos);
}

TEST_F(FallRenderTest, EveryFailureLeavesItsTextAndReturnsFalse) {
    EXPECT_FALSE(fall()->renderFrame(nullptr, 0, path("x.png"), 32, 32));
    EXPECT_EQ(status(), L"needs a camera: render from a camera view, or pass a camera node");
    EXPECT_FALSE(fall()->renderFrame(camera, 0, path("no/such/folder/x.png"), 32, 32));
    EXPECT_EQ(status(), L"could not write the image");
    EXPECT_FALSE(fall()->renderOver(camera, 0, L"", path("x.png")));
    EXPECT_EQ(status(), L"renderOver: cannot read the background image");
    fall()->renderFrame(camera, 0, path("x.png"), 8, 8);
    EXPECT_FALSE(fall()->renderOver(camera, 0, path("missing.png"), path("x.png")));
    EXPECT_EQ(status(), L"renderOver: cannot read the background image");
    EXPECT_FALSE(fall()->renderFrame(camera, 0, path("x.png"), 0, 10));
    EXPECT_NE(status().find(L"at least 1 x 1"), std::wstring::npos);
    EXPECT_FALSE(std::filesystem::exists(narrow("no")));

    // An object no node holds.
    wx::WeatherFall* loose = static_cast<wx::WeatherFall*>(wx::GetFallDesc()->Create(FALSE));
    EXPECT_FALSE(loose->renderFrame(camera, 0, path("x.png"), 8, 8));
    EXPECT_EQ(loose->statusText(), L"the Weather Fall object is not in the scene");
    loose->DeleteThis();

    // A camera record that is not all numbers is refused before anything is drawn.
    wx::CamDev cam{};
    cam.right = {1, 0, 0};
    cam.up = {0, 1, 0};
    cam.forward = {0, 0, NAN};
    cam.tanHalfX = 0.5f;
    std::vector<float> image(4 * 8 * 8, 0.5f);
    EXPECT_FALSE(fall()->renderJob(nullptr, &cam, 0, 8, 8, nullptr, image));
    EXPECT_NE(status().find(L"not a number"), std::wstring::npos);
    EXPECT_EQ(image, std::vector<float>(4 * 8 * 8, 0.5f));
}

TEST_F(FallRenderTest, BackendFollowsTheEnvironment) {
    setenv("WX_FALL_BACKEND", "gpu", 1);
    const bool gpu = fall()->renderFrame(camera, 0, path("g.png"), 16, 16);
    if (gpu)
        EXPECT_TRUE(endsWith(status(), L" s on the GPU"));
    else
        EXPECT_EQ(status(), L"no CUDA GPU: the fast renderer needs one (set Render as: Geometry instead)");
    setenv("WX_FALL_BACKEND", "auto", 1);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("a.png"), 16, 16));
    EXPECT_TRUE(endsWith(status(), gpu ? L" s on the GPU" : L" s on the CPU"));
    setenv("WX_FALL_BACKEND", "metal", 1);
    EXPECT_FALSE(fall()->renderFrame(camera, 0, path("m.png"), 16, 16));
    EXPECT_EQ(status(), L"WX_FALL_BACKEND must be gpu, cpu or auto, not \"metal\"");
}

TEST_F(FallRenderTest, SequencesStopAtAMissingBackgroundOrEscapeAndNeedAFrameRun) {
    for (const char* name : {"bg_0001.png", "bg_0002.png", "bg_0004.png"}) writeBackground(name, 12, 10);
    EXPECT_EQ(fall()->renderSequenceOver(camera, 1, 5, path("bg_####.png"), path("out_####.png")), 2);
    EXPECT_TRUE(std::filesystem::exists(narrow("out_0001.png")));
    EXPECT_TRUE(std::filesystem::exists(narrow("out_0002.png")));
    EXPECT_FALSE(std::filesystem::exists(narrow("out_0003.png")));
    EXPECT_FALSE(std::filesystem::exists(narrow("out_0004.png")));
    EXPECT_EQ(status(), L"renderOver: cannot read the background image");

    // Escape held down: the frame under way is finished, then the sequence stops.
    host::pressEscape();
    EXPECT_EQ(fall()->renderSequenceOver(camera, 1, 2, path("bg_####.png"), path("esc_##.png")), 1);
    host::releaseEscape();
    EXPECT_TRUE(std::filesystem::exists(narrow("esc_01.png")));
    EXPECT_FALSE(std::filesystem::exists(narrow("esc_02.png")));

    // Several frames into one name would overwrite it each time: refused up front.
    EXPECT_EQ(fall()->renderSequenceOver(camera, 1, 2, path("bg_####.png"), path("same.png")), 0);
    EXPECT_EQ(status(), L"renderSequenceOver: the output name needs a '#' run for the frame number");
    EXPECT_FALSE(std::filesystem::exists(narrow("same.png")));
    // One frame is fine without a run.
    EXPECT_EQ(fall()->renderSequenceOver(camera, 2, 2, path("bg_####.png"), path("same.png")), 1);
    EXPECT_TRUE(std::filesystem::exists(narrow("same.png")));

    // Only the first run of '#' is the frame; a number wider than its run is printed whole.
    writeBackground("wide_123.png", 12, 10);
    EXPECT_EQ(fall()->renderSequenceOver(camera, 123, 123, path("wide_#.png"), path("o_##_##.png")), 1);
    EXPECT_TRUE(std::filesystem::exists(narrow("o_123_##.png")));

    // The first frame shot_0012.exr names the sequence shot_####.exr and its outputs.
    wx::SequenceFromFirstFrame seq;
    ASSERT_TRUE(wx::sequenceFromFirstFrame(path("shot_0012.png"), seq));
    writeBackground("shot_0012.png", 12, 10);
    writeBackground("shot_0013.png", 12, 10);
    EXPECT_EQ(fall()->renderSequenceOver(camera, seq.start, 13, seq.backgroundPattern, seq.outputPattern), 2);
    EXPECT_TRUE(std::filesystem::exists(narrow("shot_weather_0012.png")));
    EXPECT_TRUE(std::filesystem::exists(narrow("shot_weather_0013.png")));
}

TEST_F(FallRenderTest, RainThatCollidesFallsFromAColumnHalfAsTallAgainWithItsRunoff) {
    setInt(wx::kFallType, wx::kFallRain);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("rain.png"), 32, 24));
    EXPECT_EQ(status().rfind(L"3000 drops, 32x24, ", 0), 0u) << std::string(status().begin(), status().end());

    // The status line: the summary, the run-off, then the tornado's part.
    const std::wstring full = fall()->fallStatus();
    EXPECT_EQ(full.rfind(status(), 0), 0u);
    const size_t runoff = full.find(L" | run-off: ");
    ASSERT_NE(runoff, std::wstring::npos);
    EXPECT_NE(full.find(L" edges, ", runoff), std::wstring::npos);
    EXPECT_TRUE(endsWith(full, L" drops | " + fall()->tornadoStatus())) << std::string(full.begin(), full.end());

    // Without collisions the column and count stay, and the run-off line goes.
    setInt(wx::kFallCollide, 0);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("rain.png"), 32, 24));
    EXPECT_EQ(status().rfind(L"2000 drops, ", 0), 0u);
    EXPECT_EQ(fall()->fallStatus(), status() + L" | " + fall()->tornadoStatus());

    // A tornado file that cannot be read shows in the tornado part.
    const std::wstring before = fall()->tornadoStatus();
    block()->SetValue(wx::kFallTornadoFile, 0, path("missing.ttw").c_str());
    fall()->renderFrame(camera, 0, path("rain.png"), 32, 24);
    EXPECT_TRUE(endsWith(fall()->fallStatus(), L" | " + fall()->tornadoStatus()));
    EXPECT_NE(fall()->tornadoStatus(), before);
}

TEST_F(FallRenderTest, OnlyVisibleSwitchedOnPointLampsWithIntensityGlow) {
    setFloat(wx::kFallLightGlow, 1.0f);
    setFloat(wx::kFallRainGlint, 0.0f);
    auto addLamp = [&](LightType type, float multiplier) {
        INode* n = ip->CreateObjectNode(host::createLight(type, Color(1.0f, 0.8f, 0.6f), multiplier));
        n->SetPosition(0, Point3(100.0f, 0.0f, 300.0f));
        return n;
    };
    addLamp(OMNI_LGT, 1.0f);
    addLamp(SPOT_LGT, -2.0f);
    addLamp(OMNI_LGT, 1.0f)->Hide(TRUE);
    addLamp(DIRECT_LGT, 1.0f);
    addLamp(OMNI_LGT, 0.0f);
    INode* off = addLamp(OMNI_LGT, 1.0f);
    static_cast<GenLight*>(off->GetObjectRef())->SetUseLight(FALSE);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("lamps.png"), 16, 16));
    EXPECT_NE(status().find(L" scene triangles, 2 lamps: "), std::wstring::npos)
        << std::string(status().begin(), status().end());
    // A glint alone gathers them too; no glow and no glint, none at all.
    setFloat(wx::kFallLightGlow, 0.0f);
    setFloat(wx::kFallRainGlint, 0.5f);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("lamps.png"), 16, 16));
    EXPECT_NE(status().find(L" scene triangles, 2 lamps: "), std::wstring::npos);
    setFloat(wx::kFallRainGlint, 0.0f);
    ASSERT_TRUE(fall()->renderFrame(camera, 0, path("lamps.png"), 16, 16));
    EXPECT_NE(status().find(L" scene triangles, 0 lamps: "), std::wstring::npos);
}

TEST_F(FallRenderTest, ScriptsReachTheRenderCommands) {
    const std::wstring fallRef = wx::nodeRef(fallNode) + L".weatherFall";
    const std::wstring cam = wx::nodeRef(camera);
    std::wstring result;
    ASSERT_TRUE(wx::runScript(fallRef + L".renderFrame " + cam + L" 1 \"" + path("s.png") + L"\" 20 10", &result))
        << std::string(result.begin(), result.end());
    EXPECT_EQ(result, L"true");
    EXPECT_EQ(pngSize(narrow("s.png")), std::make_pair(20, 10));
    writeBackground("sbg_07.png", 9, 7);
    ASSERT_TRUE(wx::runScript(
        fallRef + L".renderOver " + cam + L" 7 \"" + path("sbg_07.png") + L"\" \"" + path("so.png") + L"\"", &result));
    EXPECT_EQ(result, L"true");
    ASSERT_TRUE(wx::runScript(fallRef + L".renderSequenceOver " + cam + L" 7 9 \"" + path("sbg_##.png") + L"\" \"" +
                                  path("sq_##.png") + L"\"",
                              &result));
    EXPECT_EQ(result, L"1");
    ASSERT_TRUE(wx::runScript(fallRef + L".renderFrame undefined 1 \"" + path("n.png") + L"\" 20 10", &result));
    EXPECT_EQ(result, L"false");
    ASSERT_TRUE(wx::runScript(fallRef + L".fallStatus()", &result));
    EXPECT_EQ(result, L"needs a camera: render from a camera view, or pass a camera node | " + fall()->tornadoStatus());
}

}  // namespace
