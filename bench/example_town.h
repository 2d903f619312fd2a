// A generated town: ground, gabled houses, carport roofs on posts and floating slabs,
// every surface tessellated like a modelled mesh, as a triangle soup (+Z up). Fixed
// seeds, so every run sees the same triangles. Only the benchmarks use it (the shelter,
// preview and GPU checks measure on it); the command line's built-in example is a
// different town, built through the host in app/demo_town.cpp.
#pragma once

#include <cmath>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/hash.h"
#include "common/v3.h"
#include "shelter/mesh_corners.h"

namespace wx::example {

// Quad a-b-c-d (counter-clockwise seen from its front) cut into nu x nv cells.
inline void addQuad(std::vector<V3>& soup, V3 a, V3 b, V3 c, V3 d, int nu, int nv) {
    auto at = [&](int i, int j) {
        float u = float(i) / float(nu), v = float(j) / float(nv);
        return a * ((1 - u) * (1 - v)) + b * (u * (1 - v)) + c * (u * v) + d * ((1 - u) * v);
    };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            V3 p00 = at(i, j), p10 = at(i + 1, j), p11 = at(i + 1, j + 1), p01 = at(i, j + 1);
            soup.insert(soup.end(), {p00, p10, p11, p00, p11, p01});
        }
    }
}

// An axis-aligned box from lo to hi, each face cut n x n.
inline void addBox(std::vector<V3>& soup, V3 lo, V3 hi, int n) {
    V3 c[8];
    for (int k = 0; k < 8; ++k) c[k] = {k & 1 ? hi.x : lo.x, k & 2 ? hi.y : lo.y, k & 4 ? hi.z : lo.z};
    addQuad(soup, c[0], c[2], c[3], c[1], n, n);  // bottom
    addQuad(soup, c[4], c[5], c[7], c[6], n, n);  // top
    addQuad(soup, c[0], c[1], c[5], c[4], n, n);
    addQuad(soup, c[1], c[3], c[7], c[5], n, n);
    addQuad(soup, c[3], c[2], c[6], c[7], n, n);
    addQuad(soup, c[2], c[0], c[4], c[6], n, n);
}

// About `targetTriangles` triangles over a square town `size` metres across.
inline std::vector<V3> makeTown(int targetTriangles, float size = 200.0f) {
    std::vector<V3> soup;
    const int ground = int(std::sqrt(float(targetTriangles) * 0.2f / 2.0f));
    addQuad(soup, {0, 0, 0}, {size, 0, 0}, {size, size, 0}, {0, size, 0}, ground, ground);
    uint32_t seed = 1;
    auto uniform = [&] { return unitFromHash(hash32(seed++ * 0x9E3779B1u)); };
    const int tess = 6;
    for (int lot = 0; int(soup.size() / 3) < targetTriangles; ++lot) {
        float x = 5 + uniform() * (size - 20), y = 5 + uniform() * (size - 20);
        switch (lot % 4) {
            case 0:
            case 1: {  // a gabled house
                float w = 6 + uniform() * 6, d = 6 + uniform() * 6, h = 3 + uniform() * 4, ridge = 2 + uniform() * 2;
                addBox(soup, {x, y, 0}, {x + w, y + d, h}, tess);
                V3 e0{x - 0.5f, y - 0.5f, h}, e1{x + w + 0.5f, y - 0.5f, h};
                V3 e2{x + w + 0.5f, y + d + 0.5f, h}, e3{x - 0.5f, y + d + 0.5f, h};
                V3 r0{x - 0.5f, y + d / 2, h + ridge}, r1{x + w + 0.5f, y + d / 2, h + ridge};
                addQuad(soup, e0, e1, r1, r0, tess, tess);
                addQuad(soup, e2, e3, r0, r1, tess, tess);
                soup.insert(soup.end(), {e1, e2, r1, e3, e0, r0});
                break;
            }
            case 2: {  // a carport: a thin roof on four posts
                float w = 5 + uniform() * 3, d = 5 + uniform() * 3, h = 2.5f + uniform();
                for (int k = 0; k < 4; ++k) {
                    float px = x + (k & 1 ? w - 0.2f : 0), py = y + (k & 2 ? d - 0.2f : 0);
                    addBox(soup, {px, py, 0}, {px + 0.2f, py + 0.2f, h}, 2);
                }
                addBox(soup, {x - 0.3f, y - 0.3f, h}, {x + w + 0.3f, y + d + 0.3f, h + 0.15f}, tess);
                break;
            }
            default: {  // a floating slab
                float w = 3 + uniform() * 5, d = 3 + uniform() * 5, z = 2 + uniform() * 8;
                addBox(soup, {x, y, z}, {x + w, y + d, z + 0.3f}, tess);
                break;
            }
        }
    }
    return soup;
}

