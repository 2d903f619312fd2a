#include <gtest/gtest.h>

#include <vector>

#include "host/host_app.h"
#include "host/mouse_create.h"
#include "host/scene.h"
#include "host/undo_history.h"
#include "host/viewport.h"
#include "max/interface.h"
#include "max/object.h"

namespace {

struct Call {
    int msg, point;
};

// How the test object's callback behaves: the one-click rule of the falling-weather object,
// or a stop at a later click, or one that ignores whether its viewport is alive.
struct CallbackSettings {
    int stopAtPoint = 0;
    bool checksViewport = true;
    std::vector<Call> calls;
};
CallbackSettings gCb;
int gLiveDrops = 0;

class DropCreateCB : public CreateMouseCallBack {
public:
    int proc(ViewExp* vpt, int msg, int point, int, IPoint2 m, Matrix3& mat) override {
        gCb.calls.push_back({msg, point});
        if (gCb.checksViewport && (!vpt || !vpt->IsAlive())) return FALSE;
        if (msg != MOUSE_POINT && msg != MOUSE_MOVE) return msg == MOUSE_ABORT ? CREATE_ABORT : CREATE_CONTINUE;
        mat.SetTrans(vpt->SnapPoint(m, m, nullptr, SNAP_IN_3D));
        return msg == MOUSE_POINT && point == gCb.stopAtPoint ? CREATE_STOP : CREATE_CONTINUE;
    }
};
DropCreateCB gDropCB;

class Drop : public GeomObject {
public:
    explicit Drop(bool placeable) : placeable_(placeable) { ++gLiveDrops; }
    ~Drop() override { --gLiveDrops; }
    Class_ID ClassID() override { return Class_ID(0x51a0c0de, 0x1); }
    const MCHAR* GetObjectName(bool = true) override { return L"Drop"; }
    CreateMouseCallBack* GetCreateMouseCallBack() override { return placeable_ ? &gDropCB : nullptr; }

private:
    bool placeable_;
};

class DropDesc : public ClassDesc2 {
public:
    explicit DropDesc(bool placeable = true) : placeable_(placeable) {}
    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new Drop(placeable_); }
    const MCHAR* ClassName() override { return L"Drop"; }
    const MCHAR* NonLocalizedClassName() override { return L"Drop"; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x51a0c0de, 0x1); }
    const MCHAR* Category() override { return L"Test"; }

private:
    bool placeable_;
};

class MouseCreate : public ::testing::Test {
protected:
    void SetUp() override {
        host::resetScene();
        host::clearUndo();
        gCb = {};
    }
    size_t nodeCount() { return host::currentScene().allNodes().size(); }

    DropDesc desc_;
    // 200 x 100 pixels over 1000 units around the origin: 5 units per pixel.
    host::Viewport top_ = host::Viewport::top(200, 100, 1000.0f);
};

TEST_F(MouseCreate, OneClickPlacesANewSelectedNodeAtTheSnappedPoint) {
    const host::CreationEvent events[] = {host::CreationEvent::move(10, 10), host::CreationEvent::move(150, 20),
                                          host::CreationEvent::click(150, 80), host::CreationEvent::move(0, 0)};
    host::CreationResult r = host::createByClicks(&desc_, top_, events);
    ASSERT_EQ(r.outcome, host::CreationOutcome::Created);
    ASSERT_NE(r.node, nullptr);
    EXPECT_EQ(r.eventsUsed, 3);  // nothing after the stop
    Point3 at = r.node->GetNodeTM(0).GetTrans();
    EXPECT_NEAR(at.x, 250.0f, 1e-3f);
    EXPECT_NEAR(at.y, -150.0f, 1e-3f);
    EXPECT_EQ(at.z, 0.0f);
    wchar_t expected[32];
    swprintf(expected, 32, L"Drop%03u", unsigned(r.node->GetHandle()));
    EXPECT_STREQ(r.node->GetName(), expected);
    Interface* ip = GetCOREInterface();
    ASSERT_EQ(ip->GetSelNodeCount(), 1);
    EXPECT_EQ(ip->GetSelNode(0), r.node);
    ASSERT_EQ(gCb.calls.size(), 3u);
    for (const Call& c : gCb.calls) EXPECT_EQ(c.point, 0);
    EXPECT_EQ(gCb.calls[2].msg, MOUSE_POINT);
    // One undo step takes it away again.
    ASSERT_FALSE(host::undoStepNames().empty());
    EXPECT_EQ(host::undoStepNames().back(), L"Create");
    const ULONG handle = r.node->GetHandle();
    ASSERT_TRUE(host::undo());
    EXPECT_EQ(host::currentScene().findByHandle(handle), nullptr);
}

