// The fall add command through the host and the weather plug-in: the volume it sizes from
// the scene's geometry (what it leaves out, the widening, the 2 m and 6 m rules in any
// unit), the settings and the storm it is given, and how it refuses bad input without
// writing anything.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/cmd_fall_add.h"
#include "app/weather_module.h"
#include "fall/fall_params.h"
#include "file_test.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/storm_helper.h"
#include "max/interface.h"
#include "max/material.h"
#include "max/param_block2.h"
#include "max/units.h"

using namespace tweather;

namespace {

class FallAddTest : public FileTest {
protected:
    void TearDown() override {
        host::shutDown();
        FileTest::TearDown();
    }

    void startHost() {
        std::string warning;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        host::resetScene();  // units and frame rate from an earlier test
    }

    // Two boxes in centimetres: a 20 x 10 ground slab and a 2 m tall block on it; a hidden
    // box and one that does not render lie far away and must not count.
    std::string townScene(bool metres = false) {
        startHost();
        if (metres) SetSystemUnitInfo(UNITS_METERS, 1.0f);
        Interface* ip = GetCOREInterface();
        ip->CreateObjectNode(host::createBox(1000, 2000, 10))->SetName(L"ground");  // length (y), width (x)
        INode* block = ip->CreateObjectNode(host::createBox(100, 100, 200));
        block->SetName(L"block");
        block->SetPosition(0, Point3(300, 200, 10));
        INode* hidden = ip->CreateObjectNode(host::createBox(10, 10, 10));
        hidden->SetPosition(0, Point3(9000, 0, 0));
        hidden->Hide(TRUE);
        INode* dark = ip->CreateObjectNode(host::createBox(10, 10, 10));
        dark->SetPosition(0, Point3(0, 9000, 0));
        dark->SetRenderable(FALSE);
        std::string error;
        const std::string file = path(metres ? "metres.scene" : "town.scene");
        EXPECT_TRUE(host::saveScene(file, error)) << error;
        host::shutDown();
        return file;
    }

    int run(const FallAddCommand& c, std::string* printed = nullptr, std::string* errors = nullptr) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = runFallAdd(c);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        host::shutDown();
        if (printed) *printed = out;
        if (errors) *errors = err;
        return rc;
    }

    FallAddCommand command(const std::string& scene, const std::string& out) const {
        FallAddCommand c;
        c.scene = scene;
        c.output = path(out);
        return c;
    }

    // Opens the written scene; the node with that name.
    INode* open(const std::string& file, const wchar_t* name) {
        startHost();
        std::string error;
        EXPECT_TRUE(host::loadScene(file, error)) << error;
        INode* node = host::currentScene().findByName(name);
        EXPECT_NE(node, nullptr);
        return node;
    }
};

TEST_F(FallAddTest, CoversTheVisibleGeometryWidenedAndRaised) {
    const std::string scene = townScene();
    std::string printed;
    ASSERT_EQ(run(command(scene, "out.scene"), &printed), 0);
    // x: -1000 .. 1000 widened by 100 each side; y: -500 .. 500 by 50; z: 0 .. 210 + 200,
    // at least 600.
    EXPECT_EQ(printed,
              "added \"Tarnwick Weather001\" (handle 5): snow, 20000 particles, 2200 x 1100 x 600 at [0, 0, 0]\n");
    INode* fall = open(path("out.scene"), L"Tarnwick Weather001");
    ASSERT_NE(fall, nullptr);
    ASSERT_NE(fall->GetMtl(), nullptr);
    EXPECT_EQ(std::wstring(fall->GetMtl()->GetName()), L"Tarnwick Flakes");
    host::shutDown();

    // Around the block only: 100 x 100 x 200 standing at z 10, so the top is 10 + 600.
    FallAddCommand c = command(scene, "block.scene");
    c.around = {"block"};
    ASSERT_EQ(run(c, &printed), 0);
    EXPECT_EQ(printed,
              "added \"Tarnwick Weather001\" (handle 5): snow, 20000 particles, 110 x 110 x 600 at [300, 200, 10]\n");
}

