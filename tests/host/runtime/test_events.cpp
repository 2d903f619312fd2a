#include <gtest/gtest.h>

#include <vector>

#include "host/host_app.h"
#include "host/message_pump.h"
#include "host/notifications.h"
#include "host/scene.h"
#include "max/interface.h"
#include "max/notify.h"
#include "max/timer.h"
#include "max/units.h"

namespace {

struct Log {
    std::vector<std::pair<int, void*>> calls;
};

void record(void* param, NotifyInfo* info) {
    static_cast<Log*>(param)->calls.emplace_back(info->intcode, info->callParam);
}

int gPreNewFlags = 0;
void recordPreNewFlags(void*, NotifyInfo* info) {
    gPreNewFlags = *static_cast<int*>(info->callParam);
}

TEST(Notifications, RegisteredCodesOnlyWithTheirParam) {
    Log a, b;
    int base = host::notificationCount();
    EXPECT_EQ(RegisterNotification(record, &a, NOTIFY_PRE_RENDER), 1);
    RegisterNotification(record, &a, NOTIFY_POST_RENDER);
    RegisterNotification(record, &a, NOTIFY_POST_RENDER);  // same key: kept once
    RegisterNotification(record, &b, NOTIFY_POST_RENDER);
    EXPECT_EQ(host::notificationCount(), base + 3);
    host::beginRender(160);
    EXPECT_TRUE(host::rendering());
    host::endRender();
    EXPECT_FALSE(host::rendering());
    ASSERT_EQ(a.calls.size(), 2u);
    EXPECT_EQ(a.calls[0].first, NOTIFY_PRE_RENDER);
    EXPECT_EQ(a.calls[1].first, NOTIFY_POST_RENDER);
    ASSERT_EQ(b.calls.size(), 1u);
    int x = 0;
    BroadcastNotification(NOTIFY_POST_RENDER, &x);
    EXPECT_EQ(b.calls.back().second, &x);
    // Unregistering (proc, param) removes all its codes and nobody else's.
    EXPECT_EQ(UnRegisterNotification(record, &a), 1);
    BroadcastNotification(NOTIFY_PRE_RENDER);
    EXPECT_EQ(a.calls.size(), 3u);
    EXPECT_EQ(UnRegisterNotification(record, &b, NOTIFY_POST_RENDER), 1);
    EXPECT_EQ(UnRegisterNotification(record, &b, NOTIFY_POST_RENDER), 0);
    EXPECT_EQ(host::notificationCount(), base);
}

Log* gOther = nullptr;
void unregisterOther(void*, NotifyInfo*) {
    UnRegisterNotification(record, gOther);
}

TEST(Notifications, UnitAndFrameRateChangesAreAnnounced) {
    Log log;
    RegisterNotification(record, &log, NOTIFY_UNITS_CHANGE);
    RegisterNotification(record, &log, NOTIFY_TIMEUNITS_CHANGE);
    host::resetScene();
    SetSystemUnitInfo(UNITS_METERS, 1.0f);
    SetSystemUnitInfo(UNITS_METERS, -1.0f);  // refused: no announcement
    SetFrameRate(24);
    SetFrameRate(24);  // unchanged
    ASSERT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0].first, NOTIFY_UNITS_CHANGE);
    EXPECT_EQ(log.calls[1].first, NOTIFY_TIMEUNITS_CHANGE);
    UnRegisterNotification(record, &log);
    host::resetScene();
}

TEST(Notifications, CallbackMayUnregisterAnother) {
    Log other;
    gOther = &other;
    RegisterNotification(unregisterOther, nullptr, NOTIFY_SYSTEM_POST_NEW);
    RegisterNotification(record, &other, NOTIFY_SYSTEM_POST_NEW);
    host::newScene();
    EXPECT_TRUE(other.calls.empty());
    UnRegisterNotification(unregisterOther, nullptr);
}

