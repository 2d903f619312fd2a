// The vortex of one frame against values worked out by hand for frames with one term
// switched on, and the sampling in time and space: clamped times, the linear mix of two
// frames, the reach fade, influence, and extreme frames that must not give NaN wind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fall/tornado_wind.h"
#include "tornado_test_files.h"

namespace {

using tornadotest::calmFrame;
using wx::TornadoFrame;
using wx::tornadoVortex;
using wx::V3;

void expectNear(V3 got, V3 want, float tol) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

TEST(TornadoVortex, CalmFrameHasNoWind) {
    TornadoFrame f = calmFrame();
    for (float z : {0.0f, 300.0f, 1000.0f, 5000.0f}) expectNear(tornadoVortex(f, 7.0f, -3.0f, z), {}, 0.0f);
}

// Tangential profile vt = peak (1 - 0.35 h) rho^a exp((1 - rho^b) a / b) decay, turning
// counter-clockwise for spin >= 0 and clockwise for spin < 0.
TEST(TornadoVortex, TangentialProfile) {
    TornadoFrame f = calmFrame();
    f.peakSpeed = 50.0f;
    // rho = 1 at the ground: the full peak speed, along +Y east of the axis.
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 0.0f), {0.0f, 50.0f, 0.0f}, 1e-3f);
    expectNear(tornadoVortex(f, 0.0f, 10.0f, 0.0f), {-50.0f, 0.0f, 0.0f}, 1e-3f);
    f.spin = -7;
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 0.0f), {0.0f, -50.0f, 0.0f}, 1e-3f);
    f.spin = 1;
    // Half way up the funnel: 1 - 0.35 * 0.5 = 0.825.
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 500.0f), {0.0f, 41.25f, 0.0f}, 1e-3f);
    // 250 m above the cloud base (h = 1): 0.65 * exp(-250 / 250).
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 1250.0f), {0.0f, 50.0f * 0.65f * std::exp(-1.0f), 0.0f}, 1e-3f);
    // a = 2, b = 4 at rho = 0.5: 0.25 * exp((1 - 0.0625) * 2 / 4) = 0.25 * exp(0.46875).
    f.profileInner = 2.0f;
    f.profileOuter = 4.0f;
    expectNear(tornadoVortex(f, 5.0f, 0.0f, 0.0f), {0.0f, 50.0f * 0.25f * std::exp(0.46875f), 0.0f}, 2e-3f);
    // and at rho = 2: 4 * exp(-15 / 2).
    expectNear(tornadoVortex(f, 20.0f, 0.0f, 0.0f), {0.0f, 50.0f * 4.0f * std::exp(-7.5f), 0.0f}, 1e-4f);
}

// The funnel leans by q = h^leanPower of the lean at the cloud base; the core grows with
// coreGrowth * h^1.5.
TEST(TornadoVortex, FunnelLeansAndCoreGrows) {
    TornadoFrame f = calmFrame();
    f.peakSpeed = 50.0f;
    f.leanX = 100.0f;
    f.leanPower = 2.0f;
    // h = 0.5: axis at x = 25, so 10 m east of it is rho = 1.
    expectNear(tornadoVortex(f, 35.0f, 0.0f, 500.0f), {0.0f, 41.25f, 0.0f}, 1e-3f);
    f.leanX = 0.0f;
    f.coreGrowth = 1.0f;
    // h = 0.25: rc = 10 * (1 + 0.125) = 11.25.
    expectNear(tornadoVortex(f, 11.25f, 0.0f, 250.0f), {0.0f, 50.0f * (1.0f - 0.35f * 0.25f), 0.0f}, 1e-3f);
}

