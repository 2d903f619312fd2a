// The snow amount: patches, street level, wind exposure, paint, regions, the keep
// threshold; read back as thickness over flat or tilted planes with bumps and lip off.
#include <gtest/gtest.h>

#include <cmath>

#include "common/angles.h"
#include "snow/snow_work.h"
#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

constexpr float kSide = 1000.0f;

// Refined enough that every region and band has points in it.
SnowSettings gridSettings() {
    SnowSettings s = plainSettings();
    s.resolution = 50.0f;
    s.noiseScale = 1e6f;
    return s;
}

float liftFor(const SnowSettings& s, double diag) {
    return std::max(float(diag * 1e-5), s.depth * 0.02f);
}

// Amount per top vertex of a flat square at z = 0: (z - lift) / depth.
std::vector<std::pair<V3, float>> flatAmounts(const SnowSettings& s, const std::vector<float>* paint = nullptr) {
    SnowSettings settings = s;
    settings.paintWeights = paint;
    const Built b = build(flatSquare(kSide), settings);
    const float lift = liftFor(s, kSide * std::sqrt(2.0));
    std::vector<std::pair<V3, float>> out;
    for (int32_t v : topVertices(b.shell)) {
        const V3 p = b.shell.vertices[size_t(v)];
        out.push_back({p, (p.z - lift) / s.depth});
    }
    return out;
}

TEST(SnowAmount, CoverageOneSkipsThePatchNoiseAndZeroClearsAlmostAll) {
    SnowSettings s = gridSettings();
    s.coverage = 1.0f;
    const auto full = flatAmounts(s);
    ASSERT_FALSE(full.empty());
    for (const auto& [p, a] : full) ASSERT_NEAR(a, 1.0f, 1e-5f) << "at " << p.x << ", " << p.y;

    s.coverage = 0.0f;
    const Built none = build(flatSquare(kSide), s);
    EXPECT_LT(none.stats.meanAmount, 0.01f);

    s.coverage = 0.5f;
    s.patchScale = 200.0f;
    const Built half = build(flatSquare(kSide), s);
    EXPECT_GT(half.stats.meanAmount, 0.2f);
    EXPECT_LT(half.stats.meanAmount, 0.8f);
}

TEST(SnowAmount, StreetLevelThinsOnlyTheLowBand) {
    Mesh m = flatSquare(100.0f, 0.0f);
    const Mesh roof = flatSquare(100.0f, 100.0f);
    for (int32_t f : roof.faces) m.faces.push_back(f + int32_t(m.positions.size()));
    m.positions.insert(m.positions.end(), roof.positions.begin(), roof.positions.end());
    SnowSettings s = plainSettings();
    s.resolution = 10.0f;
    s.groundCover = 0.0f;
    s.groundBand = 40.0f;
    const Built b = build(m, s);
    ASSERT_GT(b.shell.vertices.size(), 0u);
    for (V3 p : b.shell.vertices) ASSERT_GT(p.z, 90.0f) << "snow left at street level";
    s.groundCover = 1.0f;
    const Built both = build(m, s);
    EXPECT_EQ(both.stats.trianglesOut, 2 * b.stats.trianglesOut);
}

struct WindCase {
    const char* name;
    float windAngle, tilt, drift, factor;
};
class WindExposure : public ::testing::TestWithParam<WindCase> {};

// A square tilted by `tilt` rising along +Y faces -Y: into a wind blowing toward +Y (90 deg).
TEST_P(WindExposure, ScalesTheSlopeWeight) {
    const WindCase& c = GetParam();
    const float cs = std::cos(radiansFromDegrees(c.tilt)) * 100.0f, sn = std::sin(radiansFromDegrees(c.tilt)) * 100.0f;
    Mesh m;
    m.quad(m.add({0, 0, 0}), m.add({100, 0, 0}), m.add({100, cs, sn}), m.add({0, cs, sn}));
    SnowSettings s = plainSettings();
    s.slopeMax = 80.0f;
    s.slopeSoft = 1.0f;
    s.windAngle = c.windAngle;
    s.drift = c.drift;
    const Built b = build(m, s);
    const float lift = liftFor(s, std::sqrt(100.0 * 100.0 + cs * cs + sn * sn));
    const auto tops = topVertices(b.shell);
    ASSERT_FALSE(tops.empty());
    for (int32_t v : tops) {
        const V3 p = b.shell.vertices[size_t(v)];
        const float surfaceZ = p.y * sn / cs;
        EXPECT_NEAR((p.z - surfaceZ - lift) / s.depth, std::min(c.factor, 1.5f), 1e-4f);
    }
}

