// Ripples and drops on glass: the slope and speed rules, bead and runner cover, runners
// moving down and showing whole across the pattern's repeat, negative times, and the
// bump as the height's central differences.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "map_test_util.h"
#include "weathermap/glass.h"
#include "weathermap/glass_bump.h"
#include "weathermap/map_eval.h"
#include "weathermap/ripple_bump.h"
#include "weathermap/ripples.h"

using namespace wx;
using namespace wx::maptest;

namespace {

constexpr V3 kUp{0.0f, 0.0f, 1.0f};

TEST(MapRipples, MidGreyWhereNoRingPasses) {
    const MapState m = plainState(MapMode::ripples);  // defaults for the ripple parameters
    int calm = 0, rippled = 0;
    for (const MapSample& s : seededSamples(4000, 11)) {
        const MapSample flat = sampleAt(s.position, kUp, s.s);
        const float rings = rippleRings(m, flat.position, flat.s);
        const float v = mapMonoUnprobed(m, flat);
        if (rings == 0.0f) {
            EXPECT_EQ(v, 0.5f);
            ++calm;
        } else if (std::fabs(rings) > 1e-6f) {  // smaller rings round to 0.5
            EXPECT_NE(v, 0.5f);
            ++rippled;
        }
    }
    EXPECT_GT(calm, 10);
    EXPECT_GT(rippled, 100);
}

TEST(MapRipples, OnlyOnFlatUpFacingGround) {
    const MapState m = plainState(MapMode::ripples);
    const auto tilted = [](float z) { return V3{std::sqrt(1.0f - z * z), 0.0f, z}; };
    int partial = 0;
    for (const MapSample& s : seededSamples(1000, 12)) {
        const float rings = rippleRings(m, s.position, s.s);
        EXPECT_EQ(rippleHeight(m, s.position, tilted(0.6f), s.s), 0.0f);
        EXPECT_EQ(rippleHeight(m, s.position, {0.0f, 0.0f, -1.0f}, s.s), 0.0f);
        EXPECT_EQ(rippleHeight(m, s.position, tilted(0.9f), s.s), rings);
        EXPECT_EQ(rippleHeight(m, s.position, kUp, s.s), rings);
        const float half = rippleHeight(m, s.position, tilted(0.75f), s.s);
        EXPECT_LE(std::fabs(half), std::fabs(rings));
        partial += half != 0.0f && std::fabs(half) < std::fabs(rings);
    }
    EXPECT_GT(partial, 0);
}

TEST(MapRipples, ZeroSpeedNearlyFreezes) {
    const MapState still{.rippleSpeed = 0.0f}, slow{.rippleSpeed = 0.001f}, normal;
    const auto change = [](const MapState& m, V3 p) {
        return std::fabs(rippleRings(m, p, 10) - rippleRings(m, p, 11));
    };
    float stillChange = 0.0f, normalChange = 0.0f;
    for (const MapSample& s : seededSamples(500, 13)) {
        EXPECT_EQ(rippleRings(still, s.position, s.s), rippleRings(slow, s.position, s.s));
        stillChange = std::max(stillChange, change(still, s.position));
        normalChange = std::max(normalChange, change(normal, s.position));
    }
    EXPECT_LT(stillChange, 0.1f * normalChange) << "a period of 600 s or more hardly moves in one second";
}

// The bump's samples share their drops and still get rippleRings' values: in one cell (the
// usual case), straddling cell borders (up to three cells apart), for fewer than four
// points, and at times so far from 0 that the drops' clocks leave the fast remainder;
// points spread over more cells, or cells past 2^23, are declined.
TEST(MapRipples, SharedDropsGiveTheSameRings) {
    MapState m = plainState(MapMode::ripples);
    m.rippleScale = 0.5f;
    int count = 0, sample = 0;
    for (const MapSample& s : seededSamples(3000, 18)) {
        const V3 c = s.position * 0.01f;
        const float time = ++sample % 50 == 0 ? s.s * 1e9f : s.s;
        const V3 spread[4] = {c + V3{0.005f, 0, 0}, c - V3{0.005f, 0, 0}, c + V3{0, 0.45f, 0}, c - V3{0.3f, 0.44f, 0}};
        const V3 tight[4] = {c + V3{0.005f, 0, 0}, c - V3{0.005f, 0, 0}, c + V3{0, 0.005f, 0}, c - V3{0, 0.005f, 0}};
        count = count % 4 + 1;
        for (const V3* points : {spread, tight}) {
            float rings[4];
            ASSERT_TRUE(rippleRingsNear(m, points, count, time, rings));
            for (int i = 0; i < count; ++i) ASSERT_EQ(rings[i], rippleRings(m, points[i], time)) << "point " << i;
        }
    }
    float rings[2];
    const V3 spread[2] = {{3.1f, -2.0f, 0.0f}, {4.7f, -2.0f, 0.0f}}, far[2] = {{1e7f, 0.0f, 0.0f}, {1e7f, 0.0f, 0.0f}};
    EXPECT_FALSE(rippleRingsNear(m, spread, 2, 0.0f, rings));
    EXPECT_FALSE(rippleRingsNear(m, far, 1, 0.0f, rings));
}

// Before frame 0 the rings run the same cycle: as strong as after it, not up to 1.9x.
TEST(MapRipples, NegativeTimesRingAsStrongAsPositive) {
    const MapState m = plainState(MapMode::ripples);
    const std::vector<MapSample> samples = seededSamples(4000, 14);
    for (float s : {3.7f, 41.3f}) {
        double before = 0.0, after = 0.0;
        for (const MapSample& p : samples) {
            const float b = rippleRings(m, p.position, -s);
            before += std::fabs(b);
            after += std::fabs(rippleRings(m, p.position, s));
        }
        EXPECT_GT(before / after, 0.8) << "s " << s;
        EXPECT_LT(before / after, 1.25) << "s " << s;
    }
}

TEST(MapGlass, DensityZeroLeavesThePaneBareAndFullDensityBeadsEveryCell) {
    MapState m = plainState(MapMode::glass);
    m.dropDensity = 0.0f;
    const V3 pane{0.0f, -1.0f, 0.0f};
    for (const MapSample& s : seededSamples(2000, 15)) EXPECT_EQ(glassHeight(m, s.position, pane, s.s), 0.0f);
    // Every 3 x 3 cell on the pane holds its bead (radius at least 0.25) at 1/0.55.
    for (float density : {1.0f / 0.55f, 10.0f}) {
        m.dropDensity = density;
        for (int k = -4; k < 4; ++k) {
            for (int o = -3; o < 3; ++o) {
                float best = 0.0f;
                for (float du = 0.1f; du < 3.0f; du += 0.2f)
                    for (float dv = 0.1f; dv < 3.0f; dv += 0.2f)
                        best = std::max(best, glassdetail::beadHeight(m, 3.0f * k + du, 3.0f * o + dv));
                EXPECT_GT(best, 0.0f) << "cell " << k << ", " << o << " at density " << density;
            }
        }
    }
}

// The glass bump's samples share their beads and runners and still get glassHeight's
// values: on panes of every slope, across bead cells and runner columns (points up to
// three cells apart), at every density, before and after frame 0, for one to four
// points. Points spread over more cells, or past 2^23 cells, are declined.
TEST(MapGlass, SharedDropsGiveTheSameHeights) {
    MapState m = plainState(MapMode::glass);
    m.dropScale = 1.0f;
    int count = 0;
    for (const MapSample& s : seededSamples(4000, 19)) {
        m.dropDensity = float(count % 3) * 0.9f;  // none, some, nearly full
        const V3 n = normalize(s.normal), c = s.position * 0.05f;
        const V3 side = normalize(cross(n, V3{0.3f, 0.5f, 0.8f})), up = cross(n, side);
        const V3 points[4] = {c + side * 0.05f, c - side * 0.05f, c + up * 2.0f, c - side * 2.5f - up * 2.0f};
        count = count % 4 + 1;
        float heights[4];
        ASSERT_TRUE(glassHeightsNear(m, points, count, n, s.s, heights));
        for (int i = 0; i < count; ++i) ASSERT_EQ(heights[i], glassHeight(m, points[i], n, s.s)) << "point " << i;
    }
    m.dropDensity = 1.0f;
    float heights[2];
    const V3 pane{0.0f, -1.0f, 0.0f};
    const V3 spread[2] = {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 13.0f}}, far[1] = {{0.0f, 0.0f, 3e7f}};
    EXPECT_FALSE(glassHeightsNear(m, spread, 2, pane, 0.0f, heights));
    EXPECT_FALSE(glassHeightsNear(m, far, 1, pane, 0.0f, heights));
}

