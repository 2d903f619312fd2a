#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/angles.h"
#include "common/parallel_for.h"
#include "shelter/sky_cpu.h"
#include "shelter/sky_visibility.h"
#include "shelter_test_scenes.h"

using namespace wx;

namespace {

SkyParams params(float spreadDegrees, int rays = 24, float occDist = 0.0f, float drift = 0.0f, float leeDist = 0.0f,
                 float windDegrees = 0.0f) {
    SkyInputs in;
    in.occRays = rays;
    in.spreadDegrees = spreadDegrees;
    in.occDist = occDist;
    in.drift = drift;
    in.leeDist = leeDist;
    in.windAngleDegrees = windDegrees;
    in.fineEdge = 0.5f;
    in.depth = 1.0f;
    in.diag = 100.0f;
    in.seed = 7;
    return makeSkyParams(in);
}

ShelterBVH build(const std::vector<V3>& soup) {
    ShelterBVH bvh;
    buildBVH(soup, bvh);
    return bvh;
}

}  // namespace

TEST(SkyParams, DerivedFromTheSnowSettings) {
    SkyParams p = params(60.0f);
    EXPECT_NEAR(p.spread, radiansFromDegrees(60.0f), 1e-7f);
    EXPECT_EQ(p.maxDist, 1e30f);   // occDist 0: unlimited
    EXPECT_EQ(p.skyDir.z, 1.0f);   // drift 0: straight up
    EXPECT_EQ(p.leeReach, 0.0f);   // drift 0: no lee rays, whatever leeDist says
    EXPECT_EQ(p.rayOffset, 0.02f);  // min(fine 0.5 x 0.05, depth 1 x 0.02), above diag x 2e-5
    EXPECT_EQ(params(1.1f).spread, 0.02f);  // under about 1.15 degrees: raised
    EXPECT_EQ(params(60.0f, 0).rays, 1);
    EXPECT_EQ(params(60.0f, 1000).rays, 256);
    EXPECT_EQ(params(60.0f, 24, 5.0f).maxDist, 5.0f);

    SkyParams windy = params(60.0f, 24, 0.0f, 0.5f, 3.0f, 90.0f);
    EXPECT_EQ(windy.leeReach, 3.0f);
    EXPECT_NEAR(windy.windDir.y, 1.0f, 1e-6f);
    EXPECT_LT(windy.skyDir.y, -0.4f);  // the cone leans against the wind
    EXPECT_NEAR(length(windy.skyDir), 1.0f, 1e-6f);
}

TEST(SkyVisibility, ConeRaysSpiralInsideTheCone) {
    SkyParams one = params(60.0f, 1);
    V3 t1, t2, dir;
    coneFrame(one.skyDir, t1, t2);
    ASSERT_TRUE(coneRay(one, t1, t2, 0.3f, cosf(one.spread), {0, 0, 1}, 0, dir));
    // A single ray sits half-way into the cone's cap: cos = 1 - 0.5 (1 - cos spread).
    EXPECT_NEAR(dot(dir, one.skyDir), 1.0f - 0.5f * (1.0f - cosf(one.spread)), 1e-6f);

    SkyParams many = params(45.0f, 64);
    coneFrame(many.skyDir, t1, t2);
    for (int j = 0; j < 64; ++j) {
        ASSERT_TRUE(coneRay(many, t1, t2, 1.0f, cosf(many.spread), {0, 0, 1}, j, dir));
        EXPECT_NEAR(length(dir), 1.0f, 1e-5f);
        EXPECT_GE(dot(dir, many.skyDir), cosf(many.spread) - 1e-6f);
    }
}

TEST(SkyVisibility, RoofsShelterAndOccDistLimitsThem) {
    std::vector<V3> soup;
    addQuad(soup, -100, -100, 100, 100, 0.0f);  // ground
    addQuad(soup, -30, -30, 30, 30, 10.0f);     // a wide roof 10 units up
    ShelterBVH bvh = build(soup);
    const V3 up{0, 0, 1};
    EXPECT_EQ(skyVisibility(bvh.view(), {0, 0, 0}, up, 0, params(60.0f)).open, 0.0f);
    EXPECT_EQ(skyVisibility(bvh.view(), {80, 80, 0}, up, 1, params(60.0f)).open, 1.0f);
    // The roof is beyond a 5-unit reach, within a 20-unit one.
    EXPECT_EQ(skyVisibility(bvh.view(), {0, 0, 0}, up, 0, params(60.0f, 24, 5.0f)).open, 1.0f);
    EXPECT_EQ(skyVisibility(bvh.view(), {0, 0, 0}, up, 0, params(60.0f, 24, 20.0f)).open, 0.0f);
    // Near the roof's edge part of the cone escapes.
    float edge = skyVisibility(bvh.view(), {32, 0, 0}, up, 3, params(60.0f, 64)).open;
    EXPECT_GT(edge, 0.2f);
    EXPECT_LT(edge, 0.8f);
}