TEST_F(MouseCreate, PointsCountTheClicksSoFar) {
    gCb.stopAtPoint = 1;
    const host::CreationEvent events[] = {host::CreationEvent::click(100, 50), host::CreationEvent::move(110, 50),
                                          host::CreationEvent::click(120, 50)};
    host::CreationResult r = host::createByClicks(&desc_, top_, events);
    ASSERT_EQ(r.outcome, host::CreationOutcome::Created);
    ASSERT_EQ(gCb.calls.size(), 3u);
    EXPECT_EQ(gCb.calls[0].point, 0);
    EXPECT_EQ(gCb.calls[1].point, 1);
    EXPECT_EQ(gCb.calls[2].point, 1);
    EXPECT_NEAR(r.node->GetNodeTM(0).GetTrans().x, 100.0f, 1e-3f);
}

TEST_F(MouseCreate, NodesSitOnTheConstructionPlane) {
    top_.setConstructionTM(RotateZMatrix(1.0f) * TransMatrix(Point3(0.0f, 0.0f, 75.0f)));
    const host::CreationEvent events[] = {host::CreationEvent::click(120, 40)};
    host::CreationResult r = host::createByClicks(&desc_, top_, events);
    ASSERT_EQ(r.outcome, host::CreationOutcome::Created);
    Matrix3 tm = r.node->GetNodeTM(0);
    EXPECT_NEAR(tm.GetTrans().x, 100.0f, 1e-3f);
    EXPECT_NEAR(tm.GetTrans().y, 50.0f, 1e-3f);
    EXPECT_NEAR(tm.GetTrans().z, 75.0f, 1e-3f);
    EXPECT_NEAR(tm.GetRow(0).x, std::cos(1.0f), 1e-5f);  // the node takes the plane's axes
}

TEST_F(MouseCreate, AbortingLeavingOrADeadViewportCreatesNothing) {
    const size_t before = nodeCount();
    const int liveBefore = gLiveDrops;
    const size_t steps = host::undoStepNames().size();
    const host::CreationEvent aborted[] = {host::CreationEvent::move(10, 10), host::CreationEvent::abort(),
                                           host::CreationEvent::click(50, 50)};
    host::CreationResult r = host::createByClicks(&desc_, top_, aborted);
    EXPECT_EQ(r.outcome, host::CreationOutcome::Aborted);
    EXPECT_EQ(r.eventsUsed, 2);

    // Events that run out before the click: the callback hears MOUSE_ABORT.
    gCb.calls.clear();
    const host::CreationEvent moves[] = {host::CreationEvent::move(10, 10), host::CreationEvent::move(20, 10)};
    EXPECT_EQ(host::createByClicks(&desc_, top_, moves).outcome, host::CreationOutcome::Aborted);
    ASSERT_EQ(gCb.calls.size(), 3u);
    EXPECT_EQ(gCb.calls.back().msg, MOUSE_ABORT);

    // A dead viewport: the callback answers FALSE, which reads as CREATE_STOP, and even one
    // that stops regardless makes nothing.
    top_.close();
    const host::CreationEvent click[] = {host::CreationEvent::click(50, 50)};
    EXPECT_EQ(host::createByClicks(&desc_, top_, click).outcome, host::CreationOutcome::Aborted);
    gCb.checksViewport = false;
    EXPECT_EQ(host::createByClicks(&desc_, top_, click).outcome, host::CreationOutcome::Aborted);

    EXPECT_EQ(nodeCount(), before);
    EXPECT_EQ(host::undoStepNames().size(), steps);
    EXPECT_EQ(gLiveDrops, liveBefore);  // every object made for these was deleted
}

TEST_F(MouseCreate, ClassesThatCannotBePlacedAreNotCreated) {
    DropDesc unplaceable(false);
    const int liveBefore = gLiveDrops;
    const host::CreationEvent click[] = {host::CreationEvent::click(50, 50)};
    EXPECT_EQ(host::createByClicks(&unplaceable, top_, click).outcome, host::CreationOutcome::NotCreated);
    EXPECT_EQ(host::createByClicks(nullptr, top_, click).outcome, host::CreationOutcome::NotCreated);
    EXPECT_TRUE(gCb.calls.empty());
    EXPECT_EQ(gLiveDrops, liveBefore);
}

}  // namespace
