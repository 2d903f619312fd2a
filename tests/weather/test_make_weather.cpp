// MAKE WEATHER through the host: which nodes it gathers, what it adds to them, its report,
// and its single undo step.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fall/weather_fall.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/ui_model.h"
#include "host/undo_history.h"
#include "max/hold.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "snow/snow_mod.h"
#include "snow/snow_params.h"
#include "utility/make_weather.h"
#include "utility/materials_library.h"
#include "utility/script_bridge.h"
#include "utility/tweather_fp.h"
#include "weather_scene_fixture.h"

namespace {

std::string narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());
}

struct MakeWeatherTest : WeatherSceneTest {
    // A flat square of `size` centimetres with its centre at (x, y, z).
    INode* addPlane(const wchar_t* name, float size, Point3 at) {
        INode* node = ip->CreateObjectNode(host::createPlane(size, size, 1, 1));
        node->SetName(name);
        node->SetPosition(0, at);
        return node;
    }
    // A fall volume w x l x h with its base centre at `at`, turned about Z by `degrees`.
    INode* addVolume(float w, float l, float h, Point3 at, float degrees = 0.0f) {
        auto* fall = static_cast<Object*>(wx::GetFallDesc()->Create(FALSE));
        IParamBlock2* pb = fall->GetParamBlock(0);
        pb->SetValue(wx::kFallWidth, 0, w);
        pb->SetValue(wx::kFallLength, 0, l);
        pb->SetValue(wx::kFallHeight, 0, h);
        INode* node = ip->CreateObjectNode(fall);
        Matrix3 tm;
        tm = RotateZMatrix(degrees * 0.017453292f);
        tm.SetTrans(at);
        node->SetNodeTM(0, tm);
        return node;
    }
    static wx::SnowMod* snowOf(INode* node) {
        IDerivedObject* stack = node->GetWSMDerivedObject();
        return stack && stack->NumModifiers() ? dynamic_cast<wx::SnowMod*>(stack->GetModifier(0)) : nullptr;
    }
    int nodeCount() { return ip->GetRootNode()->NumberOfChildren(); }
};

TEST_F(MakeWeatherTest, NothingToWeatherSaysWhyAndChangesNothing) {
    addPlane(L"Ground", 100, {0, 0, 0});
    wx::makeWeather(1, wx::kApplySelection, true, true, true);
    EXPECT_EQ(wx::lastWeatherReport(), L"Select the objects first, or set Apply to: Whole scene.");
    wx::makeWeather(1, wx::kApplyInsideVolumes, true, true, true);
    EXPECT_EQ(wx::lastWeatherReport(),
              L"Nothing inside a Tarnwick Weather volume. Make one (or MAKE WEATHER) and put the objects inside it.");
    EXPECT_EQ(nodeCount(), 1);
    EXPECT_TRUE(host::undoStepNames().empty());
    // A preset out of range does nothing at all, not even a report.
    for (int index : {-1, 7}) wx::makeWeather(index, wx::kApplyScene, true, true, true);
    EXPECT_EQ(wx::lastWeatherReport(),
              L"Nothing inside a Tarnwick Weather volume. Make one (or MAKE WEATHER) and put the objects inside it.");
}

TEST_F(MakeWeatherTest, HeavySnowOnTheSceneIsOneUndoStep) {
    INode* ground = addPlane(L"Ground", 400, {0, 0, 0});
    INode* roof = addPlane(L"Roof", 100, {0, 0, 300});
    ip->ClearProgressLog();
    wx::makeWeather(1, wx::kApplyScene, true, true, true);
    EXPECT_EQ(ip->ProgressLog(), (std::vector<std::wstring>{L"start Tarnwick Weather", L"50%", L"100%", L"end"}));
    const std::wstring report = wx::lastWeatherReport();
    EXPECT_EQ(report.rfind(L"Heavy snow on 2 objects: 2 snowed, 0 wet, 0 glass with drops, falling: "
                           L"Tarnwick Weather001: 500 flakes in a 440 x 440 x 600 volume.\r\nShelter: ",
                           0),
              0u)
        << narrow(report);
    for (INode* node : {ground, roof}) {
        wx::SnowMod* mod = snowOf(node);
        ASSERT_NE(mod, nullptr);
        EXPECT_FLOAT_EQ(mod->GetParamBlock(0)->GetFloat(wx::kSnowDepth, 0), 14.0f);
    }
    // The roof is 100 cm across: its detail is 100 / 6 at most, its lip a quarter of it at most.
    EXPECT_FLOAT_EQ(snowOf(roof)->GetParamBlock(0)->GetFloat(wx::kSnowEdgeRound, 0), 7.0f);
    EXPECT_EQ(nodeCount(), 3);
    // A second run sees the same boxes (its own snow left out) and replaces the snow.
    roof->EvalWorldState(0);
    wx::makeWeather(1, wx::kApplyScene, true, false, true);
    EXPECT_EQ(roof->GetWSMDerivedObject()->NumModifiers(), 1);
    EXPECT_FLOAT_EQ(snowOf(roof)->GetParamBlock(0)->GetFloat(wx::kSnowEdgeRound, 0), 7.0f);
    EXPECT_FLOAT_EQ(snowOf(roof)->GetParamBlock(0)->GetFloat(wx::kSnowResolution, 0), 4.9f);
    host::undo();
    host::freeRetiredScenes();
    ASSERT_EQ(host::undoStepNames().size(), 1u);
    EXPECT_EQ(host::undoStepNames().back(), L"Tarnwick Weather");
    ASSERT_TRUE(host::undo());
    host::freeRetiredScenes();
    EXPECT_EQ(nodeCount(), 2);
    for (int i = 0; i < nodeCount(); ++i) EXPECT_EQ(snowOf(ip->GetRootNode()->GetChildNode(i)), nullptr);
}

