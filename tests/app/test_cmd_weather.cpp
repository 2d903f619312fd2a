// The weather command through the host and the plug-in's TWeather: a preset made on a
// glTF end to end (outputs, report, figures), the preset list, and each usage error's exit
// code with nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/cmd_weather.h"
#include "app/exit_codes.h"
#include "app/weather_module.h"
#include "file_test.h"
#include "weather_command_fixture.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "max/interface.h"

using namespace tweather;

namespace {

class WeatherCommandTest : public WeatherCommandFixture {};

TEST_F(WeatherCommandTest, HeavySnowOnAGltfWritesTheSceneTheExportAndTheReport) {
    WeatherCommand c;
    c.scene = yard();
    c.preset = "heavy SNOW";
    c.outputs = {path("out.scene"), path("out.glb")};
    c.reportPath = path("report.json");
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(
        out.rfind("Heavy snow on 2 objects: 2 snowed, 0 wet, 0 glass with drops, falling: Tarnwick Weather001", 0), 0u)
        << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << "CR LF reads as LF";
    EXPECT_NE(out.find("wrote " + path("out.glb")), std::string::npos);
    EXPECT_TRUE(std::filesystem::file_size(path("out.glb")) > 0);
    const nlohmann::json r = nlohmann::json::parse(read(path("report.json")));
    EXPECT_EQ(r["preset"], "Heavy snow");
    EXPECT_EQ(r["number"], 2);
    EXPECT_EQ(r["kind"], "snow");
    EXPECT_EQ(r["on"], "scene");
    EXPECT_EQ(r["objects"], 2);
    EXPECT_EQ(r["snowed"], 2);
    EXPECT_TRUE(r["errors"].empty());
    EXPECT_TRUE(r["shelter"].is_object());
    EXPECT_EQ(r["fall"]["name"], "Tarnwick Weather001");
    EXPECT_GE(r["fall"]["count"].get<int>(), 500);
    ASSERT_EQ(r["nodes"].size(), 2u);
    EXPECT_EQ(r["nodes"][0]["name"], "Ground");
    // The glTF is in metres: 14 cm of snow is 0.14 units.
    EXPECT_NEAR(r["nodes"][0]["snow"]["depth"].get<double>(), 0.14, 1e-6);
    EXPECT_NE(r["nodes"][0]["status"].get<std::string>().find("triangles"), std::string::npos);
}

TEST_F(WeatherCommandTest, ListsTheSevenPresets) {
    WeatherCommand c;
    c.listPresets = true;
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk);
    EXPECT_EQ(out.rfind("1 Light dusting (snow): A thin, broken layer", 0), 0u);
    EXPECT_NE(out.find("\n4 Drizzle (rain): "), std::string::npos);
    EXPECT_NE(out.find("\n7 Sandstorm (sand): "), std::string::npos);
    c.json = true;
    ASSERT_EQ(run(c, &out), kExitOk);
    const nlohmann::json all = nlohmann::json::parse(out);
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[4]["name"], "Storm");
    EXPECT_EQ(all[4]["wetFlag"], 1);
    EXPECT_FLOAT_EQ(all[4]["puddles"].get<float>(), 0.35f);
}

TEST_F(WeatherCommandTest, RefusesBadUsageAndEmptyGatheringsWithoutWriting) {
    const std::string scene = yard();
    auto with = [&](auto change) {
        WeatherCommand c;
        c.scene = scene;
        c.preset = "1";
        c.outputs = {path("never.glb")};
        change(c);
        return c;
    };
    struct Case {
        const char* what;
        WeatherCommand c;
        int rc;
        const char* says;
    };
    const Case cases[] = {
        {"unknown preset", with([](WeatherCommand& c) { c.preset = "Hail"; }), kExitUsage, "7 Sandstorm"},
        {"unknown node", with([](WeatherCommand& c) { c.select = {"Shed"}; }), kExitUsage, "Slab"},
        {"select with scene", with([](WeatherCommand& c) { c.select = {"Slab"}, c.on = "scene"; }), kExitUsage,
         "--select"},
        {"volume without surfaces", with([](WeatherCommand& c) { c.on = "volume", c.surfaces = false; }), kExitUsage,
         "--no-surfaces"},
        {"wrong extension", with([&](WeatherCommand& c) { c.outputs = {path("never.txt")}; }), kExitUsage, ".obj"},
        {"output over the scene", with([&](WeatherCommand& c) { c.outputs = {scene}; }), kExitUsage, "the scene"},
        {"nothing inside a volume", with([](WeatherCommand& c) { c.on = "volume"; }), kExitIo, "Nothing inside"},
        {"unreadable scene", with([&](WeatherCommand& c) { c.scene = path("missing.glb"); }), kExitIo, "missing.glb"},
    };
    for (const Case& k : cases) {
        std::string err;
        EXPECT_EQ(run(k.c, nullptr, &err), k.rc) << k.what;
        EXPECT_NE(err.find(k.says), std::string::npos) << k.what << ": " << err;
        EXPECT_FALSE(std::filesystem::exists(path("never.glb"))) << k.what;
    }
}

}  // namespace