TEST_F(FallAddTest, SettingsNameAndStormComeWithIt) {
    FallAddCommand c = command(townScene(), "out.scene");
    c.name = "Downpour";
    c.sets = {"type=1", "COUNT=1234", "color=1,0.5,0.25"};
    c.tornadoAt = "-700,250";
    std::string printed;
    ASSERT_EQ(run(c, &printed), 0);
    EXPECT_EQ(printed, "added \"Downpour\" (handle 6): rain, 1234 particles, 2200 x 1100 x 600 at [0, 0, 0]\n");
    INode* fall = open(path("out.scene"), L"Downpour");
    ASSERT_NE(fall, nullptr);
    EXPECT_EQ(std::wstring(fall->GetMtl()->GetName()), L"Tarnwick Rain");
    IParamBlock2* pb = fall->GetObjectRef()->GetParamBlock(0);
    const Point3 colour = pb->GetPoint3(wx::kFallColor);
    EXPECT_NEAR(colour.x, 1.0f, 1e-6f);
    EXPECT_NEAR(colour.y, 0.5f, 1e-6f);
    EXPECT_NEAR(colour.z, 0.25f, 1e-6f);
    INode* storm = pb->GetINode(wx::kFallTornadoNode);
    ASSERT_TRUE(host::isStormHelper(storm));
    EXPECT_EQ(storm->GetNodeTM(0).GetTrans(), Point3(-700, 250, 0)) << "on the fall's base";
}

TEST_F(FallAddTest, MetreScenesGetTheSameSizes) {
    std::string printed;
    ASSERT_EQ(run(command(townScene(true), "out.scene"), &printed), 0);
    // The same numbers are metres now: 2 m above the top (210 + 2) beats 6 m above the base.
    EXPECT_EQ(printed,
              "added \"Tarnwick Weather001\" (handle 5): snow, 20000 particles, 2200 x 1100 x 212 at [0, 0, 0]\n");
    INode* fall = open(path("out.scene"), L"Tarnwick Weather001");
    ASSERT_NE(fall, nullptr);
    IParamBlock2* pb = fall->GetObjectRef()->GetParamBlock(0);
    const ParamDef& size = pb->GetParamDef(wx::kFallSize);
    EXPECT_FLOAT_EQ(pb->GetFloat(wx::kFallSize), size.def_f * 0.01f) << "a flake is as big in metres";
}

TEST_F(FallAddTest, EmptySceneGetsTheDefaultVolumeWithAWarning) {
    startHost();
    std::string error;
    ASSERT_TRUE(host::saveScene(path("empty.scene"), error)) << error;
    host::shutDown();
    std::string printed, errors;
    ASSERT_EQ(run(command(path("empty.scene"), "out.scene"), &printed, &errors), 0);
    EXPECT_NE(errors.find("warning: the scene has no geometry"), std::string::npos) << errors;
    INode* fall = open(path("out.scene"), L"Tarnwick Weather001");
    ASSERT_NE(fall, nullptr);
    IParamBlock2* pb = fall->GetObjectRef()->GetParamBlock(0);
    EXPECT_EQ(pb->GetFloat(wx::kFallWidth), pb->GetParamDef(wx::kFallWidth).def_f);
    EXPECT_EQ(fall->GetNodeTM(0).GetTrans(), Point3(0, 0, 0));
}

TEST_F(FallAddTest, BadInputWritesNothing) {
    const std::string scene = townScene();
    struct Case {
        const char* what;
        int rc;
        void (*edit)(FallAddCommand&);
    };
    const Case cases[] = {
        {"wrong extension", 2, [](FallAddCommand& c) { c.output += ".obj"; }},
        {"around nothing", 2, [](FallAddCommand& c) { c.around = {"nope"}; }},
        {"unknown parameter", 2, [](FallAddCommand& c) { c.sets = {"bogus=1"}; }},
        {"no value", 2, [](FallAddCommand& c) { c.sets = {"count"}; }},
        {"colour out of range", 2, [](FallAddCommand& c) { c.sets = {"color=1,2,0"}; }},
        {"colour short", 2, [](FallAddCommand& c) { c.sets = {"color=1,0"}; }},
        {"node by a missing name", 2, [](FallAddCommand& c) { c.sets = {"tornadoNode=nope"}; }},
        {"table", 2, [](FallAddCommand& c) { c.sets = {"hiddenByScene=block"}; }},
        {"storm twice", 2, [](FallAddCommand& c) { c.sets = {"tornadoNode=block"}, c.tornadoAt = "0,0"; }},
        {"storm place", 2, [](FallAddCommand& c) { c.tornadoAt = "1,nan"; }},
        {"missing scene", 1, [](FallAddCommand& c) { c.scene += ".gone"; }},
        {"missing folder", 1, [](FallAddCommand& c) { c.output = c.output + ".d/out.scene"; }},
    };
    for (const Case& k : cases) {
        FallAddCommand c = command(scene, "out.scene");
        k.edit(c);
        EXPECT_EQ(run(c), k.rc) << k.what;
        EXPECT_FALSE(std::filesystem::exists(path("out.scene"))) << k.what;
    }
}

}  // namespace
