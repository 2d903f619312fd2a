#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/cmd_scene.h"
#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/module_loader.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "max/interface.h"

namespace fs = std::filesystem;

namespace {

struct SceneCmdTest : ::testing::Test {
    std::string dir;
    void SetUp() override {
        char t[] = "/tmp/wx_cmd_XXXXXX";
        dir = mkdtemp(t);
        host::resetScene();
        Interface* ip = GetCOREInterface();
        INode* box = ip->CreateObjectNode(host::createBox(10, 20, 30));
        box->SetName(L"crate");
        box->SetPosition(0, Point3(5, 0, 0));
        AnimateOn();
        box->GetObjectRef()->GetParamBlock(0)->SetValue(host::kBoxHeight, 320, 60.0f);
        AnimateOff();
        box->SetMtl(host::createStdMaterial(L"wood", Color(0.6f, 0.4f, 0.2f), 30));
        INode* lamp = ip->CreateObjectNode(host::createLight(OMNI_LGT, Color(1, 1, 1), 2));
        box->AttachChild(lamp, 0);
        std::string error;
        ASSERT_TRUE(host::saveScene(dir + "/in.scene", error)) << error;
    }
    void TearDown() override {
        fs::remove_all(dir);
        host::resetScene();
    }
};

TEST_F(SceneCmdTest, InfoDescribesNodesParametersAndKeys) {
    std::string text = tweather::describeScene(false, 0);
    EXPECT_NE(text.find("#1 crate"), std::string::npos) << text;
    EXPECT_NE(text.find("object: Box (0x10, 0x0)"), std::string::npos) << text;
    EXPECT_NE(text.find("height = 30  (animated, 2 keys)"), std::string::npos) << text;
    EXPECT_NE(tweather::describeScene(false, 160).find("height = 45  (animated"), std::string::npos);
    EXPECT_NE(text.find("material: Standard (0x2, 0x0) 'wood'"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  #2 "), std::string::npos) << text;  // the lamp, one level down
    EXPECT_NE(text.find("world: [[1, 0, 0], [0, 1, 0], [0, 0, 1], [5, 0, 0]]"), std::string::npos) << text;
    std::string json = tweather::describeScene(true, 0);
    EXPECT_NE(json.find("\"multiplier\""), std::string::npos);
    EXPECT_NE(json.find("\"keys\""), std::string::npos);
}

TEST_F(SceneCmdTest, ConvertWritesEveryFormatAndRefusesBadInput) {
    tweather::SceneOptions o;
    o.input = dir + "/in.scene";
    for (const char* out : {"/out.json", "/out.gltf", "/out.glb", "/out.obj"}) {
        o.output = dir + out;
        EXPECT_EQ(tweather::runSceneConvert(o), 0) << out;
        EXPECT_TRUE(fs::exists(o.output)) << out;
    }
    // The converted scene file reads back the same as the original.
    std::string a, b, error;
    host::readFile(dir + "/in.scene", a, error);
    host::readFile(dir + "/out.json", b, error);
    EXPECT_EQ(a, b);
    // glTF in, info out.
    o.input = dir + "/out.glb";
    o.json = true;
    EXPECT_EQ(tweather::runSceneInfo(o), 0);

    o.input = dir + "/missing.scene";
    EXPECT_EQ(tweather::runSceneInfo(o), 1);
    std::ofstream(dir + "/broken.scene") << "{\"format\": \"tweather-scene\", \"version\": 1, \"sett";
    o.input = dir + "/broken.scene";
    o.output = dir + "/never.gltf";
    EXPECT_EQ(tweather::runSceneConvert(o), 1);
    EXPECT_FALSE(fs::exists(o.output));
    o.output = dir + "/out.fbx";
    EXPECT_EQ(tweather::runSceneConvert(o), 2);
}

TEST_F(SceneCmdTest, PluginObjectsNeedTheirModule) {
    std::vector<std::string> errors;
    host::startUp({WX_TEST_MODULE}, errors);
    ASSERT_TRUE(errors.empty());
    Interface* ip = GetCOREInterface();
    ip->CreateObjectNode(
        static_cast<Object*>(ip->CreateInstance(GEOMOBJECT_CLASS_ID, Class_ID(0x5eed0001, 0x7e570002))));
    std::string error;
    ASSERT_TRUE(host::saveScene(dir + "/plugin.scene", error));
    host::moduleLoader().unloadAll();

    tweather::SceneOptions o;
    o.input = dir + "/plugin.scene";
    o.output = dir + "/plugin.gltf";
    o.plugins = {WX_TEST_MODULE};
    ASSERT_EQ(tweather::runSceneConvert(o), 0);
    // Exported through the module: the pyramid's six faces arrived.
    ASSERT_TRUE(host::importScene(o.output, error)) << error;
    int faces = 0;
    for (INode* n : host::currentScene().allNodes())
        if (auto* tri = dynamic_cast<TriObject*>(n->GetObjectRef())) faces += tri->GetMesh().numFaces;
    EXPECT_EQ(faces, 6 + 12);  // the pyramid and the crate
    // Without it the object is kept but has nothing to export.
    o.plugins.clear();
    o.output = dir + "/without.gltf";
    ASSERT_EQ(tweather::runSceneConvert(o), 0);
    ASSERT_TRUE(host::importScene(o.output, error)) << error;
    faces = 0;
    for (INode* n : host::currentScene().allNodes())
        if (auto* tri = dynamic_cast<TriObject*>(n->GetObjectRef())) faces += tri->GetMesh().numFaces;
    EXPECT_EQ(faces, 12);
}

}  // namespace
