// The map command through the host and the weather plug-in: a map put on a node's material
// (a shared material copied first), its values at points and baked over the node's map
// channel agreeing, the captured scene keeping the ground under a roof dry, and bad input
// refused with no file written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/cmd_map.h"
#include "app/cmd_scene.h"
#include "app/map_points.h"
#include "app/weather_module.h"
#include "file_test.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/image_files.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/std_materials.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/material.h"

using namespace tweather;

namespace {

// The data rows of a CSV file, each split at its commas.
std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream ls(line);
        std::string cell;
        while (std::getline(ls, cell, ',')) f.push_back(cell);
        rows.push_back(f);
    }
    return rows;
}

TEST(MapPoints, ReadsRowsAndRefusesBadOnesByLine) {
    MapPointTable table;
    std::string error;
    ASSERT_TRUE(
        readMapPoints("node,x,y,z,nx,ny,nz,u,v,face,time,vx,vy,vz\r\n"
                      "ground, 1.5,2,3,0,0,1,0.25,0.75,12,-3.5,0,1,-1\n\n"
                      ",4,5,6,0,1,0,0,0,0,0,1,0,0\n",
                      table, error))
        << error;
    ASSERT_EQ(table.points.size(), 2u);
    EXPECT_EQ(table.header, "node,x,y,z,nx,ny,nz,u,v,face,time,vx,vy,vz");
    const MapPoint& p = table.points[0];
    EXPECT_EQ(p.text, "ground, 1.5,2,3,0,0,1,0.25,0.75,12,-3.5,0,1,-1");
    EXPECT_EQ(p.node, "ground");
    EXPECT_EQ(p.position[0], 1.5);
    EXPECT_EQ(p.v, 0.75);
    EXPECT_EQ(p.face, 12);
    ASSERT_TRUE(p.frame && p.view);
    EXPECT_EQ(*p.frame, -3.5);
    EXPECT_EQ((*p.view)[2], -1.0);
    EXPECT_EQ(table.points[1].node, "");
    ASSERT_TRUE(readMapPoints("x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0,0\n", table, error));
    EXPECT_FALSE(table.points[0].frame || table.points[0].view) << "optional columns stay absent";

    struct Bad {
        const char* text;
        const char* says;
    };
    const Bad bad[] = {
        {"x,y,z,nx,ny,u,v\n", "line 1: the header lacks the column(s) nz"},
        {"x,y,z,nx,ny,nz,u,v,vx,vy\n", "line 1: a view direction needs all of vx, vy and vz"},
        {"x,y,z,nx,ny,nz,u,v,x\n", "line 1: the column 'x' appears twice"},
        {"x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0,0\n0,0,0,0,0,1,0\n", "line 3: 7 fields where the header has 8"},
        {"x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0,0,9\n", "line 2: 9 fields where the header has 8"},
        {"x,y,z,nx,ny,nz,u,v\nnan,0,0,0,0,1,0,0\n", "line 2: 'x' is not a finite number: 'nan'"},
        {"x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,inf,0,0\n", "line 2: 'nz' is not a finite number: 'inf'"},
        {"x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0,1e999\n", "line 2: 'v' is not a finite number: '1e999'"},
        {"x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,,0\n", "line 2: 'u' is not a finite number: ''"},
        {"x,y,z,nx,ny,nz,u,v,face\n0,0,0,0,0,1,0,0,2.5\n", "line 2: 'face' must be a whole number, not '2.5'"},
        {"x,y,z,nx,ny,nz,u,v,face\n0,0,0,0,0,1,0,0,3e9\n", "line 2: 'face' must be a whole number, not '3e9'"},
        {"\n\n", "the file is empty"},
    };
    for (const Bad& b : bad) {
        EXPECT_FALSE(readMapPoints(b.text, table, error)) << b.text;
        EXPECT_EQ(error.substr(0, std::string(b.says).size()), b.says) << b.text;
    }
}