// On the axis the updraft ring and the downdraft meet: vz = U (1 - n) - U D d.
TEST(TornadoVortex, UpdraftAtTheAxis) {
    TornadoFrame f = calmFrame();
    f.updraft = 20.0f;
    f.downdraft = 0.5f;
    // h = 0.5: d = 1; n = exp(-500 / (0.5 * 100 + 1)).
    float n = std::exp(-500.0f / 51.0f);
    expectNear(tornadoVortex(f, 0.0f, 0.0f, 500.0f), {0.0f, 0.0f, 20.0f * (1.0f - n) - 10.0f}, 1e-3f);
    // h = 0.2: d = smoothstep(1/3) = 7/27.
    n = std::exp(-200.0f / 51.0f);
    expectNear(tornadoVortex(f, 0.0f, 0.0f, 200.0f), {0.0f, 0.0f, 20.0f * (1.0f - n) - 10.0f * 7.0f / 27.0f}, 1e-3f);
    // At the ground n = 1 and d = 0: no vertical wind.
    expectNear(tornadoVortex(f, 0.0f, 0.0f, 0.0f), {}, 1e-5f);
    // Far outside the ring (w = exp(-(100/20)^2)) only a trace is left.
    EXPECT_LT(std::fabs(tornadoVortex(f, 100.0f, 0.0f, 500.0f).z), 20.0f * std::exp(-25.0f) * 1.01f);
}

// Inflow at the ground, at r = rc where k = 2 * 1 / (1 + 1) = 1: straight towards the axis.
TEST(TornadoVortex, InflowAtTheGround) {
    TornadoFrame f = calmFrame();
    f.inflow = 5.0f;
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 0.0f), {-5.0f, 0.0f, 0.0f}, 1e-3f);
    expectNear(tornadoVortex(f, 0.0f, -10.0f, 0.0f), {0.0f, 5.0f, 0.0f}, 1e-3f);
    // Under the cloud base it flows out: 0.3 * inflow * k, with parentRadius 0 scaling it by 0 / r.
    f.parentRadius = 1000.0f;
    expectNear(tornadoVortex(f, 10.0f, 0.0f, 1000.0f), {1.5f, 0.0f, 0.0f}, 1e-3f);
}

// The storm's drift, weighted by exp(-(r / parentRadius)^2).
TEST(TornadoVortex, DriftNearTheCore) {
    TornadoFrame f = calmFrame();
    f.driftX = 3.0f;
    f.driftY = -2.0f;
    f.parentRadius = 100.0f;
    expectNear(tornadoVortex(f, 0.0f, 0.0f, 0.0f), {3.0f, -2.0f, 0.0f}, 1e-4f);
    float m = std::exp(-4.0f);  // two parent radii out
    expectNear(tornadoVortex(f, 0.0f, 200.0f, 0.0f), {3.0f * m, -2.0f * m, 0.0f}, 1e-5f);
}

// Satellites at ground level: each lifts 0.6 * updraft at its own centre, and their
// centres lie every 360 / satellites degrees on the orbit (R = 10 * 10 = 100 m).
float satelliteLift(int satellites, float degrees) {
    TornadoFrame f = calmFrame();
    f.updraft = 10.0f;
    f.satellites = satellites;
    f.satelliteOrbit = 10.0f;
    f.satelliteCore = 0.1f;  // rs = max(1, 0.5) = 1 m
    float a = degrees * 3.14159265f / 180.0f;
    return tornadoVortex(f, 100.0f * std::cos(a), 100.0f * std::sin(a), 0.0f).z;
}

