// The particle field's reference form: the hash against numbers worked out by hand, the
// snapshot and counts, and the field's promises at its edges (speed floor, times before
// zero, the wrap across the sides, what a new object looks like).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "fall/fall_field.h"

namespace wx {
namespace {

FallParams paramsOf(const FallInputs& in) {
    return makeFallParams(in, FallCountMode::Render);
}

float periodOf(const FallParams& p, uint64_t i) {
    const float g = maxf(kFallMinSpeed, (1.0f - fallUnit(p.seedKey, i, kFallChannelSpeed) * p.speedVar) * p.speed);
    return p.height / g;
}

// Worked out apart from the code, with Python's unbounded integers masked to 32 bits:
// S = key x 0x9E3779B9, X = i x 0x85EBCA6B, h = S ^ (X + K), then the finaliser; the
// unit value is (h >> 8) / 2^24.
TEST(FallHash, MatchesHandComputedValues) {
    EXPECT_EQ(fallUnit(2, 0, kFallChannelSpeed), 1343509.0f / 16777216.0f);
    EXPECT_EQ(fallUnit(2, 1, kFallChannelPhase), 2367000.0f / 16777216.0f);
    EXPECT_EQ(fallUnit(2, 12345, kFallChannelSize), 787609.0f / 16777216.0f);
    EXPECT_EQ(fallUnit(1, 7, kFallChannelX), 60595.0f / 16777216.0f);
    // Only the low 32 bits of the index take part.
    EXPECT_EQ(fallUnit(2, (uint64_t(1) << 32) + 1, kFallChannelPhase), fallUnit(2, 1, kFallChannelPhase));
}

TEST(FallCount, ViewportShowsRoundedPercentageCappedByMaximum) {
    FallInputs in;
    in.count = 20000;
    in.vpPercent = 20.0f;
    in.vpMax = 100000;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 4000);
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Render), 20000);
    in.vpMax = 0;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 0);
    EXPECT_EQ(makeFallParams(in, FallCountMode::Viewport).count, 0);
    in.vpMax = 1500;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 1500);
    // Half away from zero: 2.5 % of 100 is 2.5 particles, shown as 3; 1.5 of 100 as 2.
    in.vpMax = 100000;
    in.count = 100;
    in.vpPercent = 2.5f;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 3);
    in.vpPercent = 1.5f;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 2);
    in.count = -5;
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Render), 0);
    EXPECT_EQ(fallParticleCount(in, FallCountMode::Viewport), 0);
}

TEST(FallField, ViewportSetIsAPrefixOfTheRenderedSet) {
    FallInputs in;
    in.windSpeed = 40.0f;
    in.windAngle = 30.0f;
    const FallParams view = makeFallParams(in, FallCountMode::Viewport);
    const FallParams render = makeFallParams(in, FallCountMode::Render);
    ASSERT_EQ(view.count, 4000);
    ASSERT_EQ(render.count, 20000);
    for (int64_t i = 0; i < view.count; i += 37) {
        const FallParticle a = fallLocal(view, uint64_t(i), 3.25f), b = fallLocal(render, uint64_t(i), 3.25f);
        EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)) << "particle " << i;
    }
}

TEST(FallField, NewObjectDefaults) {
    const FallInputs in;
    const FallParams p = paramsOf(in);
    EXPECT_EQ(p.count, 20000);
    EXPECT_EQ(makeFallParams(in, FallCountMode::Viewport).count, 4000);
    EXPECT_EQ(p.width, 1000.0f);
    EXPECT_EQ(p.length, 1000.0f);
    EXPECT_EQ(p.height, 500.0f);
    float minFall = 1e9f, maxFall = 0.0f, maxSway = 0.0f;
    for (uint64_t i = 0; i < uint64_t(p.count); ++i) {
        const FallParticle s = fallLocal(p, i, 10.0f);
        minFall = std::min(minFall, -s.vel.z);
        maxFall = std::max(maxFall, -s.vel.z);
        // No wind: the X velocity is the sway's alone, V x 2 pi L at most.
        const float amp = (0.5f + 0.5f * fallUnit(p.seedKey, i, kFallChannelSwayAmp)) * p.sway;
        maxSway = std::max(maxSway, amp);
        const float hz = (0.7f + 0.6f * fallUnit(p.seedKey, i, kFallChannelSwayFreq)) * p.swayFreq;
        EXPECT_GE(hz, 0.35f);
        EXPECT_LT(hz, 0.65f);
    }
    EXPECT_GE(minFall, 70.0f);
    EXPECT_LT(minFall, 70.1f);
    EXPECT_LE(maxFall, 100.0f);
    EXPECT_GT(maxFall, 99.9f);
    EXPECT_LE(maxSway, 20.0f);
    EXPECT_GT(maxSway, 19.9f);
}

