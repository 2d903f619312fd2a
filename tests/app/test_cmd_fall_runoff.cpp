// The fall runoff command through the host and the weather plug-in: the line it prints,
// the edges and figures it writes, and how it refuses bad options without a file left.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cmd_fall_runoff.h"
#include "app/weather_module.h"
#include "fall/fall_params.h"
#include "file_test.h"
#include "host/builtin_objects.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/host_app.h"
#include "host/scene_file.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_block2.h"

using namespace tweather;

namespace {

class FallRunoffCommandTest : public FileTest {
protected:
    // A fall of the given type over a 20 m ground with a 1 m box hanging 2 m up (cm).
    std::string makeScene(const std::string& name, int type) {
        std::string warning, error;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        host::resetScene();  // units and frame rate from an earlier test in this program
        ClassDesc* desc = host::classRegistry().findByName(L"WeatherFall");
        EXPECT_NE(desc, nullptr) << warning;
        if (desc) {
            auto* fall = static_cast<Object*>(desc->Create(FALSE));
            fall->GetParamBlock(0)->SetValue(wx::kFallType, 0, type);
            GetCOREInterface()->CreateObjectNode(fall)->SetName(L"Rain");
        }
        GetCOREInterface()->CreateObjectNode(host::createPlane(2000, 2000));
        GetCOREInterface()->CreateObjectNode(host::createBox(100, 100, 100))->SetPosition(0, Point3(0, 0, 200));
        const std::string file = path(name);
        EXPECT_TRUE(host::saveScene(file, error)) << error;
        host::shutDown();
        return file;
    }

    static int runQuietly(const FallRunoffCommand& c, std::string* printed = nullptr, std::string* errors = nullptr) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = runFallRunoff(c);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        if (printed) *printed = out;
        if (errors) *errors = err;
        return rc;
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
};

TEST_F(FallRunoffCommandTest, PrintsAndWritesTheSameRunoff) {
    FallRunoffCommand c;
    c.scene = makeScene("rain.scene", wx::kFallRain);
    c.frame = "3";
    c.edges = path("edges.obj");
    c.json = path("runoff.json");
    std::string printed;
    ASSERT_EQ(runQuietly(c, &printed), 0);
    const auto stats = nlohmann::json::parse(read(c.json));
    const int edges = stats["edges"];
    EXPECT_EQ(edges, 8) << "the box's lower edges and top rims";
    EXPECT_EQ(printed, "run-off: 8 edges, " + std::to_string(int64_t(stats["drops"])) + " drops\n");
    EXPECT_EQ(stats["status"], "run-off: 8 edges, " + std::to_string(int64_t(stats["drops"])) + " drops");
    EXPECT_EQ(stats["count"], 30000);
    EXPECT_EQ(stats["height"], 750.0);
    EXPECT_NEAR(double(stats["gravity"]), 981.0, 1e-3);
    EXPECT_EQ(stats["sceneTriangles"], 14);
    EXPECT_NEAR(double(stats["dripRate"]), 0.2, 1e-6);
    EXPECT_NEAR(double(stats["totalWeight"]), 4 * 0.35 * 100 + 4 * 0.04 * 100, 1e-3);

    // OBJ: two vertices, then the line between them, per edge.
    int v = 0, l = 0;
    for (const std::string& line : lines(read(c.edges))) {
        if (line.rfind("v ", 0) == 0) ++v;
        if (line.rfind("l ", 0) == 0) {
            ++l;
            EXPECT_EQ(line, "l -2 -1");
            EXPECT_EQ(v, 2 * l);
        }
    }
    EXPECT_EQ(l, 8);

    // CSV: the same edges, the last running sum the total weight.
    c.edges = path("edges.csv");
    ASSERT_EQ(runQuietly(c), 0);
    const auto rows = lines(read(c.edges));
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0], "x0,y0,z0,x1,y1,z1,weight,cumWeight");
    const std::string last = rows.back().substr(rows.back().rfind(',') + 1);
    EXPECT_FLOAT_EQ(std::stof(last), float(double(stats["totalWeight"])));
}

TEST_F(FallRunoffCommandTest, SnowHasNoRunoffAndSaysWhy) {
    FallRunoffCommand c;
    c.scene = makeScene("snow.scene", wx::kFallSnow);
    c.edges = path("edges.csv");
    c.json = path("runoff.json");
    std::string printed;
    ASSERT_EQ(runQuietly(c, &printed), 0);
    EXPECT_EQ(printed, "run-off: off (needs rain, Stop at the scene on and Run-off from edges above 0)\n");
    EXPECT_EQ(read(c.edges), "x0,y0,z0,x1,y1,z1,weight,cumWeight\n");
    const auto stats = nlohmann::json::parse(read(c.json));
    EXPECT_EQ(stats["edges"], 0);
    EXPECT_EQ(stats["drops"], 0);
    EXPECT_EQ(stats["count"], 20000);
    EXPECT_EQ(stats["sceneTriangles"], 14) << "snow still stops at the scene";
}

TEST_F(FallRunoffCommandTest, BadOptionsLeaveNoFile) {
    FallRunoffCommand c;
    c.scene = makeScene("rain.scene", wx::kFallRain);
    c.edges = path("edges.ply");
    std::string errors;
    EXPECT_EQ(runQuietly(c, nullptr, &errors), 2);
    EXPECT_NE(errors.find("must be a .obj or .csv file"), std::string::npos) << errors;
    c.edges = path("edges.obj");
    c.frame = "soon";
    EXPECT_EQ(runQuietly(c), 2);
    c.frame = "1";
    c.json = path("missing/runoff.json");
    EXPECT_EQ(runQuietly(c), 1);
    c.json.clear();
    c.scene = path("nowhere.scene");
    EXPECT_EQ(runQuietly(c), 1);
    c.scene = path("rain.scene");
    c.node = "Snow";
    EXPECT_EQ(runQuietly(c), 2) << "no fall by that name";
    EXPECT_FALSE(std::filesystem::exists(path("edges.obj")));
    EXPECT_FALSE(std::filesystem::exists(path("edges.ply")));
}

}  // namespace
