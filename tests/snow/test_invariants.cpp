// Whole-output invariants over several meshes and settings: closed shells are watertight,
// top vertices stand where the surface and thickness put them, nothing lies on steep
// faces, the budget holds, and the bytes are the same on one thread or many.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <set>

#include "common/angles.h"
#include "common/parallel_for.h"
#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

struct Case {
    const char* name;
    std::function<Mesh()> mesh;
    std::function<void(SnowSettings&)> adjust;
};

// The modifier's own parameter defaults, at a test-sized budget.
SnowSettings modifierDefaults() { return wxtest::modifierDefaults(20000); }

// Up-facing input face under (x, y) whose height there lies in [zLo, zHi]; its unit
// normal's z, or -1 when none does.
float slopeCosUnder(const Mesh& m, float x, float y, float zLo, float zHi) {
    float best = -1.0f;
    for (size_t f = 0; f < m.faces.size(); f += 3) {
        const V3 a = m.positions[size_t(m.faces[f])], b = m.positions[size_t(m.faces[f + 1])],
                 c = m.positions[size_t(m.faces[f + 2])];
        const V3 n = cross(b - a, c - a);
        if (!(n.z > 0.0f)) continue;
        // Barycentric in the XY projection.
        const double det = double(b.x - a.x) * (c.y - a.y) - double(c.x - a.x) * (b.y - a.y);
        const double u = (double(x - a.x) * (c.y - a.y) - double(c.x - a.x) * (y - a.y)) / det;
        const double v = (double(b.x - a.x) * (y - a.y) - double(x - a.x) * (b.y - a.y)) / det;
        if (u < -1e-6 || v < -1e-6 || u + v > 1 + 1e-6) continue;
        const double z = a.z + u * (b.z - a.z) + v * (c.z - a.z);
        if (z < zLo || z > zHi) continue;
        best = std::max(best, normalize(n).z);
    }
    return best;
}

class SnowInvariants : public ::testing::TestWithParam<Case> {};

TEST_P(SnowInvariants, HoldOnTheWholeShell) {
    const Case& c = GetParam();
    const Mesh m = c.mesh();
    SnowSettings s = modifierDefaults();
    c.adjust(s);
    const Built b = build(m, s);
    ASSERT_GT(b.stats.trianglesOut, 0) << "the case should build some snow";

    // Budget: refinement never passes 2 x maxTris unless the input already did.
    EXPECT_LE(countKind(b.shell, kSnowTop), std::max<size_t>(2 * size_t(s.maxTris), size_t(b.stats.upFacing)));

    // Closed shells: watertight and consistently wound, pinch points included.
    if (s.closed) {
        EXPECT_EQ(countKind(b.shell, kSnowTop), countKind(b.shell, kSnowBottom));
        EXPECT_TRUE(watertight(b.shell));
    } else {
        EXPECT_EQ(countKind(b.shell, kSnowBottom), 0u);
    }

    // Top vertices: above the surface by lift plus a thickness in [0, 1.5 depth (1 + bumps)];
    // rim vertices of an overhang reach out and droop, so they are left out.
    const double diag = [&] {
        V3 lo = m.positions[0], hi = m.positions[0];
        for (V3 p : m.positions) lo = vmin(lo, p), hi = vmax(hi, p);
        return double(length(hi - lo));
    }();
    const float lift = std::max(float(diag * 1e-5), s.depth * 0.02f);
    const float maxThick = 1.5f * s.depth * (1.0f + s.noiseAmount);
    std::set<int32_t> rim;
    for (size_t t = 0; t < b.shell.kinds.size(); ++t)
        if (b.shell.kinds[t] == kSnowWall) rim.insert(b.shell.indices[t * 3 + 1]);
    const float cosMax = std::cos(radiansFromDegrees(std::min(s.slopeMax, 89.9f)));
    for (size_t t = 0; t < b.shell.kinds.size(); ++t) {
        if (b.shell.kinds[t] != kSnowTop) continue;
        V3 centroid{};
        bool touchesRim = false;
        for (int k = 0; k < 3; ++k) {
            const int32_t v = b.shell.indices[t * 3 + size_t(k)];
            const V3 p = b.shell.vertices[size_t(v)];
            centroid += p / 3.0f;
            touchesRim = touchesRim || rim.count(v);
            if (s.overhang > 0.0f && rim.count(v)) continue;
            ASSERT_GT(slopeCosUnder(m, p.x, p.y, p.z - lift - maxThick - 1e-3f, p.z - lift + 1e-3f), 0.0f)
                << c.name << ": top vertex " << v << " at " << p.x << ", " << p.y << ", " << p.z
                << " has no surface below it within the thickness";
        }
        if (s.overhang > 0.0f && touchesRim) continue;
        // Nothing on steep faces: the face under the triangle's middle is within slopeMax.
        const float cosUnder =
            slopeCosUnder(m, centroid.x, centroid.y, centroid.z - lift - maxThick - 1e-3f, centroid.z - lift + 1e-3f);
        ASSERT_GE(cosUnder, cosMax - 1e-4f) << c.name << ": top triangle " << t << " lies over a steep face";
    }
}

