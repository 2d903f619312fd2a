// Tornado drift over made-up winds: a steady wind carries a particle by wind x the carried
// time, a wind that grows with time is integrated exactly by the midpoint samples, and the
// samples are taken where the particle has drifted to so far.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fall/fall_drift.h"

namespace wx {
namespace {

struct SteadyWind {
    bool on = true;
    float carried = 3.0f, fps = 30.0f;
    V3 velocity{};
    bool active() const { return on; }
    float carriedFor() const { return carried; }
    float framesPerSecond() const { return fps; }
    V3 sample(float, V3) const { return velocity; }
};

// Blows along +X at a speed equal to the wind's frame time.
struct RisingWind {
    float carried = 2.0f, fps = 24.0f;
    bool active() const { return true; }
    float carriedFor() const { return carried; }
    float framesPerSecond() const { return fps; }
    V3 sample(float frameTime, V3) const { return {frameTime, 0.0f, 0.0f}; }
};

// A steady wind that notes where and when it was asked.
struct RecordingWind : SteadyWind {
    mutable std::vector<float> frames;
    mutable std::vector<V3> points;
    V3 sample(float frameTime, V3 at) const {
        frames.push_back(frameTime);
        points.push_back(at);
        return velocity;
    }
};

FallParams windyField() {
    FallInputs in;
    in.windSpeed = 30.0f;
    in.windAngle = 25.0f;
    in.speed = 40.0f;  // 12.5 s falls or longer, so most ages pass the carried-for time
    return makeFallParams(in, FallCountMode::Render);
}

TEST(FallDrift, SteadyWindCarriesForTheYoungerOfAgeAndWindowOnlyWhenActive) {
    const FallParams p = windyField();
    SteadyWind wind;
    wind.velocity = {4.0f, -2.0f, 1.0f};
    int young = 0, old = 0;
    for (uint64_t i = 0; i < 400; ++i) {
        const FallParticle plain = fallWorld(p, i, 5.0f, FallMatrix{});
        const FallParticle d = fallWorldWithDrift(p, i, 5.0f, FallMatrix{}, wind);
        const float carried = std::min(plain.age, wind.carried);
        (plain.age < wind.carried ? young : old)++;
        EXPECT_NEAR(d.pos.x - plain.pos.x, 4.0f * carried, 1e-3f);
        EXPECT_NEAR(d.pos.y - plain.pos.y, -2.0f * carried, 1e-3f);
        EXPECT_NEAR(d.pos.z - plain.pos.z, 1.0f * carried, 1e-3f);
        EXPECT_EQ(d.vel.x, plain.vel.x + 4.0f);
        EXPECT_EQ(d.vel.y, plain.vel.y - 2.0f);
        EXPECT_EQ(d.vel.z, plain.vel.z + 1.0f);
        EXPECT_EQ(d.age, plain.age);
        EXPECT_EQ(d.fade, plain.fade);
    }
    EXPECT_GT(young, 10);
    EXPECT_GT(old, 10);

    // An inactive wind, or one that carries for no time, adds nothing.
    SteadyWind off = wind, none = wind;
    off.on = false;
    none.carried = 0.0f;
    for (uint64_t i = 0; i < 50; ++i) {
        const FallParticle plain = fallWorld(p, i, 7.0f, FallMatrix{});
        for (const SteadyWind& w : {off, none}) {
            const FallParticle d = fallWorldWithDrift(p, i, 7.0f, FallMatrix{}, w);
            EXPECT_EQ(0, std::memcmp(&d, &plain, sizeof d));
        }
    }
}

TEST(FallDrift, MidpointSamplesIntegrateAWindGrowingWithTime) {
    const FallParams p = windyField();
    const RisingWind wind;
    const float t = 9.0f;
    for (uint64_t i = 0; i < 200; ++i) {
        const FallParticle plain = fallWorld(p, i, t, FallMatrix{});
        const FallParticle d = fallWorldWithDrift(p, i, t, FallMatrix{}, wind);
        const double carried = std::min(double(plain.age), double(wind.carried));
        // The integral of fps x tau over [t - I, t]; the midpoint rule is exact for it.
        const double expected = double(wind.fps) * carried * (double(t) - carried / 2.0);
        EXPECT_NEAR(d.pos.x - plain.pos.x, expected, 1e-4 * std::max(1.0, expected)) << "particle " << i;
        // The velocity gains the last sample, taken half a step before t.
        const double lastTau = double(t) - carried / 24.0;
        EXPECT_NEAR(d.vel.x - plain.vel.x, wind.fps * lastTau, 1e-3);
    }
}

TEST(FallDrift, SamplesFollowTheParticleAndItsDriftSoFar) {
    const FallParams p = windyField();
    RecordingWind wind;
    wind.velocity = {6.0f, 0.0f, -3.0f};
    FallMatrix m;
    m.t = {1000.0f, -50.0f, 20.0f};
    const float t = 4.0f;
    for (uint64_t i = 0; i < 40; ++i) {
        wind.frames.clear();
        wind.points.clear();
        const float age = fallWorld(p, i, t, m).age;
        fallWorldWithDrift(p, i, t, m, wind);
        const float carried = std::min(age, wind.carried);
        ASSERT_EQ(wind.points.size(), 12u);
        for (int k = 0; k < 12; ++k) {
            const float tau = t - carried + (float(k) + 0.5f) * (carried / 12.0f);
            EXPECT_NEAR(wind.frames[k], tau * wind.fps, 1e-4f);
            const V3 at = fallWorld(p, i, tau, m).pos;
            const float soFar = float(k) * carried / 12.0f;
            EXPECT_NEAR(wind.points[k].x, at.x + 6.0f * soFar, 1e-3f);
            EXPECT_NEAR(wind.points[k].y, at.y, 1e-3f);
            EXPECT_NEAR(wind.points[k].z, at.z - 3.0f * soFar, 1e-3f);
        }
    }
}

}  // namespace
}  // namespace wx