TEST(SkyVisibility, RoofPointsSkipRaysBelowTheirPlaneWallPointsCastThem) {
    std::vector<V3> soup;
    addQuad(soup, -100, -100, 100, 100, 0.0f);
    // A ground point with a cone wider than the hemisphere: the rays below the ground are
    // skipped, not counted as blocked.
    EXPECT_EQ(skyVisibility(build(soup).view(), {60, 0, 0}, {0, 0, 1}, 0, params(120.0f, 64)).open, 1.0f);
    addWallX(soup, 0.0f, -100, 100, 0, 100);
    ShelterBVH bvh = build(soup);
    // A wall point (normal nearly horizontal) keeps the rays that head into its wall,
    // and those are blocked: about half the hemisphere.
    float wall = skyVisibility(bvh.view(), {0, 0, 20}, {1, 0, 0}, 0, params(90.0f, 64)).open;
    EXPECT_GT(wall, 0.35f);
    EXPECT_LT(wall, 0.65f);
}

TEST(SkyVisibility, LeeComesFromUpwindObstaclesOnlyWithDrift) {
    std::vector<V3> soup;
    addWallX(soup, 0.0f, -50, 50, 0, 3);  // a low wall
    ShelterBVH bvh = build(soup);
    // Wind blowing towards +X: the lee side is x > 0, the upwind rays look back to -X.
    SkyParams drift = params(30.0f, 24, 0.0f, 0.5f, 10.0f, 0.0f);
    SkyResult lee = skyVisibility(bvh.view(), {1, 0, 0}, {0, 0, 1}, 0, drift);
    SkyResult far = skyVisibility(bvh.view(), {8, 0, 0}, {0, 0, 1}, 0, drift);
    SkyResult windward = skyVisibility(bvh.view(), {-1, 0, 0}, {0, 0, 1}, 0, drift);
    EXPECT_GT(lee.lee, 0.8f);
    EXPECT_GT(lee.lee, far.lee);
    EXPECT_GT(far.lee, 0.0f);
    EXPECT_EQ(windward.lee, 0.0f);
    EXPECT_EQ(skyVisibility(bvh.view(), {1, 0, 0}, {0, 0, 1}, 0, params(30.0f, 24, 0.0f, 0.0f, 10.0f)).lee, 0.0f);
}

TEST(SkyVisibility, ThreadPoolGivesThePointByPointAnswersOnAnyThreadCount) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<V3> soup = randomSoup(rng, 1500);
    addQuad(soup, -20, -20, 20, 20, -11.0f);
    ShelterBVH bvh = build(soup);
    const size_t n = 6000;  // above the inline threshold, so the pool really runs
    std::vector<V3> positions(n), normals(n);
    for (size_t i = 0; i < n; ++i) {
        positions[i] = {unit(rng) * 15, unit(rng) * 15, -11.0f + 20.0f * std::fabs(unit(rng))};
        normals[i] = i % 4 ? V3{0, 0, 1} : normalize({unit(rng), unit(rng), unit(rng)});
    }
    const SkyParams p = params(50.0f, 24, 0.0f, 0.3f, 6.0f, 30.0f);
    std::vector<SkyResult> reference(n);
    for (size_t i = 0; i < n; ++i) reference[i] = skyVisibility(bvh.view(), positions[i], normals[i], uint32_t(i), p);

    for (unsigned threads : {1u, 0u}) {
        setParallelThreadLimit(threads);
        std::vector<SkyResult> got(n);
        measureSkyCpu(bvh, positions, normals, p, got);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(got[i].open, reference[i].open) << "point " << i << " threads " << threads;
            ASSERT_EQ(got[i].lee, reference[i].lee) << "point " << i << " threads " << threads;
        }
    }
    setParallelThreadLimit(0);
}

// Arrays of different lengths would read and write past their ends; the batch entry
// refuses them by name before any ray is cast, so the modifier's status can show it.
TEST(SkyVisibility, BatchRefusesArraysOfDifferentLengthsByName) {
    std::vector<V3> soup;
    addQuad(soup, -10, -10, 10, 10, 5.0f);
    ShelterBVH bvh = build(soup);
    const std::vector<V3> positions(3, V3{0, 0, 0}), twoNormals(2, V3{0, 0, 1}), normals(3, V3{0, 0, 1});
    std::vector<SkyResult> results(3), tooFew(2);
    auto refusal = [&](std::span<const V3> n, std::span<SkyResult> r) -> std::string {
        try {
            measureSkyCpu(bvh, positions, n, params(60.0f), r);
        } catch (const std::logic_error& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal(twoNormals, results), "measureSkyCpu: normals.size() == positions.size()");
    EXPECT_EQ(refusal(normals, tooFew), "measureSkyCpu: results.size() == positions.size()");
    EXPECT_EQ(refusal(normals, results), "accepted");
    EXPECT_EQ(results[0].open, 0.0f);  // under the roof
}
