// Which faces carry snow: the slope fade, downward faces, the face mask, the weld, and
// geometry that must be skipped rather than crash the build.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/angles.h"
#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

// Square of side 100 rising along +Y at `tiltDeg`, counter-clockwise seen from above.
Mesh tiltedSquare(float tiltDeg) {
    const float c = std::cos(radiansFromDegrees(tiltDeg)) * 100.0f, s = std::sin(radiansFromDegrees(tiltDeg)) * 100.0f;
    Mesh m;
    m.quad(m.add({0, 0, 0}), m.add({100, 0, 0}), m.add({100, c, s}), m.add({0, c, s}));
    return m;
}

// Snow thickness over the tilted square read back from the top vertices, divided by
// depth: the slope weight when nothing else thins the snow. -1 when there is no snow.
float slopeWeightOf(float tiltDeg, float slopeMax, float slopeSoft) {
    SnowSettings s = plainSettings();
    s.slopeMax = slopeMax;
    s.slopeSoft = slopeSoft;
    const Built b = build(tiltedSquare(tiltDeg), s);
    if (b.shell.kinds.empty()) return -1.0f;
    const float lift = std::max(float(100.0 * std::sqrt(2.0) * 1e-5), s.depth * 0.02f);
    const float tanTilt = std::tan(radiansFromDegrees(tiltDeg));
    float weight = -1.0f;
    for (int32_t v : topVertices(b.shell)) {
        const V3 p = b.shell.vertices[size_t(v)];
        const float w = (p.z - p.y * tanTilt - lift) / s.depth;
        if (weight >= 0.0f) {
            EXPECT_NEAR(w, weight, 1e-3f) << "a plane has one slope weight";
        }
        weight = w;
    }
    return weight;
}

struct SlopeCase {
    const char* name;
    float tilt, slopeMax, slopeSoft;
    float lo, hi;  // expected weight range; -1 means no snow at all
};

class SlopeFade : public ::testing::TestWithParam<SlopeCase> {};

TEST_P(SlopeFade, WeightFollowsTheThresholds) {
    const SlopeCase& c = GetParam();
    const float w = slopeWeightOf(c.tilt, c.slopeMax, c.slopeSoft);
    if (c.lo < 0.0f) {
        EXPECT_EQ(w, -1.0f) << "expected no snow";
    } else {
        EXPECT_GE(w, c.lo);
        EXPECT_LE(w, c.hi);
    }
}

