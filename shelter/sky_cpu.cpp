#include "shelter/sky_cpu.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "common/check.h"
#include "common/parallel_for.h"
#include "shelter/trace_tree.h"

namespace wx {
namespace {

// Spreads the low 10 bits of v to every third bit.
uint32_t spreadBits(uint32_t v) {
    v &= 0x3FF;
    v = (v | (v << 16)) & 0x030000FF;
    v = (v | (v << 8)) & 0x0300F00F;
    v = (v | (v << 4)) & 0x030C30C3;
    v = (v | (v << 2)) & 0x09249249;
    return v;
}

}  // namespace

std::vector<uint32_t> mortonOrder(std::span<const V3> positions) {
    V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const V3& p : positions) {
        lo = vmin(lo, p);
        hi = vmax(hi, p);
    }
    const V3 size = hi - lo;
    const float scale = 1023.0f / std::max({size.x, size.y, size.z, 1e-20f});
    std::vector<uint64_t> keyed(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        const V3 q = (positions[i] - lo) * scale;
        auto cell = [](float c) { return uint32_t(std::clamp(c, 0.0f, 1023.0f)); };  // NaN -> 0
        uint64_t code = spreadBits(cell(q.x)) | spreadBits(cell(q.y)) << 1 | spreadBits(cell(q.z)) << 2;
        keyed[i] = code << 32 | i;
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<uint32_t> order(positions.size());
    for (size_t i = 0; i < keyed.size(); ++i) order[i] = uint32_t(keyed[i]);
    return order;
}

namespace {

// The tracing tree: any-hit cone rays, closest-hit lee rays, the binary tree's answers.
struct WideTracer {
    const WideBVH& wide;
    bool occluded(V3 origin, V3 dir, float maxDist) const { return occludedWide(wide, origin, dir, maxDist); }
    float cast(V3 origin, V3 dir, float maxDist) const { return castRayWide(wide, origin, dir, maxDist); }
};

}  // namespace

void measureSkyCpu(const ShelterBVH& bvh, std::span<const V3> positions, std::span<const V3> normals,
                   const SkyParams& params, std::span<SkyResult> results) {
    WX_CHECK(normals.size() == positions.size());
    WX_CHECK(results.size() == positions.size());
    WX_CHECK(positions.size() <= UINT32_MAX);  // the point index seeds the ray spiral as 32 bits
    WideBVH ownWide;  // for a hierarchy filled by hand rather than by buildBVH
    const WideBVH* wide = bvh.wide.get();
    if (!wide || (wide->empty() && !bvh.nodes.empty())) {
        buildTraceTree(bvh, ownWide);
        wide = &ownWide;
    }
    const std::vector<uint32_t> order = mortonOrder(positions);
    parallelFor(order.size(), [&](size_t k) {
        const uint32_t i = order[k];
        results[i] = skyVisibilityWith(WideTracer{*wide}, positions[i], normals[i], i, params);
    });
}

}  // namespace wx