TEST(MapGlass, RunnerHeadsMoveDown) {
    MapState m = plainState(MapMode::glass);
    m.dropDensity = 10.0f;  // a runner in every column
    m.dropScale = 1.0f;
    int followed = 0;
    for (float s = 0.0f; s < 4.0f; s += 0.37f) {
        // The head: the highest point (above 1 only in heads) along a column.
        for (float u = 0.0f; u < 6.0f; u += 0.1f) {
            float bestV = 0.0f, best = 0.0f;
            for (float v = 10.0f; v < 50.0f; v += 0.02f) {
                const float h = glassdetail::runnerHeight(m, u, v, s, m.dropScale);
                if (h > best) best = h, bestV = v;
            }
            if (best < 1.09f || bestV < 12.0f) continue;  // not through the head's middle
            float laterBest = 0.0f, laterV = 0.0f;
            for (float v = bestV - 2.0f; v < bestV + 2.0f; v += 0.02f) {
                const float h = glassdetail::runnerHeight(m, u, v, s + 0.05f, m.dropScale);
                if (h > laterBest) laterBest = h, laterV = v;
            }
            EXPECT_LT(laterV, bestV) << "u " << u << " s " << s;
            ++followed;
        }
    }
    EXPECT_GT(followed, 10);
}

// A head is whole wherever its travel puts it, also across the 60-unit repeat line.
TEST(MapGlass, RunnerHeadsShowWholeAcrossTheRepeat) {
    MapState m = plainState(MapMode::glass);
    m.dropDensity = 10.0f;
    m.dropScale = 1.0f;
    int acrossLine = 0;
    for (float s = -3.0f; s < 30.0f; s += 0.02f) {
        for (float u = 0.0f; u < 6.0f; u += 0.1f) {
            for (float v = 59.0f; v < 61.5f; v += 0.05f) {
                if (glassdetail::runnerHeight(m, u, v, s, 1.0f) <= 1.05f) continue;  // within 0.39 of a head's centre
                EXPECT_GT(glassdetail::runnerHeight(m, u, v - 0.5f, s, 1.0f), 0.3f) << "u " << u << " v " << v;
                EXPECT_GT(glassdetail::runnerHeight(m, u, v + 0.5f, s, 1.0f), 0.3f) << "u " << u << " v " << v;
                acrossLine += v > 60.0f && v - 0.5f < 60.0f;
            }
        }
    }
    EXPECT_GT(acrossLine, 0) << "no head was caught on the repeat line";
}

