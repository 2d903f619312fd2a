// Scene capture through the stand-in host: which nodes give triangles, where weather is,
// the scene's lifetime and the snow modifiers it invalidates.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/builtin_objects.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "max/class_desc.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "plugin/live_modifiers.h"
#include "plugin/scene_capture.h"
#include "shelter/mesh_corners.h"

using namespace wx;

namespace {

// Stands in for the fall object: the class id and the three size parameters.
class FallDesc : public ClassDesc2 {
public:
    int IsPublic() override { return FALSE; }
    void* Create(BOOL) override { return nullptr; }
    const MCHAR* ClassName() override { return L"FallStandIn"; }
    const MCHAR* NonLocalizedClassName() override { return L"FallStandIn"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return kWeatherFallClassID; }
    const MCHAR* Category() override { return L""; }
};
FallDesc gFallDesc;
ParamBlockDesc2 gFallBlock(0, L"params", 0, &gFallDesc, P_AUTO_CONSTRUCT, 0);
bool gFallBlockBuilt = [] {
    gFallBlock.AddParam(1, L"width", TYPE_FLOAT, 0, 0).Default(100.0f).Range(0.0f, 1e7f);
    gFallBlock.AddParam(2, L"length", TYPE_FLOAT, 0, 0).Default(200.0f).Range(0.0f, 1e7f);
    gFallBlock.AddParam(3, L"height", TYPE_FLOAT, 0, 0).Default(300.0f).Range(0.0f, 1e7f);
    return true;
}();

class FallStandIn : public GeomObject {
public:
    IParamBlock2* pb = nullptr;
    FallStandIn() { gFallDesc.MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kWeatherFallClassID; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return pb; }
    void SetReference(int, RefTargetHandle t) override { pb = static_cast<IParamBlock2*>(t); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int) override { return pb; }
    ObjectState Eval(TimeValue) override { return ObjectState(this); }
};

// Stands in for the snow modifier: a world-space modifier that lifts the mesh far up.
class LiftingSnow : public WSModifier, public LiveSnowMod {
public:
    int invalidations = 0;
    LiftingSnow() { registerSnowMod(this); }
    ~LiftingSnow() override { unregisterSnowMod(this); }
    Class_ID ClassID() override { return Class_ID(0x5A0, 0x5A1); }
    void invalidateShelter() override { ++invalidations; }
    void ModifyObject(TimeValue, ModContext&, ObjectState* os, INode*) override {
        Mesh& m = static_cast<TriObject*>(os->obj)->GetMesh();
        for (int i = 0; i < m.numVerts; ++i) m.verts[i].z += 1000.0f;
        m.InvalidateGeomCache();
    }
};

struct CaptureTest : ::testing::Test {
    Interface* ip = GetCOREInterface();
    void SetUp() override { host::replaceScene(nullptr); }
    void TearDown() override {
        discardScene();
        setCapturePointCapForTesting(0);
        host::replaceScene(nullptr);
        host::freeRetiredScenes();
    }
    static float lowestZ(const ShelterBVH& bvh) {
        float z = 1e30f;
        for (const BVHTri& t : bvh.tris) z = std::min({z, t.p0.z, t.p0.z + t.e1.z, t.p0.z + t.e2.z});
        return z;
    }
};

}  // namespace

TEST_F(CaptureTest, WithoutWeatherEveryRenderableGeometryCounts) {
    INode* box = ip->CreateObjectNode(host::createBox(10, 10, 10));  // 12 triangles
    box->SetName(L"shed");
    ip->CreateObjectNode(host::createPlane(100, 100));  // 2 triangles
    ip->CreateObjectNode(host::createBox(5, 5, 5))->Hide(TRUE);
    ip->CreateObjectNode(host::createBox(5, 5, 5))->SetRenderable(FALSE);
    ip->CreateObjectNode(host::createLight(OMNI_LGT, Color(1, 1, 1), 1.0f));
    const uint64_t generation = sceneGeneration();

    captureScene(0);
    EXPECT_TRUE(interestBox().IsEmpty());
    ASSERT_TRUE(currentScene());
    EXPECT_EQ(capturedTriangles(), 14);
    EXPECT_EQ(currentScene()->tris.size(), 14u);
    EXPECT_EQ(sceneGeneration(), generation + 1);
    EXPECT_NE(sceneLog().find(L"shed: 12 tris, wsm 0, box ["), std::wstring::npos) << sceneLog();
    EXPECT_FALSE(captureInProgress());
}

TEST_F(CaptureTest, SnowCarriersGiveTheirOwnTrianglesAndSetWhereWeatherIs) {
    LiftingSnow* snow = new LiftingSnow;
    INode* carrier = ip->CreateObjectNode(host::createBox(10, 10, 10));
    carrier->SetPosition(0, Point3(0, 0, 50));
    carrier->AddWSModifier(snow);
    INode* near = ip->CreateObjectNode(host::createPlane(10, 10));
    near->SetPosition(0, Point3(1000, 0, 0));  // within the 30 m (3000 cm) margin
    INode* far = ip->CreateObjectNode(host::createPlane(10, 10));
    far->SetPosition(0, Point3(10000, 0, 0));  // 100 m away: outside
    const int before = snow->invalidations;

    captureScene(0);
    const Box3 interest = interestBox();
    ASSERT_FALSE(interest.IsEmpty());
    const float margin = float(30.0 / GetSystemUnitScale(UNITS_METERS));
    EXPECT_NEAR(interest.pmax.x, 5.0f + margin, 1e-2f);
    EXPECT_NEAR(interest.pmin.z, 50.0f - margin, 1e-2f);
    ASSERT_TRUE(currentScene());
    EXPECT_EQ(capturedTriangles(), 12 + 2);     // the carrier without its snow, and the near plane
    EXPECT_LT(lowestZ(*currentScene()), 60.0f);  // placed by the object transform, not lifted
    EXPECT_NE(sceneLog().find(L"wsm 1"), std::wstring::npos);
    EXPECT_EQ(snow->invalidations, before + 1);
}