INSTANTIATE_TEST_SUITE_P(Snow, WindExposure,
                         ::testing::Values(WindCase{"intoTheWind", 90.0f, 30.0f, 0.5f, 0.5f},
                                           WindCase{"awayFromTheWind", -90.0f, 30.0f, 0.5f, 1.25f},
                                           WindCase{"crossWind", 0.0f, 30.0f, 0.5f, 1.0f},
                                           WindCase{"noDrift", 90.0f, 30.0f, 0.0f, 1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SnowAmount, StrongDriftIntoTheWindLeavesNoSnow) {
    const float cs = std::cos(radiansFromDegrees(40.0f)) * 100.0f, sn = std::sin(radiansFromDegrees(40.0f)) * 100.0f;
    Mesh m;
    m.quad(m.add({0, 0, 0}), m.add({100, 0, 0}), m.add({100, cs, sn}), m.add({0, cs, sn}));
    SnowSettings s = plainSettings();
    s.slopeMax = 80.0f;
    s.windAngle = 90.0f;
    s.drift = 1.0f;
    EXPECT_TRUE(build(m, s).shell.vertices.empty());
}

TEST(SnowAmount, KeepThresholdIsInclusiveAtFourHundredths) {
    const Mesh m = flatSquare(100.0f);
    SnowSettings s = plainSettings();
    std::vector<float> paint(m.positions.size(), 0.04f);
    s.paintWeights = &paint;
    EXPECT_EQ(build(m, s).stats.trianglesOut, 2 + 8);
    paint.assign(m.positions.size(), 0.0399f);
    EXPECT_EQ(build(m, s).stats.trianglesOut, 0);
    // Weights of the wrong length are ignored: full snow.
    std::vector<float> shortPaint(m.positions.size() - 1, 0.0f);
    s.paintWeights = &shortPaint;
    EXPECT_EQ(build(m, s).stats.trianglesOut, 2 + 8);
}

TEST(SnowAmount, WeldedPaintTakesTheLargestWeight) {
    const Mesh soup = triangleSoup(flatSquare(100.0f));  // corners 0 and 2 come in twice
    std::vector<float> paint = {0.2f, 0.2f, 0.2f, 1.0f, 1.0f, 1.0f};
    SnowSettings s = plainSettings();
    s.paintWeights = &paint;
    const Built b = build(soup, s);
    const float lift = liftFor(s, 100.0 * std::sqrt(2.0));
    for (int32_t v : topVertices(b.shell)) {
        const V3 p = b.shell.vertices[size_t(v)];
        const bool onlyInFirst = p.x > 50.0f && p.y < 50.0f;  // corner (100, 0)
        EXPECT_NEAR((p.z - lift) / s.depth, onlyInFirst ? 0.2f : 1.0f, 1e-5f) << p.x << ", " << p.y;
    }
}

// The region covers x in (0, 500) of the square through a rotated, shifted transform, so
// that a row/column mix-up would miss it.
SnowRegion halfSquareRegion() {
    SnowRegion r;
    r.objectFromWorld[0] = {0, -1, 0};
    r.objectFromWorld[1] = {1, 0, 0};
    r.objectFromWorld[2] = {0, 0, 1};
    r.objectFromWorld[3] = {-500, 250, 0};
    r.centre = {0, 0, 0};
    r.halfExtent = {600, 250, 100};
    return r;
}

struct RegionCase {
    const char* name;
    int32_t mode;
    float strength;
    float paint;            // everywhere, standing in for anything that thinned the snow
    float inside, outside;  // expected amounts; 0 means no snow there
};
class RegionModes : public ::testing::TestWithParam<RegionCase> {};

TEST_P(RegionModes, ShapeTheAmountInsideAndOutside) {
    const RegionCase& c = GetParam();
    SnowSettings s = gridSettings();
    s.regions = {halfSquareRegion()};
    s.regionMode = c.mode;
    s.regionStrength = c.strength;
    s.regionFalloff = 0.0f;
    std::vector<float> paint(4, c.paint);
    size_t inside = 0, outside = 0;
    for (const auto& [p, a] : flatAmounts(s, &paint)) {
        if (p.x > 1.0f && p.x < 499.0f) {  // x = 0 and x = 500 lie on the region's surface
            ++inside;
            ASSERT_NEAR(a, c.inside, 1e-4f) << "inside at " << p.x << ", " << p.y;
        } else if (p.x > 501.0f) {
            ++outside;
            ASSERT_NEAR(a, c.outside, 1e-4f) << "outside at " << p.x << ", " << p.y;
        }
    }
    EXPECT_EQ(inside > 0, c.inside > 0.0f);
    EXPECT_EQ(outside > 0, c.outside > 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Snow, RegionModes,
                         ::testing::Values(RegionCase{"noSnowFull", kRegionNoSnow, 1.0f, 1.0f, 0.0f, 1.0f},
                                           RegionCase{"noSnowHalf", kRegionNoSnow, 0.5f, 1.0f, 0.5f, 1.0f},
                                           RegionCase{"onlyHereFull", kRegionSnowOnlyHere, 1.0f, 1.0f, 1.0f, 0.0f},
                                           RegionCase{"onlyHereHalf", kRegionSnowOnlyHere, 0.5f, 1.0f, 1.0f, 0.5f},
                                           RegionCase{"fullSnowRestoresSlope", kRegionFullSnow, 1.0f, 0.3f, 1.0f, 0.3f},
                                           RegionCase{"fullSnowHalf", kRegionFullSnow, 0.5f, 0.3f, 0.65f, 0.3f},
                                           RegionCase{"unknownModeIsFullSnow", 7, 1.0f, 0.3f, 1.0f, 0.3f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SnowAmount, RegionWeightEdgeAndSoftness) {
    SnowRegion box;
    box.objectFromWorld[0] = {1, 0, 0};
    box.objectFromWorld[1] = {0, 1, 0};
    box.objectFromWorld[2] = {0, 0, 1};
    box.centre = {10, 0, 0};
    box.halfExtent = {2, 4, 8};
    SnowRegion sphere = box;
    sphere.isSphere = 1;
    for (const SnowRegion& r : {box, sphere}) {
        EXPECT_EQ(snow::regionWeight(r, {12, 0, 0}, 0.0f), 0.0f) << "on the surface";
        EXPECT_EQ(snow::regionWeight(r, {10, 4, 0}, 0.3f), 0.0f) << "on the surface";
        EXPECT_EQ(snow::regionWeight(r, {10, 0, 0}, 1.0f), 1.0f) << "at the centre";
        EXPECT_EQ(snow::regionWeight(r, {11.9f, 0, 0}, 1e-5f), 1.0f) << "hard edge";
        EXPECT_NEAR(snow::regionWeight(r, {11.7f, 0, 0}, 0.3f), 0.5f, 1e-5f) << "halfway into the soft edge";
    }
    // Corners: inside the box, outside the sphere.
    EXPECT_EQ(snow::regionWeight(box, {11.5f, 3, 6}, 0.0f), 1.0f);
    EXPECT_EQ(snow::regionWeight(sphere, {11.5f, 3, 6}, 0.0f), 0.0f);
    // A flat box (zero extent) cannot divide by zero.
    SnowRegion flat = box;
    flat.halfExtent = {2, 4, 0};
    EXPECT_EQ(snow::regionWeight(flat, {10, 0, 0}, 0.0f), 1.0f);
    EXPECT_EQ(snow::regionWeight(flat, {10, 0, 1}, 0.0f), 0.0f);
}

TEST(SnowAmount, SofteningBlendsAcrossAHardRegionEdge) {
    SnowSettings s = gridSettings();
    s.resolution = 10.0f;                    // coarse 60: three passes reach at most 180 from the region's edge
    SnowRegion region = halfSquareRegion();  // widened to x in (-500, 500): one edge only
    region.objectFromWorld[3] = {-500, 0, 0};
    region.halfExtent = {600, 500, 100};
    s.regions = {region};
    s.regionMode = kRegionNoSnow;
    s.regionStrength = 0.5f;
    s.regionFalloff = 0.0f;
    s.smoothing = 3.0f;
    size_t between = 0;
    for (const auto& [p, a] : flatAmounts(s)) {
        ASSERT_GE(a, 0.5f - 1e-5f);
        ASSERT_LE(a, 1.0f + 1e-5f);
        if (a > 0.51f && a < 0.99f) ++between;
        if (p.x < 300.0f) {
            EXPECT_NEAR(a, 0.5f, 1e-5f) << "far inside stays";
        } else if (p.x > 700.0f) {
            EXPECT_NEAR(a, 1.0f, 1e-5f) << "far outside stays";
        }
    }
    EXPECT_GT(between, 0u);
}

}  // namespace
