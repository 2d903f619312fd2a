#include "fall/drip_mesh.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "common/check.h"
#include "common/parallel_for.h"

namespace wx {
namespace {

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell&) const = default;
};

Cell cellOf(V3 p, float q) {
    return {weldCell(p.x, q), weldCell(p.y, q), weldCell(p.z, q)};
}

// Work split into blocks handled in index order on one thread, enough of them that the
// thread pool shares them out (it runs fewer than kParallelInlineBelow items inline).
struct Blocks {
    explicit Blocks(size_t items)
        : count(items),
          size(std::clamp<size_t>(items / kParallelInlineBelow, 16, 4096)),
          blocks((items + size - 1) / size) {}
    size_t first(size_t b) const { return b * size; }
    size_t end(size_t b) const { return std::min(count, (b + 1) * size); }
    size_t count, size, blocks;
};

struct FreeWords {
    void operator()(uint64_t* p) const noexcept { std::free(p); }
};

// Zero-filled words straight from the system: pages arrive on first write.
std::unique_ptr<uint64_t[], FreeWords> zeroedWords(size_t count) {
    void* p = std::calloc(count, sizeof(uint64_t));
    if (!p) throw std::bad_alloc();
    return std::unique_ptr<uint64_t[], FreeWords>(static_cast<uint64_t*>(p));
}

constexpr uint64_t kLow = 0xFFFFFFFFull;

// What pass one learns of each corner.
constexpr uint8_t kLater = 0;                     // its cell's slot came from a claim with an earlier corner
constexpr uint8_t kFirst = 1;                     // the first corner of its cell: the vertex takes its position
constexpr uint8_t kRepeat = 2;                    // vertex[k] is an earlier corner of its block in the same cell
constexpr uint64_t kTag = 0x7FFFFFFF00000000ull;  // the top bit marks a numbered slot later

// The weld's table: a slot holds 31 high bits of its cell's key as a tag and the lowest
// corner of the cell + 1 in the low half; 0 is empty. A corner claims an empty slot or
// lowers the corner of its own cell's slot, so whatever the threads' order each cell ends
// in one slot with its first corner. A small table stays in cache: when its probes run
// long (it is nearly full) the claim gives up and the weld starts again with a larger one.
class CellTable {
public:
    static constexpr uint32_t kFull = UINT32_MAX;

    CellTable(std::span<const BVHTri> tris, float q, size_t slots)
        : tris_(tris),
          q_(q),
          mask_(slots - 1),
          slots_(zeroedWords(slots)),
          probeLimit_(slots >= 2 * tris.size() * 3 ? slots : 512) {}

    // The slot of corner k's cell, after making sure the slot holds no later corner than
    // k; kFull when the table is too full. state[k] ends kFirst while k is the lowest
    // corner its cell has seen: set before k enters a slot, cleared by the corner that
    // takes the slot from it, whose exchange reads k's and so comes after it.
    uint32_t claim(size_t k, const Cell& cell, uint64_t key, uint8_t* state) {
        const uint64_t tag = key & kTag;
        const uint64_t mine = tag | uint64_t(k + 1);
        size_t s = home(key);
        std::atomic_ref<uint8_t>(state[k]).store(kFirst, std::memory_order_relaxed);
        for (size_t probe = 0; probe < probeLimit_; ++probe, s = (s + 1) & mask_) {
            std::atomic_ref<uint64_t> slot(slots_[s]);
            uint64_t seen = slot.load(std::memory_order_acquire);
            if (seen == 0 && slot.compare_exchange_strong(seen, mine, std::memory_order_acq_rel)) return uint32_t(s);
            // seen holds the slot's owner now (a failed exchange reloads it).
            if ((seen & kTag) != tag || !(cellOf(soupCorner(tris_, (seen & kLow) - 1), q_) == cell)) continue;
            for (;;) {
                if ((seen & kLow) < k + 1) {
                    std::atomic_ref<uint8_t>(state[k]).store(kLater, std::memory_order_relaxed);
                    break;
                }
                if (slot.compare_exchange_weak(seen, mine, std::memory_order_acq_rel)) {
                    std::atomic_ref<uint8_t>(state[(seen & kLow) - 1]).store(kLater, std::memory_order_relaxed);
                    break;
                }
            }
            return uint32_t(s);
        }
        return kFull;
    }

    uint64_t& operator[](size_t s) { return slots_[s]; }

