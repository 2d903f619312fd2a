#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "max/interface.h"
#include "max/units.h"

namespace fs = std::filesystem;

namespace {

constexpr float kPi = 3.14159265358979f;

struct Dir {
    std::string path;
    Dir() {
        char t[] = "/tmp/wx_io_XXXXXX";
        path = mkdtemp(t);
    }
    ~Dir() { fs::remove_all(path); }
};

using Tri = std::array<long, 12>;  // three corners in 0.1 mm, then the diffuse colour in 1/1000

// Every renderable triangle of the open scene in world space (metres), with its material's
// colour, in a canonical order (each triangle starts at its smallest corner, facing kept).
std::vector<Tri> worldTriangles() {
    std::vector<Tri> out;
    double metres = GetSystemUnitScale(UNITS_METERS);
    for (INode* n : host::currentScene().allNodes()) {
        Object* obj = n->EvalWorldState(0).obj;
        if (!obj || !obj->CanConvertToType(triObjectClassID)) continue;
        auto* tri = static_cast<TriObject*>(obj->ConvertToType(0, triObjectClassID));
        Mesh& m = tri->GetMesh();
        Matrix3 tm = n->GetObjTMAfterWSM(0);
        for (int f = 0; f < m.numFaces; ++f) {
            std::array<std::array<long, 3>, 3> c;
            // A mirroring node turns its faces inside out as rendered: compare the facing seen.
            const int order[3] = {0, tm.Parity() ? 2 : 1, tm.Parity() ? 1 : 2};
            for (int k = 0; k < 3; ++k) {
                Point3 p = m.verts[m.faces[f].v[order[k]]] * tm;
                for (int a = 0; a < 3; ++a) c[k][a] = std::lround(p[a] * metres * 1e4);
            }
            int first = int(std::min_element(c.begin(), c.end()) - c.begin());
            Color col = host::diffuseOf(host::materialForIndex(n->GetMtl(), m.faces[f].getMatID()));
            Tri t;
            for (int k = 0; k < 3; ++k)
                for (int a = 0; a < 3; ++a) t[3 * k + a] = c[(first + k) % 3][a];
            t[9] = std::lround(col.r * 1000);
            t[10] = std::lround(col.g * 1000);
            t[11] = std::lround(col.b * 1000);
            out.push_back(t);
        }
        if (tri != obj) tri->DeleteThis();
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A box on a mirrored, rotated node with two materials, a child sphere, a hidden plane.
void buildScene() {
    host::resetScene();
    Interface* ip = GetCOREInterface();
    INode* box = ip->CreateObjectNode(host::createBox(40, 20, 30));
    box->SetNodeTM(0, ScaleMatrix(Point3(-1, 1, 1)) * RotateZMatrix(0.5f) * TransMatrix(Point3(100, -50, 10)));
    Mtl* red = host::createStdMaterial(L"red paint", Color(1, 0, 0), 80);
    Mtl* blue = host::createStdMaterial(L"blue", Color(0, 0, 1), 20);
    box->SetMtl(host::createMultiMaterial(L"two", {red, blue}, {0, 1}));
    INode* ball = ip->CreateObjectNode(host::createSphere(10, 8));
    box->AttachChild(ball, 0);
    ball->SetPosition(0, Point3(0, 0, 50));
    ball->SetMtl(host::createStdMaterial(L"green", Color(0, 1, 0), 50));
    ip->CreateObjectNode(host::createPlane(10, 10))->Hide(TRUE);
}

TEST(SceneIo, GltfExportReadsBackWithTheSameTriangles) {
    Dir dir;
    for (const char* name : {"/scene.gltf", "/scene.glb"}) {
        // What should arrive: everything but the hidden plane.
        buildScene();
        host::currentScene().deleteNode(host::currentScene().allNodes().back());
        std::vector<Tri> before = worldTriangles();
        buildScene();
        std::string error;
        ASSERT_TRUE(host::exportScene(dir.path + name, 0, error)) << error;
        host::ImportReport report;
        ASSERT_TRUE(host::importScene(dir.path + name, error, &report)) << error;
        EXPECT_EQ(GetSystemUnitScale(UNITS_METERS), 1.0);
        EXPECT_EQ(report.meshes, 2);
        std::vector<Tri> after = worldTriangles();
        ASSERT_EQ(after.size(), before.size()) << name;
        for (size_t i = 0; i < after.size(); ++i)
            for (int k = 0; k < 12; ++k) ASSERT_NEAR(after[i][k], before[i][k], 2) << name << " triangle " << i;
    }
}

TEST(SceneIo, ObjExportReadsBackWithTheSameTriangles) {
    Dir dir;
    buildScene();
    host::currentScene().deleteNode(host::currentScene().allNodes().back());
    std::vector<Tri> before = worldTriangles();
    buildScene();
    std::string error;
    ASSERT_TRUE(host::exportScene(dir.path + "/out.obj", 0, error)) << error;
    std::ifstream obj(dir.path + "/out.obj");
    std::string text((std::istreambuf_iterator<char>(obj)), {});
    EXPECT_NE(text.find("usemtl red_paint"), std::string::npos);
    EXPECT_NE(text.find("mtllib out.mtl"), std::string::npos);
    ASSERT_TRUE(fs::exists(dir.path + "/out.mtl"));
    ASSERT_TRUE(host::importScene(dir.path + "/out.obj", error)) << error;
    std::vector<Tri> after = worldTriangles();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i)
        for (int k = 0; k < 12; ++k) ASSERT_NEAR(after[i][k], before[i][k], 2) << "triangle " << i;
}

std::string base64(const std::vector<unsigned char>& in) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        unsigned v = in[i] << 16 | (i + 1 < in.size() ? in[i + 1] << 8 : 0) | (i + 2 < in.size() ? in[i + 2] : 0);
        out += t[v >> 18 & 63];
        out += t[v >> 12 & 63];
        out += i + 1 < in.size() ? t[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? t[v & 63] : '=';
    }
    return out;
}

TEST(SceneIo, GltfHierarchyCamerasAndLightsStandUpright) {
    // One triangle in glTF's +Y-up frame, under a parent moved 2 m up (+Y), a camera looking
    // down -Z and a red spot light.
    float pos[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::vector<unsigned char> bytes(sizeof pos);
    std::memcpy(bytes.data(), pos, sizeof pos);
    std::string gltf = R"({"asset":{"version":"2.0"},
      "extensionsUsed":["KHR_lights_punctual"],
      "extensions":{"KHR_lights_punctual":{"lights":[{"type":"spot","color":[1,0,0],"intensity":5,
                    "spot":{"innerConeAngle":0.2,"outerConeAngle":0.4}}]}},
      "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
                       base64(bytes) + R"("}],
      "bufferViews":[{"buffer":0,"byteLength":36}],
      "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],
      "meshes":[{"name":"tri","primitives":[{"attributes":{"POSITION":0}}]}],
      "cameras":[{"type":"perspective","perspective":{"yfov":0.5,"aspectRatio":2.0,"znear":0.1}}],
      "nodes":[{"name":"parent","translation":[0,2,0],"children":[1,2,3]},
               {"name":"mesh","mesh":0},
               {"name":"cam","camera":0,"translation":[0,0,5]},
               {"name":"spot","extensions":{"KHR_lights_punctual":{"light":0}}}],
      "scenes":[{"nodes":[0]}],"scene":0})";
    Dir dir;
    std::ofstream(dir.path + "/in.gltf") << gltf;
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.path + "/in.gltf", error, &report)) << error;
    EXPECT_EQ(report.nodes, 4);
    EXPECT_EQ(report.cameras, 1);
    EXPECT_EQ(report.lights, 1);
    Interface* ip = GetCOREInterface();
    INode* parent = ip->GetINodeByName(L"parent");
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->NumberOfChildren(), 3);
    // glTF +Y is the host's +Z: the parent is 2 m up.
    Point3 p = parent->GetNodeTM(0).GetTrans();
    EXPECT_NEAR(p.z, 2.0f, 1e-5);
    EXPECT_NEAR(p.y, 0.0f, 1e-5);
    // The triangle's (0,1,0) corner is up.
    INode* mesh = ip->GetINodeByName(L"mesh");
    auto* tri = static_cast<TriObject*>(mesh->EvalWorldState(0).obj);
    EXPECT_NEAR((tri->GetMesh().verts[2] * mesh->GetObjTMAfterWSM(0)).z, 3.0f, 1e-5);
    // The camera sits at glTF z = 5 (host -y = 5) and still looks toward the origin.
    INode* cam = ip->GetINodeByName(L"cam");
    Matrix3 camTM = cam->GetObjTMAfterWSM(0);
    EXPECT_NEAR(camTM.GetTrans().y, -5.0f, 1e-5);
    Point3 look = VectorTransform(camTM, Point3(0, 0, -1));
    EXPECT_NEAR(look.y, 1.0f, 1e-5);
    CameraState cs;
    Interval iv = FOREVER;
    static_cast<GenCamera*>(cam->GetObjectRef())->EvalCameraState(0, iv, &cs);
    EXPECT_NEAR(cs.fov, 2 * std::atan(std::tan(0.25) * 2.0), 1e-5);
    LightState ls;
    static_cast<GenLight*>(ip->GetINodeByName(L"spot")->GetObjectRef())->EvalLightState(0, iv, &ls);
    EXPECT_EQ(ls.type, SPOT_LGT);
    EXPECT_FLOAT_EQ(ls.intens, 5.0f);
    EXPECT_EQ(ls.color, Color(1, 0, 0));
    EXPECT_NEAR(ls.fallsize, 0.8f * 180 / kPi, 1e-3);
}

