// OBJ and glTF exports share triangle corners that have the same position, normal and UV:
// a flat grid and a box give their known vertex counts, a smooth sphere far fewer vertices than
// corners, and every file reads back through the host's own import with the same triangles
// and UVs.
#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "max/interface.h"
#include "max/units.h"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char t[] = "/tmp/wx_share_XXXXXX";
        path = mkdtemp(t);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

// Three corners, each x y z in 0.1 mm then u v in 1/10000, starting at the smallest corner.
using Corner = std::array<long, 5>;
using Tri = std::array<Corner, 3>;

std::vector<Tri> sceneTriangles() {
    std::vector<Tri> out;
    double metres = GetSystemUnitScale(UNITS_METERS);
    for (INode* n : host::currentScene().allNodes()) {
        Object* obj = n->EvalWorldState(0).obj;
        if (!obj || !obj->CanConvertToType(triObjectClassID)) continue;
        auto* tri = static_cast<TriObject*>(obj->ConvertToType(0, triObjectClassID));
        Mesh& m = tri->GetMesh();
        Matrix3 tm = n->GetObjTMAfterWSM(0);
        bool uv = m.mapSupport(1);
        for (int f = 0; f < m.numFaces; ++f) {
            const int order[3] = {0, tm.Parity() ? 2 : 1, tm.Parity() ? 1 : 2};  // the facing seen
            Tri t;
            for (int k = 0; k < 3; ++k) {
                Point3 p = m.verts[m.faces[f].v[order[k]]] * tm;
                Point3 tv = uv ? m.mapVerts(1)[m.mapFaces(1)[f].t[order[k]]] : Point3();
                t[k] = {std::lround(p.x * metres * 1e4), std::lround(p.y * metres * 1e4),
                        std::lround(p.z * metres * 1e4), std::lround(tv.x * 1e4), std::lround(tv.y * 1e4)};
            }
            std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
            out.push_back(t);
        }
        if (tri != obj) tri->DeleteThis();
    }
    std::sort(out.begin(), out.end());
    return out;
}

int cornerCount() {
    int n = 0;
    for (const Tri& t : sceneTriangles()) n += int(t.size());
    return n;
}

// Vertices the file holds: OBJ "v" lines, or glTF POSITION entries.
size_t verticesIn(const std::string& path) {
    if (path.ends_with(".obj")) {
        std::ifstream in(path);
        size_t n = 0;
        for (std::string line; std::getline(in, line);) n += line.rfind("v ", 0) == 0;
        return n;
    }
    tinygltf::Model model;
    tinygltf::TinyGLTF reader;
    std::string err, warn;
    EXPECT_TRUE(reader.LoadBinaryFromFile(&model, &err, &warn, path)) << err;
    size_t n = 0;
    for (const tinygltf::Mesh& mesh : model.meshes)
        for (const tinygltf::Primitive& prim : mesh.primitives)
            n += model.accessors[prim.attributes.at("POSITION")].count;
    return n;
}

void expectSameTriangles(const std::vector<Tri>& before, const std::vector<Tri>& after, const std::string& file) {
    ASSERT_EQ(after.size(), before.size()) << file;
    for (size_t i = 0; i < after.size(); ++i)
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 5; ++a) ASSERT_NEAR(after[i][k][a], before[i][k][a], 2) << file << " triangle " << i;
}

TEST(ExportSharing, VertexCountsFollowTheSurface) {
    TempDir dir;
    struct Case {
        const char* what;
        Object* (*make)();
        size_t vertices;  // 0: only "far fewer than corners" is known
    };
    const Case cases[] = {
        {"4x4 grid", [] { return host::createPlane(40, 40, 4, 4); }, 25},  // one vertex per grid point
        {"box", [] { return host::createBox(10, 20, 30); }, 24},           // hard edges: 4 per side
        {"sphere", [] { return host::createSphere(10, 12); }, 0},
    };
    for (const Case& c : cases)
        for (const char* name : {"/one.obj", "/one.glb"}) {
            host::resetScene();
            GetCOREInterface()->CreateObjectNode(c.make());
            int corners = cornerCount();
            std::string error, path = dir.path + name;
            ASSERT_TRUE(host::exportScene(path, 0, error)) << error;
            size_t n = verticesIn(path);
            if (c.vertices)
                EXPECT_EQ(n, c.vertices) << c.what << " " << name;
            else
                EXPECT_LT(n, size_t(corners) / 3) << c.what << " " << name;
        }
}

TEST(ExportSharing, SharedCornersReadBackAsTheSameTrianglesAndUVs) {
    TempDir dir;
    auto build = [] {
        host::resetScene();
        Interface* ip = GetCOREInterface();
        INode* box = ip->CreateObjectNode(host::createBox(40, 20, 30));
        box->SetNodeTM(0, ScaleMatrix(Point3(-1, 1, 1)) * RotateZMatrix(0.5f) * TransMatrix(Point3(100, -50, 10)));
        box->SetMtl(host::createMultiMaterial(
            L"two",
            {host::createStdMaterial(L"red", Color(1, 0, 0), 80), host::createStdMaterial(L"blue", Color(0, 0, 1), 20)},
            {0, 1}));
        INode* ball = ip->CreateObjectNode(host::createSphere(10, 12));
        ball->SetPosition(0, Point3(0, 0, 50));
        ip->CreateObjectNode(host::createPlane(60, 80, 3, 5));
    };
    for (const char* name : {"/scene.obj", "/scene.glb"}) {
        build();
        std::vector<Tri> before = sceneTriangles();
        std::string error, path = dir.path + name;
        ASSERT_TRUE(host::exportScene(path, 0, error)) << error;
        EXPECT_LT(verticesIn(path), size_t(cornerCount()) / 2) << name;
        ASSERT_TRUE(host::importScene(path, error)) << error;
        expectSameTriangles(before, sceneTriangles(), name);
    }
}

}  // namespace
