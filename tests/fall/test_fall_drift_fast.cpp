// The bulk tornado drift against the reference drift over seeded storms (with no
// satellites, with eight and with twelve of which eight are used), fields, transforms and
// times, and its promise of the same bits on every instruction-set level and thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "common/parallel_for.h"
#include "fall/fall_drift.h"
#include "fall/fall_field_fast.h"
#include "fall/tornado_drift.h"

namespace wx {
namespace {

float uniform(std::mt19937& rng, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
}

// A storm of 48 frames at 24 per second crossing the origin, every term switched on, at
// the sizes real ones have: the core turns at most about 2 radians a second (the
// satellites about 3), so one of the twelve steps of a 4 s window turns the air by under a
// radian. In tighter vortices the twelve-step integration itself is chaotic, and a
// difference in the last bit of any sample grows past any tolerance.
std::vector<TornadoFrame> randomStorm(std::mt19937& rng, int satellites) {
    std::vector<TornadoFrame> frames(48);
    const float startX = uniform(rng, -30.0f, 0.0f), speedX = uniform(rng, 0.0f, 15.0f);
    for (size_t i = 0; i < frames.size(); ++i) {
        TornadoFrame& f = frames[i];
        f = TornadoFrame{};
        f.time = float(i) / 24.0f + 100.0f;
        f.centreX = startX + speedX * (f.time - 100.0f);
        f.centreY = uniform(rng, -5.0f, 5.0f);
        f.groundZ = uniform(rng, -2.0f, 2.0f);
        f.driftX = speedX;
        f.driftY = uniform(rng, -3.0f, 3.0f);
        f.cloudBase = uniform(rng, 200.0f, 900.0f);
        f.leanX = uniform(rng, -100.0f, 100.0f);
        f.leanY = uniform(rng, -100.0f, 100.0f);
        f.leanPower = uniform(rng, 0.5f, 3.0f);
        f.wobble = rng() % 3 == 0 ? 0.0f : uniform(rng, 0.0f, 20.0f);
        f.wobbleFreq = uniform(rng, 0.0f, 1.0f);
        f.peakSpeed = uniform(rng, 20.0f, 80.0f);
        f.coreRadius = uniform(rng, 40.0f, 150.0f);
        f.coreGrowth = uniform(rng, 0.0f, 3.0f);
        f.profileInner = uniform(rng, 0.5f, 2.0f);
        f.profileOuter = uniform(rng, 0.5f, 2.0f);
        f.spin = rng() % 2 ? 1 : -1;
        f.inflow = uniform(rng, 0.0f, 40.0f);
        f.inflowDepth = uniform(rng, 10.0f, 100.0f);
        f.updraft = uniform(rng, 0.0f, 60.0f);
        f.updraftWidth = uniform(rng, 1.0f, 4.0f);
        f.downdraft = uniform(rng, 0.0f, 1.0f);
        f.satellites = satellites;
        f.satelliteSpeed = uniform(rng, 0.0f, 30.0f);
        f.satelliteCore = uniform(rng, 0.3f, 1.0f);
        f.satelliteOrbit = uniform(rng, 0.5f, 3.0f);
        f.parentSpeed = uniform(rng, 0.0f, 30.0f);
        f.parentRadius = uniform(rng, 200.0f, 2000.0f);
    }
    return frames;
}

// A fall of 200 m by 200 m around the storm's path (centimetres), turned and scaled a little.
FallParams randomField(std::mt19937& rng) {
    FallInputs in;
    in.seed = int(rng() % 100000);
    in.width = uniform(rng, 5000.0f, 20000.0f);
    in.length = uniform(rng, 5000.0f, 20000.0f);
    in.height = uniform(rng, 1000.0f, 6000.0f);
    in.speed = uniform(rng, 50.0f, 800.0f);
    in.speedVar = uniform(rng, 0.0f, 0.5f);
    in.windAngle = uniform(rng, -180.0f, 180.0f);
    in.windSpeed = uniform(rng, 0.0f, 500.0f);
    in.gust = uniform(rng, 0.0f, 1.0f);
    in.turbulence = uniform(rng, 0.0f, 50.0f);
    in.turbFreq = uniform(rng, 0.0f, 2.0f);
    return makeFallParams(in, FallCountMode::Render);
}

FallMatrix randomMatrix(std::mt19937& rng) {
    const float a = uniform(rng, -3.2f, 3.2f), s = uniform(rng, 0.7f, 1.5f);
    FallMatrix m;
    m.r0 = V3{std::cos(a), std::sin(a), 0.0f} * s;
    m.r1 = V3{-std::sin(a), std::cos(a), 0.0f} * s;
    m.r2 = V3{0.0f, 0.0f, 1.0f} * s;
    m.t = {uniform(rng, -2000.0f, 2000.0f), uniform(rng, -2000.0f, 2000.0f), uniform(rng, -300.0f, 300.0f)};
    return m;
}

TornadoWind windOf(const std::vector<TornadoFrame>& frames, std::mt19937& rng) {
    TornadoWind w;
    w.frames = frames.data();
    w.frameCount = int32_t(frames.size());
    w.firstFrame = 2400;  // frame 2400 at 24 fps is 100 s, as the frames' times say
    w.framesPerSecond = 24.0f;
    w.unitsPerMetre = 100.0f;
    w.influence = uniform(rng, 0.3f, 1.5f);
    w.carriedFor = uniform(rng, 0.5f, 4.0f);
    w.reach = uniform(rng, 3000.0f, 30000.0f);
    return w;
}

TEST(FallDriftFast, AgreesWithTheReferenceDrift) {
    std::mt19937 rng(2024);
    const size_t n = 4000;
    std::vector<FallParticle> fast(n), base(n);
    size_t compared = 0, straddling = 0, drifted = 0;
    float worst = 0.0f, worstVel = 0.0f;
    for (int c = 0; c < 12; ++c) {
        const std::vector<TornadoFrame> frames = randomStorm(rng, c % 3 == 0 ? 0 : (c % 3 == 1 ? 8 : 12));
        const TornadoWind wind = windOf(frames, rng);
        const FallParams p = randomField(rng);
        const FallMatrix m = randomMatrix(rng);
        for (float t : {99.0f, 101.0f, 102.5f, 1000.0f}) {
            fallWorldDriftBatch(p, 0, n, t, m, wind, fast.data());
            fallWorldBatch(p, 0, n, t, m, base.data());
            for (size_t i = 0; i < n; ++i) {
                const FallParticle refBase = fallWorld(p, i, t, m);
                const FallParticle ref = fallWorldWithDrift(p, i, t, m, TornadoDriftWind{wind});
                // A particle across a wrap seam in one path only is another particle (a seam
                // moves it by the volume's width or length).
                if (length(base[i].pos - refBase.pos) > 1.0f) {
                    ++straddling;
                    continue;
                }
                ++compared;
                const V3 refDrift = ref.pos - refBase.pos, fastDrift = fast[i].pos - base[i].pos;
                drifted += length(refDrift) > 1.0f;
                const float error = length(fastDrift - refDrift);
                const float allowed = 1e-3f + 1e-5f * length(refDrift);
                worst = std::fmax(worst, error / allowed);
                ASSERT_LE(error, allowed) << "case " << c << " t " << t << " particle " << i;
                const V3 refWind = ref.vel - refBase.vel;
                // The last sample is taken where the drift has brought the particle, so its
                // error is the drift's times the wind's gradient there.
                const float velError = length((fast[i].vel - base[i].vel) - refWind);
                const float velAllowed = 1e-3f + 5e-5f * length(refWind);
                worstVel = std::fmax(worstVel, velError / velAllowed);
                ASSERT_LE(velError, velAllowed) << "case " << c << " t " << t << " particle " << i;
                EXPECT_EQ(fast[i].age, ref.age);
                EXPECT_EQ(fast[i].size, ref.size);
            }
        }
    }
    std::printf("compared %zu particles (%zu drifted over a unit), %zu across a seam; worst errors: drift %.3g, "
                "wind %.3g of their tolerances\n",
                compared, drifted, straddling, double(worst), double(worstVel));
    EXPECT_GT(drifted, compared / 20) << "the storms reach the particles";
    EXPECT_LT(straddling * 100000, compared + 100000);
}

TEST(FallDriftFast, SameBitsOnEveryLevelAndThreadCount) {
    std::mt19937 rng(99);
    const std::vector<TornadoFrame> frames = randomStorm(rng, 8);
    TornadoWind wind = windOf(frames, rng);
    wind.carriedFor = 4.0f;
    const FallParams p = randomField(rng);
    const FallMatrix m = randomMatrix(rng);
    const size_t n = 20011;
    std::vector<FallParticle> portable(n), other(n);
    fallWorldDriftBatch(p, 3, n, 101.0f, m, wind, portable.data(), FallSimd::Portable);
    for (FallSimd level : {FallSimd::Avx2, FallSimd::Avx512}) {
        if (!fallSimdSupported(level)) continue;
        fallWorldDriftBatch(p, 3, n, 101.0f, m, wind, other.data(), level);
        ASSERT_EQ(0, std::memcmp(portable.data(), other.data(), n * sizeof(FallParticle))) << int(level);
    }
    other.resize(n + 3);
    setParallelThreadLimit(1);
    fallWorldDriftParallel(p, n + 3, 101.0f, m, wind, other.data());
    std::vector<FallParticle> many(n + 3);
    setParallelThreadLimit(4);
    fallWorldDriftParallel(p, n + 3, 101.0f, m, wind, many.data());
    setParallelThreadLimit(0);
    EXPECT_EQ(0, std::memcmp(other.data(), many.data(), (n + 3) * sizeof(FallParticle)));
    EXPECT_EQ(0, std::memcmp(other.data() + 3, portable.data(), n * sizeof(FallParticle)))
        << "a range that starts mid-group gives the records of the whole run";
}

}  // namespace
}  // namespace wx
