#include "fall/drip_mesh.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <new>

#include "common/check.h"
#include "common/parallel_for.h"
#include "fall/drip_edges.h"

namespace wx {
namespace {

// Table index bits from a 64-bit key (Fibonacci hashing: the key's high bits spread).
size_t spread(uint64_t key, size_t mask) {
    return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
}

// A power of two with at least 5/4 of `items` slots, so linear probes stay short.
size_t tableSize(size_t items) {
    return std::bit_ceil(std::max<size_t>(16, items + items / 4 + 1));
}

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell&) const = default;
};

Cell cellOf(V3 p, float q) {
    return {weldCell(p.x, q), weldCell(p.y, q), weldCell(p.z, q)};
}

}  // namespace

void FreeDeleter::operator()(void* p) const noexcept {
    std::free(p);
}

ZeroedWords allocateZeroedWords(size_t count) {
    void* p = std::calloc(count, sizeof(uint64_t));
    if (!p) throw std::bad_alloc();
    return ZeroedWords(static_cast<uint64_t*>(p));
}

// A slot holds the key's high half as a tag and the lowest corner of its cell + 1; 0 is
// empty. A corner claims an empty slot or lowers the corner of its own cell's slot, so
// whatever the order of the threads, each cell ends in one slot with its first corner.
std::vector<int32_t> weldCorners(std::span<const BVHTri> tris, float q) {
    const size_t corners = tris.size() * 3;
    WX_CHECK(corners < size_t(INT32_MAX));
    std::vector<int32_t> vertex(corners);
    if (corners == 0) return vertex;
    const size_t size = tableSize(corners);
    const size_t mask = size - 1;
    ZeroedWords slots = allocateZeroedWords(size);
    uint64_t* table = slots.get();

    parallelFor(corners, [&](size_t k) {
        const Cell cell = cellOf(soupCorner(tris, k), q);
        const uint64_t key = weldKey(cell.x, cell.y, cell.z);
        const uint64_t tag = key >> 32 << 32;
        const uint64_t mine = tag | uint64_t(k + 1);
        for (size_t s = spread(key, mask);; s = (s + 1) & mask) {
            std::atomic_ref<uint64_t> slot(table[s]);
            uint64_t seen = slot.load(std::memory_order_acquire);
            if (seen == 0 && slot.compare_exchange_strong(seen, mine, std::memory_order_acq_rel)) {
                vertex[k] = int32_t(s);
                return;
            }
            // seen now holds the slot's owner (a failed exchange reloads it).
            if ((seen & ~0xFFFFFFFFull) != tag) continue;
            if (!(cellOf(soupCorner(tris, (seen & 0xFFFFFFFFull) - 1), q) == cell)) continue;
            while ((seen & 0xFFFFFFFFull) > k + 1 &&
                   !slot.compare_exchange_weak(seen, mine, std::memory_order_acq_rel)) {
            }
            vertex[k] = int32_t(s);
            return;
        }
    });
    parallelFor(corners, [&](size_t k) { vertex[k] = int32_t((table[vertex[k]] & 0xFFFFFFFFull) - 1); });
    return vertex;
}

EdgeUses::EdgeUses(size_t uses) {
    const size_t size = tableSize(uses);
    mask_ = size - 1;
    slots_ = allocateZeroedWords(2 * size);
}

size_t EdgeUses::slotOf(uint64_t key) const {
    return spread(key, mask_);
}

namespace {

uint64_t edgeKey(int32_t a, int32_t b) {
    if (b < a) std::swap(a, b);
    return ((uint64_t(uint32_t(a)) << 32) | uint32_t(b)) + 1;
}

}  // namespace

// The uses word keeps the lowest use + 1 in its high half and the next + 1 in its low half.
void EdgeUses::insert(int32_t a, int32_t b, int32_t u) {
    const uint64_t key = edgeKey(a, b);
    uint64_t* table = slots_.get();
    for (size_t s = slotOf(key);; s = (s + 1) & mask_) {
        std::atomic_ref<uint64_t> slotKey(table[2 * s]);
        uint64_t seen = slotKey.load(std::memory_order_acquire);
        if (seen == 0 && !slotKey.compare_exchange_strong(seen, key, std::memory_order_acq_rel)) {
            // Another thread took the slot first; seen holds its key.
        } else if (seen == 0) {
            seen = key;
        }
        if (seen != key) continue;
        std::atomic_ref<uint64_t> slotUses(table[2 * s + 1]);
        const uint64_t w = uint64_t(uint32_t(u)) + 1;
        uint64_t uses = slotUses.load(std::memory_order_relaxed);
        for (;;) {
            const uint64_t first = uses >> 32, second = uses & 0xFFFFFFFFull;
            uint64_t next;
            if (first == 0)
                next = w << 32;
            else if (w < first)
                next = (w << 32) | first;
            else if (second == 0 || w < second)
                next = (first << 32) | w;
            else
                return;
            if (slotUses.compare_exchange_weak(uses, next, std::memory_order_acq_rel)) return;
        }
    }
}

void EdgeUses::find(int32_t a, int32_t b, int32_t& first, int32_t& second) const {
    first = second = kNone;
    const uint64_t key = edgeKey(a, b);
    const uint64_t* table = slots_.get();
    for (size_t s = slotOf(key);; s = (s + 1) & mask_) {
        const uint64_t seen = table[2 * s];
        if (seen == 0) return;
        if (seen != key) continue;
        const uint64_t uses = table[2 * s + 1];
        first = int32_t(uses >> 32) - 1;
        second = int32_t(uses & 0xFFFFFFFFull) - 1;
        return;
    }
}

}  // namespace wx
