// Refinement: edge lengths near and away from the open edges, the budget scaling and the
// detail it reports, and that refinement keeps the surface conforming.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

constexpr float kSide = 1000.0f;

float rimDistance(V3 p) {
    return std::min({p.x, p.y, kSide - p.x, kSide - p.y});
}

float xyLength(V3 a, V3 b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The flat square with resolution 3, lip 6 and smooth snow: fine 3, coarse 18, band 12.
SnowSettings squareSettings() {
    SnowSettings s = plainSettings();
    s.resolution = 3.0f;
    s.edgeRound = 6.0f;
    s.noiseScale = 1e6f;
    s.coverage = 1.0f;
    return s;
}

TEST(SnowRefine, FlatSquareEdgesMeetTheirTargets) {
    const Built b = build(flatSquare(kSide), squareSettings());
    EXPECT_FLOAT_EQ(b.stats.detail, 3.0f);
    size_t nearTriangles = 0, farTriangles = 0;
    for (size_t t = 0; t < b.shell.kinds.size(); ++t) {
        if (b.shell.kinds[t] != kSnowTop) continue;
        const V3 p[3] = {b.shell.vertices[size_t(b.shell.indices[t * 3])],
                         b.shell.vertices[size_t(b.shell.indices[t * 3 + 1])],
                         b.shell.vertices[size_t(b.shell.indices[t * 3 + 2])]};
        const float rim = std::min({rimDistance(p[0]), rimDistance(p[1]), rimDistance(p[2])});
        if (std::fabs(rim - 12.0f) < 1e-3f) continue;  // too close to the band's border to judge
        const float longest = std::max({xyLength(p[0], p[1]), xyLength(p[1], p[2]), xyLength(p[2], p[0])});
        if (rim < 12.0f) {
            ++nearTriangles;
            ASSERT_LE(longest, 3.0f + 1e-3f) << "triangle " << t << " has a corner " << rim << " from the rim";
        } else {
            ++farTriangles;
            ASSERT_LE(longest, 18.0f + 1e-3f) << "triangle " << t;
            // Well away from the band nothing is split finer than the coarse length needs.
            if (rim > 60.0f) {
                ASSERT_GT(longest, 9.0f) << "triangle " << t;
            }
        }
    }
    EXPECT_GT(nearTriangles, 1000u);
    EXPECT_GT(farTriangles, 1000u);
}

TEST(SnowRefine, RefinedSurfaceStaysConforming) {
    // A T-junction would leave an interior edge used once, which the shell would take for
    // an open edge and wall. Every wall must stand on the square's rim.
    SnowSettings s = squareSettings();
    s.resolution = 20.0f;
    const Built b = build(flatSquare(kSide), s);
    size_t walls = 0;
    double openLength = 0.0;
    for (size_t t = 0; t < b.shell.kinds.size(); ++t) {
        if (b.shell.kinds[t] != kSnowWall) continue;
        const V3* v[3];
        for (int k = 0; k < 3; ++k) {
            v[k] = &b.shell.vertices[size_t(b.shell.indices[t * 3 + size_t(k)])];
            ASSERT_LT(rimDistance(*v[k]), 1e-3f) << "wall " << t << " stands inside the square";
        }
        if (walls++ % 2 == 0) openLength += xyLength(*v[0], *v[1]);  // the first wall of a pair spans its edge
    }
    EXPECT_GT(walls, 8u);
    EXPECT_NEAR(openLength, 4000.0, 1e-2) << "the open edges are exactly the rim";
}

TEST(SnowRefine, BudgetScalesBothLengthsAndReportsTheFineOne) {
    // Without a budget: 48,000 of the 10^6 area lies in the band (4000 x 12), so the estimate
    // is 952000 / (0.45 * 18^2) + 48000 / (0.45 * 3^2) = 18381.3 triangles.
    const double estimate = 952000.0 / (0.45 * 324.0) + 48000.0 / (0.45 * 9.0);
    for (int32_t budget : {1000, 5000, 10000}) {
        SnowSettings s = squareSettings();
        s.maxTris = budget;
        const Built b = build(flatSquare(kSide), s);
        EXPECT_NEAR(b.stats.detail, 3.0 * std::sqrt(estimate / budget), 1e-3) << "budget " << budget;
        EXPECT_LE(countKind(b.shell, kSnowTop), 2u * size_t(budget)) << "budget " << budget;
    }
    // Below the budget's floor of 1000 the scaling still divides by 1000.
    SnowSettings tiny = squareSettings();
    tiny.maxTris = 10;
    const Built b = build(flatSquare(kSide), tiny);
    EXPECT_NEAR(b.stats.detail, 3.0 * std::sqrt(estimate / 1000.0), 1e-3);
    EXPECT_LE(countKind(b.shell, kSnowTop), 20u) << "while refinement stops at 2 x maxTris itself";
    // An estimate under the budget leaves the lengths alone.
    SnowSettings roomy = squareSettings();
    roomy.maxTris = 20000;
    EXPECT_FLOAT_EQ(build(flatSquare(kSide), roomy).stats.detail, 3.0f);
}

}  // namespace
