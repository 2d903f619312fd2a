// The connectivity the drip-edge search reads from a triangle soup: corners welded on a
// grid into shared vertices, and for every welded edge the triangles that use it. The
// weld is a flat open-addressing table filled from the thread pool with compare-and-swap
// that keeps the lowest corner reaching each cell; the edges are buckets per vertex. Both
// give the same result for any thread count, the result of one pass in triangle order.
// Build on one thread, then read from any number.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/v3.h"
#include "shelter/bvh.h"

namespace wx {

// Corner k of the soup: corner k % 3 of triangle k / 3, as p0, p0 + e1, p0 + e2.
inline V3 soupCorner(std::span<const BVHTri> tris, size_t k) {
    const BVHTri& t = tris[k / 3];
    switch (k % 3) {
        case 0:
            return t.p0;
        case 1:
            return t.p0 + t.e1;
        default:
            return t.p0 + t.e2;
    }
}

// The weld's cell of a coordinate on a grid of q units: round(x / q), half away from zero
// (x / q in float, as every length of the search). Beyond the 64-bit range it saturates.
inline int64_t weldCell(float x, float q) {
    const float v = x / q;
    if (!(std::fabs(v) < 9.2e18f)) return v != v ? 0 : (v > 0.0f ? int64_t(9.2e18f) : -int64_t(9.2e18f));
    int64_t whole = int64_t(v);           // towards zero
    const float rest = v - float(whole);  // exact: whole has v's leading bits
    if (rest >= 0.5f)
        ++whole;
    else if (rest <= -0.5f)
        --whole;
    return whole;
}

// The 64-bit key the weld hashes a cell by. Different cells can share a key, so the weld
// compares the cells themselves.
inline uint64_t weldKey(int64_t kx, int64_t ky, int64_t kz) {
    return (uint64_t(kz) * 83492791ull) ^ (uint64_t(kx) * 73856093ull) ^ (uint64_t(ky) * 19349663ull);
}

// Corners welded into vertices: corners in one grid cell of q units (cells by weldCell,
// compared as whole cells, hashed by weldKey) are one vertex, numbered in the order of
// their first corner, at that first corner's position.
struct WeldedCorners {
    std::vector<int32_t> vertex;  // per corner
    std::vector<V3> position;     // per vertex
};

WeldedCorners weldCorners(std::span<const BVHTri> tris, float q);

// The same weld, the same result, for corners that come with the mesh vertex each was made
// from (cornerVertex[k] below vertexCount; any numbering gives the same result, a true
// one gives it faster): each vertex's cell is found once, from its first corner, and
// shared by its corners at that very position; a corner elsewhere (p0 + e1 rounds, or the
// numbering is wrong) finds its own cell. The numbering's storage becomes the result's.
WeldedCorners weldCorners(std::span<const BVHTri> tris, float q, std::vector<int32_t> cornerVertex, size_t vertexCount);

// The uses of each welded edge: a use is triangle t's edge k (from its vertex k to the
// next), numbered 3t + k. Only the uses marked in `kept` are recorded; an edge's uses must
// all be kept or none, and its two vertices must differ.
class EdgeUses {
public:
    static constexpr int32_t kNone = -1;

    EdgeUses(std::span<const int32_t> vertex, size_t vertexCount, std::span<const uint8_t> kept);

    // The two lowest-numbered uses of the edge between vertices a and b (kNone where there
    // are fewer).
    void find(int32_t a, int32_t b, int32_t& first, int32_t& second) const;

private:
    // A use and the edge's higher vertex, so that a look-up compares within its bucket
    // rather than reading each use's triangle back. 8 bytes.
    struct Use {
        int32_t use;
        int32_t higher;
    };
    std::vector<uint32_t> start_;  // per vertex + 1: where its bucket begins in uses_
    std::vector<Use> uses_;        // bucketed by the edge's lower vertex, any order within
};

}  // namespace wx
