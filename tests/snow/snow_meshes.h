// Generated meshes for the snow builder's tests and benchmarks: flat squares, height-field
// terrains, a pitched-roof house and a town block of boxes, and the snow modifier's default
// settings to build them with. Header-only, deterministic.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/angles.h"
#include "common/v3.h"
#include "snow/snow_types.h"

namespace wxtest {

// The snow modifier's own parameter defaults (SnowSettings starts at its parameter table's
// defaults), at a chosen budget.
inline wx::SnowSettings modifierDefaults(int32_t maxTris) {
    wx::SnowSettings s;
    s.maxTris = maxTris;
    return s;
}

struct Mesh {
    std::vector<wx::V3> positions;
    std::vector<int32_t> faces;  // three per triangle, counter-clockwise seen from outside

    int32_t add(wx::V3 p) {
        positions.push_back(p);
        return int32_t(positions.size() - 1);
    }
    void tri(int32_t a, int32_t b, int32_t c) { faces.insert(faces.end(), {a, b, c}); }
    void quad(int32_t a, int32_t b, int32_t c, int32_t d) {
        tri(a, b, c);
        tri(a, c, d);
    }
    size_t faceCount() const { return faces.size() / 3; }
};

// Square of the given side in the XY plane at height z, as two triangles.
inline Mesh flatSquare(float side, float z = 0.0f) {
    Mesh m;
    m.quad(m.add({0, 0, z}), m.add({side, 0, z}), m.add({side, side, z}), m.add({0, side, z}));
    return m;
}

// Height field over [0, size]^2 on an n x n grid of cells (2 n^2 triangles). Each cell is
// split along the diagonal from (i, j) to (i + 1, j + 1).
template <class Height>
Mesh heightField(int n, float size, Height height) {
    Mesh m;
    const float step = size / float(n);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m.add({float(i) * step, float(j) * step, height(float(i) * step, float(j) * step)});
    auto at = [&](int i, int j) { return int32_t(j * (n + 1) + i); };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) m.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    return m;
}

// Rolling terrain with hills, valleys and a few steep banks.
inline Mesh terrain(int n, float size) {
    return heightField(n, size, [size](float x, float y) {
        const float u = x / size * 6.2831853f, v = y / size * 6.2831853f;
        return size * (0.04f * std::sin(3.0f * u) * std::cos(2.0f * v) + 0.02f * std::sin(7.0f * u + 5.0f * v) +
                       0.01f * std::cos(13.0f * v));
    });
}

// Closed box, outward winding.
inline void addBox(Mesh& m, wx::V3 lo, wx::V3 hi) {
    int32_t v[8];
    for (int k = 0; k < 8; ++k) v[k] = m.add({(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z});
    m.quad(v[0], v[2], v[3], v[1]);  // bottom, facing -Z
    m.quad(v[4], v[5], v[7], v[6]);  // top
    m.quad(v[0], v[1], v[5], v[4]);  // -Y
    m.quad(v[2], v[6], v[7], v[3]);  // +Y
    m.quad(v[0], v[4], v[6], v[2]);  // -X
    m.quad(v[1], v[3], v[7], v[5]);  // +X
}

// A house: walls of a w x d box of height h, and a ridge roof along Y whose west half
// rises at `westDeg` and east half at `eastDeg` (the ridge sits where the two meet).
inline Mesh house(float w, float d, float h, float westDeg, float eastDeg) {
    Mesh m;
    const float tw = std::tan(wx::radiansFromDegrees(westDeg)), te = std::tan(wx::radiansFromDegrees(eastDeg));
    const float ridgeX = w * te / (tw + te), ridgeZ = h + ridgeX * tw;
    const int32_t a = m.add({0, 0, h}), b = m.add({w, 0, h}), c = m.add({w, d, h}), e = m.add({0, d, h});
    const int32_t r0 = m.add({ridgeX, 0, ridgeZ}), r1 = m.add({ridgeX, d, ridgeZ});
    const int32_t a0 = m.add({0, 0, 0}), b0 = m.add({w, 0, 0}), c0 = m.add({w, d, 0}), e0 = m.add({0, d, 0});
    m.quad(a, r0, r1, e);                        // west roof
    m.quad(r0, b, c, r1);                        // east roof
    m.quad(a0, b0, b, a), m.tri(a, b, r0);       // south wall and gable
    m.quad(c0, e0, e, c), m.tri(c, e, r1);       // north wall and gable
    m.quad(e0, a0, a, e), m.quad(b0, c0, c, b);  // west and east walls
    m.quad(a0, e0, c0, b0);                      // floor
    return m;
}

// A town block: a grid of boxes of varied heights on a ground plane, about
// 12 + 2 * ground^2 triangles per building.
inline Mesh townBlock(int buildingsPerSide, int groundCells, float size) {
    Mesh m = heightField(groundCells, size, [](float, float) { return 0.0f; });
    const float lot = size / float(buildingsPerSide);
    for (int j = 0; j < buildingsPerSide; ++j) {
        for (int i = 0; i < buildingsPerSide; ++i) {
            const uint32_t h = (uint32_t(i) * 73856093u) ^ (uint32_t(j) * 19349663u);
            const float height = lot * (0.5f + float(h % 97u) / 40.0f);
            addBox(m, {float(i) * lot + lot * 0.2f, float(j) * lot + lot * 0.2f, 0.0f},
                   {float(i + 1) * lot - lot * 0.2f, float(j + 1) * lot - lot * 0.2f, height});
        }
    }
    return m;
}

// Every face gets its own three vertices, as meshes with split normals or UV seams come.
inline Mesh triangleSoup(const Mesh& m) {
    Mesh s;
    for (int32_t index : m.faces) s.faces.push_back(s.add(m.positions[size_t(index)]));
    return s;
}

}  // namespace wxtest