// Splits every triangle into four through its edge midpoints, `levels` times.
inline std::vector<V3> refine(const std::vector<V3>& soup, int levels) {
    std::vector<V3> out = soup;
    for (int l = 0; l < levels; ++l) {
        std::vector<V3> next;
        next.reserve(out.size() * 4);
        for (size_t i = 0; i + 2 < out.size(); i += 3) {
            V3 a = out[i], b = out[i + 1], c = out[i + 2];
            V3 ab = (a + b) * 0.5f, bc = (b + c) * 0.5f, ca = (c + a) * 0.5f;
            next.insert(next.end(), {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca});
        }
        out.swap(next);
    }
    return out;
}

// The soup cut into meshes of `trianglesPerMesh` triangles, each numbering its own
// distinct corner positions (exact bits) in order of first use, as a capture of modelled
// meshes records them: a vertex on the seam between two meshes is one in each.
inline MeshCorners meshCornersOf(const std::vector<V3>& soup, size_t trianglesPerMesh) {
    MeshCorners out;
    const size_t triangles = soup.size() / 3;
    out.corner.reserve(3 * triangles);
    std::unordered_map<uint64_t, std::vector<std::pair<V3, uint32_t>>> seen;
    for (size_t first = 0; first < triangles; first += trianglesPerMesh) {
        const size_t end = std::min(triangles, first + trianglesPerMesh);
        seen.clear();
        std::vector<uint32_t> local;
        uint32_t vertices = 0;
        for (size_t k = 3 * first; k < 3 * end; ++k) {
            const V3 p = soup[k];
            const uint64_t key = (uint64_t(std::bit_cast<uint32_t>(p.x)) * 0x9E3779B97F4A7C15ull) ^
                                 (uint64_t(std::bit_cast<uint32_t>(p.y)) * 0xC2B2AE3D27D4EB4Full) ^
                                 std::bit_cast<uint32_t>(p.z);
            auto& bucket = seen[key];
            uint32_t index = vertices;
            for (const auto& [at, i] : bucket)
                if (std::bit_cast<uint32_t>(at.x) == std::bit_cast<uint32_t>(p.x) &&
                    std::bit_cast<uint32_t>(at.y) == std::bit_cast<uint32_t>(p.y) &&
                    std::bit_cast<uint32_t>(at.z) == std::bit_cast<uint32_t>(p.z))
                    index = i;
            if (index == vertices) bucket.push_back({p, vertices++});
            local.push_back(index);
        }
        out.beginMesh(vertices);
        out.corner.insert(out.corner.end(), local.begin(), local.end());
    }
    return out;
}

// Query points on the up-facing surfaces (normal z above 0.3): a centroid of every k-th
// such triangle, with its normal, about `count` in all.
inline void upFacingPoints(const std::vector<V3>& soup, size_t count, std::vector<V3>& positions,
                           std::vector<V3>& normals) {
    std::vector<size_t> up;
    for (size_t i = 0; i + 2 < soup.size(); i += 3) {
        V3 n = normalize(cross(soup[i + 1] - soup[i], soup[i + 2] - soup[i]));
        if (n.z > 0.3f) up.push_back(i);
    }
    const size_t step = up.size() > count ? up.size() / count : 1;
    for (size_t k = 0; k < up.size() && positions.size() < count; k += step) {
        size_t i = up[k];
        positions.push_back((soup[i] + soup[i + 1] + soup[i + 2]) * 0.33333334f);
        normals.push_back(normalize(cross(soup[i + 1] - soup[i], soup[i + 2] - soup[i])));
    }
}

}  // namespace wx::example