TEST_P(SnowInvariants, SameBytesOnOneThreadOrMany) {
    const Case& c = GetParam();
    const Mesh m = c.mesh();
    SnowSettings s = modifierDefaults();
    c.adjust(s);
    setParallelThreadLimit(1);
    const Built one = build(m, s);
    setParallelThreadLimit(0);
    const Built many = build(m, s);
    const Built again = build(m, s);
    for (const Built* other : {&many, &again}) {
        ASSERT_EQ(one.shell.vertices.size(), other->shell.vertices.size());
        ASSERT_EQ(one.shell.indices, other->shell.indices);
        ASSERT_EQ(one.shell.kinds, other->shell.kinds);
        EXPECT_EQ(0, std::memcmp(one.shell.vertices.data(), other->shell.vertices.data(),
                                 one.shell.vertices.size() * sizeof(V3)));
        EXPECT_EQ(0, std::memcmp(one.shell.uvw.data(), other->shell.uvw.data(), one.shell.uvw.size() * sizeof(V3)));
        EXPECT_EQ(one.stats.meanAmount, other->stats.meanAmount);
        EXPECT_EQ(one.stats.thickest, other->stats.thickest);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Snow, SnowInvariants,
    ::testing::Values(Case{"flatDefaults", [] { return flatSquare(300.0f); }, [](SnowSettings&) {}},
                      Case{"terrainSoup", [] { return triangleSoup(terrain(40, 1000.0f)); },
                           [](SnowSettings& s) { s.slopeMax = 20.0f, s.slopeSoft = 5.0f, s.resolution = 8.0f; }},
                      Case{"terrainPatchesOpen", [] { return terrain(40, 1000.0f); },
                           [](SnowSettings& s) {
                               s.coverage = 0.5f, s.patchScale = 150.0f, s.closed = false, s.resolution = 8.0f;
                               s.groundCover = 0.3f, s.groundBand = 30.0f;
                           }},
                      Case{"houseSteepEastRoof", [] { return house(400.0f, 600.0f, 300.0f, 30.0f, 70.0f); },
                           [](SnowSettings& s) { s.overhang = 4.0f; }},
                      Case{"houseWindDrift", [] { return house(400.0f, 600.0f, 300.0f, 35.0f, 35.0f); },
                           [](SnowSettings& s) { s.drift = 0.7f, s.windAngle = 10.0f, s.closed = false; }},
                      Case{"townBlockBudget", [] { return townBlock(4, 8, 2000.0f); },
                           [](SnowSettings& s) { s.maxTris = 3000, s.smoothing = 5.0f; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SnowInvariantsLarge, SmallestBudgetOnTwoHundredThousandFaces) {
    const Mesh m = terrain(317, 10000.0f);  // 201,098 faces
    SnowSettings s = modifierDefaults();
    s.maxTris = 1000;
    const Built b = build(m, s);
    EXPECT_EQ(b.stats.facesIn, 2 * 317 * 317);
    EXPECT_GT(b.stats.upFacing, 100000);
    // The input alone passes the budget, so nothing is refined.
    EXPECT_EQ(countKind(b.shell, kSnowTop), countKind(b.shell, kSnowBottom));
    EXPECT_LE(countKind(b.shell, kSnowTop), size_t(b.stats.upFacing));
    EXPECT_GT(b.stats.detail, s.resolution) << "the budget scales the detail up";
    EXPECT_TRUE(watertight(b.shell));
}

}  // namespace