TEST_F(MakeWeatherTest, InsideVolumesTakesWhatOverlapsThemOnly) {
    addPlane(L"In", 100, {0, 0, 50});
    addPlane(L"Touching", 100, {280, 0, 50});  // its edge meets the volume's side: no overlap
    addPlane(L"Out", 100, {600, 0, 50});
    addPlane(L"Turned in", 20, {0, 180, 50});  // inside only once the volume turns 90 degrees
    INode* volume = addVolume(460, 200, 400, {0, 0, 0});
    auto names = [&](INode* only) {
        std::wstring out;
        for (INode* n : wx::gatherTargets(wx::kApplyInsideVolumes, 0, only)) out += std::wstring(n->GetName()) + L";";
        return narrow(out);
    };
    EXPECT_EQ(names(nullptr), "In;");
    volume->SetNodeTM(0, [] {
        Matrix3 tm;
        tm = RotateZMatrix(1.5707963f);
        return tm;
    }());
    INode* narrowVolume = addVolume(100, 100, 400, {600, 0, 0});
    EXPECT_EQ(names(nullptr), "In;Out;Turned in;") << "the turned volume reaches y = 180 but no longer x = 230";
    EXPECT_EQ(names(narrowVolume), "Out;") << "a given volume alone";
    narrowVolume->Hide(TRUE);
    EXPECT_EQ(names(nullptr), "In;Turned in;") << "a hidden volume is ignored";
}

// The quick rejections in world space never drop what the corner test takes: a sliver off
// the corner of a turned volume, outside the volume's world box, still overlaps it in the
// volume's own space; a stretched volume far from the origin keeps a 2 cm overlap.
TEST_F(MakeWeatherTest, InsideVolumesKeepsWhatTheCornerTestTakes) {
    INode* turned = addVolume(200, 200, 400, {0, 0, 0}, 45.0f);  // world box x, y within +-141.5
    INode* sliver = ip->CreateObjectNode(host::createBox(180, 2, 10));
    sliver->SetName(L"Sliver");
    sliver->SetPosition(0, Point3(143, 0, 0));
    INode* far = addVolume(100, 100, 400, {0, 0, 0});
    far->SetNodeTM(0, ScaleMatrix(Point3(2, 1, 1)) * TransMatrix(Point3(100000, 0, 0)));  // x 99,900..100,100
    addPlane(L"Overlapping", 100, {100148, 0, 50});
    addPlane(L"Apart", 100, {100152, 0, 50});
    auto names = [&](INode* only) {
        std::wstring out;
        for (INode* n : wx::gatherTargets(wx::kApplyInsideVolumes, 0, only)) out += std::wstring(n->GetName()) + L";";
        return narrow(out);
    };
    EXPECT_EQ(names(nullptr), "Sliver;Overlapping;");
    EXPECT_EQ(names(turned), "Sliver;");
    // Moved clear of the turned volume's corner, the sliver's box is remembered anew.
    sliver->SetPosition(0, Point3(300, 0, 0));
    EXPECT_EQ(names(nullptr), "Overlapping;");
}

