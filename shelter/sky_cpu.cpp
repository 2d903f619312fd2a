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

// The lee rays' distances, found together as one closest-hit fan and handed back to
// leeMeasure ray by ray, so that its sums are the reference's own.
struct LeeFanTracer {
    V3 dirs[3];
    float nearest[3];
    LeeFanTracer(const WideBVH& wide, V3 origin, const SkyParams& params) {
        for (int a = 0; a < 3; ++a) dirs[a] = leeRay(params, a);
        castFanWide(wide, origin, dirs, params.leeReach, nearest);
    }
    float cast(V3, V3 dir, float) const {
        for (int a = 0; a < 2; ++a) {
            if (dir.x == dirs[a].x && dir.y == dirs[a].y && dir.z == dirs[a].z) return nearest[a];
        }
        return nearest[2];
    }
};

}  // namespace

// skyVisibilityWith's steps with the cone rays traced together as fans of up to
// kFanRays (they share the origin and mostly the same boxes); each ray's answer is the
// one it gets alone, so the result is the same.
SkyResult skyVisibilityFans(const WideBVH& wide, V3 position, V3 normal, uint32_t index, const SkyParams& params) {
    V3 t1, t2;
    coneFrame(params.skyDir, t1, t2);
    const float rot = pointRotation(params.seed, index);
    const V3 origin = skyRayOrigin(params, position, normal);
    const float cosSpread = cosf(params.spread);

    int32_t open = 0, cast = 0;
    V3 fan[kFanRays];
    size_t inFan = 0;
    auto traceFan = [&] {
        const uint32_t blocked = occludedFanWide(wide, origin, {fan, inFan}, params.maxDist);
        open += static_cast<int32_t>(inFan) - __builtin_popcount(blocked);
        inFan = 0;
    };
    for (int32_t j = 0; j < params.rays; ++j) {
        V3 dir;
        if (!coneRay(params, t1, t2, rot, cosSpread, normal, j, dir)) continue;
        ++cast;
        fan[inFan++] = dir;
        if (inFan == kFanRays) traceFan();
    }
    if (inFan > 0) traceFan();
    return {cast > 0 ? static_cast<float>(open) / static_cast<float>(cast) : 0.0f,
            params.leeReach > 0.0f ? leeMeasure(LeeFanTracer(wide, origin, params), origin, params) : 0.0f};
}

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
        results[i] = skyVisibilityFans(*wide, positions[i], normals[i], i, params);
    });
}

}  // namespace wx
