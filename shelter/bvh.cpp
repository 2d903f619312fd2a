#include "shelter/bvh.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "common/check.h"
#include "shelter/trace_tree.h"

namespace wx {
namespace {

constexpr int kMaxLeafTris = 4;
constexpr int kMaxDepth = 28;

struct BuildInput {
    std::vector<V3> boxMin, boxMax, centroid;  // per soup triangle
    std::vector<int32_t> index;                // kept triangles, reordered by the build
};

void buildNode(BuildInput& in, std::vector<BVHNode>& nodes, int32_t nodeIndex, int32_t start, int32_t end,
               int depth) {
    V3 bmin{1e30f, 1e30f, 1e30f}, bmax{-1e30f, -1e30f, -1e30f};
    V3 cmin = bmin, cmax = bmax;
    for (int32_t i = start; i < end; ++i) {
        int32_t t = in.index[i];
        bmin = vmin(bmin, in.boxMin[t]);
        bmax = vmax(bmax, in.boxMax[t]);
        cmin = vmin(cmin, in.centroid[t]);
        cmax = vmax(cmax, in.centroid[t]);
    }
    const V3 extent = cmax - cmin;
    {
        BVHNode& node = nodes[nodeIndex];
        node.bmin = bmin;
        node.bmax = bmax;
        if (end - start <= kMaxLeafTris || depth > kMaxDepth ||
            !(extent.x > 0.0f || extent.y > 0.0f || extent.z > 0.0f)) {
            node.leftOrFirst = start;
            node.count = end - start;
            return;
        }
    }
    const int axis = (extent.x >= extent.y && extent.x >= extent.z) ? 0 : (extent.y >= extent.z ? 1 : 2);
    const int32_t mid = (start + end) / 2;
    auto key = [&](int32_t t) {
        const V3& c = in.centroid[t];
        return axis == 0 ? c.x : axis == 1 ? c.y : c.z;
    };
    std::nth_element(in.index.begin() + start, in.index.begin() + mid, in.index.begin() + end,
                     [&](int32_t a, int32_t b) { return key(a) < key(b); });

    const int32_t left = static_cast<int32_t>(nodes.size());
    nodes.push_back(BVHNode{});  // may reallocate: the node is re-fetched by index below
    nodes.push_back(BVHNode{});
    nodes[nodeIndex].leftOrFirst = left;
    nodes[nodeIndex].count = 0;
    buildNode(in, nodes, left, start, mid, depth + 1);
    buildNode(in, nodes, left + 1, mid, end, depth + 1);
}

}  // namespace

void buildBinaryBVH(std::span<const V3> soup, ShelterBVH& bvh) {
    WX_CHECK(soup.size() / 3 <= size_t(INT32_MAX));  // nodes and leaves index triangles as int32
    bvh.meshCorners = nullptr;
    bvh.wide = nullptr;
    bvh.collapsed = nullptr;
    bvh.nodes.clear();
    bvh.tris.clear();
    bvh.source.clear();
    const size_t n = soup.size() / 3;
    if (n == 0) return;

    BuildInput in;
    in.boxMin.resize(n);
    in.boxMax.resize(n);
    in.centroid.resize(n);
    in.index.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const V3 p0 = soup[3 * i], p1 = soup[3 * i + 1], p2 = soup[3 * i + 2];
        // Degenerate triangles are dropped, and so are ones with a non-finite corner,
        // whose infinite or NaN box would make every slab test through it meaningless.
        const bool finite = std::isfinite(p0.x + p0.y + p0.z + p1.x + p1.y + p1.z + p2.x + p2.y + p2.z);
        if (!finite || !(length(cross(p1 - p0, p2 - p0)) > 1e-12f)) continue;
        in.boxMin[i] = vmin(vmin(p0, p1), p2);
        in.boxMax[i] = vmax(vmax(p0, p1), p2);
        in.centroid[i] = (p0 + p1 + p2) * 0.33333334f;
        in.index.push_back(static_cast<int32_t>(i));
    }
    if (in.index.empty()) return;

    bvh.nodes.reserve(in.index.size() / 2 + 2);
    bvh.nodes.push_back(BVHNode{});
    buildNode(in, bvh.nodes, 0, 0, static_cast<int32_t>(in.index.size()), 0);

    bvh.tris.resize(in.index.size());
    bvh.source = in.index;
    for (size_t j = 0; j < in.index.size(); ++j) {
        const size_t t = static_cast<size_t>(in.index[j]);
        const V3 p0 = soup[3 * t];
        bvh.tris[j] = BVHTri{p0, soup[3 * t + 1] - p0, soup[3 * t + 2] - p0};
    }
}

void buildBVH(std::span<const V3> soup, ShelterBVH& bvh) {
    static std::atomic<uint64_t> serial{0};
    bvh.buildSerial = ++serial;
    buildBinaryBVH(soup, bvh);
    auto wide = std::make_shared<WideBVH>();
    buildTraceTree(bvh, *wide);
    bvh.wide = std::move(wide);
    auto collapsed = std::make_shared<WideBVH>();
    buildWideBVH(bvh, *collapsed);
    bvh.collapsed = std::move(collapsed);
}

}  // namespace wx
