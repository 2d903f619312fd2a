// A picked tornado node: the fall asks the tornado plug-in (a script function) to export the
// node's wind into the temporary folder, shows what the plug-in answered, and reads the file
// it wrote. Without an export request the fetch only looks for the file.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "../fall/tornado_test_files.h"
#include "fallmod_fixture.h"
#include "host/builtin_objects.h"
#include "host/storm_helper.h"
#include "host/text.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "utility/script_bridge.h"

namespace {

using fallmodtest::FallModTest;
using host::script::Value;

class FallExportTest : public FallModTest {
protected:
    void SetUp() override {
        FallModTest::SetUp();
        host::resetScriptEngine();
        const char* old = getenv("TMPDIR");
        oldTmp = old ? old : "";
        tmp = std::filesystem::temp_directory_path() / ("wx_fallmod_export_" + std::to_string(::getpid()));
        std::filesystem::create_directories(tmp);
        setenv("TMPDIR", tmp.c_str(), 1);
    }
    void TearDown() override {
        if (oldTmp.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", oldTmp.c_str(), 1);
        std::filesystem::remove_all(tmp);
        host::resetScriptEngine();
        FallModTest::TearDown();
    }
    std::filesystem::path tmp;
    std::string oldTmp;
};

TEST_F(FallExportTest, PickedNodeIsExportedOnRequest) {
    std::vector<std::wstring> calls;
    // The tornado plug-in's command: writes three calm frames where it is told to.
    host::scriptEngine().defineFunction(
        L"tornadoCommand", [&calls](host::script::Interpreter&, const host::script::CallArgs& a) {
            calls.push_back(a.positional.at(1).s);
            const std::string path = MSTR(a.positional.at(2).s).ToUTF8();
            tornadotest::writeBytes(path,
                                    tornadotest::windFileBytes("TTWIND 1 3 10 24 100 140", tornadotest::calmFrames(3)));
            return Value::string(L"wind written");
        });
    INode* tornado = ip->CreateObjectNode(host::createBox(10, 10, 10));
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    fall->GetParamBlock(0)->SetValue(wx::kFallTornadoNode, 0, tornado);

    wx::TornadoWind wind;
    EXPECT_FALSE(fall->fetchTornadoWind(0, false, wind)) << "nothing exported yet";
    EXPECT_TRUE(calls.empty());
    const std::string expected =
        (tmp / "TarnwickWeather" / ("tornado_" + std::to_string(tornado->GetHandle()) + ".ttw")).string();
    EXPECT_EQ(fall->tornadoStatus(), L"tornado: no file yet " + MSTR::FromUTF8(expected.c_str()));

    ASSERT_TRUE(fall->fetchTornadoWind(0, true, wind));
    EXPECT_EQ(calls, std::vector<std::wstring>{L"exportwind"});
    EXPECT_TRUE(std::filesystem::exists(expected));
    EXPECT_EQ(wind.frameCount, 3);
    EXPECT_EQ(wind.firstFrame, 10);
    EXPECT_EQ(fall->fallStatus(),
              L"tornado: wind written | tornado: 3 frames from 10, 100 units/m, influence 1.00, reach 30000");

    // Influence 0 switches the wind off and leaves the status alone.
    fall->GetParamBlock(0)->SetValue(wx::kFallTornadoInfluence, 0, 0.0f);
    EXPECT_FALSE(fall->fetchTornadoWind(0, true, wind));
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(fall->tornadoStatus(), L"tornado: 3 frames from 10, 100 units/m, influence 1.00, reach 30000");
}

// A whole evaluation for a program asks for the export as a render does, counts the render
// set (or the viewport's share) and carries the particles on the wind it read.
TEST_F(FallExportTest, EvaluateWorldExportsFirstAndCountsByMode) {
    int exports = 0;
    host::scriptEngine().defineFunction(
        L"tornadoCommand", [&exports](host::script::Interpreter&, const host::script::CallArgs& a) {
            ++exports;
            tornadotest::writeBytes(MSTR(a.positional.at(2).s).ToUTF8(),
                                    tornadotest::windFileBytes("TTWIND 1 3 10 24 100 140", tornadotest::calmFrames(3)));
            return Value::string(L"wind written");
        });
    INode* tornado = ip->CreateObjectNode(host::createBox(10, 10, 10));
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    fall->GetParamBlock(0)->SetValue(wx::kFallTornadoNode, 0, tornado);
    fall->GetParamBlock(0)->SetValue(wx::kFallCount, 0, 100);

    std::vector<wx::FallParticle> out;
    const std::wstring status = fall->evaluateWorld(480, node, false, true, true, out);
    EXPECT_EQ(exports, 1);
    EXPECT_EQ(status, L"tornado: 3 frames from 10, 100 units/m, influence 1.00, reach 30000");
    ASSERT_EQ(out.size(), 100u);
    // Calm frames carry nothing: the field itself, under the node's (identity) matrix.
    wx::FallInputs in;
    in.count = 100;
    const wx::FallParams p = wx::makeFallParams(in, wx::FallCountMode::Render);
    for (size_t i = 0; i < out.size(); ++i) {
        const wx::FallParticle want = wx::fallWorld(p, i, 0.1f, wx::FallMatrix{});
        EXPECT_EQ(out[i].pos.x, want.pos.x) << i;
        EXPECT_EQ(out[i].pos.z, want.pos.z) << i;
        EXPECT_EQ(out[i].age, want.age) << i;
    }

    EXPECT_EQ(fall->evaluateWorld(480, node, true, false, false, out), status);
    EXPECT_EQ(exports, 1) << "no export without the request";
    EXPECT_EQ(out.size(), 20u) << "20% of 100";
}

// End to end with the host's storm helper: the fall has the storm export its wind, reads it
// and carries the particles near the funnel; beyond the reach (and the distance a particle
// falls sideways while the wind carries it) nothing moves.
TEST_F(FallExportTest, PickedStormDriftsParticlesNearTheFunnelOnly) {
    INode* storm = ip->CreateObjectNode(host::createStormHelper());
    storm->SetPosition(0, Point3(0, 0, 0));
    INode* node = addFall();
    wx::WeatherFall* fall = fallOf(node);
    IParamBlock2* pb = fall->GetParamBlock(0);
    const float reach = 4000.0f;  // 40 m in the default centimetres
    pb->SetValue(wx::kFallWidth, 0, 20000.0f);
    pb->SetValue(wx::kFallLength, 0, 20000.0f);
    pb->SetValue(wx::kFallHeight, 0, 3000.0f);
    pb->SetValue(wx::kFallCount, 0, 20000);
    pb->SetValue(wx::kFallTornadoReach, 0, reach);
    pb->SetValue(wx::kFallTornadoNode, 0, storm);

    const TimeValue t = 4800;
    std::vector<wx::FallParticle> carried, still;
    // The bulk path, as the command line and the viewport take it.
    const std::wstring status = fall->evaluateWorld(t, node, false, false, true, carried);
    EXPECT_EQ(status.rfind(L"tornado: 101 frames from 0, 100 units/m", 0), 0u) << host::toUtf8(status);
    EXPECT_EQ(fall->fallStatus().rfind(L"tornado: exported 101 frames to ", 0), 0u);
    pb->SetValue(wx::kFallTornadoInfluence, 0, 0.0f);
    fall->evaluateWorld(t, node, false, false, true, still);
    ASSERT_EQ(carried.size(), still.size());

    // How far a particle travels sideways while the wind carries it (3 s at most).
    const float sideways = 3.0f * (pb->GetFloat(wx::kFallWindSpeed, t) + pb->GetFloat(wx::kFallTurbulence, t) * 10.0f);
    int near = 0, nearMoved = 0, far = 0;
    for (size_t i = 0; i < still.size(); ++i) {
        const float d = std::hypot(still[i].pos.x, still[i].pos.y);
        const float moved = std::hypot(carried[i].pos.x - still[i].pos.x, carried[i].pos.y - still[i].pos.y,
                                       carried[i].pos.z - still[i].pos.z);
        if (d < 0.5f * reach) {
            ++near;
            nearMoved += moved > 10.0f;
        } else if (d > reach + sideways) {
            ++far;
            EXPECT_EQ(moved, 0.0f) << "particle " << i << " at " << d;
        }
    }
    EXPECT_GT(near, 100);
    EXPECT_GT(far, 10000);
    EXPECT_GT(nearMoved, near * 9 / 10) << "near the funnel the storm carries nearly every particle";
}

// Scripts reach the object's mixin and its parameters by their internal names.
TEST_F(FallExportTest, ScriptsSeeTheMixinAndTheParameters) {
    INode* node = addFall();
    const std::wstring fall = wx::nodeRef(node);
    std::wstring result;
    ASSERT_TRUE(wx::runScript(fall + L".weatherFall.fallStatus()", &result)) << result;
    EXPECT_EQ(result, L"not rendered yet | no tornado");
    ASSERT_TRUE(wx::runScript(fall + L".color = (color 255 0 0)", &result)) << result;
    ASSERT_TRUE(wx::runScript(fall + L".vpMax = 7", &result)) << result;
    EXPECT_EQ(fallOf(node)->GetParamBlock(0)->GetColor(wx::kFallColor), Color(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(particlesAt(node, 0).points.size(), 7u);
}

}  // namespace
