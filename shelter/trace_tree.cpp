#include "shelter/trace_tree.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/parallel_for.h"

namespace wx {
namespace {

constexpr int kBins = 16;             // candidate planes per axis and node
constexpr int kBlockTris = 4;         // triangles in one TriBlock: a leaf up to this size is always kept
constexpr int kMaxLeafTris = 16;      // larger ranges are split even when the heuristic prefers a leaf
constexpr int kMaxDepth = 48;         // with kWideStack, bounds the traversal stack
constexpr float kBoxTestCost = 0.5f;  // one binary box test, in units of one four-triangle block test
constexpr int32_t kTaskTris = 4096;   // subtrees at most this large are built as separate tasks
// Relative widening of each triangle's box: about four units in the last place.
constexpr float kBoxPad = 5e-7f;

struct Box {
    V3 lo{1e30f, 1e30f, 1e30f};
    V3 hi{-1e30f, -1e30f, -1e30f};
    void grow(V3 l, V3 h) {
        lo = vmin(lo, l);
        hi = vmax(hi, h);
    }
    // Half the surface area; 0 for an empty or flat-and-thin box.
    float halfArea() const {
        const V3 e = hi - lo;
        if (!(e.x >= 0.0f && e.y >= 0.0f && e.z >= 0.0f)) return 0.0f;
        return e.x * e.y + e.y * e.z + e.z * e.x;
    }
};

float axisOf(V3 v, int a) {
    return a == 0 ? v.x : (a == 1 ? v.y : v.z);
}

// Per triangle of the ShelterBVH: its widened box and its box centre.
struct Prims {
    std::vector<V3> lo, hi, centre;
};

Prims makePrims(const ShelterBVH& bvh) {
    const size_t n = bvh.tris.size();
    Prims p;
    p.lo.resize(n);
    p.hi.resize(n);
    p.centre.resize(n);
    parallelFor(n, [&](size_t i) {
        const BVHTri& t = bvh.tris[i];
        const V3 p1 = t.p0 + t.e1, p2 = t.p0 + t.e2;
        V3 lo = vmin(vmin(t.p0, p1), p2), hi = vmax(vmax(t.p0, p1), p2);
        const V3 pad = V3{fabsf(lo.x) + fabsf(hi.x), fabsf(lo.y) + fabsf(hi.y), fabsf(lo.z) + fabsf(hi.z)} * kBoxPad;
        lo = lo - pad;
        hi = hi + pad;
        p.lo[i] = lo;
        p.hi[i] = hi;
        p.centre[i] = (lo + hi) * 0.5f;
    });
    return p;
}

// A bin index in [0, kBins) for a centre coordinate; the same float steps wherever it is
// asked, so binning and partitioning agree.
int binOf(float c, float cmin, float scale) {
    const float f = (c - cmin) * scale;
    if (!(f < float(kBins - 1))) return kBins - 1;  // also NaN
    return f > 0.0f ? int(f) : 0;
}

float blocksOf(int32_t n) {
    return float((n + kBlockTris - 1) / kBlockTris);
}

struct Task {
    size_t slot;  // where the subtree's root goes in the shared array
    int32_t start, end;
    int depth;
};

// Builds nodes over the triangles idx[start, end), writing the range's root at slot of
// out. With tasks given, ranges of at most kTaskTris are left as tasks instead.
class Builder {
public:
    Builder(const Prims& prims, std::vector<int32_t>& idx) : p_(prims), idx_(idx) {}

    void build(std::vector<BVHNode>& out, size_t slot, int32_t start, int32_t end, int depth,
               std::vector<Task>* tasks) const {
        if (tasks && end - start <= kTaskTris) {
            tasks->push_back({slot, start, end, depth});
            return;
        }
        Box box, cbox;
        for (int32_t i = start; i < end; ++i) {
            const int32_t t = idx_[size_t(i)];
            box.grow(p_.lo[size_t(t)], p_.hi[size_t(t)]);
            cbox.grow(p_.centre[size_t(t)], p_.centre[size_t(t)]);
        }
        BVHNode& node = out[slot];
        node.bmin = box.lo;
        node.bmax = box.hi;
        const int32_t n = end - start;
        if (n <= kBlockTris || depth >= kMaxDepth) return makeLeaf(out[slot], start, n);

        int32_t mid = split(box, cbox, start, end);
        if (mid < 0) return makeLeaf(out[slot], start, n);  // the heuristic prefers one leaf
        const size_t left = out.size();
        out.push_back(BVHNode{});
        out.push_back(BVHNode{});
        out[slot].leftOrFirst = int32_t(left);
        out[slot].count = 0;
        build(out, left, start, mid, depth + 1, tasks);
        build(out, left + 1, mid, end, depth + 1, tasks);
    }

private:
    static void makeLeaf(BVHNode& node, int32_t start, int32_t n) {
        node.leftOrFirst = start;
        node.count = n;
    }