TEST(MapPoints, ShortestDigitsReadBackExactly) {
    for (float v : {0.1f, 1.0f / 3.0f, -0.0f, 1e-45f, 3.4028235e38f, 0.5f, 16777217.0f}) {
        const std::string text = shortestFloat(v);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
        EXPECT_EQ(std::signbit(std::strtof(text.c_str(), nullptr)), std::signbit(v));
    }
    EXPECT_EQ(shortestFloat(0.1f), "0.1");
    EXPECT_EQ(shortestFloat(0.5f), "0.5");
}

class MapCommandTest : public FileTest {
protected:
    void TearDown() override {
        host::shutDown();
        FileTest::TearDown();
    }

    void startHost() {
        std::string warning;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        host::resetScene();
    }

    // Centimetres: a 10 m ground (1 x 1 segments, so face 0 holds u > v) and a wall that
    // share a material, and a 4 m roof 3 m over the ground's centre.
    std::string yardScene() {
        startHost();
        Interface* ip = GetCOREInterface();
        Mtl* concrete = host::createStdMaterial(L"concrete", Color(0.5f, 0.5f, 0.5f), 40.0f);
        INode* ground = ip->CreateObjectNode(host::createPlane(1000, 1000, 1, 1));
        ground->SetName(L"ground");
        ground->SetMtl(concrete);
        INode* wall = ip->CreateObjectNode(host::createBox(10, 100, 100));
        wall->SetName(L"wall");
        wall->SetPosition(0, Point3(0, 450, 0));
        wall->SetMtl(concrete);
        INode* roof = ip->CreateObjectNode(host::createPlane(400, 400, 1, 1));
        roof->SetName(L"roof");
        roof->SetPosition(0, Point3(0, 0, 300));
        std::string error;
        const std::string file = path("yard.scene");
        EXPECT_TRUE(host::saveScene(file, error)) << error;
        host::shutDown();
        return file;
    }

    std::string wetYard(std::vector<std::string> sets = {"breakup=0", "puddleAmount=0"}) {
        MapAddCommand add;
        add.scene = yardScene();
        add.map = "wet";
        add.on = {"ground"};
        add.sets = std::move(sets);
        add.output = path("wet.scene");
        EXPECT_EQ(runMapAdd(add), 0);
        return add.output;
    }
};

TEST_F(MapCommandTest, AddPutsTheMapOnACopyOfASharedMaterial) {
    const std::string wet = wetYard({"breakup=0", "puddleScale=40", "seed=3"});
    startHost();
    std::string error;
    ASSERT_TRUE(host::loadScene(wet, error)) << error;
    Interface* ip = GetCOREInterface();
    Mtl* groundMtl = ip->GetINodeByName(L"ground")->GetMtl();
    Mtl* wallMtl = ip->GetINodeByName(L"wall")->GetMtl();
    ASSERT_NE(groundMtl, wallMtl) << "the wall keeps the material as it was";
    EXPECT_EQ(wallMtl->GetSubTexmap(ID_SH), nullptr);
    Texmap* map = groundMtl->GetSubTexmap(ID_SH);
    ASSERT_NE(map, nullptr) << "a mask goes to the glossiness slot";
    EXPECT_EQ(std::wstring(map->GetName()), L"wet");
    EXPECT_EQ(map->GetParamBlock(0)->GetFloat(4), 40.0f) << "puddleScale as set";
    EXPECT_EQ(map->GetParamBlock(0)->GetFloat(17), 100.0f) << "breakupScale stays 100 cm in a centimetre scene";
    EXPECT_EQ(map->GetParamBlock(0)->GetInt(14), 3);

    // scene info shows the map's block by internal name.
    const std::string json = describeScene(true, 0);
    EXPECT_NE(json.find("\"puddleScale\""), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"wet\""), std::string::npos);
    host::shutDown();

    // The same name again reuses the map; a bump mode defaults to the bump slot.
    MapAddCommand again;
    again.scene = wet;
    again.map = "wet";
    again.on = {"wall"};
    again.sets = {"mode=2"};
    again.output = path("wet2.scene");
    ASSERT_EQ(runMapAdd(again), 0);
    startHost();
    ASSERT_TRUE(host::loadScene(again.output, error)) << error;
    ip = GetCOREInterface();
    Mtl* wall2 = ip->GetINodeByName(L"wall")->GetMtl();
    Texmap* bump = wall2->GetSubTexmap(ID_BU);
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump, ip->GetINodeByName(L"ground")->GetMtl()->GetSubTexmap(ID_SH)) << "one map, reused";
}

