// What plug-ins leave on a scene that must outlive them: application data on nodes and the
// standard material's opacity, through a saved file and back, and opacity as glTF import
// sets it. Scenes that use neither are written as they always were.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "host/undo_history.h"
#include "hostile_files.h"
#include "max/interface.h"

namespace {

constexpr Class_ID kWriter{0x1234, 0x5678};

void addChunk(INode* node, DWORD sub, const std::string& bytes) {
    void* data = MAX_malloc(bytes.size());
    std::memcpy(data, bytes.data(), bytes.size());
    node->AddAppDataChunk(kWriter, UTILITY_CLASS_ID, sub, DWORD(bytes.size()), data);
}

std::string chunkBytes(INode* node, DWORD sub) {
    AppDataChunk* c = node->GetAppDataChunk(kWriter, UTILITY_CLASS_ID, sub);
    return c ? std::string(static_cast<const char*>(c->data), c->length) : std::string("(none)");
}

std::string currentJson() {
    return host::sceneToJson(host::currentScene(), host::sceneSettings());
}

struct NodeAppDataTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    INode* box = nullptr;
    Mtl* glass = nullptr;
    void SetUp() override {
        host::resetScene();
        host::clearUndo();
        box = ip->CreateObjectNode(host::createBox(10, 20, 30));
        box->SetName(L"Box01");
        glass = host::createStdMaterial(L"Pane", Color(0.8f, 0.9f, 1.0f), 90);
        box->SetMtl(glass);
    }
    void TearDown() override { host::resetScene(); }
};

TEST_F(NodeAppDataTest, ChunksAndOpacitySurviveSavingAndOpening) {
    // Nothing set: no application data and no opacity in the file, as before either existed.
    const nlohmann::json plain = nlohmann::json::parse(currentJson());
    EXPECT_FALSE(plain["nodes"][0].contains("appData"));
    EXPECT_EQ(currentJson().find("opacity"), std::string::npos);

    const std::string binary("\x00\x01\xfe\xff record", 11);
    addChunk(box, 1, "first");
    addChunk(box, 2, "second");
    addChunk(box, 1, binary);  // replaces the chunk under the same ids
    EXPECT_EQ(chunkBytes(box, 1), binary);
    EXPECT_EQ(box->NumAppDataChunks(), 2);
    EXPECT_EQ(box->GetAppDataChunk(kWriter, GEOMOBJECT_CLASS_ID, 1), nullptr) << "the super class is part of the key";
    static_cast<StdMat2*>(glass)->SetOpacity(0.4f, 0);

    hostile::ScratchFolder dir;
    const std::string path = dir.path + "/kept.scene";
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error)) << error;
    host::resetScene();
    ASSERT_TRUE(host::loadScene(path, error)) << error;
    INode* loaded = ip->GetINodeByName(L"Box01");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(chunkBytes(loaded, 1), binary);
    EXPECT_EQ(chunkBytes(loaded, 2), "second");
    EXPECT_FLOAT_EQ(host::opacityOf(loaded->GetMtl()), 40.0f);
    EXPECT_TRUE(loaded->RemoveAppDataChunk(kWriter, UTILITY_CLASS_ID, 2));
    EXPECT_FALSE(loaded->RemoveAppDataChunk(kWriter, UTILITY_CLASS_ID, 2));
    EXPECT_EQ(chunkBytes(loaded, 2), "(none)");
}

TEST_F(NodeAppDataTest, DamagedChunksAreRefusedByPlace) {
    addChunk(box, 1, "abc");
    const std::string good = currentJson();
    // An odd digit count, a letter that is no digit, a number instead of text.
    for (const nlohmann::json& bad : {nlohmann::json("616"), nlohmann::json("6x6263"), nlohmann::json(616263)}) {
        nlohmann::json doc = nlohmann::json::parse(good);
        doc["nodes"][0]["appData"][0]["data"] = bad;
        host::SceneSettings settings;
        std::string error;
        EXPECT_EQ(host::sceneFromJson(doc.dump(), "damaged.scene", settings, error), nullptr) << bad.dump();
        EXPECT_NE(error.find("nodes[0].appData[0].data"), std::string::npos) << error;
    }
}

TEST(GltfOpacity, ComesFromBlendedAlphaAndTransmission) {
    hostile::ScratchFolder dir;
    const std::vector<float> triangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::string buffer = R"({"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
                               hostile::base64(hostile::bytesOf(triangle)) + R"("})";
    std::string meshes, nodes;
    for (int i = 0; i < 4; ++i) {
        meshes += (i ? "," : "") + std::string(R"({"primitives":[{"attributes":{"POSITION":0},"material":)") +
                  std::to_string(i) + "}]}";
        nodes += (i ? "," : "") + std::string(R"({"name":"n)") + std::to_string(i) + R"(","mesh":)" +
                 std::to_string(i) + "}";
    }
    const std::string json =
        R"({"asset":{"version":"2.0"},"extensionsUsed":["KHR_materials_transmission"],"buffers":[)" + buffer +
        R"(],"bufferViews":[{"buffer":0,"byteLength":36}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],
        "materials":[
          {"name":"opaque","pbrMetallicRoughness":{"baseColorFactor":[1,1,1,0.5]}},
          {"name":"blended","alphaMode":"BLEND","pbrMetallicRoughness":{"baseColorFactor":[1,1,1,0.25]}},
          {"name":"window","extensions":{"KHR_materials_transmission":{"transmissionFactor":0.9}}},
          {"name":"both","alphaMode":"BLEND","pbrMetallicRoughness":{"baseColorFactor":[1,1,1,0.5]},
           "extensions":{"KHR_materials_transmission":{"transmissionFactor":0.5}}}],
        "meshes":[)" +
        meshes + R"(],"nodes":[)" + nodes + R"(],"scenes":[{"nodes":[0,1,2,3]}]})";
    std::string error;
    ASSERT_TRUE(host::importScene(dir.write("opacity.gltf", json), error)) << error;
    const float expected[] = {100.0f, 25.0f, 10.0f, 25.0f};
    for (int i = 0; i < 4; ++i) {
        INode* node = GetCOREInterface()->GetINodeByName((L"n" + std::to_wstring(i)).c_str());
        ASSERT_NE(node, nullptr) << i;
        EXPECT_NEAR(host::opacityOf(node->GetMtl()), expected[i], 1e-4f) << i;
    }
}

}  // namespace
