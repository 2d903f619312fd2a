// The scene-file reader against tampered files: references of the wrong kind, materials
// that hold themselves, values outside their ranges, numbers that are not finite, and
// folders, devices and brackets nested past any stack.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene_file.h"
#include "host/scene_settings.h"
#include "host/std_materials.h"
#include "hostile_files.h"
#include "max/interface.h"
#include "max/param_block2.h"

using hostile::contains;
using Json = nlohmann::ordered_json;

namespace {

// A box wearing a multi-material of two standard materials, beside a sphere.
Json savedScene() {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    INode* box = ip->CreateObjectNode(host::createBox(10, 10, 10));
    box->SetName(L"box");
    Mtl* red = host::createStdMaterial(L"red", Color(1, 0, 0), 40);
    Mtl* blue = host::createStdMaterial(L"blue", Color(0, 0, 1), 40);
    box->SetMtl(host::createMultiMaterial(L"both", {red, blue}, {0, 1}));
    ip->CreateObjectNode(host::createSphere(5, 16))->SetName(L"ball");
    return Json::parse(host::sceneToJson(host::currentScene(), host::sceneSettings()));
}

Json& objectOfClass(Json& doc, const std::string& className, int which = 0) {
    for (Json& o : doc["objects"])
        if (o.value("className", "") == className && which-- == 0) return o;
    throw std::runtime_error("no " + className + " in the saved scene");
}

// The object's first parameter of this type.
Json& paramOfType(Json& object, int type) {
    for (Json& block : object["paramBlocks"])
        for (Json& p : block["params"])
            if (p["type"] == type) return p;
    throw std::runtime_error("no parameter of type " + std::to_string(type));
}

Json& paramWithId(Json& object, int id) {
    for (Json& block : object["paramBlocks"])
        for (Json& p : block["params"])
            if (p["id"] == id) return p;
    throw std::runtime_error("no parameter " + std::to_string(id));
}

// Loads the tampered text over an open scene holding one marker node, which a refusal keeps.
struct Loaded {
    bool ok;
    std::string error;
};

Loaded load(const hostile::ScratchFolder& dir, const std::string& text) {
    host::resetScene();
    GetCOREInterface()->CreateObjectNode(host::createBox(1, 1, 1))->SetName(L"marker");
    Loaded r;
    r.ok = host::loadScene(dir.write("t.scene", text), r.error);
    if (!r.ok) {
        EXPECT_NE(host::currentScene().findByName(L"marker"), nullptr) << "a refused file keeps the open scene";
    }
    return r;
}

TEST(SceneFileRefusals, ReferencesOfTheWrongKindAreRefused) {
    hostile::ScratchFolder dir;
    {
        Json doc = savedScene();
        const int boxObject = objectOfClass(doc, "Box")["id"];
        paramOfType(objectOfClass(doc, "Multi/Sub-Object"), TYPE_MTL_TAB)["values"][0]["v"] = {{"object", boxObject}};
        const Loaded r = load(dir, doc.dump());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(contains(r.error, "t.scene") && contains(r.error, "values[0].v.object: is not a material"))
            << r.error;
    }
    {
        Json doc = savedScene();
        const int boxObject = objectOfClass(doc, "Box")["id"];
        paramOfType(objectOfClass(doc, "Standard"), TYPE_TEXMAP_TAB)["values"][0]["v"] = {{"object", boxObject}};
        const Loaded r = load(dir, doc.dump());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(contains(r.error, "is not a map")) << r.error;
    }
}

TEST(SceneFileRefusals, MaterialsThatHoldThemselvesAreRefused) {
    hostile::ScratchFolder dir;
    {
        Json doc = savedScene();
        Json& multi = objectOfClass(doc, "Multi/Sub-Object");
        paramOfType(multi, TYPE_MTL_TAB)["values"][1]["v"] = {{"object", multi["id"]}};
        const Loaded r = load(dir, doc.dump());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(contains(r.error, "makes a loop")) << r.error;
    }
    {
        // Two multi-materials, each the other's second entry.
        Json doc = savedScene();
        Json second = objectOfClass(doc, "Multi/Sub-Object");
        int top = 0;
        for (const Json& o : doc["objects"]) top = std::max(top, o["id"].get<int>());
        second["id"] = top + 1;
        paramOfType(second,
                    TYPE_MTL_TAB)["values"][1]["v"] = {{"object", objectOfClass(doc, "Multi/Sub-Object")["id"]}};
        paramOfType(objectOfClass(doc, "Multi/Sub-Object"), TYPE_MTL_TAB)["values"][1]["v"] = {{"object", top + 1}};
        doc["objects"].push_back(second);
        const Loaded r = load(dir, doc.dump());
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(contains(r.error, "makes a loop")) << r.error;
    }
    {
        // Sharing one material twice is no loop.
        Json doc = savedScene();
        Json& entries = paramOfType(objectOfClass(doc, "Multi/Sub-Object"), TYPE_MTL_TAB)["values"];
        entries[1]["v"] = entries[0]["v"];
        const Loaded r = load(dir, doc.dump());
        EXPECT_TRUE(r.ok) << r.error;
    }
}

TEST(SceneFileRefusals, ValuesAreClampedToTheirRangesAndNonFiniteNumbersRefused) {
    hostile::ScratchFolder dir;
    Json doc = savedScene();
    paramWithId(objectOfClass(doc, "Sphere"), host::kSphereSegs)["values"][0]["v"] = 2147483647;
    paramWithId(objectOfClass(doc, "Box"), host::kBoxLength)["values"][0]["v"] = -5.0;
    Loaded r = load(dir, doc.dump());
    ASSERT_TRUE(r.ok) << r.error;
    IParamBlock2* sphere = host::currentScene().findByName(L"ball")->GetObjectRef()->GetParamBlock(0);
    EXPECT_EQ(sphere->GetInt(host::kSphereSegs), 200) << "the largest the sphere takes";
    IParamBlock2* box = host::currentScene().findByName(L"box")->GetObjectRef()->GetParamBlock(0);
    EXPECT_EQ(box->GetFloat(host::kBoxLength), 0.0f);

    // JSON has no infinity, but a number too large for a double reads as one; one too large
    // for a float would become one.
    const std::string text = savedScene().dump();
    const std::string unitScale = "\"unitScale\":";
    const size_t at = text.find(unitScale);
    ASSERT_NE(at, std::string::npos);
    const size_t end = text.find_first_of(",}", at);
    struct Case {
        const char* number;
        const char* said;
    } cases[] = {{"1e999", "number overflow parsing '1e999'"},
                 {"-1e999", "number overflow parsing '-1e999'"},
                 {"1e39", "settings.unitScale: too large for a float"}};
    for (const Case& c : cases) {
        r = load(dir, text.substr(0, at + unitScale.size()) + c.number + text.substr(end));
        EXPECT_FALSE(r.ok) << c.number;
        EXPECT_TRUE(contains(r.error, c.said) && !contains(r.error, "json.exception")) << r.error;
    }
}

TEST(SceneFileRefusals, FoldersDevicesAndDeepNestingGiveClearErrors) {
    hostile::ScratchFolder dir;
    std::string error;
    std::filesystem::create_directory(dir.path + "/folder.scene");
    EXPECT_FALSE(host::loadScene(dir.path + "/folder.scene", error));
    EXPECT_TRUE(contains(error, "folder.scene': it is a folder, not a file")) << error;
    EXPECT_FALSE(host::loadScene("/dev/null", error));
    EXPECT_TRUE(contains(error, "it is a device, not a file")) << error;

    std::string deep = savedScene().dump();
    deep.insert(deep.size() - 1, ",\"extra\":" + std::string(100000, '[') + std::string(100000, ']'));
    const Loaded r = load(dir, deep);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(contains(r.error, "nests deeper than 256 levels")) << r.error;
}

}  // namespace
