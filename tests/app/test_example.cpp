// The built-in example: a readable OBJ town that the snow command snows, and clean
// failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/cmd_example.h"
#include "app/cmd_snow.h"
#include "app/obj_io.h"

using namespace tweather;
namespace fs = std::filesystem;

TEST(ExampleCommand, WritesATownTheSnowCommandSnows) {
    const fs::path dir = fs::temp_directory_path() / "tweather_example_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string town = (dir / "town.obj").string();
    ASSERT_EQ(runExampleCommand(town, 2000), 0);
    ObjMesh mesh;
    std::string error;
    ASSERT_TRUE(readObj(town, mesh, error)) << error;
    EXPECT_GE(mesh.faces.size() / 3, 2000u);
    EXPECT_LT(mesh.faces.size() / 3, 2600u);

    SnowCommand snow;
    snow.input = town;
    snow.output = (dir / "snowed.obj").string();
    snow.sets = {"maxTris=20000"};
    EXPECT_EQ(runSnowCommand(snow), 0);
    EXPECT_GT(fs::file_size(snow.output), fs::file_size(town));

    EXPECT_EQ(runExampleCommand(town, 10), 2);
    EXPECT_EQ(runExampleCommand((dir / "missing" / "town.obj").string(), 2000), 1);
    EXPECT_FALSE(fs::exists(dir / "missing"));
    fs::remove_all(dir);
}