TEST_F(MapCommandTest, SampleAndBakeAgreeAndTheRoofKeepsTheGroundDry) {
    const std::string wet = wetYard();
    const std::string points = write("points.csv",
                                     "x,y,z,nx,ny,nz,u,v,face\n"
                                     "10,-20,0,0,0,1,0.51,0.48,0\n"     // under the roof
                                     "400,-420,0,0,0,1,0.9,0.08,0\n"    // in the open
                                     "-300,250,0,0,0,1,0.2,0.75,1\n");  // in the open
    MapSampleCommand sample;
    sample.scene = wet;
    sample.map = "wet";
    sample.points = points;
    sample.output = path("values.csv");
    ASSERT_EQ(runMapSample(sample), 0);
    const std::string out = read(sample.output);
    EXPECT_EQ(out.substr(0, out.find('\n')),
              "x,y,z,nx,ny,nz,u,v,face,mono,color_r,color_g,color_b,color_a,perturb_x,perturb_y,perturb_z");
    const auto rows = csvRows(out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][9], "0") << "dry under the roof";
    EXPECT_EQ(rows[1][9], "1");
    EXPECT_EQ(rows[1][13], "1") << "alpha";
    EXPECT_EQ(rows[1][14], "0") << "a mask bumps nothing";

    sample.noCapture = true;
    sample.output = path("uncovered.csv");
    ASSERT_EQ(runMapSample(sample), 0);
    EXPECT_EQ(csvRows(read(sample.output))[0][9], "1") << "without the captured scene nothing is covered";

    // The bake over the ground's channel 1 gives what sampling the same surface points gives.
    MapBakeCommand bake;
    bake.scene = wet;
    bake.node = "ground";
    bake.map = "wet";
    bake.size = "20x20";
    bake.output = path("wet.exr");
    ASSERT_EQ(runMapBake(bake), 0);
    host::ImageFile image;
    std::string error;
    ASSERT_EQ(host::readImageFile(bake.output, image, true, error), BMMRES_SUCCESS) << error;
    ASSERT_EQ(image.width, 20);
    std::string rowsText = "x,y,z,nx,ny,nz,u,v,face\n";
    std::vector<float> baked;
    for (int j = 0; j < 20; j += 3)
        for (int i = 0; i < 20; i += 3) {
            const float u = (float(i) + 0.5f) / 20.0f, v = 1.0f - (float(j) + 0.5f) / 20.0f;
            rowsText += std::to_string((u - 0.5) * 1000) + "," + std::to_string((v - 0.5) * 1000) + ",0,0,0,1," +
                        std::to_string(u) + "," + std::to_string(v) + "," + (u > v ? "0" : "1") + "\n";
            const size_t at = (size_t(j) * 20 + size_t(i)) * 4;
            EXPECT_EQ(image.rgba[at + 3], 1.0f);
            baked.push_back(image.rgba[at]);
        }
    sample.noCapture = false;
    sample.points = write("texels.csv", rowsText);
    sample.output = path("texels-out.csv");
    ASSERT_EQ(runMapSample(sample), 0);
    const auto texels = csvRows(read(sample.output));
    ASSERT_EQ(texels.size(), baked.size());
    int dry = 0;
    for (size_t k = 0; k < baked.size(); ++k) {
        // Partly covered points depend on the probe's ray pattern, which the last bits of the
        // position pick: there the two may differ by a ray or two of the eight.
        const bool partial = baked[k] > 0.0f && baked[k] < 1.0f;
        EXPECT_NEAR(std::stof(texels[k][9]), baked[k], partial ? 0.25f : 1e-6f) << "texel " << k;
        dry += baked[k] < 0.5f;
    }
    EXPECT_GT(dry, 0) << "some texels lie under the roof";
    EXPECT_LT(dry, int(baked.size()) / 4);

    // A mask PNG holds the values as data (code = value x 65535; the host's reader takes a
    // PNG's codes for sRGB colour and undoes that curve).
    bake.output = path("wet.png");
    bake.padding = 0;
    ASSERT_EQ(runMapBake(bake), 0);
    host::ImageFile png;
    ASSERT_EQ(host::readImageFile(bake.output, png, true, error), BMMRES_SUCCESS) << error;
    for (size_t k = 0; k < png.rgba.size(); k += 4) {
        EXPECT_NEAR(png.rgba[k], host::srgbToLinear(image.rgba[k]), 1e-4f) << k;
        EXPECT_EQ(png.rgba[k + 3], 1.0f) << "the plane fills its whole channel";
    }
}