    // Asks for the first slot a key probes ahead of its claim, so that claims wait on
    // memory together rather than one after another.
    void prefetch(uint64_t key) const { __builtin_prefetch(&slots_[home(key)]); }

private:
    size_t home(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> 24) & mask_; }

    std::span<const BVHTri> tris_;
    float q_;
    size_t mask_;
    std::unique_ptr<uint64_t[], FreeWords> slots_;
    size_t probeLimit_;
};

// Each corner to its cell's slot (as ~slot). The hierarchy keeps neighbouring triangles
// together, so a block remembers its recent cells and their first corner in the block, and
// asks the shared table only about cells it has not just seen. False when the table is
// too full.
bool claimCells(std::span<const BVHTri> tris, float q, const Blocks& blocks, CellTable& table, int32_t* vertex,
                uint8_t* state) {
    std::atomic<bool> full{false};
    parallelFor(blocks.blocks, [&](size_t b) {
        struct Recent {
            Cell cell;
            int32_t corner;  // -1: unused
        } recent[256];
        for (Recent& r : recent) r.corner = -1;
        constexpr size_t kBatch = 16;
        Cell cells[kBatch];
        uint64_t keys[kBatch];
        for (size_t base = blocks.first(b); base < blocks.end(b) && !full.load(std::memory_order_relaxed);
             base += kBatch) {
            const size_t n = std::min(kBatch, blocks.end(b) - base);
            for (size_t i = 0; i < n; ++i) {
                cells[i] = cellOf(soupCorner(tris, base + i), q);
                keys[i] = weldKey(cells[i].x, cells[i].y, cells[i].z);
                const Recent& r = recent[(keys[i] * 0x9E3779B97F4A7C15ull) >> 56];
                if (!(r.corner >= 0 && r.cell == cells[i])) table.prefetch(keys[i]);
            }
            for (size_t i = 0; i < n; ++i) {
                const size_t k = base + i;
                Recent& r = recent[(keys[i] * 0x9E3779B97F4A7C15ull) >> 56];
                if (r.corner >= 0 && r.cell == cells[i]) {
                    vertex[k] = r.corner;
                    state[k] = kRepeat;
                    continue;
                }
                const uint32_t slot = table.claim(k, cells[i], keys[i], state);
                if (slot == CellTable::kFull) full.store(true, std::memory_order_relaxed);
                vertex[k] = ~int32_t(slot);
                r = {cells[i], int32_t(k)};
            }
        }
    });
    return !full.load();
}

}  // namespace

namespace {

// Vertices numbered in the order of their first corners, once every corner holds its
// cell's slot (as ~slot) and state marks each cell's first corner: count the first
// corners per block, number them (each slot then holds its vertex), and resolve the rest.
void numberVertices(std::span<const BVHTri> tris, const Blocks& blocks, CellTable& table, const uint8_t* state,
                    WeldedCorners& out) {
    int32_t* vertex = out.vertex.data();
    std::vector<int32_t> firsts(blocks.blocks);
    parallelFor(blocks.blocks, [&](size_t b) {
        int32_t n = 0;
        for (size_t k = blocks.first(b); k < blocks.end(b); ++k) n += state[k] == kFirst ? 1 : 0;
        firsts[b] = n;
    });
    int32_t vertices = 0;
    for (int32_t& n : firsts) vertices += std::exchange(n, vertices);
    out.position.resize(size_t(vertices));
    parallelFor(blocks.blocks, [&](size_t b) {
        int32_t next = firsts[b];
        for (size_t k = blocks.first(b); k < blocks.end(b); ++k) {
            if (state[k] != kFirst) continue;
            table[size_t(~vertex[k])] = uint64_t(next);
            out.position[size_t(next)] = soupCorner(tris, k);
            vertex[k] = next++;
        }
    });
    constexpr size_t kAhead = 16;
    parallelFor(blocks.blocks, [&](size_t b) {
        for (size_t k = blocks.first(b); k < blocks.end(b); ++k) {
            if (const size_t ahead = k + kAhead; ahead < blocks.end(b) && state[ahead] == kLater)
                __builtin_prefetch(&table[size_t(~vertex[ahead])]);
            if (state[k] == kRepeat)
                vertex[k] = vertex[size_t(vertex[k])];  // an earlier corner, already resolved
            else if (state[k] == kLater)
                vertex[k] = int32_t(table[size_t(~vertex[k])]);
        }
    });
}

}  // namespace

