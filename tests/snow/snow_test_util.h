// Helpers for reading a built shell in tests: build with test-friendly settings, split
// the shell by triangle kind, and count directed edges.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "snow/snow_builder.h"
#include "tests/snow/snow_meshes.h"

namespace wxtest {

// Plain settings: no bumps, no softening, no lip, open shell, large budget, so heights
// read directly as slope weight times depth.
inline wx::SnowSettings plainSettings() {
    wx::SnowSettings s;
    s.depth = 10.0f;
    s.noiseAmount = 0.0f;
    s.smoothing = 0.0f;
    s.edgeRound = 0.0f;
    s.closed = false;
    s.resolution = 1e6f;  // no refinement unless a test asks for it
    s.maxTris = 50000000;
    return s;
}

struct Built {
    wx::SnowShell shell;
    wx::SnowStats stats;
};

inline Built build(const Mesh& m, const wx::SnowSettings& s, std::span<const uint8_t> mask = {}) {
    Built b;
    EXPECT_TRUE(wx::buildSnow(m.positions, m.faces, mask, nullptr, s, b.shell, b.stats));
    return b;
}

inline size_t countKind(const wx::SnowShell& shell, uint8_t kind) {
    return size_t(std::count(shell.kinds.begin(), shell.kinds.end(), kind));
}

// Vertices used by top triangles, in ascending order.
inline std::vector<int32_t> topVertices(const wx::SnowShell& shell) {
    std::vector<int32_t> v;
    for (size_t t = 0; t < shell.kinds.size(); ++t)
        if (shell.kinds[t] == wx::kSnowTop) v.insert(v.end(), &shell.indices[t * 3], &shell.indices[t * 3 + 3]);
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

// Directed edge use counts of all triangles.
inline std::map<std::pair<int32_t, int32_t>, int> directedEdges(const wx::SnowShell& shell) {
    std::map<std::pair<int32_t, int32_t>, int> uses;
    for (size_t t = 0; t + 2 < shell.indices.size(); t += 3)
        for (int e = 0; e < 3; ++e) ++uses[{shell.indices[t + size_t(e)], shell.indices[t + size_t((e + 1) % 3)]}];
    return uses;
}

// Every edge used by exactly two triangles, once in each direction.
inline ::testing::AssertionResult watertight(const wx::SnowShell& shell) {
    const auto uses = directedEdges(shell);
    for (const auto& [edge, count] : uses) {
        auto back = uses.find({edge.second, edge.first});
        if (count != 1 || back == uses.end() || back->second != 1)
            return ::testing::AssertionFailure()
                   << "edge " << edge.first << "->" << edge.second << " used " << count << " times, reverse "
                   << (back == uses.end() ? 0 : back->second) << " times";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace wxtest
