// The shell's shape: lip rounding, vertical walls without a lip, the cornice overhang,
// closed against open shells, and the UVs.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/snow/snow_test_util.h"

using namespace wx;
using namespace wxtest;

namespace {

constexpr float kSide = 200.0f;

float rimDistance(V3 p) {
    return std::min({p.x, p.y, kSide - p.x, kSide - p.y});
}

SnowSettings shellSettings() {
    SnowSettings s = plainSettings();
    s.resolution = 4.0f;
    s.noiseScale = 1e6f;
    return s;
}

float liftOf(const SnowSettings& s) {
    return std::max(float(kSide * std::sqrt(2.0) * 1e-5), s.depth * 0.02f);
}

// Vertices that the walls hang from (top corners of wall triangles).
std::set<int32_t> wallTopVertices(const SnowShell& shell) {
    const auto tops = topVertices(shell);
    const std::set<int32_t> top(tops.begin(), tops.end());
    std::set<int32_t> rim;
    for (size_t t = 0; t < shell.kinds.size(); ++t)
        if (shell.kinds[t] == kSnowWall)
            for (int k = 0; k < 3; ++k)
                if (top.count(shell.indices[t * 3 + size_t(k)])) rim.insert(shell.indices[t * 3 + size_t(k)]);
    return rim;
}

TEST(SnowShell, WithoutLipTheSnowIsFullRightToVerticalWalls) {
    const SnowSettings s = shellSettings();
    const Built b = build(flatSquare(kSide), s);
    const float lift = liftOf(s);
    for (int32_t v : topVertices(b.shell)) ASSERT_NEAR(b.shell.vertices[size_t(v)].z, s.depth + lift, 1e-4f);
    for (size_t t = 0; t < b.shell.kinds.size(); t += 2) {
        if (b.shell.kinds[t] != kSnowWall) continue;
        // (top b, top a, bottom a): a wall's top and bottom corners share x and y.
        const V3 ta = b.shell.vertices[size_t(b.shell.indices[t * 3 + 1])];
        const V3 ba = b.shell.vertices[size_t(b.shell.indices[t * 3 + 2])];
        EXPECT_EQ(ta.x, ba.x);
        EXPECT_EQ(ta.y, ba.y);
        EXPECT_NEAR(ba.z, -2.0f * lift, 1e-6f) << "an open shell's walls dip below the surface";
    }
}

TEST(SnowShell, LipRoundsOffOverEdgeRound) {
    SnowSettings s = shellSettings();
    s.edgeRound = 20.0f;
    const Built b = build(flatSquare(kSide), s);
    const float lift = liftOf(s);
    size_t inBand = 0;
    for (int32_t v : topVertices(b.shell)) {
        const V3 p = b.shell.vertices[size_t(v)];
        const float t = p.z - lift, d = rimDistance(p);
        ASSERT_LE(t, s.depth + 1e-4f);
        // Surface paths are never shorter than the straight distance, so the quarter circle
        // over the straight distance is a lower bound.
        const float q = std::min(d / s.edgeRound, 1.0f);
        ASSERT_GE(t, s.depth * std::sqrt(1.0f - (1.0f - q) * (1.0f - q)) - 1e-3f) << "at " << p.x << ", " << p.y;
        if (d < 1e-4f) {
            ASSERT_NEAR(t, 0.0f, 1e-5f) << "the lip starts at nothing";
        } else if (d < s.edgeRound) {
            ++inBand;
            ASSERT_LT(t, s.depth);
        }
    }
    EXPECT_GT(inBand, 10u);
}

TEST(SnowShell, OverhangKeepsALipAndReachesOutDrooping) {
    SnowSettings s = shellSettings();
    s.edgeRound = 1000.0f;  // the rounding alone would leave the lip at nothing
    s.overhang = 3.0f;
    const Built b = build(flatSquare(kSide), s);
    const float lift = liftOf(s);
    const auto rim = wallTopVertices(b.shell);
    ASSERT_FALSE(rim.empty());
    for (int32_t v : rim) {
        const V3 p = b.shell.vertices[size_t(v)];
        // Outside the square by the reach min(1.5 t, overhang) = 3 for t >= 2.
        const float out = std::max({-p.x, -p.y, p.x - kSide, p.y - kSide});
        const bool corner = (p.x < 0 || p.x > kSide) && (p.y < 0 || p.y > kSide);
        if (!corner) {
            EXPECT_NEAR(out, s.overhang, 1e-3f) << p.x << ", " << p.y;
        }
        // Lip thickness at least 0.6 depth, drooped by a quarter: z = lift + 0.75 t.
        const float t = (p.z - lift) / 0.75f;
        EXPECT_GE(t, 0.6f * s.depth - 1e-3f);
    }
    // With no overhang the same lip closes down to the surface.
    s.overhang = 0.0f;
    const Built flat = build(flatSquare(kSide), s);
    for (int32_t v : wallTopVertices(flat.shell)) EXPECT_NEAR(flat.shell.vertices[size_t(v)].z, lift, 1e-5f);
}

TEST(SnowShell, ClosedAgainstOpen) {
    SnowSettings s = shellSettings();
    s.edgeRound = 6.0f;
    s.closed = false;
    const Built open = build(flatSquare(kSide), s);
    const float lift = liftOf(s);
    EXPECT_EQ(countKind(open.shell, kSnowBottom), 0u);
    const size_t tops = topVertices(open.shell).size();
    const size_t rim = wallTopVertices(open.shell).size();
    EXPECT_EQ(open.shell.vertices.size(), tops + rim) << "bottom vertices only along the open edges";
    EXPECT_EQ(countKind(open.shell, kSnowWall), 2 * rim) << "one closed rim loop";

    s.closed = true;
    const Built closed = build(flatSquare(kSide), s);
    EXPECT_EQ(countKind(closed.shell, kSnowBottom), countKind(closed.shell, kSnowTop));
    EXPECT_EQ(closed.shell.vertices.size(), 2 * tops);
    EXPECT_TRUE(watertight(closed.shell));
    EXPECT_FALSE(watertight(open.shell));
    for (size_t t = 0; t < closed.shell.kinds.size(); ++t) {
        if (closed.shell.kinds[t] != kSnowBottom) continue;
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(closed.shell.vertices[size_t(closed.shell.indices[t * 3 + size_t(k)])].z, 0.5f * lift, 1e-6f);
    }
    // The same top either way.
    EXPECT_EQ(countKind(open.shell, kSnowTop), countKind(closed.shell, kSnowTop));
    EXPECT_EQ(open.stats.thickest, closed.stats.thickest);
}

TEST(SnowShell, SquaresTouchingAtACornerStayManifold) {
    // Two squares that share only the point (100, 100): the solid there must not share one
    // vertical edge between four walls. Soup input, so the point is welded first.
    Mesh m;
    m.quad(m.add({0, 0, 0}), m.add({100, 0, 0}), m.add({100, 100, 0}), m.add({0, 100, 0}));
    m.quad(m.add({100, 100, 0}), m.add({200, 100, 0}), m.add({200, 200, 0}), m.add({100, 200, 0}));
    SnowSettings s = shellSettings();
    s.resolution = 1e6f;
    s.edgeRound = 0.0f;
    s.closed = true;
    const Built closed = build(triangleSoup(m), s);
    EXPECT_TRUE(watertight(closed.shell));
    // 7 points, the shared one twice (one per square), each with a top and a bottom.
    EXPECT_EQ(closed.shell.vertices.size(), 16u);
    EXPECT_EQ(countKind(closed.shell, kSnowWall), 16u);

    s.closed = false;
    const Built open = build(triangleSoup(m), s);
    EXPECT_EQ(open.shell.vertices.size(), 16u);
    for (const auto& [edge, count] : directedEdges(open.shell))
        EXPECT_EQ(count, 1) << edge.first << "->" << edge.second;
}

TEST(SnowShell, StatsDescribeTheShell) {
    SnowSettings s = shellSettings();
    s.noiseAmount = 0.5f;
    s.noiseScale = 30.0f;
    s.closed = true;
    const Built b = build(flatSquare(kSide), s);
    EXPECT_EQ(size_t(b.stats.trianglesOut), b.shell.kinds.size());
    EXPECT_EQ(size_t(b.stats.trianglesOut) * 3, b.shell.indices.size());
    EXPECT_EQ(size_t(b.stats.verticesOut), b.shell.vertices.size());
    float thickest = 0.0f;
    for (int32_t v : topVertices(b.shell)) thickest = std::max(thickest, b.shell.vertices[size_t(v)].z - liftOf(s));
    EXPECT_NEAR(b.stats.thickest, thickest, 1e-4f);
    EXPECT_GT(b.stats.thickest, s.depth) << "bumps raise the snow above its depth";
    EXPECT_LE(b.stats.thickest, s.depth * 1.5f);
    EXPECT_FLOAT_EQ(b.stats.openSky, 1.0f);
    EXPECT_FLOAT_EQ(b.stats.meanAmount, 1.0f);
    EXPECT_GE(b.stats.buildMs, b.stats.refineMs);
}

}  // namespace