// The fall object's own rollout button weathers what lies inside that volume only, with
// the preset its type names, and shows the report in the rollout's status box.
TEST_F(MakeWeatherTest, TheFallRolloutsVolumeButtonWeathersInsideItWithItsTypesPreset) {
    std::string error;
    ASSERT_TRUE(host::ui::loadResources(WX_SOURCE_DIR "/resources/weather_fall.json", error)) << error;
    INode* in = addPlane(L"In", 100, {0, 0, 50});
    INode* out = addPlane(L"Out", 100, {900, 0, 50});
    INode* volume = addVolume(300, 300, 400, {0, 0, 0});
    addVolume(300, 300, 400, {900, 0, 0});  // another volume: the button takes its own only
    auto* fall = static_cast<wx::WeatherFall*>(volume->GetObjectRef());
    auto press = [&](int type) {
        fall->GetParamBlock(0)->SetValue(wx::kFallType, 0, type);
        fall->BeginEditParams(ip, 0, nullptr);
        HWND rollout = host::ui::findRollout(7560);
        EXPECT_NE(rollout, nullptr);
        EXPECT_TRUE(host::ui::pressButton(rollout, 7573));
        const std::wstring box = host::ui::controlText(rollout, 7564);
        fall->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
        EXPECT_EQ(box, wx::lastWeatherReport());
        return narrow(box);
    };
    EXPECT_EQ(press(wx::kFallSnow).rfind("Heavy snow on 1 object: 1 snowed,", 0), 0u)
        << narrow(wx::lastWeatherReport());
    EXPECT_NE(snowOf(in), nullptr);
    EXPECT_EQ(snowOf(out), nullptr);
    EXPECT_EQ(press(wx::kFallRain).rfind("Storm on 1 object:", 0), 0u) << narrow(wx::lastWeatherReport());
    EXPECT_EQ(press(wx::kFallSand).rfind("Sandstorm on 1 object:", 0), 0u) << narrow(wx::lastWeatherReport());
    EXPECT_EQ(out->GetMtl(), nullptr);
    host::ui::resetUi();
}

TEST_F(MakeWeatherTest, DrizzleWithoutMaterialsMakesOnlyItsFall) {
    INode* ground = addPlane(L"Ground", 200, {0, 0, 0});
    ip->SelectNode(ground);
    wx::makeWeather(3, wx::kApplySelection, true, true, false);
    EXPECT_EQ(wx::lastWeatherReport(),
              L"Drizzle on 1 object: 0 snowed, 0 wet, 0 glass with drops, falling: "
              L"Tarnwick Weather001: 500 drops in a 220 x 220 x 600 volume.\r\n");
    EXPECT_EQ(snowOf(ground), nullptr);
    EXPECT_EQ(ground->GetMtl(), nullptr);
}

TEST_F(MakeWeatherTest, NodeNamesNeverEnterTheScripts) {
    INode* odd = addPlane(L"a\") ; delete objects ; (\"\\\n", 100, {0, 0, 0});
    addPlane(L"Other", 100, {300, 0, 0});
    wx::makeWeather(0, wx::kApplyScene, true, false, false);
    EXPECT_EQ(wx::lastWeatherReport().rfind(L"Light dusting on 2 objects: 2 snowed", 0), 0u)
        << narrow(wx::lastWeatherReport());
    EXPECT_EQ(nodeCount(), 2);
    EXPECT_NE(snowOf(odd), nullptr);
}

// The TWeather script interface: 1-based presets, the earlier report for one out of range,
// too few arguments refused before anything changes, the preset list and snow status.
TEST_F(MakeWeatherTest, TWeatherCallsMakeByNumberAndAnswersItsReport) {
    INode* ground = addPlane(L"Ground", 200, {0, 0, 0});
    auto run = [](const std::wstring& expression) {
        std::wstring result;
        wx::runScript(expression, &result);
        return result;
    };
    EXPECT_EQ(run(L"TWeather.make 0 true"), L"earlier report");
    EXPECT_EQ(run(L"TWeather.makeEx 8 true true true true"), L"earlier report");
    EXPECT_EQ(run(L"TWeather.make 2"),
              L"ERROR: -- Runtime error: Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
    EXPECT_EQ(run(L"TWeather.makeEx 2 true true true"), run(L"TWeather.make 2"));
    EXPECT_EQ(nodeCount(), 1) << "a refused call changes nothing";
    EXPECT_EQ(run(L"TWeather.status (maxOps.getNodeByHandle " + std::to_wstring(ground->GetHandle()) + L")"),
              L"no Tarnwick Snow on this object");
    const std::wstring presets = run(L"TWeather.presets()");
    EXPECT_EQ(presets.rfind(L"1 Light dusting\n2 Heavy snow\n", 0), 0u) << narrow(presets);
    const std::wstring lines = wx::presetLines();
    EXPECT_EQ(lines.substr(0, 16), L"1 Light dusting\n");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L'\n'), 7);
    EXPECT_EQ(run(L"TWeather.version()"), L"1.5.1");

    const std::wstring made = run(L"TWeather.makeEx 2 true true false false");
    EXPECT_EQ(made, wx::lastWeatherReport());
    EXPECT_EQ(made.rfind(L"Heavy snow on 1 object: 1 snowed, 0 wet, 0 glass with drops.\r\n", 0), 0u) << narrow(made);
    EXPECT_EQ(nodeCount(), 1) << "falling off: no fall";
    ground->EvalWorldState(0);  // materials off: nothing has built the snow yet
    const std::wstring status =
        run(L"TWeather.status (maxOps.getNodeByHandle " + std::to_wstring(ground->GetHandle()) + L")");
    EXPECT_NE(status.find(L"triangles from"), std::wstring::npos) << "[" << narrow(status) << "]";
    EXPECT_EQ(status, snowOf(ground)->statusText());
}

}  // namespace
