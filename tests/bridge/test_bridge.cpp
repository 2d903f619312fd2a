// The external bridge as another plug-in meets it: the host loads the weather module and a
// probe module side by side; the probe finds the bridge by name and checks it, and its
// render over zeros with the camera node's own record encodes to the very bytes that
// renderFrame writes (one thread each, so the splats add up in the same order).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/module_loader.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/maxscript.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "render/png_writer.h"

namespace {

using ProbeRun = int (*)(const char*, INode*, INode*, int, int, int, float*, char*, int);

constexpr Class_ID kWeatherFallClass{0x5BC5F19B, 0x77F64F26};
constexpr ParamID kCountParam = 1;

std::wstring nodeRef(INode* node) {
    return L"(maxOps.getNodeByHandle " + std::to_wstring(node->GetHandle()) + L")";
}

TEST(Bridge, AnotherModuleFindsChecksAndRendersThroughIt) {
    setenv("WX_FALL_BACKEND", "cpu", 1);
    setenv("WX_THREADS", "1", 1);
    std::vector<std::string> errors;
    host::startUp({WX_WEATHER_MODULE, WX_BRIDGE_PROBE}, errors);
    ASSERT_TRUE(errors.empty()) << errors.front();
    ASSERT_EQ(host::moduleLoader().modules().size(), 2u);
    auto run = reinterpret_cast<ProbeRun>(dlsym(host::moduleLoader().modules()[1].handle, "TWXProbe_Run"));
    ASSERT_NE(run, nullptr);

    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(host::createPlane(3000.0f, 3000.0f, 1, 1));
    auto* object = static_cast<Object*>(ip->CreateInstance(GEOMOBJECT_CLASS_ID, kWeatherFallClass));
    ASSERT_NE(object, nullptr);
    object->GetParamBlock(0)->SetValue(kCountParam, 0, 3000);
    INode* fall = ip->CreateObjectNode(object);
    INode* camera = ip->CreateObjectNode(host::createFreeCamera(1.0f));
    camera->SetPosition(0, Point3(300.0f, -1500.0f, 600.0f));
    camera->SetRotation(0, Point3(1.3f, 0.0f, 0.0f));  // looking along +Y, a little down

    const auto dir = std::filesystem::temp_directory_path() / "tweather_bridge_test";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "frame.png").string();
    constexpr int kW = 96, kH = 64, kFrame = 4;
    const std::wstring call = nodeRef(fall) + L".weatherFall.renderFrame " + nodeRef(camera) + L" " +
                              std::to_wstring(kFrame) + L" \"" + host::fromUtf8(file) + L"\" " + std::to_wstring(kW) +
                              L" " + std::to_wstring(kH);
    FPValue result;
    ASSERT_TRUE(ExecuteMAXScriptScript(call.c_str(), MAXScript::ScriptSource::Dynamic, FALSE, &result));
    ASSERT_EQ(result.type, TYPE_BOOL);
    ASSERT_EQ(result.i, 1);

    std::vector<float> image(size_t(kW) * kH * 4, 0.0f);
    char log[4096] = {};
    EXPECT_EQ(
        run(WX_WEATHER_MODULE, fall, camera, kFrame * GetTicksPerFrame(), kW, kH, image.data(), log, int(sizeof log)),
        0)
        << log;
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    double alpha = 0.0;
    for (size_t i = 3; i < image.size(); i += 4) alpha += image[i];
    EXPECT_GT(alpha, 1.0) << "the flakes are in the picture";
    EXPECT_EQ(wx::encodePng16(image.data(), kW, kH), written);

    host::shutDown();
    std::filesystem::remove_all(dir);
    unsetenv("WX_FALL_BACKEND");
}

}  // namespace