TEST(SceneIo, HostileCountsAreRefusedWithoutAllocating) {
    // An accessor that claims a trillion vertices over a 36-byte buffer.
    std::vector<unsigned char> bytes(36, 0);
    std::string gltf = R"({"asset":{"version":"2.0"},
      "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
                       base64(bytes) + R"("}],
      "bufferViews":[{"buffer":0,"byteLength":36}],
      "accessors":[{"bufferView":0,"componentType":5126,"count":1000000000000,"type":"VEC3"},
                   {"componentType":5126,"count":1000000000000,"type":"VEC3"}],
      "meshes":[{"primitives":[{"attributes":{"POSITION":0}}]},{"primitives":[{"attributes":{"POSITION":1}}]}],
      "nodes":[{"mesh":0},{"mesh":1}],"scenes":[{"nodes":[0,1]}]})";
    Dir dir;
    std::ofstream(dir.path + "/huge.gltf") << gltf;
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.path + "/huge.gltf", error, &report)) << error;
    ASSERT_EQ(report.warnings.size(), 2u);
    EXPECT_NE(report.warnings[0].find("exceeds its buffer"), std::string::npos);
    EXPECT_NE(report.warnings[1].find("too large"), std::string::npos);
    for (INode* n : host::currentScene().allNodes())
        EXPECT_EQ(static_cast<TriObject*>(n->GetObjectRef())->GetMesh().numFaces, 0);
}

