// One shading sample end to end: paint and invert in their order, broken samples, far
// away points, every mode's range on seeded samples, and sparkle's view buckets.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "map_test_util.h"
#include "weathermap/map_eval.h"
#include "weathermap/sparkle.h"

using namespace wx;
using namespace wx::maptest;

namespace {

constexpr V3 kUp{0.0f, 0.0f, 1.0f};
constexpr MapMode kModes[] = {MapMode::wetness, MapMode::puddles, MapMode::ripples, MapMode::glass, MapMode::sparkle};

TEST(MapEval, PaintWeighsBeforeInvertAndOnlyMasks) {
    MapState m = plainState(MapMode::wetness);  // wetness 1 everywhere
    MapSample s = sampleAt({1.0f, 2.0f, 0.0f}, kUp);
    s.paintFactor = 0.25f;
    m.usePaint = true;
    EXPECT_FLOAT_EQ(mapMonoUnprobed(m, s), 0.25f);
    m.invert = true;
    EXPECT_FLOAT_EQ(mapMonoUnprobed(m, s), 0.75f) << "invert comes after the paint";
    m.usePaint = false;
    EXPECT_EQ(mapMonoUnprobed(m, s), 0.0f);
    // The painted colour's weight is its mean, clamped.
    EXPECT_FLOAT_EQ(paintFactorOf({0.3f, 0.6f, 0.9f}), 0.6f);
    EXPECT_EQ(paintFactorOf({2.0f, 2.0f, 2.0f}), 1.0f);
    EXPECT_EQ(paintFactorOf({-1.0f, 0.0f, 0.0f}), 0.0f);
    EXPECT_EQ(paintFactorOf({NAN, 0.0f, 0.0f}), 0.0f);

    // The bumps' heights are not covers: unpainted areas keep them.
    for (MapMode mode : {MapMode::ripples, MapMode::glass}) {
        MapState bump = plainState(mode), painted = bump;
        painted.usePaint = true;
        for (MapSample sample : seededSamples(300, 21)) {
            sample.paintFactor = 0.0f;
            EXPECT_EQ(mapMonoUnprobed(painted, sample), mapMonoUnprobed(bump, sample));
        }
    }
}

TEST(MapEval, BrokenSamplesShadeZeroAndBumpNothing) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const MapSample good = sampleAt({3.0f, 1.0f, 0.5f}, kUp, 2.0f);
    MapSample broken[4] = {good, good, good, good};
    broken[0].position.x = nan;
    broken[1].position.z = inf;
    broken[2].normal.y = nan;
    broken[3].s = nan;  // a broken time breaks only the animated results
    for (MapMode mode : kModes) {
        MapState m;
        m.mode = int32_t(mode);
        m.sparkleDensity = 1.0f;
        const bool animated = mode == MapMode::ripples || mode == MapMode::glass;
        for (const MapSample& s : broken) {
            const V3 bump = mapPerturbWorld(m, s);
            EXPECT_TRUE(bump.x == 0.0f && bump.y == 0.0f && bump.z == 0.0f) << "mode " << int(mode);
            if (&s == &broken[3] && !animated) {
                EXPECT_EQ(mapMonoUnprobed(m, s), mapMonoUnprobed(m, good));
                continue;
            }
            EXPECT_EQ(mapMonoUnprobed(m, s), 0.0f) << "mode " << int(mode);
            m.invert = true;
            EXPECT_EQ(mapMonoUnprobed(m, s), 1.0f) << "0 is inverted like any value";
            m.invert = false;
        }
    }
    MapState sparkleMap = plainState(MapMode::sparkle);
    sparkleMap.sparkleDensity = 1.0f;
    MapSample blind = good;
    blind.viewDir = {nan, 0.0f, 1.0f};
    EXPECT_EQ(mapMonoUnprobed(sparkleMap, blind), 0.0f);
    MapState unknown;
    unknown.mode = 7;
    EXPECT_EQ(mapMonoUnprobed(unknown, good), 0.0f);
}

// Masks in [0, 1] and finite bumps for every mode over random samples, also past 2^31
// lattice cells and at the edges of the parameter ranges.
TEST(MapEval, EveryModeStaysInRange) {
    const MapState extremes[3] = {{},
                                  {.seedKey = 1000000,
                                   .breakup = 1.0f,
                                   .puddleAmount = 1.0f,
                                   .rippleDensity = 10.0f,
                                   .dropDensity = 10.0f,
                                   .sparkleDensity = 1.0f},
                                  {.breakupScale = 1e-3f,
                                   .puddleScale = 1e-3f,
                                   .puddleEdge = 1e-3f,
                                   .rippleScale = 1e-3f,
                                   .rippleSpeed = 50.0f,
                                   .dropScale = 1e-4f,
                                   .dropSpeed = 1e6f,
                                   .sparkleScale = 1e-4f}};
    for (MapState m : extremes) {
        for (MapMode mode : kModes) {
            m.mode = int32_t(mode);
            for (MapSample s : seededSamples(400, 22)) {
                for (float far : {1.0f, 3e5f}) {  // 3e5: past 2^31 cells of the smallest sizes
                    s.position = s.position * far;
                    const float v = mapMonoUnprobed(m, s);
                    ASSERT_GE(v, 0.0f);
                    ASSERT_LE(v, 1.0f);
                    const V3 bump = mapPerturbWorld(m, s);
                    ASSERT_TRUE(std::isfinite(bump.x) && std::isfinite(bump.y) && std::isfinite(bump.z));
                }
            }
        }
    }
}

TEST(MapSparkle, NoneAtDensityZero) {
    MapState m = plainState(MapMode::sparkle);
    m.sparkleDensity = 0.0f;
    for (const MapSample& s : seededSamples(2000, 25)) {
        EXPECT_EQ(sparkle(m, s.position, normalize(s.viewDir)), 0.0f);
        EXPECT_EQ(sparkle(m, s.position * 1e-3f, normalize(s.viewDir)), 0.0f);
    }
}

// Within one view bucket (1/6 per axis) a point sparkles the same; across a boundary
// the glints re-draw which way they face.
TEST(MapSparkle, ViewBucketsDecideWhichGlintsShow) {
    MapState m = plainState(MapMode::sparkle);
    m.sparkleDensity = 0.5f;
    const float y = 0.3f;
    const auto viewWithX = [&](float x) { return V3{x, y, -std::sqrt(1.0f - x * x - y * y)}; };
    const V3 below = viewWithX(1.0f / 6.0f - 0.002f), alsoBelow = viewWithX(1.0f / 6.0f - 0.03f),
             above = viewWithX(1.0f / 6.0f + 0.002f);
    int differs = 0;
    for (const MapSample& s : seededSamples(3000, 26)) {
        const V3 p = s.position * 0.001f;
        const float a = sparkle(m, p, below);
        EXPECT_EQ(a, sparkle(m, p, alsoBelow));
        differs += a != sparkle(m, p, above);
    }
    EXPECT_GT(differs, 100);
}

}  // namespace