TEST(FallField, SpeedFloorKeepsEveryParticleFalling) {
    FallInputs in;
    in.speedVar = 1.0f;
    const FallParams p = paramsOf(in);
    // A particle whose speed draw is within 1e-5 of 1 would fall at under 0.001 units/s.
    uint64_t slow = UINT64_MAX;
    for (uint64_t i = 0; i < 4000000 && slow == UINT64_MAX; ++i)
        if (fallUnit(p.seedKey, i, kFallChannelSpeed) > 1.0f - 1e-5f) slow = i;
    ASSERT_NE(slow, UINT64_MAX);
    const FallParticle a = fallLocal(p, slow, 100.0f), b = fallLocal(p, slow, 101.0f);
    EXPECT_EQ(a.vel.z, -0.001f);
    EXPECT_LT(b.pos.z, a.pos.z);
    EXPECT_NEAR(a.pos.z - b.pos.z, 0.001f, 1e-4f);

    // Speed 0 acts as 0.001: a 500-unit fall takes 500,000 s and the field barely moves.
    in.speed = 0.0f;
    in.speedVar = 0.0f;
    const FallParams still = paramsOf(in);
    EXPECT_EQ(still.speed, 0.001f);
    for (uint64_t i = 0; i < 200; ++i) {
        const FallParticle s0 = fallLocal(still, i, 0.0f), s1 = fallLocal(still, i, 1.0f);
        EXPECT_EQ(s0.vel.z, -0.001f);
        EXPECT_NEAR(s0.pos.z - s1.pos.z, 0.001f, 1e-4f);
        EXPECT_GT(s0.pos.z, 0.0f);
    }
}

TEST(FallField, StaysInsideTheVolumeAtAnyTime) {
    FallInputs in;
    in.windSpeed = 300.0f;
    in.windAngle = -140.0f;
    in.gust = 1.5f;
    in.turbulence = 80.0f;
    in.width = 300.0f;
    in.length = 120.0f;
    const FallParams p = paramsOf(in);
    for (float t : {-1000.0f, -37.5f, -0.01f, 0.0f, 0.5f, 12.0f, 1000.0f}) {
        for (uint64_t i = 0; i < 3000; ++i) {
            const FallParticle s = fallLocal(p, i, t);
            const float l = periodOf(p, i);
            ASSERT_GE(s.age, 0.0f) << "t " << t << " particle " << i;
            ASSERT_LT(s.age, l) << "t " << t << " particle " << i;
            ASSERT_GT(s.pos.z, 0.0f);
            ASSERT_LE(s.pos.z, p.height);
            ASSERT_GE(s.pos.x, -p.width / 2.0f);
            ASSERT_LT(s.pos.x, p.width / 2.0f);
            ASSERT_GE(s.pos.y, -p.length / 2.0f);
            ASSERT_LT(s.pos.y, p.length / 2.0f);
            ASSERT_GE(s.fade, 0.0f);
            ASSERT_LE(s.fade, 1.0f);
        }
    }
}

TEST(FallField, TimesBeforeZeroAreAlreadySpreadThroughTheFall) {
    const FallParams p = paramsOf(FallInputs{});
    int upperHalf = 0;
    const int n = 4000;
    for (uint64_t i = 0; i < uint64_t(n); ++i) upperHalf += fallLocal(p, i, -2.0f).pos.z > p.height / 2.0f;
    EXPECT_NEAR(upperHalf, n / 2, n / 20);
}

TEST(FallField, WrapsFromPlusXToMinusXWithoutAGap) {
    FallInputs in;
    in.windSpeed = 50.0f;  // toward +X
    in.gust = 0.0f;
    in.turbulence = 0.0f;
    in.speedVar = 0.0f;
    in.speed = 1.0f;  // a 500 s fall: no re-entry at the top during the test
    const FallParams p = paramsOf(in);
    int crossings = 0;
    for (uint64_t i = 0; i < 50; ++i) {
        float prev = fallLocal(p, i, 0.0f).pos.x;
        for (int k = 1; k <= 400; ++k) {
            const float x = fallLocal(p, i, float(k) * 0.05f).pos.x;
            float step = x - prev;
            if (step < -p.width / 2.0f) {  // through the seam
                ++crossings;
                EXPECT_GT(prev, p.width / 2.0f - 3.0f);
                EXPECT_LT(x, -p.width / 2.0f + 3.0f);
                step += p.width;
            }
            ASSERT_NEAR(step, 50.0f * 0.05f, 1e-2f) << "particle " << i << " step " << k;
            prev = x;
        }
    }
    EXPECT_GT(crossings, 0);
}