WeldedCorners weldCorners(std::span<const BVHTri> tris, float q) {
    const size_t corners = tris.size() * 3;
    WX_CHECK(corners < size_t(INT32_MAX));
    WeldedCorners out;
    out.vertex.resize(corners);
    if (corners == 0) return out;
    std::vector<uint8_t> state(corners);
    const Blocks blocks(corners);
    // Scenes share most corners (six triangles to a vertex in a closed mesh): start with
    // room for a third of the corners and grow only for a soup that shares few.
    std::unique_ptr<CellTable> cells;
    for (size_t slots = std::bit_ceil(std::max<size_t>(16, corners / 3));; slots *= 4) {
        cells = std::make_unique<CellTable>(tris, q, slots);
        if (claimCells(tris, q, blocks, *cells, out.vertex.data(), state.data())) break;
    }
    numberVertices(tris, blocks, *cells, state.data(), out);
    return out;
}

namespace {

constexpr uint32_t kUnused = UINT32_MAX;

// What the corners of one mesh vertex share: the position of its first corner and the
// slot of that position's cell.
struct VertexCell {
    V3 position;
    uint32_t slot;
};
static_assert(sizeof(VertexCell) == 16);

// Each vertex's first corner (kUnused for a vertex no corner uses).
std::vector<uint32_t> firstCorners(std::span<const int32_t> cornerVertex, size_t vertexCount, const Blocks& blocks) {
    std::vector<uint32_t> first(vertexCount, kUnused);
    parallelFor(blocks.blocks, [&](size_t b) {
        for (size_t k = blocks.first(b); k < blocks.end(b); ++k) {
            std::atomic_ref<uint32_t> f(first[size_t(cornerVertex[k])]);
            uint32_t seen = f.load(std::memory_order_relaxed);
            while (uint32_t(k) < seen && !f.compare_exchange_weak(seen, uint32_t(k), std::memory_order_relaxed)) {
            }
        }
    });
    return first;
}

bool samePosition(V3 a, V3 b) {
    return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
           std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y) &&
           std::bit_cast<uint32_t>(a.z) == std::bit_cast<uint32_t>(b.z);
}

// Claims a cell for each vertex's first corner, then gives every corner its slot: the
// vertex's when the corner lies where the first one does, else a claim of its own. Every
// corner is then claimed or lies in the cell of an earlier claimed corner, so each slot
// ends with its cell's first corner, as when every corner claims. Walks the corners in
// stored order throughout, so that the triangles are read in turn. vertex may be
// cornerVertex itself: each corner's number is read before its slot replaces it. False
// when the table is too full, with vertex partly overwritten.
bool claimVertexCells(std::span<const BVHTri> tris, float q, const int32_t* cornerVertex,
                      std::span<const uint32_t> first, const Blocks& blocks, CellTable& table, int32_t* vertex,
                      uint8_t* state) {
    std::atomic<bool> full{false};
    std::vector<VertexCell> cellOfVertex(first.size());
    parallelFor(blocks.blocks, [&](size_t b) {
        constexpr size_t kBatch = 16;
        size_t firsts[kBatch];
        Cell cells[kBatch];
        uint64_t keys[kBatch];
        for (size_t base = blocks.first(b); base < blocks.end(b) && !full.load(std::memory_order_relaxed);
             base += kBatch) {
            const size_t n = std::min(kBatch, blocks.end(b) - base);
            size_t m = 0;
            for (size_t k = base; k < base + n; ++k) {
                const size_t v = size_t(cornerVertex[k]);
                if (first[v] != k) continue;
                cellOfVertex[v].position = soupCorner(tris, k);
                cells[m] = cellOf(cellOfVertex[v].position, q);
                keys[m] = weldKey(cells[m].x, cells[m].y, cells[m].z);
                table.prefetch(keys[m]);
                firsts[m++] = k;
            }
            for (size_t i = 0; i < m; ++i) {
                const uint32_t slot = table.claim(firsts[i], cells[i], keys[i], state);
                if (slot == CellTable::kFull) full.store(true, std::memory_order_relaxed);
                cellOfVertex[size_t(cornerVertex[firsts[i]])].slot = slot;
            }
        }
    });
    if (full.load()) return false;
    parallelFor(blocks.blocks, [&](size_t b) {
        for (size_t k = blocks.first(b); k < blocks.end(b) && !full.load(std::memory_order_relaxed); ++k) {
            const V3 p = soupCorner(tris, k);
            const VertexCell& v = cellOfVertex[size_t(cornerVertex[k])];
            uint32_t slot = v.slot;
            if (!samePosition(p, v.position)) {  // rounded away from its vertex: a cell of its own
                const Cell cell = cellOf(p, q);
                slot = table.claim(k, cell, weldKey(cell.x, cell.y, cell.z), state);
                if (slot == CellTable::kFull) full.store(true, std::memory_order_relaxed);
            }
            vertex[k] = ~int32_t(slot);
        }
    });
    return !full.load();
}

}  // namespace