TEST(Notifications, ResetAndNewFireTheirPairs) {
    Log log;
    for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_SYSTEM_POST_RESET, NOTIFY_SYSTEM_PRE_NEW, NOTIFY_SYSTEM_POST_NEW})
        RegisterNotification(record, &log, code);
    RegisterNotification(recordPreNewFlags, nullptr, NOTIFY_SYSTEM_PRE_NEW);
    GetCOREInterface()->CreateObjectNode(nullptr);
    host::resetScene();
    EXPECT_EQ(GetCOREInterface()->GetRootNode()->NumberOfChildren(), 0);
    host::newScene();
    ASSERT_EQ(log.calls.size(), 4u);
    EXPECT_EQ(log.calls[0].first, NOTIFY_SYSTEM_PRE_RESET);
    EXPECT_EQ(log.calls[1].first, NOTIFY_SYSTEM_POST_RESET);
    EXPECT_EQ(log.calls[2].first, NOTIFY_SYSTEM_PRE_NEW);
    EXPECT_EQ(gPreNewFlags, PRE_NEW_NEW_ALL);
    EXPECT_EQ(log.calls[3].first, NOTIFY_SYSTEM_POST_NEW);
    UnRegisterNotification(record, &log);
    UnRegisterNotification(recordPreNewFlags, nullptr);
    host::freeRetiredScenes();
}

std::vector<UINT_PTR> gFired;
void tick(HWND, UINT msg, UINT_PTR id, DWORD) {
    EXPECT_EQ(msg, WM_TIMER);
    gFired.push_back(id);
}
void tickOnce(HWND, UINT, UINT_PTR id, DWORD) {
    gFired.push_back(id);
    KillTimer(nullptr, id);
}

struct TimerTest : ::testing::Test {
    void SetUp() override {
        host::useTestClock(true);
        gFired.clear();
    }
    void TearDown() override { host::useTestClock(false); }
};

TEST_F(TimerTest, FiresFromThePumpOnceItsDelayHasPassed) {
    UINT_PTR id = SetTimer(nullptr, 0, 30, tickOnce);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(host::pumpMessages(), 0);
    host::advanceTestClock(29);
    EXPECT_EQ(host::pumpMessages(), 0);
    EXPECT_TRUE(gFired.empty());
    host::advanceTestClock(1000);  // long overdue: still one call per pump
    EXPECT_EQ(host::pumpMessages(), 1);
    EXPECT_EQ(gFired, std::vector<UINT_PTR>{id});
    host::advanceTestClock(1000);
    EXPECT_EQ(host::pumpMessages(), 0);  // it killed itself
    EXPECT_FALSE(KillTimer(nullptr, id));
}

TEST_F(TimerTest, PeriodicUntilKilledAndNeverAfter) {
    UINT_PTR a = SetTimer(nullptr, 0, 50, tick);
    UINT_PTR b = SetTimer(nullptr, 0, 50, tick);
    EXPECT_NE(a, b);
    host::advanceTestClock(50);
    host::pumpMessages();
    host::advanceTestClock(50);
    host::pumpMessages();
    EXPECT_EQ(gFired.size(), 4u);
    EXPECT_TRUE(KillTimer(nullptr, a));
    host::advanceTestClock(50);
    host::pumpMessages();
    EXPECT_EQ(gFired.back(), b);
    EXPECT_EQ(gFired.size(), 5u);
    KillTimer(nullptr, b);
    host::advanceTestClock(500);
    EXPECT_EQ(host::pumpMessages(), 0);
    EXPECT_EQ(SetTimer(nullptr, 0, 10, nullptr), 0u);
}

TEST_F(TimerTest, PumpUntilIdleRunsTimersThatEndThemselves) {
    SetTimer(nullptr, 0, 30, tickOnce);
    SetTimer(nullptr, 0, 200, tickOnce);
    EXPECT_EQ(host::pumpUntilIdle(1000), 2);
    EXPECT_EQ(host::clockMs(), 200u);
    // A timer that never ends is given up on after the limit.
    UINT_PTR forever = SetTimer(nullptr, 0, 100, tick);
    EXPECT_EQ(host::pumpUntilIdle(1000), 10);
    KillTimer(nullptr, forever);
}

TEST(Redraw, ViewportRedrawsAreCounted) {
    Interface* ip = GetCOREInterface();
    int before = ip->RedrawCount();
    ip->RedrawViews(ip->GetTime());
    ip->SetTime(320);
    EXPECT_EQ(ip->GetTime(), 320);
    ip->SetTime(0, FALSE);
    EXPECT_EQ(ip->RedrawCount(), before + 2);
}

}  // namespace
