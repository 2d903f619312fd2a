// Shelter through the snow command: a roof (an occluder file) keeps snow off the ground
// beneath it, and wind piles snow in the lee of a wall.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/cmd_snow.h"
#include "app/obj_io.h"
#include "file_test.h"

using namespace tweather;
namespace fs = std::filesystem;

namespace {

class SnowShelterTest : public FileTest {
protected:
    // Runs the command; returns the snow vertices' heights sampled by region, and the
    // open-sky fraction from the statistics.
    struct Result {
        ObjMesh snow;
        double openSky = -1;
    };
    Result run(const std::string& input, const std::vector<std::string>& occluders, const std::string& shelter,
               std::vector<std::string> sets) const {
        SnowCommand c;
        c.input = input;
        c.output = path("out.obj");
        c.statsPath = path("stats.json");
        c.shelter = shelter;
        c.occluderFiles = occluders;
        sets.push_back("output=1");  // the snow alone
        c.sets = sets;
        Result r;
        EXPECT_EQ(runSnowCommand(c), 0);
        std::string error;
        EXPECT_TRUE(readObj(c.output, r.snow, error)) << error;
        std::ifstream stats(c.statsPath);
        std::stringstream text;
        text << stats.rdbuf();
        const std::string json = text.str();
        const size_t at = json.find("\"openSky\": ");
        if (at != std::string::npos) r.openSky = std::stod(json.substr(at + 11));
        return r;
    }

    // The highest snow vertex over the square [x0, x1] x [y0, y1].
    static float highestIn(const ObjMesh& m, float x0, float y0, float x1, float y1) {
        float top = -1e30f;
        for (const wx::V3& p : m.positions)
            if (p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1) top = std::max(top, p.z);
        return top;
    }

};

const char* kGround = "v 0 0 0\nv 40 0 0\nv 40 40 0\nv 0 40 0\nf 1 2 3 4\n";
// A wide roof 3 units up over the middle of the ground, facing down (no snow asked of it).
const char* kRoof = "v 10 10 3\nv 30 10 3\nv 30 30 3\nv 10 30 3\nf 1 4 3 2\n";

}  // namespace

TEST_F(SnowShelterTest, ARoofKeepsTheGroundBeneathItClear) {
    const std::string ground = write("ground.obj", kGround), roof = write("roof.obj", kRoof);
    const std::vector<std::string> sets = {"depth=1", "resolution=1", "noiseAmount=0", "occlusion=1"};

    Result open = run(ground, {}, "this-object", sets);
    Result covered = run(ground, {roof}, "this-object", sets);
    Result ignored = run(ground, {roof}, "nothing", sets);

    EXPECT_NEAR(open.openSky, 1.0, 1e-6);
    EXPECT_NEAR(ignored.openSky, 1.0, 1e-6);  // "nothing" casts no rays at all
    // Refined points crowd the ground's outer edges, so the mean falls less than the
    // covered area's share; it must still fall.
    EXPECT_LT(covered.openSky, open.openSky - 0.02);

    // In the open the snow stands its full depth; under the middle of the roof none lies.
    EXPECT_GT(highestIn(covered.snow, 1, 1, 5, 5), 0.9f);
    EXPECT_LT(highestIn(covered.snow, 17, 17, 23, 23), 0.05f);
    EXPECT_GT(highestIn(ignored.snow, 17, 17, 23, 23), 0.9f);
}

TEST_F(SnowShelterTest, WindPilesSnowInTheLeeOfAWall) {
    // Ground with a wall 2 units high across it at x = 20; the wind blows towards +X.
    const std::string scene = write(
        "yard.obj", std::string(kGround) + "v 20 0 0\nv 20 40 0\nv 20 40 2\nv 20 0 2\nf 5 6 7 8\nf 5 8 7 6\n");
    const std::vector<std::string> sets = {"depth=1",     "resolution=0.5", "noiseAmount=0", "occlusion=0",
                                           "drift=1",     "leeDist=6",      "windAngle=0",   "slopeMax=60"};
    Result r = run(scene, {}, "this-object", sets);
    const float lee = highestIn(r.snow, 20.5f, 15, 22, 25);       // just downwind of the wall
    const float windward = highestIn(r.snow, 15, 15, 18, 25);     // upwind of it
    const float far = highestIn(r.snow, 34, 15, 38, 25);          // open ground, beyond the lee reach
    EXPECT_GT(lee, far * 1.3f);
    EXPECT_LT(windward, lee * 0.85f);
    EXPECT_LT(windward, far * 1.1f);
}