WeldedCorners weldCorners(std::span<const BVHTri> tris, float q, std::vector<int32_t> cornerVertex,
                          size_t vertexCount) {
    const size_t corners = tris.size() * 3;
    WX_CHECK(corners < size_t(INT32_MAX) && cornerVertex.size() == corners);
    if (corners == 0) return {};
    const Blocks blocks(corners);
    const std::vector<uint32_t> first = firstCorners(cornerVertex, vertexCount, blocks);
    std::vector<uint8_t> state(corners);
    // Room for every vertex's cell and a few more, a quarter of the slots free. A table
    // that fills (a numbering that puts far-apart corners on one vertex) leaves the weld
    // to the corners themselves.
    CellTable table(tris, q, std::bit_ceil(std::max<size_t>(16, vertexCount + vertexCount / 4)));
    // The numbering's own storage becomes the vertices: each corner's number is read
    // before its slot replaces it.
    WeldedCorners out;
    out.vertex = std::move(cornerVertex);
    if (!claimVertexCells(tris, q, out.vertex.data(), first, blocks, table, out.vertex.data(), state.data()))
        return weldCorners(tris, q);
    numberVertices(tris, blocks, table, state.data(), out);
    return out;
}

EdgeUses::EdgeUses(std::span<const int32_t> vertex, size_t vertexCount, std::span<const uint8_t> kept)
    : start_(vertexCount + 1, 0) {
    const size_t triangles = vertex.size() / 3;
    const Blocks blocks(triangles);
    // The lower vertex of each kept edge, or -1.
    auto lowerOf = [&](size_t t, int k) {
        if (!kept[3 * t + size_t(k)]) return int32_t(-1);
        return std::min(vertex[3 * t + size_t(k)], vertex[3 * t + size_t(k + 1) % 3]);
    };
    parallelFor(blocks.blocks, [&](size_t b) {
        for (size_t t = blocks.first(b); t < blocks.end(b); ++t)
            for (int k = 0; k < 3; ++k)
                if (const int32_t lo = lowerOf(t, k); lo >= 0)
                    std::atomic_ref<uint32_t>(start_[size_t(lo) + 1]).fetch_add(1, std::memory_order_relaxed);
    });
    for (size_t v = 1; v <= vertexCount; ++v) start_[v] += start_[v - 1];
    uses_.resize(start_[vertexCount]);
    std::vector<uint32_t> cursor(start_.begin(), start_.end() - 1);
    parallelFor(blocks.blocks, [&](size_t b) {
        for (size_t t = blocks.first(b); t < blocks.end(b); ++t)
            for (int k = 0; k < 3; ++k)
                if (const int32_t lo = lowerOf(t, k); lo >= 0) {
                    const uint32_t at =
                        std::atomic_ref<uint32_t>(cursor[size_t(lo)]).fetch_add(1, std::memory_order_relaxed);
                    const int32_t higher = std::max(vertex[3 * t + size_t(k)], vertex[3 * t + size_t(k + 1) % 3]);
                    uses_[at] = {int32_t(3 * t + size_t(k)), higher};
                }
    });
}

void EdgeUses::find(int32_t a, int32_t b, int32_t& first, int32_t& second) const {
    first = second = kNone;
    const int32_t lo = std::min(a, b), hi = std::max(a, b);
    if (lo < 0 || lo == hi || size_t(hi) + 1 >= start_.size()) return;
    for (uint32_t i = start_[size_t(lo)]; i < start_[size_t(lo) + 1]; ++i) {
        if (uses_[i].higher != hi) continue;
        const int32_t u = uses_[i].use;
        if (first == kNone || u < first) {
            second = first;
            first = u;
        } else if (second == kNone || u < second) {
            second = u;
        }
    }
}

}  // namespace wx
