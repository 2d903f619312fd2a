#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/missing_classes.h"
#include "host/module_loader.h"
#include "host/scene_file.h"
#include "host/undo_history.h"
#include "max/hold.h"
#include "max/interface.h"
#include "max/notify.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/wx_scene_XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string currentJson() {
    return host::sceneToJson(host::currentScene(), host::sceneSettings());
}

// A scene that uses every stored feature: hierarchy, keys, primitives, a mesh with map
// channels and specified normals, a modifier stack, camera, light, selection, units.
struct SceneFileTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    INode *box = nullptr, *mesh = nullptr, *child = nullptr;
    void SetUp() override {
        host::resetScene();
        host::clearUndo();
        SetSystemUnitInfo(UNITS_METERS, 1.0f);
        SetFrameRate(25);
        box = ip->CreateObjectNode(host::createBox(10, 20, 30));
        box->SetName(L"Bôx «one»");
        AnimateOn();
        box->SetPosition(0, Point3(1, 2, 3));
        box->SetPosition(480, Point3(10, 2, 3));
        box->GetObjectRef()->GetParamBlock(0)->SetValue(host::kBoxHeight, 480, 60.0f);
        AnimateOff();
        box->SetRotation(0, Point3(0.1f, 0.2f, 0.3f));

        TriObject* tri = CreateNewTriObject();
        Mesh& m = tri->GetMesh();
        m.setNumVerts(3);
        m.setVert(0, 0, 0, 0);
        m.setVert(1, 1, 0, 0);
        m.setVert(2, 0, 1, 0.5f);
        m.setNumFaces(1);
        m.faces[0].setVerts(0, 1, 2);
        m.faces[0].setMatID(7);
        m.faces[0].setSmGroup(5);
        m.faces[0].setEdgeVisFlags(1, 0, 1);
        m.setMapSupport(1);
        m.setNumMapVerts(1, 3);
        m.mapVerts(1)[2] = Point3(0.25f, 0.75f, 0);
        m.mapFaces(1)[0].setTVerts(2, 1, 0);
        m.setMapSupport(3);
        m.setNumMapVerts(3, 1);
        m.mapVerts(3)[0] = Point3(9, 8, 7);
        m.setMapSupport(MAP_ALPHA);
        m.setNumMapVerts(MAP_ALPHA, 1);
        m.SpecifyNormals();
        m.GetSpecifiedNormals()->CheckNormals();
        m.GetSpecifiedNormals()->SetNormalExplicit(1, true);
        mesh = ip->CreateObjectNode(tri);
        mesh->Hide(TRUE);
        mesh->SetRenderable(FALSE);

        child = ip->CreateObjectNode(host::createFreeCamera(0.9f));
        box->AttachChild(child, 0);
        ip->CreateObjectNode(host::createLight(OMNI_LGT, Color(1, 0.8f, 0.6f), 3.0f));
        ip->SelectNode(mesh);
        ip->SelectNode(child, 0);
    }
    void TearDown() override {
        host::resetScene();
        host::clearUndo();
        host::freeRetiredScenes();
    }
};

