// Placing a fall with the mouse: one click creates it at the snapped point on the
// construction plane (its size comes from the parameters), the cursor moves it before the
// click, and aborting or a dead viewport creates nothing.
#include <array>

#include "fallmod_fixture.h"
#include "host/mouse_create.h"
#include "host/viewport.h"

namespace {

using fallmodtest::FallModTest;
using host::CreationEvent;
using host::CreationOutcome;

// A 400 x 400 pixel top view over 2000 units centred on (100, -50): 5 units a pixel.
host::Viewport topView() {
    return host::Viewport::top(400, 400, 2000.0f, Point3(100, -50, 0));
}

TEST_F(FallModTest, OneClickCreatesTheFallAtTheSnappedPoint) {
    host::Viewport view = topView();
    const std::array events = {CreationEvent::move(10, 10), CreationEvent::move(300, 120),
                               CreationEvent::click(300, 120)};
    const host::CreationResult r = host::createByClicks(wx::GetFallDesc(), view, events);
    ASSERT_EQ(r.outcome, CreationOutcome::Created);
    EXPECT_EQ(r.eventsUsed, 3);
    IPoint2 ignored;
    const Point3 expected = view.SnapPoint(IPoint2(300, 120), ignored);
    const Point3 at = r.node->GetNodeTM(0).GetTrans();
    EXPECT_NEAR(at.x, expected.x, 1e-3f);
    EXPECT_NEAR(at.y, expected.y, 1e-3f);
    EXPECT_NEAR(at.z, 0.0f, 1e-3f) << "the pivot sits on the construction plane";
    EXPECT_NE(at.x, 100.0f) << "the click, not the view's centre, places it";
    IParamBlock2* pb = fallOf(r.node)->GetParamBlock(0);
    EXPECT_FLOAT_EQ(pb->GetFloat(wx::kFallWidth, 0), 1000.0f) << "the size comes from the parameters";
}

TEST_F(FallModTest, AbortOrADeadViewportCreatesNothing) {
    host::Viewport view = topView();
    const std::array aborted = {CreationEvent::move(50, 50), CreationEvent::abort()};
    EXPECT_EQ(host::createByClicks(wx::GetFallDesc(), view, aborted).outcome, CreationOutcome::Aborted);
    const std::array onlyMoves = {CreationEvent::move(50, 50), CreationEvent::move(60, 60)};
    EXPECT_EQ(host::createByClicks(wx::GetFallDesc(), view, onlyMoves).outcome, CreationOutcome::Aborted);
    view.close();
    const std::array click = {CreationEvent::click(50, 50)};
    EXPECT_EQ(host::createByClicks(wx::GetFallDesc(), view, click).outcome, CreationOutcome::Aborted);
    EXPECT_EQ(ip->GetRootNode()->NumberOfChildren(), 0);
}

}  // namespace