TEST_F(MapCommandTest, BadInputSaysWhatAndWritesNothing) {
    const std::string wet = wetYard();
    const std::string good = write("good.csv", "x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0,0\n");
    MapSampleCommand sample;
    sample.scene = wet;
    sample.map = "wet";
    sample.points = good;
    sample.output = path("out.csv");

    MapSampleCommand unknownMap = sample;
    unknownMap.map = "dry";
    EXPECT_EQ(runMapSample(unknownMap), 2);
    MapSampleCommand ragged = sample;
    ragged.points = write("ragged.csv", "x,y,z,nx,ny,nz,u,v\n0,0,0,0,0,1,0\n");
    EXPECT_EQ(runMapSample(ragged), 1);
    MapSampleCommand nanRow = sample;
    nanRow.points = write("nan.csv", "x,y,z,nx,ny,nz,u,v\n0,0,nan,0,0,1,0,0\n");
    EXPECT_EQ(runMapSample(nanRow), 1);
    MapSampleCommand missing = sample;
    missing.points = write("missing.csv", "x,y,z,u,v\n0,0,0,0,0\n");
    EXPECT_EQ(runMapSample(missing), 1);
    MapSampleCommand strangerNode = sample;
    strangerNode.points = write("node.csv", "x,y,z,nx,ny,nz,u,v,node\n0,0,0,0,0,1,0,0,shed\n");
    EXPECT_EQ(runMapSample(strangerNode), 1);
    MapSampleCommand noFile = sample;
    noFile.points = path("absent.csv");
    EXPECT_EQ(runMapSample(noFile), 1);
    EXPECT_FALSE(std::filesystem::exists(sample.output));

    MapAddCommand add;
    add.scene = wet;
    add.map = "wet";
    add.on = {"shed"};
    add.output = path("add.scene");
    EXPECT_EQ(runMapAdd(add), 2) << "unknown node";
    add.on = {"ground"};
    add.slot = "roughness";
    EXPECT_EQ(runMapAdd(add), 2) << "unknown slot";
    add.slot = "";
    add.sets = {"wetnes=1"};
    EXPECT_EQ(runMapAdd(add), 2) << "unknown parameter";
    EXPECT_FALSE(std::filesystem::exists(add.output));

    MapBakeCommand bake;
    bake.scene = wet;
    bake.node = "ground";
    bake.map = "wet";
    bake.output = path("bake.png");
    MapBakeCommand b = bake;
    b.node = "shed";
    EXPECT_EQ(runMapBake(b), 2);
    b = bake;
    b.channel = 7;
    EXPECT_EQ(runMapBake(b), 2) << "the ground has no channel 7";
    b = bake;
    b.what = "height";
    EXPECT_EQ(runMapBake(b), 2);
    b = bake;
    b.map = "dry";
    EXPECT_EQ(runMapBake(b), 2);
    EXPECT_FALSE(std::filesystem::exists(bake.output));
}

}  // namespace
