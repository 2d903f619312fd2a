// The fall object's render setup over the stand-in host: the scene it captures, the
// run-off it reports in its status, the column under its node, and when the drip edges
// are found again.
#include <string>

#include "fallmod_fixture.h"
#include "host/builtin_objects.h"
#include "plugin/scene_capture.h"

namespace fallmodtest {
namespace {

using wx::FallRenderSetup;

struct FallRunoffTest : FallModTest {
    INode* fallNode = nullptr;

    // A rain fall over a 20 m ground with a 1 m box hanging 2 m up, in centimetres.
    void SetUp() override {
        FallModTest::SetUp();
        wx::discardScene();
        ip->CreateObjectNode(host::createPlane(2000, 2000));
        ip->CreateObjectNode(host::createBox(100, 100, 100))->SetPosition(0, Point3(0, 0, 200));
        fallNode = addFall();
        fallOf(fallNode)->GetParamBlock(0)->SetValue(wx::kFallType, 0, int(wx::kFallRain));
    }

    FallRenderSetup setup(TimeValue t = 0) {
        FallRenderSetup s;
        std::wstring error;
        EXPECT_TRUE(fallOf(fallNode)->renderSetup(t, fallNode, s, error)) << MSTR(error).ToUTF8();
        return s;
    }
};

TEST_F(FallRunoffTest, RainOverAHangingBoxReportsItsRunoff) {
    const FallRenderSetup s = setup();
    ASSERT_TRUE(s.scene) << "captured for the render";
    EXPECT_EQ(s.scene->tris.size(), 14u);
    ASSERT_TRUE(s.runoff);
    // The box's four lower edges and its four top rims; the ground lies lowest.
    EXPECT_EQ(s.drips->edges.size(), 8u);
    EXPECT_FLOAT_EQ(s.gravity, 981.0f);
    EXPECT_EQ(s.count, 30000);
    const std::wstring expected =
        L"not rendered yet | run-off: 8 edges, " + std::to_wstring(s.dripDrops) + L" drops | no tornado";
    EXPECT_EQ(fallOf(fallNode)->fallStatus(), expected);
    EXPECT_GT(s.dripDrops, 0);

    // Snow stops at the scene too, but makes no run-off and the status line goes.
    fallOf(fallNode)->GetParamBlock(0)->SetValue(wx::kFallType, 0, int(wx::kFallSnow));
    const FallRenderSetup snow = setup();
    EXPECT_TRUE(snow.scene);
    EXPECT_FALSE(snow.runoff);
    EXPECT_EQ(fallOf(fallNode)->fallStatus(), L"not rendered yet | no tornado");
}

TEST_F(FallRunoffTest, ColumnGrowsDownTheNodesOwnAxis) {
    Matrix3 tm = RotateXMatrix(1.5707964f);
    tm.SetTrans(Point3(10, 20, 30));
    fallNode->SetNodeTM(0, tm);
    const Matrix3 placed = fallNode->GetObjectTM(0);
    const FallRenderSetup s = setup();
    const Point3 moved = placed.GetTrans() - placed.GetRow(2) * 250.0f;  // half the 500 cm height
    EXPECT_NEAR(s.objectToWorld.t.x, moved.x, 1e-3f);
    EXPECT_NEAR(s.objectToWorld.t.y, moved.y, 1e-3f);
    EXPECT_NEAR(s.objectToWorld.t.z, moved.z, 1e-3f);
    EXPECT_FLOAT_EQ(s.height, 750.0f);
}

TEST_F(FallRunoffTest, OnlyANewCaptureFindsTheEdgesAgain) {
    const FallRenderSetup first = setup();
    const uint64_t searches = wx::dripEdgeSearches();
    fallOf(fallNode)->GetParamBlock(0)->SetValue(wx::kFallDripAmount, 0, 5.0f);
    fallOf(fallNode)->GetParamBlock(0)->SetValue(wx::kFallCount, 0, 400000);
    const FallRenderSetup again = setup(4800);
    EXPECT_EQ(wx::dripEdgeSearches(), searches);
    EXPECT_EQ(again.drips, first.drips);
    EXPECT_GT(again.dripDrops, first.dripDrops);

    wx::captureScene(0);
    const FallRenderSetup recaptured = setup();
    EXPECT_EQ(wx::dripEdgeSearches(), searches + 1);
    EXPECT_EQ(recaptured.drips->edges.size(), first.drips->edges.size());

    // Collide off: no scene, no run-off, nothing searched.
    fallOf(fallNode)->GetParamBlock(0)->SetValue(wx::kFallCollide, 0, 0);
    const FallRenderSetup dry = setup();
    EXPECT_FALSE(dry.scene);
    EXPECT_FALSE(dry.runoff);
    EXPECT_EQ(dry.height, 500.0f);
    EXPECT_EQ(wx::dripEdgeSearches(), searches + 1);
}

}  // namespace
}  // namespace fallmodtest