TEST_F(CaptureTest, AFallVolumeAloneSetsTheBoxAndGivesNoTriangles) {
    ip->CreateObjectNode(new FallStandIn);  // 100 x 200 x 300 at the origin
    INode* ground = ip->CreateObjectNode(host::createPlane(50, 50));
    ground->SetPosition(0, Point3(0, 0, 0));
    captureScene(0);
    const Box3 box = interestBox();
    const float margin = std::max(300.0f / 3.0f, float(30.0 / GetSystemUnitScale(UNITS_METERS)));
    EXPECT_NEAR(box.pmin.x, -50.0f - margin, 1e-2f);
    EXPECT_NEAR(box.pmax.y, 100.0f + margin, 1e-2f);
    EXPECT_NEAR(box.pmax.z, 300.0f + margin, 1e-2f);
    EXPECT_EQ(capturedTriangles(), 2);
}

TEST_F(CaptureTest, ScenesLiveUntilTheCaptureAfterNextAndDiscardCounts) {
    ip->CreateObjectNode(host::createBox(10, 10, 10));
    captureScene(0);
    std::weak_ptr<const ShelterBVH> first = currentScene();
    captureScene(0);
    EXPECT_FALSE(first.expired()) << "the previous scene must outlive one capture";
    captureScene(0);
    EXPECT_TRUE(first.expired());

    const uint64_t generation = sceneGeneration();
    discardScene();
    EXPECT_FALSE(currentScene());
    EXPECT_EQ(capturedTriangles(), 0);
    EXPECT_EQ(sceneGeneration(), generation + 1);

    // An empty scene still captures, as an empty hierarchy that every ray passes.
    host::replaceScene(nullptr);
    captureScene(0);
    ASSERT_TRUE(currentScene());
    EXPECT_TRUE(currentScene()->tris.empty());
}

// Each captured corner names its place in its own mesh's vertex list, after that mesh's
// base: two boxes of eight vertices, a hidden one between them left out of the record.
TEST_F(CaptureTest, CornersRecordTheirMeshVertices) {
    ip->CreateObjectNode(host::createBox(10, 10, 10));
    ip->CreateObjectNode(host::createBox(5, 5, 5))->Hide(TRUE);
    INode* b = ip->CreateObjectNode(host::createBox(10, 20, 30));
    b->SetPosition(0, Point3(100, 0, 0));
    captureScene(0);
    const auto scene = currentScene();
    ASSERT_TRUE(scene && scene->meshCorners);
    const MeshCorners& record = *scene->meshCorners;
    ASSERT_EQ(record.meshes.size(), 2u);
    EXPECT_EQ(record.meshes[1].firstTriangle, 12u);
    EXPECT_EQ(record.meshes[1].vertexBase, 8u);
    EXPECT_EQ(record.vertexCount, 16u);
    const std::vector<int32_t> vertex = storedCornerVertices(*scene);
    ASSERT_EQ(vertex.size(), 3 * 24u);
    // A vertex is one world position wherever it is a corner, and each box's eight
    // vertices are eight positions of that box.
    std::vector<V3> at(16);
    std::vector<int> uses(16, 0);
    for (size_t k = 0; k < vertex.size(); ++k) {
        const BVHTri& t = scene->tris[k / 3];
        const V3 p = k % 3 == 0 ? t.p0 : k % 3 == 1 ? t.p0 + t.e1 : t.p0 + t.e2;
        const size_t v = size_t(vertex[k]);
        ASSERT_LT(v, 16u);
        if (uses[v]++ == 0) at[v] = p;
        EXPECT_NEAR(length(p - at[v]), 0.0f, 1e-4f) << "vertex " << v;
        EXPECT_EQ(v < 8, p.x < 50.0f) << "a corner of the first box numbered in the second, or back";
    }
    for (size_t v = 0; v < 16; ++v) {
        EXPECT_GT(uses[v], 0) << "vertex " << v << " unused";
        for (size_t w = v + 1; w < 16; ++w) EXPECT_GT(length(at[v] - at[w]), 1.0f);
    }
}

TEST_F(CaptureTest, ThePointCapDropsFacesButTheLogKeepsTheirCount) {
    INode* box = ip->CreateObjectNode(host::createBox(10, 10, 10));
    box->SetName(L"crate");
    setCapturePointCapForTesting(9);  // three triangles
    captureScene(0);
    EXPECT_EQ(capturedTriangles(), 3);
    EXPECT_NE(sceneLog().find(L"crate: 12 tris"), std::wstring::npos);
    ASSERT_TRUE(currentScene()->meshCorners);
    EXPECT_EQ(currentScene()->meshCorners->corner.size(), 9u) << "the record stops where the soup does";
    EXPECT_EQ(storedCornerVertices(*currentScene()).size(), 9u);
}

TEST_F(CaptureTest, ResetAndNewSceneDiscardTheScene) {
    registerSceneDiscardHandlers();
    for (void (*clear)() : {host::resetScene, host::newScene}) {
        ip = GetCOREInterface();
        ip->CreateObjectNode(host::createBox(10, 10, 10));
        captureScene(0);
        ASSERT_TRUE(currentScene());
        const uint64_t generation = sceneGeneration();
        clear();
        EXPECT_FALSE(currentScene());
        EXPECT_EQ(sceneGeneration(), generation + 1);
    }
    unregisterSceneDiscardHandlers();
    captureScene(0);
    host::resetScene();
    EXPECT_TRUE(currentScene()) << "no handler is left behind";
}