TEST_F(SceneFileTest, SavedThenLoadedSceneEqualsTheOriginal) {
    TempDir dir;
    std::string path = dir.file("scene.json");
    std::string before = currentJson();
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error)) << error;
    ULONG boxHandle = box->GetHandle(), meshHandle = mesh->GetHandle();
    host::resetScene();
    EXPECT_EQ(GetSystemUnitScale(UNITS_METERS), 0.01);  // reset restored the defaults
    host::SceneFileReport report;
    ASSERT_TRUE(host::loadScene(path, error, &report)) << error;
    EXPECT_TRUE(report.warnings.empty());
    EXPECT_EQ(currentJson(), before);

    EXPECT_EQ(GetSystemUnitScale(UNITS_METERS), 1.0);
    EXPECT_EQ(GetFrameRate(), 25);
    INode* b = ip->GetINodeByHandle(boxHandle);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::wstring(b->GetName()), L"Bôx «one»");
    EXPECT_EQ(b->NumberOfChildren(), 1);
    EXPECT_EQ(b->GetChildNode(0)->EvalWorldState(0).obj->SuperClassID(), CAMERA_CLASS_ID);
    EXPECT_NEAR(b->GetNodeTM(240).GetTrans().x, 5.5f, 1e-4);
    IParamBlock2* pb = b->GetObjectRef()->GetParamBlock(0);
    EXPECT_TRUE(pb->IsAnimated(host::kBoxHeight));
    EXPECT_FLOAT_EQ(pb->GetFloat(host::kBoxHeight, 240), 45.0f);
    INode* m = ip->GetINodeByHandle(meshHandle);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->IsNodeHidden());
    EXPECT_FALSE(m->Renderable());
    Mesh& mm = static_cast<TriObject*>(m->GetObjectRef())->GetMesh();
    EXPECT_EQ(mm.faces[0].getMatID(), 7);
    EXPECT_EQ(mm.faces[0].getEdgeVis(1), EDGE_INVIS);
    EXPECT_TRUE(mm.mapSupport(3));
    EXPECT_TRUE(mm.mapSupport(MAP_ALPHA));
    EXPECT_FALSE(mm.mapSupport(2));
    EXPECT_EQ(mm.mapVerts(3)[0], Point3(9, 8, 7));
    EXPECT_EQ(mm.mapFaces(1)[0].getTVert(0), 2u);
    ASSERT_NE(mm.GetSpecifiedNormals(), nullptr);
    EXPECT_TRUE(mm.GetSpecifiedNormals()->GetNormalExplicit(1));
    EXPECT_EQ(ip->GetSelNodeCount(), 2);
    // Handles stay unique after a load: the counter came back too.
    EXPECT_GT(ip->CreateObjectNode(nullptr)->GetHandle(), meshHandle);
}

TEST_F(SceneFileTest, BadFilesAreRefusedAndTheOpenSceneIsUntouched) {
    TempDir dir;
    std::string good = dir.file("good.json");
    std::string error;
    ASSERT_TRUE(host::saveScene(good, error));
    std::string text;
    ASSERT_TRUE(host::readFile(good, text, error));
    host::newScene();
    INode* keep = ip->CreateObjectNode(host::createSphere(3));
    std::string before = currentJson();
    int opened = 0;
    auto onOpen = [](void* p, NotifyInfo*) { ++*static_cast<int*>(p); };
    RegisterNotification(onOpen, &opened, NOTIFY_FILE_POST_OPEN);

    auto tryLoad = [&](const std::string& name, const std::string& content) {
        std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary) << content;
        std::string err;
        EXPECT_FALSE(host::loadScene(path, err)) << name;
        EXPECT_EQ(currentJson(), before) << name;
        EXPECT_EQ(ip->GetINodeByHandle(keep->GetHandle()), keep) << name;
        return err;
    };
    std::string e = tryLoad("truncated.json", text.substr(0, text.size() / 2));
    EXPECT_NE(e.find("truncated.json"), std::string::npos) << e;
    EXPECT_NE(e.find("ends too early"), std::string::npos) << e;
    e = tryLoad("garbage.json", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
    EXPECT_NE(e.find("line 1, column 1"), std::string::npos) << e;
    e = tryLoad("empty.json", "");
    e = tryLoad("other.json", R"({"format": "something else"})");
    EXPECT_NE(e.find("format"), std::string::npos) << e;
    // Well-formed JSON with a broken reference deep inside: the path names it.
    std::string broken = text;
    size_t at = broken.find("\"material\":-1");
    ASSERT_NE(at, std::string::npos);
    broken.replace(at, 13, "\"material\":999");
    e = tryLoad("badref.json", broken);
    EXPECT_NE(e.find("nodes[0].material: no object has id 999"), std::string::npos) << e;
    std::string badIndex = text;
    at = badIndex.find("\"faces\":[");
    ASSERT_NE(at, std::string::npos);
    badIndex.insert(at + 9, "77777,0,0,0,0,");
    e = tryLoad("badindex.json", badIndex);
    EXPECT_NE(e.find("mesh.faces"), std::string::npos) << e;
    e = tryLoad("newer.json", R"({"format": "tweather-scene", "version": 99})");
    EXPECT_NE(e.find("newer version"), std::string::npos) << e;
    std::string missing;
    EXPECT_FALSE(host::loadScene(dir.file("nope.json"), missing));
    EXPECT_NE(missing.find("nope.json"), std::string::npos);
    EXPECT_EQ(opened, 0);
    ASSERT_TRUE(host::loadScene(good, error)) << error;
    EXPECT_EQ(opened, 1);
    UnRegisterNotification(onOpen, &opened);
}

