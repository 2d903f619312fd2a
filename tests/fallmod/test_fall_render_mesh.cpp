// The fall in a renderer's and an exporter's hands: the shared empty mesh of GPU splats,
// geometry mode's sizes, material index, smoothing and edges, flakes where the particles
// are under a rotated and scaled node, a mesh too big for memory, the preview renderer's
// picture and the exporters' faces.
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/parallel_for.h"
#include "fall/fall_params.h"
#include "fall/fall_render_mesh.h"
#include "fallmod_fixture.h"
#include "host/builtin_objects.h"
#include "host/preview_renderer.h"
#include "host/scene_io.h"
#include "max/mesh.h"
#include "max/render.h"

namespace {

using fallmodtest::FallModTest;

struct OwnedMesh {
    Mesh* mesh = nullptr;
    BOOL needDelete = FALSE;
    ~OwnedMesh() {
        if (needDelete) delete mesh;
    }
};

void renderMesh(INode* node, TimeValue t, OwnedMesh& out) {
    View view;
    out.mesh = FallModTest::fallOf(node)->GetRenderMesh(t, node, view, out.needDelete);
}

void setGeometry(IParamBlock2* pb, int type, int count) {
    pb->SetValue(wx::kFallRenderMode, 0, int(wx::kFallRenderGeometry));
    pb->SetValue(wx::kFallType, 0, type);
    pb->SetValue(wx::kFallCount, 0, count);
}

TEST_F(FallModTest, SplatModeHandsOverOneSharedEmptyMesh) {
    INode* node = addFall();
    OwnedMesh a, b;
    renderMesh(node, 0, a);
    renderMesh(node, 4800, b);
    ASSERT_NE(a.mesh, nullptr);
    EXPECT_EQ(a.mesh, b.mesh);
    EXPECT_FALSE(a.needDelete);
    EXPECT_EQ(a.mesh->getNumFaces(), 0);
    EXPECT_EQ(a.mesh->getNumVerts(), 0);
}

TEST_F(FallModTest, GeometryModeSizesMaterialsSmoothingAndEdges) {
    INode* node = addFall();
    IParamBlock2* pb = fallOf(node)->GetParamBlock(0);
    struct Case {
        int type, matID, verts, faces;
        DWORD smGroup;
        MtlID index;
    };
    for (const Case c :
         {Case{wx::kFallSnow, 1, 6, 8, 0, 0}, Case{wx::kFallRain, 5, 5, 6, 1, 4}, Case{wx::kFallSand, 2, 6, 8, 0, 1}}) {
        setGeometry(pb, c.type, 1234);
        pb->SetValue(wx::kFallMatID, 0, c.matID);
        OwnedMesh m;
        renderMesh(node, 2400, m);
        ASSERT_TRUE(m.needDelete);
        ASSERT_EQ(m.mesh->getNumVerts(), c.verts * 1234);
        ASSERT_EQ(m.mesh->getNumFaces(), c.faces * 1234);
        for (int f = 0; f < m.mesh->getNumFaces(); ++f) {
            const Face& face = m.mesh->faces[f];
            ASSERT_EQ(face.getMatID(), c.index) << "matID " << c.matID;
            ASSERT_EQ(face.getSmGroup(), c.smGroup);
            ASSERT_EQ(face.getEdgeVis(0) + face.getEdgeVis(1) + face.getEdgeVis(2), 3);
            // Face f belongs to particle f / F and uses that particle's vertices.
            const DWORD first = DWORD(f / c.faces * c.verts);
            for (int k = 0; k < 3; ++k) {
                ASSERT_GE(face.v[k], first);
                ASSERT_LT(face.v[k], first + DWORD(c.verts));
            }
        }
    }
}

TEST_F(FallModTest, FlakeCentresThroughTheNodeAreTheParticlesWorldPositions) {
    INode* node = addFall();
    IParamBlock2* pb = fallOf(node)->GetParamBlock(0);
    setGeometry(pb, wx::kFallSnow, 5000);
    pb->SetValue(wx::kFallWindSpeed, 0, 80.0f);
    node->SetPosition(0, Point3(300.0f, -200.0f, 50.0f));
    node->SetRotation(0, Point3(0.4f, -0.3f, 1.1f));
    node->SetScale(0, Point3(2.0f, 0.5f, 1.5f));
    const TimeValue t = 7 * 4800 + 123;
    OwnedMesh m;
    renderMesh(node, t, m);
    std::vector<wx::FallParticle> world;
    fallOf(node)->evaluateWorld(t, node, false, false, false, world);
    ASSERT_EQ(world.size(), 5000u);
    const Matrix3 tm = node->GetObjectTM(t);
    for (size_t i = 0; i < world.size(); ++i) {
        const Point3 centre = (m.mesh->verts[6 * i] + m.mesh->verts[6 * i + 1]) * 0.5f * tm;
        const float tol =
            1e-3f * (1.0f + std::fabs(world[i].pos.x) + std::fabs(world[i].pos.y) + std::fabs(world[i].pos.z));
        ASSERT_NEAR(centre.x, world[i].pos.x, tol) << i;
        ASSERT_NEAR(centre.y, world[i].pos.y, tol) << i;
        ASSERT_NEAR(centre.z, world[i].pos.z, tol) << i;
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Ten million flakes need about 2.3 GB; with the address space held to 1 GB more than the
// process has now, the renderer gets the empty mesh and the status says why.
// In the child: caps the address space, asks for the mesh and exits 0 when the renderer
// got the shared empty mesh and the status says why.
[[noreturn]] void renderUnderMemoryCap(INode* node) {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    statm >> pages;
    const rlim_t limit = rlim_t(pages) * 4096 + (rlim_t(1) << 30);
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    OwnedMesh m;
    renderMesh(node, 0, m);
    const std::wstring status = FallModTest::fallOf(node)->fallStatus();
    const bool said = status.find(L"not enough memory for 10000000 particles") != std::wstring::npos;
    std::_Exit(m.mesh && m.mesh->getNumFaces() == 0 && !m.needDelete && said ? 0 : 1);
}

TEST_F(FallModTest, AMeshTooBigForMemoryGivesTheEmptyMeshAndSaysSo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    INode* node = addFall();
    setGeometry(fallOf(node)->GetParamBlock(0), wx::kFallSnow, 10000000);
    EXPECT_EXIT(renderUnderMemoryCap(node), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(FallModTest, NoThreadsGiveTheEmptyMeshAndSaySo) {
    INode* node = addFall();
    setGeometry(fallOf(node)->GetParamBlock(0), wx::kFallRain, 100000);
    wx::failParallelWorkerStartAt(0);
    OwnedMesh m;
    renderMesh(node, 0, m);
    wx::failParallelWorkerStartAt(-1);
    EXPECT_FALSE(m.needDelete);
    EXPECT_EQ(m.mesh->getNumFaces(), 0);
    EXPECT_NE(fallOf(node)->fallStatus().find(L" | render mesh: no worker thread could start"), std::wstring::npos);
    // The next render that succeeds clears the message.
    OwnedMesh again;
    renderMesh(node, 0, again);
    EXPECT_EQ(again.mesh->getNumFaces(), 6 * 100000);
    EXPECT_EQ(fallOf(node)->fallStatus().find(L"render mesh"), std::wstring::npos);
}

// A flat ground seen straight down by a camera, and a fall of big flakes above it.
struct SceneWithFall {
    INode* fall = nullptr;
    SceneWithFall(FallModTest& test, bool withFall, int renderMode) {
        Interface* ip = GetCOREInterface();
        ip->CreateObjectNode(host::createPlane(400.0f, 400.0f));
        INode* camera = ip->CreateObjectNode(host::createFreeCamera(1.5707963f));
        camera->SetPosition(0, Point3(0.0f, 0.0f, 300.0f));
        if (!withFall) return;
        fall = test.addFall();
        IParamBlock2* pb = FallModTest::fallOf(fall)->GetParamBlock(0);
        setGeometry(pb, wx::kFallSnow, 400);
        pb->SetValue(wx::kFallRenderMode, 0, renderMode);
        pb->SetValue(wx::kFallWidth, 0, 300.0f);
        pb->SetValue(wx::kFallLength, 0, 300.0f);
        pb->SetValue(wx::kFallHeight, 0, 200.0f);
        pb->SetValue(wx::kFallSize, 0, 12.0f);
    }
};

host::PreviewImage renderScene() {
    host::PreviewSettings s;
    s.width = s.height = 48;
    s.keepAsLastRender = false;
    host::PreviewImage image;
    std::string error;
    EXPECT_TRUE(host::renderPreview(s, image, error)) << error;
    return image;
}

TEST_F(FallModTest, ARenderShowsGeometryFlakesAndNothingOfSplats) {
    host::PreviewImage bare, splats, flakes;
    {
        SceneWithFall scene(*this, false, 0);
        bare = renderScene();
    }
    host::replaceScene(nullptr);
    {
        SceneWithFall scene(*this, true, wx::kFallRenderSplats);
        splats = renderScene();
    }
    host::replaceScene(nullptr);
    {
        SceneWithFall scene(*this, true, wx::kFallRenderGeometry);
        flakes = renderScene();
    }
    ASSERT_EQ(bare.rgba.size(), splats.rgba.size());
    EXPECT_EQ(bare.rgba, splats.rgba);
    EXPECT_EQ(bare.depth, splats.depth);
    // Flakes cover some pixels, each nearer the camera than the ground it hides.
    int covered = 0;
    for (size_t px = 0; px < flakes.depth.size(); ++px) {
        if (flakes.depth[px] == bare.depth[px]) continue;
        ++covered;
        EXPECT_LT(flakes.depth[px], bare.depth[px]);
    }
    EXPECT_GT(covered, 0);
    EXPECT_LT(covered, int(flakes.depth.size()));
}

size_t objFaces(const std::string& path) {
    std::ifstream in(path);
    size_t faces = 0;
    for (std::string line; std::getline(in, line);) faces += line.rfind("f ", 0) == 0;
    return faces;
}

TEST_F(FallModTest, ExportersCarryGeometryFlakesAndNoSplats) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("wx_fall_export_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    INode* node = addFall();
    IParamBlock2* pb = fallOf(node)->GetParamBlock(0);
    pb->SetValue(wx::kFallCount, 0, 321);
    std::string error;
    const std::string splat = (dir / "splat.obj").string(), rain = (dir / "rain.obj").string();
    ASSERT_TRUE(host::exportObj(splat, 0, error)) << error;
    EXPECT_EQ(objFaces(splat), 0u);
    setGeometry(pb, wx::kFallRain, 321);
    ASSERT_TRUE(host::exportObj(rain, 0, error)) << error;
    EXPECT_EQ(objFaces(rain), 6u * 321u);
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// The flake's rotation turns the same way as the host's RotAngleAxisMatrix.
TEST(FallFlakeRotation, TurnsAsTheHostsAngleAxisMatrix) {
    for (const Point3 axis :
         {Point3(1, 0, 0), Point3(0.3f, -0.5f, 0.81f).Normalize(), Point3(-0.7f, 0.1f, -0.2f).Normalize()}) {
        for (float angle : {0.4f, 2.5f, -1.2f}) {
            const Matrix3 host = RotAngleAxisMatrix(axis, angle);
            const wx::FallRotationColumns ours =
                wx::fallRotationColumns({axis.x, axis.y, axis.z}, std::cos(angle), std::sin(angle));
            const wx::V3 cols[3] = {ours.x, ours.y, ours.z};
            for (int k = 0; k < 3; ++k) {
                Point3 unit;
                unit[k] = 1.0f;
                const Point3 turned = unit * host;
                EXPECT_NEAR(cols[k].x, turned.x, 1e-5f);
                EXPECT_NEAR(cols[k].y, turned.y, 1e-5f);
                EXPECT_NEAR(cols[k].z, turned.z, 1e-5f);
            }
        }
    }
}

}  // namespace