INSTANTIATE_TEST_SUITE_P(Snow, SlopeFade,
                         ::testing::Values(SlopeCase{"flat", 0.0f, 55.0f, 20.0f, 0.999f, 1.001f},
                                           SlopeCase{"atSlopeMaxMinusSoft", 35.0f, 55.0f, 20.0f, 0.999f, 1.001f},
                                           SlopeCase{"belowSoftStart", 20.0f, 55.0f, 20.0f, 0.999f, 1.001f},
                                           SlopeCase{"midFade", 45.0f, 55.0f, 20.0f, 0.2f, 0.8f},
                                           SlopeCase{"atSlopeMax", 55.0f, 55.0f, 20.0f, -1.0f, -1.0f},
                                           SlopeCase{"aboveSlopeMax", 60.0f, 55.0f, 20.0f, -1.0f, -1.0f},
                                           // A fade narrower than 0.01 degrees is widened to 0.01: half-way in it
                                           // the weight is about one half, not a hard step.
                                           SlopeCase{"softZeroHalfway", 54.995f, 55.0f, 0.0f, 0.3f, 0.7f},
                                           SlopeCase{"softTinyHalfway", 54.995f, 55.0f, 0.001f, 0.3f, 0.7f},
                                           SlopeCase{"softZeroBelowFade", 54.98f, 55.0f, 0.0f, 0.999f, 1.001f},
                                           // slopeMax past 89.9 degrees is held there, so a wall still gets none.
                                           SlopeCase{"wallWithHugeSlopeMax", 90.0f, 200.0f, 20.0f, -1.0f, -1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SnowSelection, DownwardFacesNeverCarrySnow) {
    for (float slopeMax : {55.0f, 89.0f, 89.9f, 180.0f}) {
        for (float tilt : {0.0f, 30.0f, 80.0f}) {
            Mesh m = tiltedSquare(tilt);
            for (size_t f = 0; f < m.faces.size(); f += 3) std::swap(m.faces[f + 1], m.faces[f + 2]);
            SnowSettings s = plainSettings();
            s.slopeMax = slopeMax;
            s.slopeSoft = 89.0f;
            const Built b = build(m, s);
            EXPECT_EQ(b.stats.upFacing, 0) << "slopeMax " << slopeMax << " tilt " << tilt;
            EXPECT_TRUE(b.shell.vertices.empty());
        }
    }
}

TEST(SnowSelection, FaceMaskForbidsOnlyItsZeroEntries) {
    const Mesh m = heightField(4, 100.0f, [](float, float) { return 0.0f; });  // 32 faces
    const SnowSettings s = plainSettings();
    std::vector<uint8_t> mask(10, 1);
    mask[3] = 0;
    mask[7] = 0;
    EXPECT_EQ(build(m, s, mask).stats.upFacing, 30) << "faces past the mask's end are allowed";
    EXPECT_EQ(build(m, s).stats.upFacing, 32);
    const std::vector<uint8_t> none(32, 0);
    const Built b = build(m, s, none);
    EXPECT_EQ(b.stats.upFacing, 0);
    EXPECT_EQ(b.stats.facesIn, 32);
}

// Two triangles of one square whose shared corner comes in twice. Extra unused vertices fix
// the box to 600 x 800 x 0.1, so the weld tolerance eps is 1e-3 and cell k along an axis
// holds coordinates within half a cell of k * eps.
Built weldCase(V3 first, V3 second) {
    Mesh m;
    m.add({0, 0, 0});
    m.add({600, 800, 0});
    const int32_t a = m.add(first), b = m.add(second);
    const int32_t p1 = m.add({500, 100, 0.1f}), p2 = m.add({500, 700, 0.1f}), p3 = m.add({100, 700, 0.1f});
    m.tri(a, p1, p2);
    m.tri(b, p2, p3);
    return build(m, plainSettings());
}

TEST(SnowSelection, WeldMergesWithinOneCellOnly) {
    // 1.5 eps apart along the cell's diagonal, both in the cell around (100, 100, 0.1):
    // one point, so the square has 4 open edges (8 walls).
    const Built merged = weldCase({99.99957f, 99.99957f, 0.09957f}, {100.00043f, 100.00043f, 0.10043f});
    EXPECT_EQ(countKind(merged.shell, kSnowWall), 8u);
    // 0.2 eps apart but across a cell border: two points, two separate triangles.
    const Built apart = weldCase({100.0004f, 100, 0.1f}, {100.0006f, 100, 0.1f});
    EXPECT_EQ(countKind(apart.shell, kSnowWall), 12u);
    // Identical points always weld.
    const Built same = weldCase({100, 100, 0.1f}, {100, 100, 0.1f});
    EXPECT_EQ(countKind(same.shell, kSnowWall), 8u);
}

TEST(SnowSelection, NonFiniteVerticesSkipTheirFacesOnly) {
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float value : bad) {
        Mesh m = heightField(10, 100.0f, [](float x, float y) { return 0.1f * x + 0.05f * y; });
        m.positions[60].z = value;  // an interior vertex used by 6 faces
        SnowSettings s = plainSettings();
        s.resolution = 3.0f;
        s.closed = true;
        const Built b = build(m, s);
        EXPECT_EQ(b.stats.upFacing, 200 - 6);
        EXPECT_GT(b.stats.trianglesOut, 0);
        for (V3 p : b.shell.vertices) ASSERT_TRUE(std::isfinite(p.x + p.y + p.z));
        for (float f : {b.stats.detail, b.stats.openSky, b.stats.meanAmount, b.stats.thickest})
            EXPECT_TRUE(std::isfinite(f));
        EXPECT_TRUE(watertight(b.shell));
    }
}

TEST(SnowSelection, BadIndicesAndDegenerateFacesAreSkipped) {
    Mesh m = flatSquare(100.0f);
    m.faces.insert(m.faces.end(), {0, 1, 99, -1, 1, 2, 0, 0, 1, 2, 2, 2});  // out of range, negative, repeats
    const int32_t a = m.add({0, 0, 0}), b = m.add({50, 0, 0}), c = m.add({100, 0, 0});
    m.tri(a, b, c);                                        // collinear
    m.tri(0, m.add({1e-7f, 0, 0}), m.add({0, 1e-7f, 0}));  // welds to one point
    m.faces.push_back(1);                                  // a trailing partial face
    const Built built = build(m, plainSettings());
    EXPECT_EQ(built.stats.facesIn, 8);
    EXPECT_EQ(built.stats.upFacing, 2);
    EXPECT_EQ(countKind(built.shell, kSnowTop), 2u);
}

TEST(SnowSelection, EmptyInputsGiveEmptyShells) {
    SnowSettings s = plainSettings();
    SnowShell shell;
    shell.vertices.resize(5);  // stale output must be cleared
    shell.kinds.resize(2);
    SnowStats stats;
    const std::vector<V3> noPoints;
    const std::vector<int32_t> noFaces;
    EXPECT_TRUE(buildSnow(noPoints, noFaces, {}, nullptr, s, shell, stats));
    EXPECT_TRUE(shell.vertices.empty() && shell.kinds.empty() && shell.indices.empty() && shell.uvw.empty());
    EXPECT_EQ(stats.facesIn, 0);

    const Mesh square = flatSquare(100.0f);
    EXPECT_TRUE(buildSnow(square.positions, noFaces, {}, nullptr, s, shell, stats));
    EXPECT_TRUE(shell.vertices.empty());
    EXPECT_TRUE(buildSnow(noPoints, square.faces, {}, nullptr, s, shell, stats));
    EXPECT_TRUE(shell.vertices.empty());
    EXPECT_EQ(stats.facesIn, 2);
    EXPECT_EQ(stats.upFacing, 0);

    for (float depth : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        s.depth = depth;
        const Built b = build(square, s);
        EXPECT_TRUE(b.shell.vertices.empty()) << "depth " << depth;
        EXPECT_EQ(b.stats.facesIn, 2);
        EXPECT_GE(b.stats.buildMs, 0.0);
    }
}

TEST(SnowSelection, SingleTriangleMakesAClosedSolid) {
    Mesh m;
    m.tri(m.add({0, 0, 5}), m.add({10, 0, 5}), m.add({0, 10, 5}));
    SnowSettings s = plainSettings();
    s.closed = true;
    s.resolution = 3.0f;
    s.edgeRound = 2.0f;
    const Built b = build(m, s);
    EXPECT_EQ(b.stats.upFacing, 1);
    EXPECT_GT(countKind(b.shell, kSnowTop), 1u);
    EXPECT_EQ(countKind(b.shell, kSnowTop), countKind(b.shell, kSnowBottom));
    EXPECT_TRUE(watertight(b.shell));
}

}  // namespace