TEST_F(SceneFileTest, WritesAtomically) {
    TempDir dir;
    std::string path = dir.file("scene.json");
    std::string error;
    ASSERT_TRUE(host::saveScene(path, error));
    std::string first;
    host::readFile(path, first, error);
    // A folder that does not exist: refused, nothing written, the message names the path.
    EXPECT_FALSE(host::saveScene(dir.file("no/such/dir/scene.json"), error));
    EXPECT_NE(error.find("no/such/dir"), std::string::npos);
    // A failed write leaves the old file and no temporary beside it.
    EXPECT_FALSE(host::writeFileAtomically(dir.file("."), "x", error));
    int files = 0;
    for (auto& entry : fs::directory_iterator(fs::path(path).parent_path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
    std::string again;
    host::readFile(path, again, error);
    EXPECT_EQ(again, first);
}

// The file is written directly, without a JSON document; it must stay byte for byte what
// the JSON library writes for the same values, escapes and number forms included.
TEST_F(SceneFileTest, WrittenTextIsTheJsonLibrarysOwnForm) {
    box->SetName(L"quote \" slash \\ line\n tab\t bell\x01 del\x7f é");
    box->GetObjectRef()->GetParamBlock(0)->SetValue(host::kBoxWidth, 0, 0.1f);
    mesh->SetPosition(0, Point3(-0.0f, 1e-7f, 3e20f));
    const std::string text = currentJson();
    EXPECT_EQ(nlohmann::ordered_json::parse(text).dump(), text);
    // A float is written as the double it widens to; control characters as four hex digits.
    EXPECT_NE(text.find("0.10000000149011612"), std::string::npos);
    EXPECT_NE(text.find("\\u0001"), std::string::npos);
    EXPECT_NE(text.find("[-0.0,"), std::string::npos);
    // What the file holds reads back to the same scene.
    host::SceneSettings settings;
    std::string error;
    std::unique_ptr<host::Scene> scene = host::sceneFromJson(text, "written", settings, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(host::sceneToJson(*scene, settings), text);
}

TEST_F(SceneFileTest, UnknownClassesAreKeptAndReported) {
    // Make the light's class one this host does not know.
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(currentJson());
    bool edited = false;
    for (auto& o : doc["objects"])
        if (o["classId"][0] == OMNI_LIGHT_CLASS_ID) {
            o["classId"][0] = 305419896;
            edited = true;
        }
    ASSERT_TRUE(edited);
    std::string text = doc.dump();
    host::SceneSettings settings;
    std::string error;
    host::SceneFileReport report;
    std::unique_ptr<host::Scene> scene = host::sceneFromJson(text, "edited", settings, error, &report);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("not known"), std::string::npos);
    INode* light = scene->allNodes().back();
    ASSERT_NE(host::missingClassData(light->GetObjectRef()), nullptr);
    EXPECT_EQ(light->GetObjectRef()->ClassID(), Class_ID(305419896, 0));
    // Saved again, the unknown object is written back as it was read.
    EXPECT_EQ(host::sceneToJson(*scene, settings), text);
}

TEST_F(SceneFileTest, UndoRestoresDeletedNodesAndEditedParameters) {
    ULONG boxHandle = box->GetHandle(), meshHandle = mesh->GetHandle();
    std::string original = currentJson();
    theHold.Begin();
    ip->DeleteNode(mesh);
    theHold.Begin();  // nested: folds into the outer step
    box->GetObjectRef()->GetParamBlock(0)->SetValue(host::kBoxWidth, 0, 99.0f);
    theHold.Accept(L"inner");
    theHold.Accept(L"Delete and widen");
    EXPECT_EQ(host::undoStepNames(), std::vector<std::wstring>{L"Delete and widen"});
    EXPECT_EQ(ip->GetINodeByHandle(meshHandle), nullptr);
    std::string edited = currentJson();

    ASSERT_TRUE(host::undo());
    EXPECT_EQ(currentJson(), original);
    ASSERT_NE(ip->GetINodeByHandle(meshHandle), nullptr);
    INode* b = ip->GetINodeByHandle(boxHandle);
    EXPECT_FLOAT_EQ(b->GetObjectRef()->GetParamBlock(0)->GetFloat(host::kBoxWidth), 20.0f);
    EXPECT_TRUE(host::undoStepNames().empty());
    EXPECT_FALSE(host::undo());
    ASSERT_TRUE(host::redo());
    EXPECT_EQ(currentJson(), edited);

    // Cancel puts back what the open hold changed, and records nothing.
    theHold.Begin();
    ip->GetINodeByHandle(boxHandle)->SetName(L"renamed");
    theHold.Cancel();
    EXPECT_EQ(currentJson(), edited);
    EXPECT_EQ(host::undoStepNames().size(), 1u);
    EXPECT_FALSE(theHold.Holding());
}

TEST_F(SceneFileTest, ModuleObjectIsSavedAndReloaded) {
    std::vector<std::string> errors;
    host::startUp({WX_TEST_MODULE}, errors);
    ASSERT_TRUE(errors.empty());
    auto* obj = static_cast<Object*>(ip->CreateInstance(GEOMOBJECT_CLASS_ID, Class_ID(0x5eed0001, 0x7e570002)));
    ASSERT_NE(obj, nullptr);
    obj->GetParamBlock(0)->SetValue(3, 0, 42.0f);
    obj->GetParamBlock(0)->SetValue(8, 0, L"saved text");
    INode* n = ip->CreateObjectNode(obj);
    n->SetPosition(0, Point3(0, 0, 100));
    ULONG handle = n->GetHandle();
    TempDir dir;
    std::string error;
    ASSERT_TRUE(host::saveScene(dir.file("m.json"), error));
    host::resetScene();
    ASSERT_TRUE(host::loadScene(dir.file("m.json"), error)) << error;
    INode* back = ip->GetINodeByHandle(handle);
    ASSERT_NE(back, nullptr);
    IParamBlock2* pb = back->GetObjectRef()->GetParamBlock(0);
    EXPECT_FLOAT_EQ(pb->GetFloat(3), 42.0f);
    EXPECT_STREQ(pb->GetStr(8), L"saved text");
    auto* tri = static_cast<TriObject*>(back->EvalWorldState(0).obj->ConvertToType(0, triObjectClassID));
    ASSERT_NE(tri, nullptr);
    EXPECT_FLOAT_EQ(tri->GetMesh().getBoundingBox().pmax.x, 21.0f);
    tri->DeleteThis();
    host::moduleLoader().unloadAll();
    // Without the module the object is kept as an unknown class.
    host::SceneFileReport report;
    ASSERT_TRUE(host::loadScene(dir.file("m.json"), error, &report)) << error;
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("TestPyramid"), std::string::npos) << report.warnings[0];
}

}  // namespace
