// Small scenes for the run-off tests, built as triangle soups in metres (+Z up) and
// turned into the hierarchy a capture would give.
#pragma once

#include <memory>
#include <vector>

#include "common/v3.h"
#include "fall/drip_edges.h"
#include "shelter/bvh.h"

namespace wx::runoff_test {

struct Soup {
    std::vector<V3> points;

    // Quad a-b-c-d as (a, b, c) and (a, c, d); counter-clockwise seen from its front.
    Soup& quad(V3 a, V3 b, V3 c, V3 d) {
        points.insert(points.end(), {a, b, c, a, c, d});
        return *this;
    }
    // A level square centred at (cx, cy), facing up (or down).
    Soup& square(float cx, float cy, float z, float side, bool facingUp = true) {
        const float h = side / 2;
        V3 a{cx - h, cy - h, z}, b{cx + h, cy - h, z}, c{cx + h, cy + h, z}, d{cx - h, cy + h, z};
        return facingUp ? quad(a, b, c, d) : quad(a, d, c, b);
    }
    // A closed box, every face wound outwards.
    Soup& box(V3 lo, V3 hi) {
        V3 c[8];
        for (int k = 0; k < 8; ++k) c[k] = {k & 1 ? hi.x : lo.x, k & 2 ? hi.y : lo.y, k & 4 ? hi.z : lo.z};
        quad(c[0], c[2], c[3], c[1]);  // bottom
        quad(c[4], c[5], c[7], c[6]);  // top
        quad(c[0], c[1], c[5], c[4]);  // -Y
        quad(c[1], c[3], c[7], c[5]);  // +X
        quad(c[3], c[2], c[6], c[7]);  // +Y
        quad(c[2], c[0], c[4], c[6]);  // -X
        return *this;
    }
    Soup& ground(float half = 20.0f, float z = 0.0f) { return square(0.0f, 0.0f, z, 2 * half); }

    Soup scaled(float s) const {
        Soup out;
        for (V3 p : points) out.points.push_back(p * s);
        return out;
    }
};

inline std::shared_ptr<ShelterBVH> capture(const Soup& soup) {
    auto bvh = std::make_shared<ShelterBVH>();
    buildBVH(soup.points, *bvh);
    return bvh;
}

inline std::vector<DripEdge> dripEdgesOf(const Soup& soup, float unitsPerMetre = 1.0f) {
    return findDripEdges(*capture(soup), unitsPerMetre);
}

inline V3 midpoint(const DripEdge& e) {
    return (e.p0 + e.p1) * 0.5f;
}

}  // namespace wx::runoff_test