// The bump is -strength times the height's central differences along the tangents, and
// invert turns it round. On level ground the tangents are world Y and -X; on a pane
// facing -Y they are -X and -Z.
TEST(MapBump, CentralDifferencesOfTheHeight) {
    for (MapMode mode : {MapMode::ripples, MapMode::glass}) {
        MapState m = plainState(mode);
        const bool ripples = mode == MapMode::ripples;
        const V3 n = ripples ? kUp : V3{0.0f, -1.0f, 0.0f};
        const float h = ripples ? 0.01f * m.rippleScale : 0.05f * m.dropScale;
        const float k = ripples ? 0.02f * m.rippleScale : 0.6f * m.dropScale;
        int bumped = 0;
        for (const MapSample& s : seededSamples(800, 16)) {
            MapSample sample = sampleAt(ripples ? s.position : s.position * 0.01f, n, s.s);
            const V3 p = sample.position;
            const auto height = [&](V3 q) { return mapBumpHeight(m, q, n, sample.s); };
            const float dx = (height(p + V3{h, 0, 0}) - height(p - V3{h, 0, 0})) / (2.0f * h);
            const float dSecond = ripples ? (height(p + V3{0, h, 0}) - height(p - V3{0, h, 0})) / (2.0f * h)
                                          : (height(p + V3{0, 0, h}) - height(p - V3{0, 0, h})) / (2.0f * h);
            m.invert = false;
            const V3 bump = mapPerturbWorld(m, sample);
            EXPECT_FLOAT_EQ(bump.x, -k * dx);
            EXPECT_FLOAT_EQ(ripples ? bump.y : bump.z, -k * dSecond);
            EXPECT_NEAR(dot(bump, n), 0.0f, 1e-6f) << "the bump lies in the surface";
            m.invert = true;
            const V3 inverted = mapPerturbWorld(m, sample);
            EXPECT_EQ(inverted.x, -bump.x);
            EXPECT_EQ(inverted.y, -bump.y);
            EXPECT_EQ(inverted.z, -bump.z);
            bumped += bump.x != 0.0f;
        }
        EXPECT_GT(bumped, 20) << "mode " << int(mode);
    }
}

TEST(MapBump, MasksNeverBump) {
    MapState m;
    for (MapMode mode : {MapMode::wetness, MapMode::puddles, MapMode::sparkle}) {
        m.mode = int32_t(mode);
        for (const MapSample& s : seededSamples(200, 17)) {
            const V3 bump = mapPerturbWorld(m, s);
            EXPECT_EQ(bump.x, 0.0f);
            EXPECT_EQ(bump.y, 0.0f);
            EXPECT_EQ(bump.z, 0.0f);
        }
    }
}

}  // namespace
