// Where the scene drips: rims of level and sloped surfaces, lower sides of walls, what
// covers or supports them, the bound on the list, units, and thread counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "runoff_scenes.h"

namespace wx {
namespace {

using runoff_test::capture;
using runoff_test::dripEdgesOf;
using runoff_test::midpoint;
using runoff_test::Soup;

float edgeLength(const DripEdge& e) {
    return length(e.p1 - e.p0);
}

// The four rims of a lone 2 m square, 1 m up: each pushed 1 cm outwards, level ones
// weighted 0.04 a metre, whichever way the square faces.
TEST(DripEdges, LoneSquareDripsFromItsFourRims) {
    for (bool facingUp : {true, false}) {
        SCOPED_TRACE(facingUp ? "facing up" : "facing down");
        const auto edges = dripEdgesOf(Soup().ground().square(3.0f, 4.0f, 1.0f, 2.0f, facingUp));
        ASSERT_EQ(edges.size(), 4u);
        int sides[4] = {};
        for (const DripEdge& e : edges) {
            EXPECT_NEAR(edgeLength(e), 2.0f, 1e-5f);
            EXPECT_NEAR(e.weight, 0.04f * 2.0f, 1e-6f);
            EXPECT_FLOAT_EQ(e.p0.z, 1.0f);
            EXPECT_FLOAT_EQ(e.p1.z, 1.0f);
            const V3 m = midpoint(e);
            const float dx = m.x - 3.0f, dy = m.y - 4.0f;
            // Along the rim's outward normal, 1 m from the centre plus the 1 cm push.
            if (std::fabs(dx) > std::fabs(dy)) {
                EXPECT_NEAR(std::fabs(dx), 1.01f, 1e-5f);
                EXPECT_NEAR(dy, 0.0f, 1e-5f);
                ++sides[dx > 0 ? 0 : 1];
            } else {
                EXPECT_NEAR(std::fabs(dy), 1.01f, 1e-5f);
                EXPECT_NEAR(dx, 0.0f, 1e-5f);
                ++sides[dy > 0 ? 2 : 3];
            }
        }
        for (int side : sides) EXPECT_EQ(side, 1);
    }
}

// Rims closer than 0.4 m above the lowest point of the scene shed nothing.
TEST(DripEdges, NothingDripsWithinFortyCentimetresOfTheLowestPoint) {
    EXPECT_TRUE(dripEdgesOf(Soup().ground().square(0.0f, 0.0f, 0.3f, 2.0f)).empty());
    EXPECT_EQ(dripEdgesOf(Soup().ground().square(0.0f, 0.0f, 0.41f, 2.0f)).size(), 4u);
    // The lowest point is the lowest corner of anything, not a ground plane: of two
    // squares 5 m and 5.5 m up only the upper one drips.
    const auto upper = dripEdgesOf(Soup().square(0.0f, 0.0f, 5.0f, 2.0f).square(9.0f, 0.0f, 5.5f, 2.0f));
    ASSERT_EQ(upper.size(), 4u);
    for (const DripEdge& e : upper) EXPECT_FLOAT_EQ(e.p0.z, 5.5f);
}

// A sloped roof sheds more than a level one: (2 sqrt(1 - n.z^2) + 0.04) per unit length.
TEST(DripEdges, SlopedRimsWeighMore) {
    // A roof rising 1 in 1 towards +Y: only its low rim and its two sloped sides are open,
    // the top rim rises away from the roof and sheds nothing.
    const auto edges = dripEdgesOf(Soup().ground().quad({-1, 0, 2}, {1, 0, 2}, {1, 1, 3}, {-1, 1, 3}));
    const float expectedLevel = (2.0f * std::sqrt(0.5f) + 0.04f) * 2.0f;
    int low = 0;
    for (const DripEdge& e : edges) {
        EXPECT_LT(midpoint(e).z, 2.99f) << "the top rim rises";
        if (std::fabs(midpoint(e).z - 2.0f) < 0.02f && std::fabs(e.p0.x - e.p1.x) > 1.0f) {
            ++low;
            EXPECT_NEAR(e.weight, expectedLevel, 1e-4f);
        }
    }
    EXPECT_EQ(low, 1);
}

// A roof under another roof sheds nothing along its covered rims; the upper one does.
TEST(DripEdges, CoveredRimsShedNothing) {
    const auto edges = dripEdgesOf(Soup().ground().square(0.0f, 0.0f, 2.0f, 2.0f).square(0.0f, 0.0f, 3.0f, 4.0f));
    ASSERT_EQ(edges.size(), 4u);
    for (const DripEdge& e : edges) EXPECT_FLOAT_EQ(midpoint(e).z, 3.0f);
}

// The lower edges of a box hanging in the air drip, lowered 5 mm and weighted 0.35 a
// metre; a box standing on a slab does not drip at its foot (the slab lies within 5 cm
// below), though the slab's own rims and the box's top rims still do.
TEST(DripEdges, WallBottomsDripOnlyAboveOpenSpace) {
    const auto hanging = dripEdgesOf(Soup().ground().box({0, 0, 2}, {1, 1, 3}));
    int bottoms = 0;
    for (const DripEdge& e : hanging) {
        if (std::fabs(midpoint(e).z - 2.0f) > 0.1f) continue;
        ++bottoms;
        EXPECT_FLOAT_EQ(e.p0.z, 2.0f - 0.005f);
        EXPECT_FLOAT_EQ(e.p1.z, 2.0f - 0.005f);
        EXPECT_NEAR(e.weight, 0.35f, 1e-6f);
        // The edge lies on the box's outline, not through a face.
        const V3 m = midpoint(e);
        EXPECT_TRUE(std::fabs(m.x - 0.5f) < 1e-5f || std::fabs(m.y - 0.5f) < 1e-5f);
        EXPECT_TRUE(m.x < 1e-5f || m.x > 1 - 1e-5f || m.y < 1e-5f || m.y > 1 - 1e-5f);
    }
    EXPECT_EQ(bottoms, 4);

    for (float slab : {0.03f, 0.045f, 0.06f}) {
        SCOPED_TRACE(slab);
        const auto standing = dripEdgesOf(Soup().ground().box({-2, -2, 1 - slab}, {3, 3, 1}).box({0, 0, 1}, {1, 1, 2}));
        int foot = 0, top = 0;
        for (const DripEdge& e : standing) {
            const V3 m = midpoint(e);
            const bool onBox = m.x > -0.1f && m.x < 1.1f && m.y > -0.1f && m.y < 1.1f;
            foot += onBox && std::fabs(m.z - 1.0f) < 0.1f;
            top += onBox && std::fabs(m.z - 2.0f) < 0.1f;
        }
        EXPECT_EQ(foot, 0);
        EXPECT_EQ(top, 4);
        EXPECT_GE(standing.size(), 8u) << "the slab's rims and its lower edges";
    }
}

// Metres or centimetres, the same scene drips from the same places: the edges of the
// centimetre scene are the metre scene's times 100.
TEST(DripEdges, UnitsScaleEveryLengthOfTheSearch) {
    const Soup metres = Soup()
                            .ground()
                            .square(0, 0, 2, 2)
                            .square(0, 0, 3, 4)
                            .box({5, 5, 2}, {6, 6, 3})
                            .box({-6, -6, 0}, {-5, -5, 1})
                            .quad({-1, 8, 2}, {1, 8, 2}, {1, 9, 3}, {-1, 9, 3});
    const auto m = dripEdgesOf(metres, 1.0f);
    const auto cm = dripEdgesOf(metres.scaled(100.0f), 100.0f);
    ASSERT_GT(m.size(), 8u);
    ASSERT_EQ(cm.size(), m.size());
    for (size_t i = 0; i < m.size(); ++i) {
        for (auto [a, b] : {std::pair{m[i].p0, cm[i].p0}, std::pair{m[i].p1, cm[i].p1}}) {
            EXPECT_NEAR(b.x, a.x * 100, 1e-3f);
            EXPECT_NEAR(b.y, a.y * 100, 1e-3f);
            EXPECT_NEAR(b.z, a.z * 100, 1e-3f);
        }
        EXPECT_NEAR(cm[i].weight, m[i].weight * 100, 1e-3f);
    }
}

// More than the bound qualifies: the list stops at the first 200,000 in triangle order.
TEST(DripEdges, ListStopsAtTheBoundInTriangleOrder) {
    Soup soup;
    soup.ground(200.0f);
    for (int i = 0; i < 230; ++i)
        for (int j = 0; j < 230; ++j) soup.square(-150.0f + 1.2f * i, -150.0f + 1.2f * j, 1.0f, 1.0f);
    const auto scene = capture(soup);
    const auto all = findDripEdges(*scene, 1.0f, size_t(-1));
    ASSERT_EQ(all.size(), 4u * 230 * 230);
    const auto listed = findDripEdges(*scene, 1.0f);
    ASSERT_GE(listed.size(), kDripEdgeCap);
    ASSERT_LE(listed.size(), kDripEdgeCap + 2);
    EXPECT_EQ(std::memcmp(listed.data(), all.data(), listed.size() * sizeof(DripEdge)), 0);
}

// The search gives the same bytes on one thread as on many.
TEST(DripEdges, SameEdgesForAnyThreadCount) {
    std::vector<V3> town = example::makeTown(30000, 60.0f);
    ShelterBVH scene;
    buildBVH(town, scene);
    setParallelThreadLimit(1);
    const auto one = findDripEdges(scene, 1.0f);
    setParallelThreadLimit(0);
    const auto many = findDripEdges(scene, 1.0f);
    setParallelThreadLimit(3);
    const auto three = findDripEdges(scene, 1.0f);
    setParallelThreadLimit(0);
    ASSERT_GT(one.size(), 100u);
    ASSERT_EQ(many.size(), one.size());
    ASSERT_EQ(three.size(), one.size());
    EXPECT_EQ(std::memcmp(one.data(), many.data(), one.size() * sizeof(DripEdge)), 0);
    EXPECT_EQ(std::memcmp(one.data(), three.data(), one.size() * sizeof(DripEdge)), 0);
}

}  // namespace
}  // namespace wx
