// The built-in example town end to end: snowed through the host, the carport and the
// bridge keep the ground beneath them bare; a saved snowed scene reloads to the same
// shell; a script puts a snow modifier on a node and saves it.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cmd_example.h"
#include "app/cmd_scene.h"
#include "app/cmd_script.h"
#include "app/demo_town.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "file_test.h"
#include "host/class_registry.h"
#include "host/scene_file.h"
#include "max/param_block2.h"
#include "snow_run.h"

using namespace tweather;

namespace {

class ExampleTest : public FileTest {};

TEST_F(ExampleTest, TheTownsCarportAndBridgeKeepTheGroundBeneathBare) {
    ASSERT_EQ(runExampleCommand(path("town.scene")), 0);
    SnowCommand c;
    c.input = path("town.scene");
    c.outputs = {path("snowed.obj")};
    c.savePath = path("snowed.scene");
    c.sets = {"maxTris=60000"};  // a lighter shell keeps the test quick
    ASSERT_EQ(runSnowCommand(c), 0);
    const std::vector<Point3> ground = exportedVertices(path("snowed.obj"), L"Ground");
    ASSERT_FALSE(ground.empty());
    // The open ground carries snow; under the roofs, well inside the 25 degree cone, none.
    EXPECT_GT(highestIn(ground, 100, 100, 600, 300), 6.0f);
    const Footprint carport = carportFootprint(), bridge = bridgeFootprint();
    const float carportInset = 252 * 0.47f + 30, bridgeInset = 220 * 0.47f + 30;
    EXPECT_LT(highestIn(ground, carport.x0 + carportInset, carport.y0 + carportInset, carport.x1 - carportInset,
                        carport.y1 - carportInset),
              1.0f);
    const std::vector<Point3> pathVerts = exportedVertices(path("snowed.obj"), L"Path");
    EXPECT_LT(highestIn(pathVerts, bridge.x0 + 150 + 30, bridge.y0 + bridgeInset, bridge.x1 - 150 - 30,
                        bridge.y1 - bridgeInset),
              3.0f)
        << "the path under the bridge stays clear";
    EXPECT_GT(highestIn(pathVerts, 700, 1000, 900, 1500), 8.0f) << "the open path is snowed";

    // The saved scene reloads with its modifiers and, once its shelter scene has been
    // gathered, gives the same shell.
    SceneOptions convert;
    convert.input = path("snowed.scene");
    convert.output = path("reloaded.obj");
    ASSERT_EQ(runSceneConvert(convert), 0);
    // Past the first lines, which name each file's own material library.
    auto body = [&](const std::string& file) {
        const std::string text = read(path(file));
        return text.substr(text.find("\no "));
    };
    EXPECT_TRUE(body("reloaded.obj") == body("snowed.obj"));
}

TEST_F(ExampleTest, AScriptAddsSnowToANodeAndTheSavedSceneKeepsIt) {
    ASSERT_EQ(runExampleCommand(path("town.scene")), 0);
    ScriptOptions o;
    o.scene = path("town.scene");
    o.expressions = {"TWeatherMtl.addSnow (maxOps.getNodeByHandle 3) #(#(#depth,5.0),#(#enabled,true))"};
    o.save = path("scripted.scene");
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(runScriptCommand(o, in, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Tarnwick Snow added to House A"), std::string::npos) << out.str();

    std::vector<std::string> errors;
    std::string missing;
    host::startUp(modulesToLoad({}, missing), errors);
    ASSERT_TRUE(missing.empty()) << missing;
    std::string error;
    ASSERT_TRUE(host::loadScene(path("scripted.scene"), error)) << error;
    INode* house = host::currentScene().findByHandle(3);
    ASSERT_NE(house, nullptr);
    IDerivedObject* stack = house->GetWSMDerivedObject();
    ASSERT_NE(stack, nullptr);
    ASSERT_EQ(stack->NumModifiers(), 1);
    MSTR cls;
    stack->GetModifier(0)->GetClassName(cls);
    EXPECT_EQ(cls, L"TarnwickSnow");
    IParamBlock2* pb = stack->GetModifier(0)->GetParamBlock(0);
    EXPECT_EQ(pb->GetFloat(pb->IndextoID(findParameter(pb, "depth")), 0), 5.0f);
    EXPECT_EQ(pb->GetInt(pb->IndextoID(findParameter(pb, "enabled")), 0), 1);
    host::shutDown();
}

}  // namespace