    // Partitions idx[start, end) at the cheapest binned plane and returns the first
    // index of the right side, or -1 for a leaf. Ties go to the lower axis and plane, so
    // the choice depends on the triangles alone.
    int32_t split(const Box& box, const Box& cbox, int32_t start, int32_t end) const {
        const int32_t n = end - start;
        struct Bin {
            Box box;
            int32_t count = 0;
        };
        Bin bins[3][kBins];
        float scale[3];
        for (int a = 0; a < 3; ++a) {
            const float extent = axisOf(cbox.hi, a) - axisOf(cbox.lo, a);
            scale[a] = extent > 0.0f ? float(kBins) * 0.99999f / extent : 0.0f;
            if (!std::isfinite(scale[a])) scale[a] = 0.0f;
        }
        for (int32_t i = start; i < end; ++i) {
            const size_t t = size_t(idx_[size_t(i)]);
            for (int a = 0; a < 3; ++a) {
                if (scale[a] == 0.0f) continue;
                Bin& b = bins[a][binOf(axisOf(p_.centre[t], a), axisOf(cbox.lo, a), scale[a])];
                b.box.grow(p_.lo[t], p_.hi[t]);
                ++b.count;
            }
        }
        float bestCost = 1e38f;
        int bestAxis = -1, bestPlane = 0;
        for (int a = 0; a < 3; ++a) {
            if (scale[a] == 0.0f) continue;
            float rightCost[kBins];  // rightCost[k]: bins k.. together
            Box acc;
            int32_t count = 0;
            for (int k = kBins - 1; k > 0; --k) {
                acc.grow(bins[a][k].box.lo, bins[a][k].box.hi);
                count += bins[a][k].count;
                rightCost[k] = count > 0 ? acc.halfArea() * blocksOf(count) : -1.0f;
            }
            acc = Box{};
            count = 0;
            for (int k = 1; k < kBins; ++k) {
                acc.grow(bins[a][k - 1].box.lo, bins[a][k - 1].box.hi);
                count += bins[a][k - 1].count;
                if (count == 0 || rightCost[k] < 0.0f) continue;
                const float cost = acc.halfArea() * blocksOf(count) + rightCost[k];
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = a;
                    bestPlane = k;
                }
            }
        }
        if (bestAxis < 0) {
            // Every centre coincides: halve the range as it stands, down to one leaf.
            return n <= kMaxLeafTris ? -1 : start + n / 2;
        }
        const float area = box.halfArea();
        if (n <= kMaxLeafTris && blocksOf(n) * area <= kBoxTestCost * area + bestCost) return -1;
        const float cmin = axisOf(cbox.lo, bestAxis), s = scale[bestAxis];
        auto middle = std::partition(idx_.begin() + start, idx_.begin() + end, [&](int32_t t) {
            return binOf(axisOf(p_.centre[size_t(t)], bestAxis), cmin, s) < bestPlane;
        });
        return int32_t(middle - idx_.begin());
    }

    const Prims& p_;
    std::vector<int32_t>& idx_;
};

}  // namespace

void buildTraceTree(const ShelterBVH& bvh, WideBVH& wide) {
    const size_t n = bvh.tris.size();
    if (n == 0) {
        collapseToWide({}, bvh.tris, {}, wide);
        return;
    }
    const Prims prims = makePrims(bvh);
    std::vector<int32_t> idx(n);
    for (size_t i = 0; i < n; ++i) idx[i] = int32_t(i);
    const Builder builder(prims, idx);

    // The top of the tree on this thread, then its subtrees side by side, each into its
    // own array; they are joined in task order, so the thread count changes nothing.
    std::vector<BVHNode> nodes(1);
    std::vector<Task> tasks;
    builder.build(nodes, 0, 0, int32_t(n), 0, n > size_t(kTaskTris) ? &tasks : nullptr);
    std::vector<std::vector<BVHNode>> parts(tasks.size());
    parallelFor(
        tasks.size(),
        [&](size_t k) {
            const Task& task = tasks[k];
            parts[k].reserve(size_t(task.end - task.start) / 2 + 1);
            parts[k].resize(1);
            builder.build(parts[k], 0, task.start, task.end, task.depth, nullptr);
        },
        ParallelGrain{2, 1});
    for (size_t k = 0; k < tasks.size(); ++k) {
        const std::vector<BVHNode>& part = parts[k];
        const int32_t base = int32_t(nodes.size()) - 1;  // part[j], j >= 1, goes to base + j
        auto place = [&](BVHNode node) {
            if (node.count == 0) node.leftOrFirst += base;
            return node;
        };
        nodes[tasks[k].slot] = place(part[0]);
        for (size_t j = 1; j < part.size(); ++j) nodes.push_back(place(part[j]));
    }
    collapseToWide(nodes, bvh.tris, idx, wide);
}

}  // namespace wx