TEST(SceneIo, BadFilesAreRefusedAndTheSceneKept) {
    Dir dir;
    buildScene();
    int nodes = int(host::currentScene().allNodes().size());
    std::ofstream(dir.path + "/bad.gltf") << "{\"asset\": {\"version\": \"2.0\"}, \"nodes\": [";
    std::ofstream(dir.path + "/bad.glb") << "glTF garbage";
    std::string error;
    EXPECT_FALSE(host::importScene(dir.path + "/bad.gltf", error));
    EXPECT_NE(error.find("bad.gltf"), std::string::npos);
    EXPECT_FALSE(host::importScene(dir.path + "/bad.glb", error));
    EXPECT_FALSE(host::importScene(dir.path + "/missing.obj", error));
    EXPECT_FALSE(host::importScene(dir.path + "/scene.fbx", error));
    EXPECT_NE(error.find("unknown file type"), std::string::npos);
    EXPECT_EQ(int(host::currentScene().allNodes().size()), nodes);
    EXPECT_FALSE(host::exportScene(dir.path + "/no/such/dir/x.gltf", 0, error));
    EXPECT_FALSE(host::exportScene(dir.path + "/no/such/dir/x.obj", 0, error));
}

TEST(Materials, MultiMaterialPicksSubMaterialsByIndex) {
    host::resetScene();
    Mtl* a = host::createStdMaterial(L"a", Color(1, 0, 0), 40);
    Mtl* b = host::createStdMaterial(L"b", Color(0, 1, 0), 60);
    Mtl* multi = host::createMultiMaterial(L"m", {a, b}, {3, 7});
    INode* n = GetCOREInterface()->CreateObjectNode(host::createBox(1, 1, 1));
    n->SetMtl(multi);
    EXPECT_EQ(host::materialForIndex(multi, 3), a);
    EXPECT_EQ(host::materialForIndex(multi, 7), b);
    EXPECT_EQ(host::materialForIndex(multi, 4), a);  // no match: index % count
    EXPECT_EQ(host::materialForIndex(a, 9), a);
    EXPECT_FLOAT_EQ(host::glossinessOf(b), 60.0f);
    EXPECT_EQ(multi->NumSubMtls(), 2);
    Texmap* map = host::createBitmapTex(L"/tmp/snow.png");
    a->SetSubTexmap(ID_BU, map);
    EXPECT_EQ(a->GetSubTexmap(ID_BU), map);
    EXPECT_EQ(a->NumSubTexmaps(), STD_NUM_MAPS);
    a->GetParamBlock(0)->SetValue(host::kStdBumpAmount, 0, 5000.0f);
    EXPECT_FLOAT_EQ(a->GetParamBlock(0)->GetFloat(host::kStdBumpAmount), 999.0f);
    host::resetScene();
}

}  // namespace
