// Seeded triangle soups and small scenes shared by the shelter tests.
#pragma once

#include <random>
#include <vector>

#include "common/v3.h"

namespace wx {

// Mostly ordinary triangles in a 20-unit cube, with slivers, degenerate, tiny and huge
// ones mixed in.
inline std::vector<V3> randomSoup(std::mt19937& rng, int triangles) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<V3> soup;
    for (int i = 0; i < triangles; ++i) {
        V3 c{unit(rng) * 10, unit(rng) * 10, unit(rng) * 10};
        float size = 1.5f;
        switch (i % 17) {
            case 0: size = 1e-4f; break;  // tiny
            case 1: size = 40.0f; break;  // huge
            default: break;
        }
        V3 a = c + V3{unit(rng), unit(rng), unit(rng)} * size;
        V3 b = c + V3{unit(rng), unit(rng), unit(rng)} * size;
        V3 d = c + V3{unit(rng), unit(rng), unit(rng)} * size;
        if (i % 13 == 0) d = a + (b - a) * 0.5f;  // degenerate: on the line a-b
        if (i % 11 == 0) d = b + V3{1e-6f, 0, 0};  // sliver
        soup.insert(soup.end(), {a, b, d});
    }
    return soup;
}

// An axis-aligned horizontal quad (two triangles, facing up) at height z.
inline void addQuad(std::vector<V3>& soup, float x0, float y0, float x1, float y1, float z) {
    soup.insert(soup.end(), {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y0, z}, {x1, y1, z}, {x0, y1, z}});
}

// A vertical wall in the plane x = x0, from y0 to y1 and z0 to z1.
inline void addWallX(std::vector<V3>& soup, float x0, float y0, float y1, float z0, float z1) {
    soup.insert(soup.end(), {{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z0}, {x0, y1, z1}, {x0, y0, z1}});
}

}  // namespace wx
