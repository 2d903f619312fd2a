// The snow command through the host and the weather plug-in: what it writes, what it says,
// and how it refuses bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "file_test.h"
#include "snow_run.h"

using namespace tweather;

namespace {

const char* kGround = "o ground\nv 0 0 0\nv 400 0 0\nv 400 400 0\nv 0 400 0\nf 1 2 3 4\n";
// A wide roof 60 units up over the middle of the ground, facing down.
const char* kRoof = "o roof\nv 100 100 60\nv 300 100 60\nv 300 300 60\nv 100 300 60\nf 1 4 3 2\n";

class SnowCommandTest : public FileTest {
protected:
    SnowCommand command(const std::string& input) const {
        SnowCommand c;
        c.input = input;
        c.outputs = {path("out.obj")};
        c.statsPath = path("stats.json");
        return c;
    }
    nlohmann::json stats() const { return nlohmann::json::parse(read(path("stats.json"))); }
};

TEST_F(SnowCommandTest, SnowsEveryMeshAndReportsEachNode) {
    write("scene.obj", std::string(kGround) + "o slab\nv 0 0 100\nv 50 0 100\nv 50 50 100\nv 0 50 100\nf 1 2 3 4\n");
    SnowCommand c = command(path("scene.obj"));
    c.outputs.push_back(path("out.glb"));
    c.sets = {"resolution=20", "depth=15"};
    c.previewPath = path("preview.png");
    c.previewSize = "64x36";
    c.previewSamples = 1;
    ASSERT_EQ(runSnowCommand(c), 0);
    EXPECT_GT(std::filesystem::file_size(path("preview.png")), 64u * 36u) << "a 16-bit RGBA picture";
    const nlohmann::json s = stats();
    EXPECT_EQ(s["detail"], "viewport");
    for (const char* name : {"ground", "slab"}) {
        const auto& node = s["nodes"][name];
        EXPECT_EQ(node["status"].get<std::string>().rfind("Viewport snow: ", 0), 0u) << node.dump();
        EXPECT_NE(node["status"].get<std::string>().find("Shelter: whole scene, CPU"), std::string::npos)
            << "the scene was gathered before the final build: " << node.dump();
        EXPECT_GT(node["outputFaces"].get<int>(), node["inputFaces"].get<int>());
    }
    const std::vector<Point3> ground = exportedVertices(path("out.obj"), L"ground");
    EXPECT_GT(highestIn(ground, 300, 300, 400, 400), 10.0f) << "depth 15 reaches the open ground";
    EXPECT_LT(highestIn(ground, 300, 300, 400, 400), 20.0f);
    EXPECT_GT(std::filesystem::file_size(path("out.glb")), 1000u);
}

// The builder's own figures sit beside the status in each node's entry, and they agree with
// the faces the command counts itself.
TEST_F(SnowCommandTest, EachNodeCarriesItsBuildFigures) {
    // A box lid with one vertical side: two of its four triangles face up.
    write("scene.obj", std::string(kGround) +
                           "o box\nv 0 0 100\nv 50 0 100\nv 50 50 100\nv 0 50 100\nv 0 0 50\nv 50 0 50\n"
                           "f 1 2 3 4\nf 5 6 2 1\n");
    SnowCommand c = command(path("scene.obj"));
    c.sets = {"resolution=20", "depth=15"};
    ASSERT_EQ(runSnowCommand(c), 0);
    nlohmann::json nodes = stats()["nodes"];
    const int sceneFaces = nodes["ground"]["inputFaces"].get<int>() + nodes["box"]["inputFaces"].get<int>();
    for (const char* name : {"ground", "box"}) {
        const auto& node = nodes[name];
        for (const char* figure : {"facesIn", "upFacing", "trianglesOut", "verticesOut", "sceneTriangles", "detail",
                                   "buildMs", "refineMs", "shelterMs", "usedGPU", "openSky", "meanAmount", "thickest"})
            EXPECT_TRUE(node.contains(figure)) << name << " lacks " << figure << ": " << node.dump();
        EXPECT_EQ(node["facesIn"], node["inputFaces"]) << node.dump();
        EXPECT_EQ(node["outputFaces"].get<int>(), node["inputFaces"].get<int>() + node["trianglesOut"].get<int>())
            << "the snow goes beside the object: " << node.dump();
        EXPECT_EQ(node["sceneTriangles"].get<int>(), sceneFaces) << "the whole scene shelters: " << node.dump();
        EXPECT_GT(node["verticesOut"].get<int>(), 0);
        EXPECT_GT(node["detail"].get<double>(), 0.0);
        EXPECT_GE(node["buildMs"].get<double>() + 1e-6,
                  node["refineMs"].get<double>() + node["shelterMs"].get<double>())
            << "refining and sheltering are parts of the build: " << node.dump();
        EXPECT_GE(node["openSky"].get<double>(), 0.0);
        EXPECT_LE(node["openSky"].get<double>(), 1.0);
        EXPECT_GT(node["meanAmount"].get<double>(), 0.0);
        EXPECT_GT(node["thickest"].get<double>(), 0.0);
    }
    EXPECT_EQ(nodes["ground"]["upFacing"], 2);
    EXPECT_EQ(nodes["box"]["upFacing"], 2) << "the vertical side takes no snow";
    EXPECT_LT(nodes["ground"]["openSky"].get<double>(), 1.0) << "the box lid shades part of the ground";

    c.shelter = "nothing";
    ASSERT_EQ(runSnowCommand(c), 0);
    nodes = stats()["nodes"];
    EXPECT_EQ(nodes["ground"]["sceneTriangles"], 0);
    EXPECT_EQ(nodes["ground"]["openSky"], 1.0) << "nothing measured counts as open sky";
}

TEST_F(SnowCommandTest, OccluderRoofKeepsTheGroundBeneathItBareUnlessShelterIsOff) {
    write("ground.obj", kGround);
    write("roof.obj", kRoof);
    SnowCommand c = command(path("ground.obj"));
    c.occluderFiles = {path("roof.obj")};
    c.sets = {"resolution=10", "noiseAmount=0", "output=1"};
    c.renderDetail = true;
    ASSERT_EQ(runSnowCommand(c), 0);
    EXPECT_EQ(stats()["detail"], "render");
    EXPECT_FALSE(stats()["nodes"].contains("roof (occluder)")) << "occluders get no snow";
    std::vector<Point3> snow = exportedVertices(path("out.obj"), L"ground");
    // 60 units up, a 25 degree cone reaches 28 units in from the roof's edge.
    EXPECT_LT(highestIn(snow, 140, 140, 260, 260), 1.0f);
    EXPECT_GT(highestIn(snow, 0, 0, 60, 60), 8.0f);

    c.shelter = "nothing";
    ASSERT_EQ(runSnowCommand(c), 0);
    snow = exportedVertices(path("out.obj"), L"ground");
    EXPECT_GT(highestIn(snow, 140, 140, 260, 260), 8.0f);
    EXPECT_NE(stats()["nodes"]["ground"]["status"].get<std::string>().find("Shelter: off"), std::string::npos);
}

TEST_F(SnowCommandTest, ClampsWithAWarningAndSnowsOnlyTheNamedNode) {
    write("scene.obj", std::string(kGround) + "o other\nv 0 0 50\nv 40 0 50\nv 40 40 50\nf 1 2 3\n");
    SnowCommand c = command(path("scene.obj"));
    c.sets = {"depth=5000000", "resolution=20"};
    c.onNodes = {"other"};
    testing::internal::CaptureStderr();
    ASSERT_EQ(runSnowCommand(c), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("depth 5000000 is outside 0 .. 1e+06; using 1e+06"), std::string::npos) << err;
    EXPECT_TRUE(stats()["nodes"].contains("other"));
    EXPECT_FALSE(stats()["nodes"].contains("ground"));
}

TEST_F(SnowCommandTest, BadInputGivesAClearMessageAndItsExitCode) {
    write("ground.obj", kGround);
    struct Case {
        const char* what;
        std::function<void(SnowCommand&)> change;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"unknown parameter", [](SnowCommand& c) { c.sets = {"depht=3"}; }, 2, "the parameters are: enabled, depth"},
        {"not a number", [](SnowCommand& c) { c.sets = {"depth=deep"}; }, 2, "depth takes a number"},
        {"fraction for a whole number", [](SnowCommand& c) { c.sets = {"seed=1.5"}; }, 2, "whole number"},
        {"not a switch", [](SnowCommand& c) { c.sets = {"closed=maybe"}; }, 2, "closed is a switch"},
        {"no equals", [](SnowCommand& c) { c.sets = {"depth"}; }, 2, "is not NAME=VALUE"},
        {"node table", [](SnowCommand& c) { c.sets = {"regions=1"}; }, 2, "cannot be set from the command line"},
        {"unknown node", [](SnowCommand& c) { c.onNodes = {"house"}; }, 2, "the mesh nodes are: ground"},
        {"output type", [](SnowCommand& c) { c.outputs = {"out.png"}; }, 2, "must be .obj, .gltf or .glb"},
        {"shelter word", [](SnowCommand& c) { c.shelter = "roof"; }, 2, "--shelter must be"},
        {"missing input", [](SnowCommand& c) { c.input = "/nonexistent/in.obj"; }, 1, "in.obj"},
        {"unwritable output", [](SnowCommand& c) { c.outputs = {"/nonexistent/out.obj"}; }, 1, "/nonexistent"},
    };
    for (const Case& k : cases) {
        SnowCommand c = command(path("ground.obj"));
        k.change(c);
        testing::internal::CaptureStderr();
        EXPECT_EQ(runSnowCommand(c), k.code) << k.what;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(k.message), std::string::npos) << k.what << ": " << err;
    }
}

}  // namespace
