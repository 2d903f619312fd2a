// The fall mesh command: the OBJ holds the geometry-mode mesh (whatever renderMode says)
// vertex for vertex in world space and face for face in order with its material group;
// glTF carries the same faces through the exporter; bad input fails with its code and
// leaves no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/cmd_fall_mesh.h"
#include "app/weather_module.h"
#include "fall/fall_field.h"
#include "fall/fall_params.h"
#include "fall/fall_render_mesh.h"
#include "file_test.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_block2.h"

using namespace tweather;

namespace {

constexpr int kCount = 40;

class FallMeshCommandTest : public FileTest {
protected:
    // A scene with one rain fall (left in GPU-splat mode, material ID 3) on a turned,
    // scaled and moved node; or with none.
    std::string makeScene(const std::string& name, bool withFall, wx::FallMatrix* worldFromObject = nullptr) {
        std::string warning, error;
        std::vector<std::string> errors;
        host::startUp(modulesToLoad({}, warning), errors);
        if (withFall) {
            ClassDesc* desc = host::classRegistry().findByName(L"WeatherFall");
            EXPECT_NE(desc, nullptr) << warning;
            auto* obj = static_cast<Object*>(desc->Create(FALSE));
            IParamBlock2* pb = obj->GetParamBlock(0);
            pb->SetValue(wx::kFallType, 0, int(wx::kFallRain));
            pb->SetValue(wx::kFallCount, 0, kCount);
            pb->SetValue(wx::kFallMatID, 0, 3);
            pb->SetValue(wx::kFallWindSpeed, 0, 40.0f);
            INode* node = GetCOREInterface()->CreateObjectNode(obj);
            node->SetName(L"Rain");
            Matrix3 tm = RotateZMatrix(0.8f) * ScaleMatrix(Point3(2.0f, 2.0f, 0.5f));
            tm.SetTrans(Point3(120.0f, -35.0f, 18.0f));
            node->SetNodeTM(0, tm);
            if (worldFromObject) {
                const Matrix3 back = node->GetObjectTM(0);
                auto v3 = [](const Point3& p) { return wx::V3{p.x, p.y, p.z}; };
                *worldFromObject = {v3(back.GetRow(0)), v3(back.GetRow(1)), v3(back.GetRow(2)), v3(back.GetRow(3))};
            }
        } else {
            GetCOREInterface()->CreateObjectNode(CreateNewTriObject())->SetName(L"box");
        }
        const std::string file = path(name);
        EXPECT_TRUE(host::saveScene(file, error)) << error;
        host::shutDown();
        return file;
    }

    FallMeshCommand command(const std::string& scene, const std::string& out) const {
        return FallMeshCommand{scene, {}, std::string(1, '0'), path(out), {}};
    }

    static int runQuietly(const FallMeshCommand& c) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int rc = runFallMesh(c);
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        return rc;
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FallMeshCommandTest, ObjIsTheGeometryMeshInWorldSpaceInOrder) {
    wx::FallMatrix m;
    const std::string scene = makeScene("rain.scene", true, &m);
    ASSERT_EQ(runQuietly(command(scene, "rain.obj")), 0);
    std::istringstream in(read(path("rain.obj")));
    std::vector<wx::V3> verts;
    std::vector<std::array<int, 3>> faces;
    std::vector<std::string> groups;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "v") {
            wx::V3 v;
            words >> v.x >> v.y >> v.z;
            verts.push_back(v);
        } else if (key == "f") {
            std::array<int, 3> f;
            words >> f[0] >> f[1] >> f[2];
            faces.push_back(f);
        } else if (key == "usemtl") {
            std::string name;
            words >> name;
            groups.push_back(name + "@" + std::to_string(faces.size()));
        }
    }
    ASSERT_EQ(verts.size(), size_t(5 * kCount));
    ASSERT_EQ(faces.size(), size_t(6 * kCount));
    // Material ID 3 is material index 2, one group before the first face.
    EXPECT_EQ(groups, std::vector<std::string>{"material_2@0"});
    for (size_t f = 0; f < faces.size(); ++f)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(faces[f][c], int(5 * (f / 6) + wx::kFallDropCorners[f % 6][c] + 1)) << "face " << f;
    // Each drop's head is its particle's world position.
    wx::FallInputs fin;
    fin.type = wx::kFallRain;
    fin.count = kCount;
    fin.windSpeed = 40.0f;
    const wx::FallParams p = wx::makeFallParams(fin, wx::FallCountMode::Render);
    for (int i = 0; i < kCount; ++i) {
        const wx::V3 expected = wx::fallWorld(p, uint64_t(i), 0.0f, m).pos;
        const wx::V3 head = verts[size_t(5 * i)];
        EXPECT_NEAR(head.x, expected.x, 2e-2f) << i;
        EXPECT_NEAR(head.y, expected.y, 2e-2f) << i;
        EXPECT_NEAR(head.z, expected.z, 2e-2f) << i;
    }
}

TEST_F(FallMeshCommandTest, GltfCarriesTheSameFaces) {
    const std::string scene = makeScene("rain.scene", true);
    ASSERT_EQ(runQuietly(command(scene, "rain.glb")), 0);
    std::string warning, error;
    std::vector<std::string> errors;
    host::startUp(modulesToLoad({}, warning), errors);
    ASSERT_TRUE(host::importScene(path("rain.glb"), error)) << error;
    int faces = 0;
    for (INode* node : host::currentScene().allNodes()) {
        Object* obj = node->EvalWorldState(0).obj;
        if (obj && obj->ClassID() == triObjectClassID) faces += static_cast<TriObject*>(obj)->GetMesh().getNumFaces();
    }
    host::shutDown();
    EXPECT_EQ(faces, 6 * kCount);
}

TEST_F(FallMeshCommandTest, BadInputFailsWithItsCodeAndLeavesNoFile) {
    const std::string scene = makeScene("one.scene", true);
    const std::string empty = makeScene("empty.scene", false);
    const std::vector<std::string> before = files();
    struct Case {
        const char* what;
        FallMeshCommand c;
        int rc;
    };
    std::vector<Case> cases = {
        {"missing scene", command(path("nowhere.scene"), "out.obj"), 1},
        {"scene with no fall", command(empty, "out.obj"), 1},
        {"missing folder", command(scene, "no/such/out.obj"), 1},
        {"wrong extension", command(scene, "out.ply"), 2},
        {"frame not a number", command(scene, "out.obj"), 2},
        {"node names nothing", command(scene, "out.gltf"), 2},
    };
    cases[4].c.frame = "ten";
    cases[5].c.node = "Nothing";
    for (const Case& k : cases) {
        EXPECT_EQ(runQuietly(k.c), k.rc) << k.what;
        EXPECT_EQ(files(), before) << k.what << ": nothing is left behind";
    }
}

}  // namespace
