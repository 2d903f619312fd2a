// The connectivity the drip-edge search reads from a triangle soup: corners welded on a
// grid into shared vertices, and for every welded edge the first two uses of it. Both are
// flat open-addressing tables filled from the thread pool with compare-and-swap, and both
// keep the smallest index that reaches them, so the result is the same for any thread
// count and equals a single pass in triangle order. Build on one thread, then read from
// any number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

// Per corner, its vertex: the lowest-numbered corner that falls in the same grid cell of
// q units (cells by weldCell, compared as whole cells, hashed by weldKey). So a vertex's
// position is soupCorner(tris, vertex[k]).
std::vector<int32_t> weldCorners(std::span<const BVHTri> tris, float q);

// Zero-filled words from the system (pages arrive on first write), freed with free().
struct FreeDeleter {
    void operator()(void* p) const noexcept;
};
using ZeroedWords = std::unique_ptr<uint64_t[], FreeDeleter>;
ZeroedWords allocateZeroedWords(size_t count);  // throws std::bad_alloc

// The uses of each welded edge: a use is triangle t's edge k (from vertex k to the next),
// numbered 3t + k. Up to two uses are kept per edge, the lowest-numbered ones.
class EdgeUses {
public:
    static constexpr int32_t kNone = -1;

    // Room for `uses` insertions (the table grows no further).
    explicit EdgeUses(size_t uses);

    // Records use u of the edge between vertices a and b (either order; a != b).
    // Thread-safe against other inserts.
    void insert(int32_t a, int32_t b, int32_t u);

    // The first two uses of the edge (kNone where there are fewer).
    void find(int32_t a, int32_t b, int32_t& first, int32_t& second) const;

private:
    size_t slotOf(uint64_t key) const;

    ZeroedWords slots_;  // two words a slot: the key + 1 (0 when empty), the two uses + 1
    size_t mask_ = 0;
};

}  // namespace wx
