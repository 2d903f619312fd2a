// The bulk particle field against the reference over seeded parameters, transforms and
// times, and its promise of the same bits on every instruction-set level and thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "common/parallel_for.h"
#include "fall/fall_field_fast.h"

namespace wx {
namespace {

float uniform(std::mt19937& rng, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
}

// Parameters across the ranges artists use: winds to 60 units/s, falls of up to about
// 150 s, sway to 100 units at up to 3 Hz.
FallParams randomParams(std::mt19937& rng) {
    FallInputs in;
    in.type = int(rng() % 3);
    in.seed = int(rng() % 1000000);
    in.width = uniform(rng, 20.0f, 3000.0f);
    in.length = uniform(rng, 20.0f, 3000.0f);
    in.height = uniform(rng, 20.0f, 1500.0f);
    in.speed = uniform(rng, 20.0f, 400.0f);
    in.speedVar = uniform(rng, 0.0f, 0.5f);
    in.windAngle = uniform(rng, -360.0f, 360.0f);
    in.windSpeed = rng() % 4 == 0 ? 0.0f : uniform(rng, 0.0f, 60.0f);
    in.gust = uniform(rng, 0.0f, 1.0f);
    in.turbulence = uniform(rng, 0.0f, 100.0f);
    in.turbFreq = uniform(rng, 0.0f, 3.0f);
    in.size = uniform(rng, 0.01f, 5.0f);
    in.sizeVar = uniform(rng, 0.0f, 1.0f);
    return makeFallParams(in, FallCountMode::Render);
}

// A rotation by three angles, a uniform scale of 0.5 to 2 and a move of up to 1000 units.
FallMatrix randomMatrix(std::mt19937& rng) {
    const float a = uniform(rng, -3.2f, 3.2f), b = uniform(rng, -3.2f, 3.2f), c = uniform(rng, -3.2f, 3.2f);
    const float s = uniform(rng, 0.5f, 2.0f);
    const float ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b), cc = std::cos(c),
                sc = std::sin(c);
    FallMatrix m;
    m.r0 = V3{cb * cc, cb * sc, -sb} * s;
    m.r1 = V3{sa * sb * cc - ca * sc, sa * sb * sc + ca * cc, sa * cb} * s;
    m.r2 = V3{ca * sb * cc + sa * sc, ca * sb * sc - sa * cc, ca * cb} * s;
    m.t = {uniform(rng, -1000.0f, 1000.0f), uniform(rng, -1000.0f, 1000.0f), uniform(rng, -1000.0f, 1000.0f)};
    return m;
}

struct Agreement {
    size_t particles = 0, identical = 0, straddling = 0;
};

// Checks one fast record against the reference's; a particle whose two local X or Y
// values sit on opposite sides of the volume has crossed the seam in one of them only.
void expectClose(const FallParams& p, const FallParticle& ref, const FallParticle& fast, const FallParticle& refLocal,
                 const FallParticle& fastLocal, Agreement& tally) {
    ++tally.particles;
    tally.identical += std::memcmp(&ref, &fast, sizeof ref) == 0;
    ASSERT_EQ(fast.size, ref.size);
    ASSERT_EQ(fast.age, ref.age);  // the remainders are fmodf's in both
    ASSERT_EQ(fast.fade, ref.fade);
    if (std::fabs(fastLocal.pos.x - refLocal.pos.x) > p.width / 2.0f ||
        std::fabs(fastLocal.pos.y - refLocal.pos.y) > p.length / 2.0f) {
        ++tally.straddling;
        return;
    }
    ASSERT_NEAR(fast.pos.x, ref.pos.x, 1e-3f);
    ASSERT_NEAR(fast.pos.y, ref.pos.y, 1e-3f);
    ASSERT_NEAR(fast.pos.z, ref.pos.z, 1e-3f);
    ASSERT_NEAR(fast.vel.x, ref.vel.x, 1e-3f + 1e-5f * std::fabs(ref.vel.x));
    ASSERT_NEAR(fast.vel.y, ref.vel.y, 1e-3f + 1e-5f * std::fabs(ref.vel.y));
    ASSERT_NEAR(fast.vel.z, ref.vel.z, 1e-3f + 1e-5f * std::fabs(ref.vel.z));
}

TEST(FallFast, AgreesWithTheReference) {
    std::mt19937 rng(20261208);
    Agreement tally;
    const size_t n = 2053;  // not a whole number of lane groups
    std::vector<FallParticle> world(n), local(n);
    for (int c = 0; c < 48; ++c) {
        FallParams p = randomParams(rng);
        if (c % 8 == 7) {  // every particle that draws a speed near 0 at the floor; no wind
            p.speedVar = 1.0f;
            p.windSpeed = 0.0f;
        }
        const FallMatrix m = randomMatrix(rng);
        const uint64_t first = rng() % 2000000;
        for (float t : {-50.0f, 0.0f, 0.37f, 17.3f, 1000.0f}) {
            fallWorldBatch(p, first, n, t, m, world.data());
            fallLocalBatch(p, first, n, t, local.data());
            for (size_t j = 0; j < n; ++j) {
                const FallParticle refLocal = fallLocal(p, first + j, t);
                expectClose(p, fallToWorld(refLocal, m), world[j], refLocal, local[j], tally);
                expectClose(p, refLocal, local[j], refLocal, local[j], tally);
                if (HasFatalFailure()) {
                    ADD_FAILURE() << "case " << c << " t " << t << " particle " << first + j;
                    return;
                }
            }
        }
    }
    EXPECT_LT(tally.straddling * 100000, tally.particles);
    std::printf("%zu particles, %zu bit for bit the reference's, %zu across the seam\n", tally.particles,
                tally.identical, tally.straddling);
}

std::vector<FallSimd> levelsHere() {
    std::vector<FallSimd> levels;
    for (FallSimd level : {FallSimd::Portable, FallSimd::Avx2, FallSimd::Avx512})
        if (fallSimdSupported(level)) levels.push_back(level);
    return levels;
}

TEST(FallFast, SameBitsOnEveryLevel) {
    std::printf("levels on this CPU: %zu of 3\n", levelsHere().size());
    std::mt19937 rng(77);
    const size_t n = 3001;
    std::vector<FallParticle> world(n), local(n), other(n);
    for (int c = 0; c < 12; ++c) {
        const FallParams p = randomParams(rng);
        const FallMatrix m = randomMatrix(rng);
        const float t = uniform(rng, -100.0f, 2000.0f);
        fallWorldBatch(p, 5, n, t, m, world.data(), FallSimd::Portable);
        fallLocalBatch(p, 5, n, t, local.data(), FallSimd::Portable);
        for (FallSimd level : levelsHere()) {
            fallWorldBatch(p, 5, n, t, m, other.data(), level);
            ASSERT_EQ(0, std::memcmp(world.data(), other.data(), n * sizeof(FallParticle)))
                << "world, level " << int(level) << " case " << c;
            fallLocalBatch(p, 5, n, t, other.data(), level);
            ASSERT_EQ(0, std::memcmp(local.data(), other.data(), n * sizeof(FallParticle)))
                << "local, level " << int(level) << " case " << c;
        }
    }
}

TEST(FallFast, SameBitsOnAnyThreadCountAndStartingIndex) {
    std::mt19937 rng(5);
    const FallParams p = randomParams(rng);
    const FallMatrix m = randomMatrix(rng);
    const size_t n = 100003;  // enough groups for the pool to hand out to several threads
    std::vector<FallParticle> one(n), many(n), batch(n);
    setParallelThreadLimit(1);
    fallWorldParallel(p, n, 12.5f, m, one.data());
    setParallelThreadLimit(4);
    fallWorldParallel(p, n, 12.5f, m, many.data());
    setParallelThreadLimit(0);
    EXPECT_EQ(0, std::memcmp(one.data(), many.data(), n * sizeof(FallParticle)));
    // A range that starts mid-group gives the records of the whole run.
    fallWorldBatch(p, 1234, 777, 12.5f, m, batch.data());
    EXPECT_EQ(0, std::memcmp(batch.data(), one.data() + 1234, 777 * sizeof(FallParticle)));
}

}  // namespace
}  // namespace wx
