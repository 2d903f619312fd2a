// Wetness and puddles: the slope rules, the dry patches, puddle cover, and the shelter
// probe under a floating roof (with the wide and the binary hierarchy agreeing).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/noise.h"
#include "map_test_util.h"
#include "shelter/bvh.h"
#include "weathermap/map_cpu.h"
#include "weathermap/map_eval.h"
#include "weathermap/wetness.h"

using namespace wx;
using namespace wx::maptest;

namespace {

constexpr V3 kUp{0.0f, 0.0f, 1.0f};

TEST(MapPuddles, NoCoverNoPuddleInEitherMode) {
    MapState m = plainState(MapMode::puddles);
    m.puddleAmount = 0.0f;
    MapState wet = m;
    wet.mode = int32_t(MapMode::wetness);
    wet.wetness = 0.25f;
    for (const MapSample& s : seededSamples(500, 3)) {
        const MapSample flat = sampleAt(s.position, kUp);
        EXPECT_EQ(mapMonoUnprobed(m, flat), 0.0f);
        EXPECT_FLOAT_EQ(mapMonoUnprobed(wet, flat), 0.25f) << "a puddle showed through the wetness";
    }
}

TEST(MapPuddles, OnlyOnNearlyFlatGroundAndTheSameAtEveryHeight) {
    MapState m = plainState(MapMode::puddles);
    m.puddleAmount = 1.0f;  // nearly everything that is flat enough is a puddle
    const float tiltZ = m.flatOnly - 0.0151f;
    const V3 tilted{std::sqrt(1.0f - tiltZ * tiltZ), 0.0f, tiltZ};
    int wetFlat = 0;
    for (const MapSample& s : seededSamples(500, 4)) {
        EXPECT_EQ(puddles(m, s.position, tilted), 0.0f);
        const float flat = puddles(m, s.position, kUp);
        wetFlat += flat > 0.5f;
        const V3 higher = s.position + V3{0.0f, 0.0f, 37.5f};
        EXPECT_EQ(puddles(m, higher, kUp), flat) << "puddles lie in plan view";
    }
    EXPECT_GT(wetFlat, 400) << "full puddle cover should flood flat ground";
    // Between the two slope limits the cover fades in.
    const float midZ = m.flatOnly - 0.005f;
    const V3 mid{std::sqrt(1.0f - midZ * midZ), 0.0f, midZ};
    const V3 p{12.0f, -7.0f, 0.0f};
    const float flat = puddles(m, p, kUp), part = puddles(m, p, mid);
    EXPECT_GT(part, 0.0f);
    EXPECT_LT(part, flat);
}

TEST(MapWetness, WallsAndOverhangsKeepASheen) {
    MapState m = plainState(MapMode::wetness);
    m.upFacing = 1.0f;
    m.puddleAmount = 1.0f;  // even then no puddle can form on a wall
    for (float wetness : {1.0f, 0.5f}) {
        m.wetness = wetness;
        for (V3 n : {V3{1.0f, 0.0f, 0.0f}, V3{0.0f, -1.0f, 0.0f}, V3{0.0f, 0.0f, -1.0f}, V3{0.6f, 0.0f, -0.8f}}) {
            EXPECT_FLOAT_EQ(mapMonoUnprobed(m, sampleAt({3.0f, 4.0f, 5.0f}, n)), 0.04296875f * wetness);
        }
        MapState noPuddles = m;
        noPuddles.puddleAmount = 0.0f;
        EXPECT_FLOAT_EQ(mapMonoUnprobed(noPuddles, sampleAt({3.0f, 4.0f, 5.0f}, kUp)), wetness);
    }
    m.upFacing = 0.0f;
    m.puddleAmount = 0.0f;
    m.wetness = 0.8f;
    EXPECT_FLOAT_EQ(mapMonoUnprobed(m, sampleAt({3.0f, 4.0f, 5.0f}, {0.0f, 0.0f, -1.0f})), 0.8f)
        << "upFacing 0 wets every face alike";
}

TEST(MapWetness, DryPatchesFollowTheNoise) {
    MapState m = plainState(MapMode::wetness);
    m.breakup = 0.0f;
    for (const MapSample& s : seededSamples(300, 5)) {
        EXPECT_EQ(mapMonoUnprobed(m, sampleAt(s.position, kUp)), 1.0f) << "breakup 0 leaves no dry patch";
    }
    // breakup 1: wet only where the patch noise passes 0.48, fully wet from 0.72.
    m.breakup = 1.0f;
    int dry = 0, wet = 0;
    for (const MapSample& s : seededSamples(3000, 6)) {
        const float v = mapMonoUnprobed(m, sampleAt(s.position, kUp));
        const float noise = fbmNoise(s.position / m.breakupScale, 4, m.seedKey * 5 + 1);
        if (noise <= 0.48f) {
            EXPECT_EQ(v, 0.0f) << "noise " << noise;
        }
        if (noise >= 0.72f) {
            EXPECT_EQ(v, 1.0f) << "noise " << noise;
        }
        dry += v == 0.0f;
        wet += v > 0.0f;
    }
    EXPECT_GT(dry, 1000);
    EXPECT_GT(wet, 0);
}

// A 40 x 40 roof floating 5 units over the origin.
ShelterBVH floatingRoof() {
    const std::vector<V3> soup = {{-20, -20, 5}, {20, -20, 5}, {20, 20, 5}, {-20, -20, 5}, {20, 20, 5}, {-20, 20, 5}};
    ShelterBVH bvh;
    buildBVH(soup, bvh);
    return bvh;
}

TEST(MapWetness, UnderARoofOnlyWithTheProbe) {
    const ShelterBVH roof = floatingRoof();
    MapState m = plainState(MapMode::wetness);
    const MapSample under = sampleAt({1.5f, -2.0f, 0.0f}, kUp), open = sampleAt({80.0f, 3.0f, 0.0f}, kUp);
    EXPECT_EQ(mapMonoCpu(m, under, &roof), 0.0f);
    EXPECT_EQ(mapMonoCpu(m, open, &roof), 1.0f);
    EXPECT_EQ(mapMonoUnprobed(m, under), 1.0f);
    // No scene, an empty scene, or the option off: no effect.
    const ShelterBVH empty;
    EXPECT_EQ(mapMonoCpu(m, under, nullptr), 1.0f);
    EXPECT_EQ(mapMonoCpu(m, under, &empty), 1.0f);
    m.sheltered = false;
    EXPECT_EQ(mapMonoCpu(m, under, &roof), 1.0f);
    // Faces turned away from the sky are not probed: a wall under the roof keeps its wetness.
    m.sheltered = true;
    EXPECT_EQ(mapMonoCpu(m, sampleAt({1.5f, -2.0f, 1.0f}, {1.0f, 0.0f, 0.0f}), &roof), 1.0f);
    // Puddles stay under cover (the probe darkens only the wetness around them).
    m.puddleAmount = 1.0f;
    EXPECT_EQ(mapMonoCpu(m, under, &roof), puddles(m, under.position, kUp));
}

TEST(MapWetness, WideAndBinaryProbesAgree) {
    const ShelterBVH roof = floatingRoof();
    MapState m;  // defaults: breakup, puddles and a partial up-facing weight
    for (const MapSample& s : seededSamples(400, 7)) {
        MapSample near = s;
        near.position = {s.position.x * 0.03f, s.position.y * 0.03f, s.position.z * 0.1f};  // around the roof
        const BinaryTracer binary{roof.view()};
        EXPECT_EQ(mapMonoCpu(m, near, &roof), mapMonoWith(m, near, &binary));
    }
}

// The probe skips tracing only where its cone meets nothing: there every ray the
// reference tracer casts escapes. Points around a roof, a wall and a far-reaching ground,
// at heights from below the roof to above it; both answers occur.
TEST(MapWetness, ClearConeMeansEveryRayEscapes) {
    const std::vector<V3> soup = {
        {-20, -20, 5},   {20, -20, 5},   {20, 20, 5},   // the roof
        {-20, -20, 5},   {20, 20, 5},    {-20, 20, 5},  //
        {30, -10, 0},    {30, 10, 0},    {30, 10, 12},  // a wall
        {-500, -500, 0}, {500, -500, 0}, {0, 500, 0},   // the ground
    };
    ShelterBVH scene;
    buildBVH(soup, scene);
    const BinaryTracer binary{scene.view()};
    int clear = 0, blocked = 0;
    for (const MapSample& s : seededSamples(3000, 23)) {
        const V3 p{s.position.x * 0.08f, s.position.y * 0.08f, s.position.z * 0.15f + 1.0f};
        const V3 n = normalize(V3{s.normal.x * 0.5f, s.normal.y * 0.5f, std::fabs(s.normal.z) + 0.6f});
        const uint32_t index = wetProbeIndex(p, s.faceNumber);
        const bool isClear = probeConeClear(*scene.wide, skyRayOrigin(wetProbeParams(), p, n));
        if (isClear) {
            EXPECT_EQ(skyVisibilityWith(binary, p, n, index, wetProbeParams()).open, 1.0f) << p.x << " " << p.y;
        }
        EXPECT_EQ(wetProbeOpen(WideTracer{scene.wide.get()}, p, n, index),
                  skyVisibilityWith(binary, p, n, index, wetProbeParams()).open);
        clear += isClear;
        blocked += !isClear;
    }
    EXPECT_GT(clear, 300);
    EXPECT_GT(blocked, 300);
    const V3 underRoof{0.0f, 0.0f, 1.0f}, besideRoof{60.0f, 60.0f, 1.0f}, aboveAll{0.0f, 0.0f, 13.0f};
    EXPECT_FALSE(probeConeClear(*scene.wide, underRoof));
    EXPECT_TRUE(probeConeClear(*scene.wide, besideRoof));
    EXPECT_TRUE(probeConeClear(*scene.wide, aboveAll));
}

TEST(MapWetness, ProbeIndexWrapsFarAwayAndBigFaces) {
    // int(y * 17) past 2^31 and face x 7919 past 2^31 wrap as the lattice does; NaN is 0.
    EXPECT_EQ(wetProbeIndex({0.0f, 0.0f, 0.0f}, 271182), 271182u * 7919u);
    EXPECT_EQ(wetProbeIndex({0.0f, 134217728.0f, 0.0f}, 0), 2281701376u);  // 2^27 x 17
    EXPECT_EQ(wetProbeIndex({-1.5f, -0.9f, 0.0f}, 0), uint32_t(-15) ^ uint32_t(-19)) << "truncated toward zero";
    EXPECT_EQ(wetProbeIndex({NAN, INFINITY, 0.0f}, 0), 0u);
}

}  // namespace