TEST(TornadoVortex, TwelveSatellitesUseEightSpacedAsForTwelve) {
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(satelliteLift(12, 30.0f * i), i < 8 ? 6.0f : 0.0f, 1e-3f) << i;
    EXPECT_NEAR(satelliteLift(12, 45.0f), 0.0f, 1e-3f);
    EXPECT_NEAR(satelliteLift(8, 45.0f), 6.0f, 1e-3f);
    EXPECT_NEAR(satelliteLift(0, 0.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(satelliteLift(-3, 0.0f), 0.0f, 1e-6f);
}

// A wind of two frames whose only term is a drift along X (1 and 3 m/s) over the whole area.
struct TwoFrames {
    TornadoFrame frames[2] = {calmFrame(), calmFrame()};
    wx::TornadoWind wind;
    TwoFrames() {
        for (auto& f : frames) f.parentRadius = 1e6f;
        frames[0].driftX = 1.0f;
        frames[1].driftX = 3.0f;
        wind.frames = frames;
        wind.frameCount = 2;
    }
    float windX(float T, V3 p = {}) const { return wx::sampleTornadoWind(wind, T, p).x; }
};

TEST(TornadoSample, TimesClampToTheFileAndMixLinearly) {
    TwoFrames w;
    EXPECT_NEAR(w.windX(-5.0f), 100.0f, 1e-3f);  // 1 m/s at 100 units per metre
    EXPECT_NEAR(w.windX(0.0f), 100.0f, 1e-3f);
    EXPECT_NEAR(w.windX(0.25f), 150.0f, 1e-3f);
    EXPECT_NEAR(w.windX(0.5f), 200.0f, 1e-3f);
    EXPECT_NEAR(w.windX(1.0f), 300.0f, 1e-3f);
    EXPECT_NEAR(w.windX(1e9f), 300.0f, 1e-3f);
    EXPECT_NEAR(w.windX(std::numeric_limits<float>::infinity()), 300.0f, 1e-3f);
    EXPECT_NEAR(w.windX(std::numeric_limits<float>::quiet_NaN()), 100.0f, 1e-3f);
    w.wind.firstFrame = 10;
    EXPECT_NEAR(w.windX(10.5f), 200.0f, 1e-3f);
    EXPECT_NEAR(w.windX(3.0f), 100.0f, 1e-3f);
    w.wind.influence = 2.0f;
    w.wind.unitsPerMetre = 1.0f;
    EXPECT_NEAR(w.windX(20.0f), 6.0f, 1e-4f);
    w.wind.frameCount = 1;
    EXPECT_NEAR(w.windX(20.0f), 2.0f, 1e-4f);
    w.wind.frames = nullptr;
    EXPECT_EQ(w.windX(10.0f), 0.0f);
}

// Full wind within 0.6 * reach of the funnel, none at the reach, smooth in between; the
// funnel's centre is mixed between frames like the wind (here 0 and 10 m: 500 units at w = 0.5).
TEST(TornadoSample, ReachFadesTheWindOut) {
    TwoFrames w;
    w.frames[1].driftX = 1.0f;
    w.frames[1].centreX = 10.0f;
    const float reach = w.wind.reach;
    EXPECT_NEAR(w.windX(0.5f, {500.0f, 0.0f, 0.0f}), 100.0f, 1e-3f);
    EXPECT_NEAR(w.windX(0.5f, {500.0f + 0.6f * reach, 0.0f, 0.0f}), 100.0f, 1e-3f);
    EXPECT_NEAR(w.windX(0.5f, {500.0f, -0.8f * reach, 0.0f}), 50.0f, 1e-3f);  // smoothstep(0.5)
    EXPECT_EQ(w.windX(0.5f, {500.0f + reach, 0.0f, 0.0f}), 0.0f);
    EXPECT_EQ(w.windX(0.5f, {500.0f - 2.0f * reach, 0.0f, 0.0f}), 0.0f);
    EXPECT_NEAR(w.windX(0.0f, {0.6f * reach, 0.0f, 0.0f}), 100.0f, 1e-3f);
    w.wind.reach = 0.0f;  // the span becomes 1e-6: wind only at the funnel itself
    EXPECT_NEAR(w.windX(0.0f, {0.0f, 0.0f, 0.0f}), 100.0f, 1e-3f);
    EXPECT_EQ(w.windX(0.0f, {1.0f, 0.0f, 0.0f}), 0.0f);
}

TEST(TornadoSample, ExtremeFramesGiveNoWindRatherThanNaN) {
    TwoFrames w;
    w.frames[0].driftX = 3e38f;  // times 100 units per metre overflows
    EXPECT_EQ(w.windX(0.0f), 0.0f);
    w.frames[0].driftX = 1.0f;
    w.frames[0].profileOuter = 0.0f;  // the profile divides by b
    w.frames[0].peakSpeed = 1.0f;
    V3 v = wx::sampleTornadoWind(w.wind, 0.0f, {1000.0f, 0.0f, 0.0f});
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_NEAR(w.windX(1.0f), 300.0f, 1e-3f);  // the other frame alone is sound
}

}  // namespace
