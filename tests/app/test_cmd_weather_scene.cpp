// The weather command's scene modes: a preset saved and then removed or baked in a second
// run on the saved scene, the guide the panel's Help opens, and the rule of one mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "app/cmd_weather.h"
#include "app/exit_codes.h"
#include "app/weather_module.h"
#include "file_test.h"
#include "weather_command_fixture.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/material.h"
#include "max/stdmat.h"

using namespace tweather;

namespace {

class WeatherSceneCommandTest : public WeatherCommandFixture {
protected:
    // Each node's material name (empty for none), with the host started from `modules`.
    std::map<std::string, std::string> materialsOf(const std::string& scene, std::vector<std::string> modules) {
        std::vector<std::string> errors;
        host::startUp(modules, errors);
        std::string error;
        const std::string ext = host::extensionOf(scene);
        EXPECT_TRUE(ext == ".scene" ? host::loadScene(scene, error) : host::importScene(scene, error)) << error;
        std::map<std::string, std::string> names;
        for (INode* node : host::currentScene().allNodes())
            names[host::toUtf8(node->GetName())] = node->GetMtl() ? host::toUtf8(node->GetMtl()->GetName()) : "";
        host::shutDown();
        return names;
    }
    std::string snowedYard(bool falling) {
        WeatherCommand c;
        c.scene = yard();
        c.preset = "Heavy snow";
        c.falling = falling;
        c.outputs = {path("snowed.scene")};
        std::string out;
        EXPECT_EQ(run(c, &out), kExitOk) << out;
        return path("snowed.scene");
    }
};

TEST_F(WeatherSceneCommandTest, RemoveOnTheSavedSceneGivesBackTheMaterialsAndNoWeather) {
    const std::map<std::string, std::string> original = materialsOf(yard(), {});
    const std::string snowed = snowedYard(true);
    WeatherCommand c;
    c.scene = snowed;
    c.remove = true;
    c.outputs = {path("clear.scene"), path("clear.glb")};
    c.reportPath = path("removed.json");
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(out.rfind("Removed the weather from 2 objects (2 materials restored) and 1 falling object(s).\n", 0), 0u)
        << out;
    const nlohmann::json r = nlohmann::json::parse(read(path("removed.json")));
    EXPECT_EQ(r["objects"], 2);
    EXPECT_EQ(r["restored"], 2);
    EXPECT_EQ(r["falls"], 1);
    const std::string text = read(path("clear.scene"));
    EXPECT_EQ(text.find("TarnwickSnow"), std::string::npos);
    EXPECT_EQ(text.find("WeatherFall"), std::string::npos);
    EXPECT_EQ(materialsOf(path("clear.scene"), {}), original);

    // Nothing selected: no object, but the falls still go; it is no failure.
    c.scene = snowed;
    c.select = {"Slab"};
    c.on = "selection";
    c.outputs = {path("slab.scene")};
    c.reportPath.clear();
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(out.rfind("Removed the weather from 1 objects (1 materials restored) and 1 falling object(s).", 0), 0u)
        << out;
}

TEST_F(WeatherSceneCommandTest, StormMaterialsComeOffInALaterRunOfTheSavedScene) {
    // A street: asphalt, a pane of glass, and a shop front of brick and see-through glass.
    std::string warning;
    std::vector<std::string> errors;
    host::startUp(tweather::modulesToLoad({}, warning), errors);
    host::resetScene();
    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(host::createPlane(1000, 1000, 2, 2))->SetName(L"Road");
    ip->GetINodeByName(L"Road")->SetMtl(host::createStdMaterial(L"Asphalt", Color(0.2f, 0.2f, 0.2f), 10));
    INode* pane = ip->CreateObjectNode(host::createBox(100, 5, 100));
    pane->SetName(L"Pane");
    pane->SetMtl(host::createStdMaterial(L"Window glass", Color(0.8f, 0.9f, 1.0f), 90));
    INode* shop = ip->CreateObjectNode(host::createBox(300, 300, 300));
    shop->SetName(L"Shop");
    Mtl* display = host::createStdMaterial(L"Display", Color(1, 1, 1), 90);
    static_cast<StdMat2*>(display)->SetOpacity(0.4f, 0);
    shop->SetMtl(host::createMultiMaterial(
        L"Shop front", {host::createStdMaterial(L"Brick", Color(0.6f, 0.3f, 0.2f), 10), display}, {0, 1}));
    std::string error;
    ASSERT_TRUE(host::saveScene(path("street.scene"), error)) << error;
    host::shutDown();
    const std::map<std::string, std::string> dry = materialsOf(path("street.scene"), {});

    WeatherCommand c;
    c.scene = path("street.scene");
    c.preset = "Storm";
    c.falling = false;
    c.outputs = {path("wet.scene")};
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(out.rfind("Storm on 3 objects: 0 snowed, 2 wet, 2 glass with drops.\n", 0), 0u) << out;
    const std::map<std::string, std::string> wet = materialsOf(path("wet.scene"), {});
    EXPECT_EQ(wet.at("Road"), "Asphalt (wet)");
    EXPECT_EQ(wet.at("Pane"), "Window glass (drops)");

    // A later run, with nothing of the first in memory, puts every original back.
    c = WeatherCommand();
    c.scene = path("wet.scene");
    c.remove = true;
    c.outputs = {path("dry.scene")};
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(out.rfind("Removed the weather from 3 objects (3 materials restored) and 0 falling object(s).\n", 0),
              0u)
        << out;
    EXPECT_EQ(materialsOf(path("dry.scene"), {}), dry);
    EXPECT_EQ(read(path("dry.scene")).find("appData"), std::string::npos) << "the records went with the restore";
}

TEST_F(WeatherSceneCommandTest, BakeWritesAPlainSceneThatOpensAndExportsTheSameWithoutTheModule) {
    const std::string snowed = snowedYard(false);
    WeatherCommand c;
    c.scene = snowed;
    c.bake = true;
    c.outputs = {path("baked.scene"), path("baked.glb")};
    c.reportPath = path("baked.json");
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    EXPECT_EQ(out.rfind("Baked 2 object(s) into meshes: Ground, Slab.\n", 0), 0u) << out;
    const nlohmann::json r = nlohmann::json::parse(read(path("baked.json")));
    EXPECT_EQ(r["baked"], nlohmann::json::array({"Ground", "Slab"}));

    // Heavy snow made without a fall, then baked: without any module the scene holds no
    // unknown class and exports the same, byte for byte.
    std::vector<std::string> errors;
    host::startUp({}, errors);
    std::string error;
    host::SceneFileReport report;
    ASSERT_TRUE(host::loadScene(path("baked.scene"), error, &report)) << error;
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    EXPECT_EQ(host::currentScene().allNodes().size(), 2u);
    EXPECT_TRUE(host::exportScene(path("alone.glb"), 0, error)) << error;
    host::shutDown();
    EXPECT_EQ(read(path("alone.glb")), read(path("baked.glb")));

    // A second bake finds no snow: nothing done is a failure.
    c.scene = path("baked.scene");
    c.outputs = {path("again.scene")};
    c.reportPath.clear();
    std::string err;
    EXPECT_EQ(run(c, &out, &err), kExitIo);
    EXPECT_NE(err.find("Nothing to bake"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(path("again.scene")));
}

TEST_F(WeatherSceneCommandTest, GuidePrintsTheHtmlFileThatNamesEveryPreset) {
    WeatherCommand c;
    c.guide = true;
    std::string out;
    ASSERT_EQ(run(c, &out), kExitOk) << out;
    ASSERT_FALSE(out.empty());
    const std::string file = out.substr(0, out.find('\n'));
    ASSERT_TRUE(std::filesystem::is_regular_file(file)) << file;
    EXPECT_TRUE(file.ends_with("/share/tweather/Weather_UserGuide.html")) << file;
    const std::string html = read(file);
    for (const char* name :
         {"Light dusting", "Heavy snow", "Blizzard", "Drizzle", "Storm", "Winter night", "Sandstorm"})
        EXPECT_NE(html.find(name), std::string::npos) << name;
    // With --open and no display it says so and still succeeds.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedDisplay = display ? display : "", savedWayland = wayland ? wayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    c.open = true;
    EXPECT_EQ(run(c, &out), kExitOk);
    EXPECT_NE(out.find("no display"), std::string::npos) << out;
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

TEST_F(WeatherSceneCommandTest, EachUsageErrorHasItsCode) {
    const std::string scene = yard();
    auto with = [&](auto change) {
        WeatherCommand c;
        c.scene = scene;
        c.outputs = {path("never.scene")};
        change(c);
        return c;
    };
    struct Case {
        const char* what;
        WeatherCommand c;
        const char* says;
    };
    const Case cases[] = {
        {"no mode", with([](WeatherCommand&) {}), "exactly one"},
        {"preset and remove", with([](WeatherCommand& c) { c.preset = "1", c.remove = true; }), "exactly one"},
        {"remove and bake", with([](WeatherCommand& c) { c.remove = true, c.bake = true; }), "exactly one"},
        {"bake and guide", with([](WeatherCommand& c) { c.bake = true, c.guide = true; }), "exactly one"},
        {"list and preset", with([](WeatherCommand& c) { c.listPresets = true, c.preset = "2"; }), "exactly one"},
        {"bake with --on", with([](WeatherCommand& c) { c.bake = true, c.on = "scene"; }), "--on"},
        {"remove without output", with([](WeatherCommand& c) { c.remove = true, c.outputs.clear(); }), "-o"},
        {"remove on nowhere", with([](WeatherCommand& c) { c.remove = true, c.on = "roof"; }), "--on"},
        {"remove with --no-falling", with([](WeatherCommand& c) { c.remove = true, c.falling = false; }),
         "--preset only"},
        {"guide with a scene", with([](WeatherCommand& c) { c.guide = true; }), "no scene"},
        {"open without guide", with([](WeatherCommand& c) { c.bake = true, c.open = true; }), "--open"},
    };
    for (const Case& k : cases) {
        std::string err;
        EXPECT_EQ(run(k.c, nullptr, &err), kExitUsage) << k.what;
        EXPECT_NE(err.find(k.says), std::string::npos) << k.what << ": " << err;
        EXPECT_FALSE(std::filesystem::exists(path("never.scene"))) << k.what;
    }
}

}  // namespace
