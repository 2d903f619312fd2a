// The snow command end to end on files: exit codes, OBJ groups and UVs, the statistics
// JSON, parameter parsing and clamping, and OBJ input that must fail cleanly.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/cmd_snow.h"
#include "app/obj_io.h"
#include "app/snow_params.h"
#include "file_test.h"

using namespace tweather;

namespace {

namespace fs = std::filesystem;

class SnowCommandTest : public FileTest {
protected:
    int run(const std::string& input, std::vector<std::string> sets = {}, const std::string& stats = "") const {
        SnowCommand c;
        c.input = input;
        c.output = path("out.obj");
        c.sets = std::move(sets);
        c.statsPath = stats;
        return runSnowCommand(c);
    }
};

// A 100 x 100 quad (one polygon) over a downward triangle, with the usual extra statements.
const char* kQuadObj =
    "# quad\r\nmtllib none.mtl\no thing\nv 0 0 0\nv 100 0 0\nv 100 100 0\nv 0 100 0\n"
    "vt 0 0\nvn 0 0 1\ng top\nusemtl snowy\ns 1\nf 1/1/1 2/1/1 3/1/1 -1/1/1\n"
    "v 0 0 -5\nv 10 0 -5\nv 0 10 -5\nf 5//1 7//1 6//1\n";

TEST_F(SnowCommandTest, WritesObjectAndSnowGroupsWithUvsAndStats) {
    const std::string input = write("in.obj", kQuadObj);
    ASSERT_EQ(run(input, {"resolution=20", "uvScale=50"}, path("stats.json")), 0);
    const std::string out = read(path("out.obj"));
    const size_t objectGroup = out.find("\ng object\n"), snowGroup = out.find("\ng snow\n");
    ASSERT_NE(objectGroup, std::string::npos);
    ASSERT_NE(snowGroup, std::string::npos);
    EXPECT_LT(objectGroup, snowGroup);
    EXPECT_NE(out.find("\nf 1 2 3\n"), std::string::npos) << "the quad is fanned into triangles";
    EXPECT_NE(out.find("\nf 1 3 4\n"), std::string::npos);
    EXPECT_NE(out.find("\nvt "), std::string::npos);
    EXPECT_NE(out.find("/1 "), std::string::npos) << "snow faces carry their UVs";

    // Every snow face's vertex and UV indices exist.
    ObjMesh back;
    std::string error;
    ASSERT_TRUE(readObj(path("out.obj"), back, error)) << error;
    EXPECT_GT(back.faces.size(), 3u * 3u);

    const std::string stats = read(path("stats.json"));
    for (const char* field :
         {"\"facesIn\": 3", "\"upFacing\": 2", "\"trianglesOut\"", "\"verticesOut\"", "\"sceneTriangles\": 3",
          "\"detail\"", "\"buildMs\"", "\"refineMs\"", "\"shelterMs\"", "\"usedGPU\": false", "\"openSky\"",
          "\"meanAmount\"", "\"thickest\"", "\"status\": \"Render snow: "})
        EXPECT_NE(stats.find(field), std::string::npos) << field << " in\n" << stats;
    EXPECT_NE(stats.find("\\r\\nShelter: this object, CPU"), std::string::npos) << stats;
}

TEST_F(SnowCommandTest, SnowOnlyOutputAndRepeatableBytes) {
    const std::string input = write("in.obj", kQuadObj);
    ASSERT_EQ(run(input, {"output=1", "resolution=10"}), 0);
    const std::string first = read(path("out.obj"));
    EXPECT_EQ(first.find("g object"), std::string::npos);
    EXPECT_NE(first.find("g snow"), std::string::npos);
    EXPECT_EQ(first.find("\nv 0 0 -5\n"), std::string::npos) << "the object's vertices are left out";
    ASSERT_EQ(run(input, {"output=1", "resolution=10"}), 0);
    EXPECT_EQ(read(path("out.obj")), first) << "equal inputs give equal files";
}

TEST_F(SnowCommandTest, NoFlatFaceReportsWhy) {
    const std::string input = write("wall.obj", "v 0 0 0\nv 10 0 0\nv 10 0 10\nf 1 2 3\n");
    ASSERT_EQ(run(input, {}, path("stats.json")), 0);
    EXPECT_NE(read(path("stats.json")).find("No face here is flat enough for snow (steepest slope 55 deg)"),
              std::string::npos);
    EXPECT_EQ(read(path("out.obj")).find("g snow"), std::string::npos);

    // A flat face with no depth says that, not that the face is too steep.
    ASSERT_EQ(run(write("flat.obj", kQuadObj), {"depth=0"}, path("stats.json")), 0);
    EXPECT_NE(read(path("stats.json")).find("\"status\": \"Depth is 0, so no snow is built. Raise Depth.\""),
              std::string::npos)
        << read(path("stats.json"));
}

TEST_F(SnowCommandTest, UsageAndFileErrorsGiveTheirExitCodes) {
    const std::string input = write("in.obj", kQuadObj);
    EXPECT_EQ(run(input, {"colour=3"}), 2);
    EXPECT_EQ(run(input, {"depth=deep"}), 2);
    EXPECT_EQ(run(input, {"depth"}), 2);
    EXPECT_EQ(run(input, {"seed=1.5"}), 2);
    EXPECT_EQ(run(input, {"depth=nan"}), 2);
    EXPECT_EQ(run(input, {"closed=maybe"}), 2);
    EXPECT_EQ(run(path("missing.obj")), 1);
    SnowCommand c;
    c.input = input;
    c.output = path("no/such/folder/out.obj");
    EXPECT_EQ(runSnowCommand(c), 1);
    c.output = path("out.obj");
    c.statsPath = path("no/such/folder/stats.json");
    EXPECT_EQ(runSnowCommand(c), 1);
}

TEST(SnowParams, ClampWithWarningAndParseKinds) {
    SnowParamValues v;
    std::string warning, error;
    ASSERT_TRUE(applySnowSet("slopeMax=120", v, warning, error));
    EXPECT_EQ(v.get("slopeMax"), 89.0);
    EXPECT_NE(warning.find("slopeMax 120 is outside 0 .. 89; using 89"), std::string::npos) << warning;
    ASSERT_TRUE(applySnowSet("maxTris=5", v, warning, error));
    EXPECT_EQ(v.get("maxTris"), 1000.0);
    ASSERT_TRUE(applySnowSet("maxTris=99999999999999999999", v, warning, error));
    EXPECT_EQ(v.get("maxTris"), 50000000.0);
    ASSERT_TRUE(applySnowSet("windAngle=-30.5", v, warning, error));
    EXPECT_TRUE(warning.empty());
    ASSERT_TRUE(applySnowSet("closed=off", v, warning, error));
    ASSERT_TRUE(applySnowSet("useGPU=0", v, warning, error));
    const wx::SnowSettings s = toSnowSettings(v);
    EXPECT_EQ(s.slopeMax, 89.0f);
    EXPECT_EQ(s.maxTris, 50000000);
    EXPECT_EQ(s.windAngle, -30.5f);
    EXPECT_FALSE(s.closed);
    EXPECT_FALSE(s.useGPU);
    // The modifier's defaults, not the record's own.
    EXPECT_EQ(s.edgeRound, 6.0f);
    EXPECT_EQ(s.patchScale, 80.0f);
    EXPECT_EQ(s.maxTris, 50000000);
    EXPECT_EQ(toSnowSettings(SnowParamValues{}).maxTris, 500000);
    EXPECT_EQ(toSnowSettings(SnowParamValues{}).leeDist, 300.0f);

    EXPECT_FALSE(applySnowSet("Depth=3", v, warning, error)) << "names are case-sensitive";
    EXPECT_NE(error.find("Valid names: depth, slopeMax"), std::string::npos) << error;
    EXPECT_EQ(snowParamTable().size(), 26u);
}

struct BadObj {
    const char* name;
    std::string text;
    const char* message;  // expected in the error, after "file:line: "
};
class BadObjInput : public ::testing::TestWithParam<BadObj> {};

TEST_P(BadObjInput, FailsWithFileAndLine) {
    const fs::path p = fs::temp_directory_path() / (std::string("tweather_bad_") + GetParam().name + ".obj");
    std::ofstream(p, std::ios::binary) << GetParam().text;
    ObjMesh mesh;
    std::string error;
    EXPECT_FALSE(readObj(p.string(), mesh, error));
    EXPECT_NE(error.find(p.string() + ":"), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
    EXPECT_TRUE(mesh.positions.empty() && mesh.faces.empty());
    fs::remove(p);
}

INSTANTIATE_TEST_SUITE_P(
    Obj, BadObjInput,
    ::testing::Values(BadObj{"shortVertex", "v 1 2\n", ":1: a vertex needs three numbers"},
                      BadObj{"wordVertex", "v 1 2 x\n", ":1: a vertex needs three numbers, got 'x'"},
                      BadObj{"indexTooHigh", "v 0 0 0\nv 1 0 0\nv 0 1 0\n\nf 1 2 9\n", ":5: face refers to vertex 9"},
                      BadObj{"indexZero", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", ":4: bad face corner '0'"},
                      BadObj{"relativeTooFar", "v 0 0 0\nf -1 -2 -3\n", ":2: face corner -2 reaches back"},
                      BadObj{"twoCorners", "v 0 0 0\nv 1 0 0\nf 1 2\n", ":3: a face needs at least three corners"},
                      BadObj{"garbageCorner", "v 0 0 0\nf 1 a 2\n", ":2: bad face corner 'a'"},
                      BadObj{"hugeIndex", "v 0 0 0\nf 1 2 99999999999999999999\n", ":2: bad face corner"},
                      BadObj{"binary", std::string("v 0 0 0\n\0\1\2", 11), ":2: not a text line"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ObjInput, NonFiniteAndHugeNumbersStillRead) {
    const fs::path p = fs::temp_directory_path() / "tweather_nonfinite.obj";
    std::ofstream(p, std::ios::binary) << "v nan 0 0\nv 1e60 0 0\nv +1 -inf 2\nf 1 2 3\n";
    ObjMesh mesh;
    std::string error;
    ASSERT_TRUE(readObj(p.string(), mesh, error)) << error;
    ASSERT_EQ(mesh.positions.size(), 3u);
    EXPECT_TRUE(std::isnan(mesh.positions[0].x));
    EXPECT_TRUE(std::isinf(mesh.positions[1].x));
    EXPECT_EQ(mesh.positions[2].x, 1.0f);
    fs::remove(p);
}

}  // namespace