TEST(FallField, SeedKeyIsSeedPlusOne) {
    FallInputs in;
    in.seed = 0;
    const FallParams a = paramsOf(in);
    in.seed = 1;
    const FallParams b = paramsOf(in);
    EXPECT_EQ(a.seedKey, 1);
    EXPECT_EQ(b.seedKey, 2);
    int same = 0;
    for (uint64_t i = 0; i < 1000; ++i) same += fallLocal(a, i, 1.0f).pos.x == fallLocal(b, i, 1.0f).pos.x;
    EXPECT_LT(same, 5);
}

TEST(FallField, NoWindAndNoSwayFallsStraightDown) {
    FallInputs in;
    in.windSpeed = 0.0f;
    in.turbulence = 0.0f;
    in.gust = 2.0f;
    const FallParams p = paramsOf(in);
    for (uint64_t i = 0; i < 500; ++i) {
        const FallParticle a = fallLocal(p, i, 0.0f);
        for (float t : {0.3f, 1.7f, 2.9f}) {
            const FallParticle b = fallLocal(p, i, t);
            EXPECT_EQ(b.pos.x, a.pos.x);
            EXPECT_EQ(b.pos.y, a.pos.y);
            EXPECT_EQ(b.vel.x, 0.0f);
            EXPECT_EQ(b.vel.y, 0.0f);
            EXPECT_LT(b.vel.z, 0.0f);
        }
    }
}

TEST(FallField, WindDirectionAndGustsScaleTheDrift) {
    FallInputs in;
    in.windSpeed = 10.0f;
    in.windAngle = 90.0f;  // toward +Y
    in.turbulence = 0.0f;
    in.gust = 0.0f;
    const FallParams p = paramsOf(in);
    for (uint64_t i = 0; i < 100; ++i) {
        const FallParticle s = fallLocal(p, i, 4.0f);
        EXPECT_NEAR(s.vel.y, 10.0f, 1e-5f);
        EXPECT_NEAR(s.vel.x, 0.0f, 1e-5f);
    }
    in.gust = 2.0f;  // G = 1 + A, A a wave of about 14 s: between none and twice the wind
    const FallParams gusty = paramsOf(in);
    float lo = 1e9f, hi = -1e9f;
    for (int k = 0; k < 60; ++k) {
        const float vy = fallLocal(gusty, 7, float(k) * 0.25f).vel.y;
        lo = std::min(lo, vy);
        hi = std::max(hi, vy);
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LT(lo, 0.5f);
    EXPECT_LE(hi, 20.0f + 1e-4f);
    EXPECT_GT(hi, 19.5f);
}

TEST(FallField, FadesInAtTheTopAndOutAtTheBase) {
    const FallParams p = paramsOf(FallInputs{});
    for (uint64_t i = 0; i < 2000; ++i) {
        const FallParticle s = fallLocal(p, i, 5.0f);
        const float f = s.age / periodOf(p, i);
        if (f > 0.03f && f < 0.97f) {
            EXPECT_EQ(s.fade, 1.0f);
        }
        if (f < 0.003f || f > 0.997f) {
            EXPECT_LT(s.fade, 0.03f);
        }
    }
}

TEST(FallWorld, MatrixRowsCarryPositionAndVelocity) {
    FallInputs in;
    in.windSpeed = 20.0f;
    const FallParams p = paramsOf(in);
    // A quarter turn about Z, then 100 units up and 10 along X.
    FallMatrix m;
    m.r0 = {0.0f, 1.0f, 0.0f};
    m.r1 = {-1.0f, 0.0f, 0.0f};
    m.r2 = {0.0f, 0.0f, 1.0f};
    m.t = {10.0f, 0.0f, 100.0f};
    for (uint64_t i = 0; i < 100; ++i) {
        const FallParticle l = fallLocal(p, i, 2.0f), w = fallWorld(p, i, 2.0f, m);
        EXPECT_EQ(w.pos.x, -l.pos.y + 10.0f);
        EXPECT_EQ(w.pos.y, l.pos.x);
        EXPECT_EQ(w.pos.z, l.pos.z + 100.0f);
        EXPECT_EQ(w.vel.x, -l.vel.y);
        EXPECT_EQ(w.vel.y, l.vel.x);
        EXPECT_EQ(w.vel.z, l.vel.z);
        EXPECT_EQ(w.size, l.size);
        EXPECT_EQ(w.age, l.age);
        const FallParticle same = fallWorld(p, i, 2.0f, FallMatrix{});
        EXPECT_EQ(0, std::memcmp(&same, &l, sizeof l));
    }
}

}  // namespace
}  // namespace wx
