#include <ImfFrameBuffer.h>
#include <ImfInputFile.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "app/cmd_render.h"
#include "host/bitmap_errors.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_settings.h"
#include "max/bitmap.h"
#include "max/interface.h"
#include "render/srgb16.h"

namespace fs = std::filesystem;

namespace {

constexpr float kPi = 3.14159265358979f;
using tweather::RenderOptions;

struct Dir {
    std::string path;
    Dir() {
        char t[] = "/tmp/wx_render_XXXXXX";
        path = mkdtemp(t);
    }
    ~Dir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A 100-unit plane, a 20-unit cube on it and a camera 100 units up looking down.
void buildScene() {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(host::createPlane(100.0f, 100.0f));
    INode* box = ip->CreateObjectNode(host::createBox(20.0f, 20.0f, 20.0f));
    box->SetName(L"Cube");
    INode* cam = ip->CreateObjectNode(host::createFreeCamera(kPi / 2));
    cam->SetName(L"TopCam");
    cam->SetPosition(0, Point3(0, 0, 100));
}

std::vector<float> readDepthExr(const std::string& path, int w, int h) {
    std::vector<float> z(size_t(w) * h, -1.0f);
    Imf::InputFile file(path.c_str());
    Imf::FrameBuffer fb;
    fb.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(z.data()), sizeof(float), sizeof(float) * w));
    file.setFrameBuffer(fb);
    file.readPixels(0, h - 1);
    return z;
}

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        buildScene();
        std::string error;
        ASSERT_TRUE(host::saveScene(dir / "scene.scene", error)) << error;
        // The reference: the same scene rendered in this process.
        host::PreviewSettings s;
        s.width = 48;
        s.height = 32;
        ASSERT_TRUE(host::renderPreview(s, reference, error)) << error;
        host::resetScene();
    }
    RenderOptions options(const std::string& out) {
        RenderOptions o;
        o.scene = dir / "scene.scene";
        o.output = dir / out;
        o.size = "48x32";
        return o;
    }
    Dir dir;
    host::PreviewImage reference;
};

TEST_F(RenderCommand, WritesThePngAndTheDepthOfTheScene) {
    RenderOptions o = options("frame.png");
    o.depthOutput = dir / "frame_z.exr";
    o.camera = "TopCam";
    ASSERT_EQ(tweather::renderScene(o), 0);

    BitmapInfo bi;
    const std::string png = dir / "frame.png";
    bi.SetName(std::wstring(png.begin(), png.end()).c_str());
    BMMRES status;
    Bitmap* bmp = TheManager->Load(&bi, &status);
    ASSERT_NE(bmp, nullptr) << host::lastBitmapError();
    ASSERT_EQ(bmp->Width(), 48);
    ASSERT_EQ(bmp->Height(), 32);
    EXPECT_EQ(bi.Type(), BMM_TRUE_64);
    std::vector<BMM_Color_fl> row(48);
    for (int y = 0; y < 32; ++y) {
        ASSERT_EQ(bmp->GetLinearPixels(0, y, 48, row.data()), 1);
        for (int x = 0; x < 48; ++x) {
            const float* want = &reference.rgba[(size_t(y) * 48 + x) * 4];
            ASSERT_NEAR(wx::srgb16Formula(row[x].g), wx::srgb16Formula(want[1]), 1) << x << "," << y;
            ASSERT_EQ(row[x].a, 1.0f);
        }
    }
    bmp->DeleteThis();
    EXPECT_EQ(readDepthExr(dir / "frame_z.exr", 48, 32), reference.depth);
    EXPECT_TRUE(std::isinf(reference.depth[0]));
    EXPECT_NEAR(reference.depth[16 * 48 + 24], 80.0f, 1e-3);  // the cube's top
}

TEST_F(RenderCommand, ExrOutputKeepsTheRenderedFloats) {
    RenderOptions o = options("frame.exr");
    o.samplesPerPixel = 1;
    ASSERT_EQ(tweather::renderScene(o), 0);
    BitmapInfo bi;
    const std::string exr = dir / "frame.exr";
    bi.SetName(std::wstring(exr.begin(), exr.end()).c_str());
    Bitmap* bmp = TheManager->Load(&bi);
    ASSERT_NE(bmp, nullptr) << host::lastBitmapError();
    EXPECT_TRUE(std::equal(reference.rgba.begin(), reference.rgba.end(), bmp->Data()));
    bmp->DeleteThis();
}

TEST_F(RenderCommand, BadInputIsRefusedWithTheRightExitCodeAndNoFile) {
    struct Case {
        const char* what;
        void (*change)(RenderOptions&, const std::string& dir);
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"missing scene", [](RenderOptions& o, const std::string& d) { o.scene = d + "/none.scene"; }, 1, "none.scene"},
        {"size", [](RenderOptions& o, const std::string&) { o.size = "48"; }, 2, "--size"},
        {"zero size", [](RenderOptions& o, const std::string&) { o.size = "0x10"; }, 2, "--size"},
        {"samples", [](RenderOptions& o, const std::string&) { o.samplesPerPixel = 0; }, 2, "--spp"},
        {"camera", [](RenderOptions& o, const std::string&) { o.camera = "Nobody"; }, 2, "Nobody"},
        {"not a camera", [](RenderOptions& o, const std::string&) { o.camera = "Cube"; }, 2, "not a camera"},
        {"output type", [](RenderOptions& o, const std::string& d) { o.output = d + "/frame.jpg"; }, 2, ".png"},
        {"depth type", [](RenderOptions& o, const std::string& d) { o.depthOutput = d + "/z.png"; }, 2, ".exr"},
        {"unwritable", [](RenderOptions& o, const std::string& d) { o.output = d + "/no/such/folder/f.png"; }, 1,
         "f.png"},
    };
    for (const Case& c : cases) {
        RenderOptions o = options("frame.png");
        c.change(o, dir.path);
        ::testing::internal::CaptureStderr();
        const int rc = tweather::renderScene(o);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(rc, c.code) << c.what;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
        EXPECT_FALSE(fs::exists(dir / "frame.png")) << c.what;
        EXPECT_FALSE(host::rendering()) << c.what;
    }
}

TEST(RenderOpenScene, RendersTheFrameAskedFor) {
    Dir dir;
    buildScene();
    INode* box = GetCOREInterface()->GetINodeByName(L"Cube");
    host::sceneSettings().animateMode = true;
    box->SetPosition(0, Point3(0, 0, 0));
    box->SetPosition(10 * GetTicksPerFrame(), Point3(0, 0, 30));
    host::sceneSettings().animateMode = false;
    tweather::RenderOptions o;
    o.output = dir / "f.png";
    o.size = "48x32";
    o.frame = 10;
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(tweather::renderOpenScene(o, "tweather snow --preview"), 0);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("camera 'TopCam'"), std::string::npos) << out;
    EXPECT_NEAR(host::lastRenderedDepth().depth[16 * 48 + 24], 100.0f - 50.0f, 1e-3);
    EXPECT_TRUE(fs::exists(dir / "f.png"));
}

}  // namespace
