// The welded connectivity under the drip-edge search: which corners become one vertex,
// which triangle lies across an edge, and that neither depends on thread timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/parallel_for.h"
#include "fall/drip_mesh.h"
#include "runoff_scenes.h"

namespace wx {
namespace {

using runoff_test::capture;
using runoff_test::Soup;

BVHTri tri(V3 a, V3 b, V3 c) {
    return {a, b - a, c - a};
}

// Corners 2 mm cells apart stay apart, within a cell they share the first one's position.
TEST(DripWeld, CornersInOneCellShareTheFirstCorner) {
    const float q = 0.002f;
    std::vector<BVHTri> tris = {tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                                tri({0.0009f, 0, 0}, {1, 0, 0.0009f}, {0.0031f, 0, 0}),
                                tri({-0.0009f, 0.0009f, 0}, {0, 1, 0}, {0, 0, 0})};
    const WeldedCorners w = weldCorners(tris, q);
    const std::vector<int32_t> expected = {0, 1, 2, 0, 1, 3, 0, 2, 0};
    EXPECT_EQ(w.vertex, expected) << "0.9 mm off rounds to the same cell, 3.1 mm off to the next but one";
    ASSERT_EQ(w.position.size(), 4u);
    for (int k : {0, 1, 2, 5}) {
        const V3 p = soupCorner(tris, size_t(k)), at = w.position[size_t(w.vertex[size_t(k)])];
        EXPECT_TRUE(p.x == at.x && p.y == at.y && p.z == at.z) << "the first corner's own position, corner " << k;
    }
    // Half a cell rounds away from zero on both sides.
    EXPECT_EQ(weldCell(0.5f, 1.0f), 1);
    EXPECT_EQ(weldCell(-0.5f, 1.0f), -1);
    EXPECT_EQ(weldCell(-0.49f, 1.0f), 0);
}

// Two different cells can share the 64-bit key; their corners must not be welded.
TEST(DripWeld, CellsSharingAKeyStayApart) {
    const int64_t far = int64_t(1) << 62;
    ASSERT_EQ(weldKey(0, far, 0), weldKey(0, 0, far));
    const float f = float(far);
    std::vector<BVHTri> tris = {tri({0, f, 0}, {1, f, 0}, {0, f, 1}), tri({0, 0, f}, {1, 0, f}, {0, 1, f})};
    const WeldedCorners w = weldCorners(tris, 1.0f);
    EXPECT_EQ(w.position.size(), 6u);
    EXPECT_NE(w.vertex[0], w.vertex[3]) << "welded to a corner 6.5e18 units away";
}

// Every corner gets the vertex of the first corner of its cell, on one thread or many.
TEST(DripWeld, SameVerticesForAnyThreadCount) {
    // A grid of shared corners, each triangle listed twice with its corners nudged within
    // the cell, in an order that is not sorted by position.
    std::vector<BVHTri> tris;
    for (int i = 0; i < 120; ++i)
        for (int j = 0; j < 120; ++j) {
            const int k = (i * 37 + j * 11) % 120;
            V3 a{float(k), float(j), 0}, b{float(k + 1), float(j), 0}, c{float(k), float(j + 1), 0.0004f};
            tris.push_back(tri(a, b, c));
            tris.push_back(tri(c + V3{0.0003f, 0, 0}, a, b));
        }
    setParallelThreadLimit(1);
    const WeldedCorners one = weldCorners(tris, 0.002f);
    setParallelThreadLimit(0);
    const WeldedCorners many = weldCorners(tris, 0.002f);
    EXPECT_EQ(one.vertex, many.vertex);
    ASSERT_EQ(one.position.size(), many.position.size());
    EXPECT_EQ(std::memcmp(one.position.data(), many.position.data(), one.position.size() * sizeof(V3)), 0);
    // Check against a plain search: the first earlier corner in the same cell.
    for (size_t k = 0; k < one.vertex.size(); k += 997) {
        const V3 p = soupCorner(tris, k);
        size_t first = k;
        for (size_t j = 0; j < k; ++j) {
            const V3 r = soupCorner(tris, j);
            if (weldCell(r.x, 0.002f) == weldCell(p.x, 0.002f) && weldCell(r.y, 0.002f) == weldCell(p.y, 0.002f) &&
                weldCell(r.z, 0.002f) == weldCell(p.z, 0.002f)) {
                first = j;
                break;
            }
        }
        EXPECT_EQ(one.vertex[k], one.vertex[first]) << k;
        const V3 at = one.position[size_t(one.vertex[k])], firstAt = soupCorner(tris, first);
        EXPECT_TRUE(at.x == firstAt.x && at.y == firstAt.y && at.z == firstAt.z) << k;
    }
}

// A soup whose corners share nothing needs a vertex per corner, more than the weld first
// makes room for; corners in one cell still weld when many distinct cells surround them.
TEST(DripWeld, SoupThatSharesNothingGetsAVertexPerCorner) {
    std::vector<BVHTri> tris;
    for (int i = 0; i < 30000; ++i) {
        const V3 at{float(i % 300), float(i / 300), 0.0f};
        tris.push_back(tri(at, at + V3{0.3f, 0, 0}, at + V3{0, 0.3f, 0}));
    }
    tris.push_back(tri({0.0004f, 0, 0}, {299.3f, 99, 0.0009f}, {7, 7, 7}));
    const WeldedCorners w = weldCorners(tris, 0.002f);
    EXPECT_EQ(w.position.size(), 90000u + 1);
    EXPECT_EQ(w.vertex[90000], 0);
    EXPECT_EQ(w.vertex[90001], w.vertex[3 * 29999 + 1]);
    EXPECT_EQ(w.vertex[90002], 90000);
}

// Three triangles on one edge: the triangle across is the first other one recorded, so
// a rim whose recorded neighbour is a wall drips while its level neighbour, which sees
// the rim first, does not.
TEST(DripEdgeUses, ThirdTriangleOnAnEdgeIsNotItsNeighbour) {
    const V3 a{0, 0, 1}, b{1, 0, 1};
    const V3 levelSouth = {0.5f, -1, 1}, levelNorth = {0.5f, 1, 1}, wallFoot = {0.5f, 0, 0};
    auto edgesFor = [&](bool wallSecond) {
        Soup s;
        const V3 south[3] = {a, b, levelSouth}, wall[3] = {a, b, wallFoot}, north[3] = {b, a, levelNorth};
        for (const V3* t : wallSecond ? std::vector{south, wall, north} : std::vector{south, north, wall})
            s.points.insert(s.points.end(), t, t + 3);
        auto scene = capture(s);
        for (size_t i = 0; i < scene->source.size(); ++i) EXPECT_EQ(scene->source[i], int32_t(i));
        return findDripEdges(*scene, 1.0f);
    };
    auto along = [&](const std::vector<DripEdge>& edges) {
        return std::count_if(edges.begin(), edges.end(), [](const DripEdge& e) {
            return std::fabs(e.p0.x - e.p1.x) > 0.99f && std::fabs((e.p0.y + e.p1.y) / 2) < 0.02f;
        });
    };
    const auto levelFirst = edgesFor(false);
    EXPECT_EQ(levelFirst.size(), 4u);
    EXPECT_EQ(along(levelFirst), 0);
    const auto wallSecond = edgesFor(true);
    EXPECT_EQ(wallSecond.size(), 5u);
    ASSERT_EQ(along(wallSecond), 1);
    for (const DripEdge& e : wallSecond) {
        if (std::fabs(e.p0.x - e.p1.x) > 0.99f) {
            EXPECT_NEAR(e.p0.y, 0.01f, 1e-6f) << "pushed away from the far corner";
        }
    }
}

}  // namespace
}  // namespace wx
