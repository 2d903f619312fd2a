// Snow sparkle: tiny glints in 3D cells of sparkleScale units, each lit only for half of
// the view directions (buckets of 1/6 per axis of the unit view vector), so glints wink as
// the camera moves. A mask in [0, 1]. Inline and WX_HOSTDEV; reads only its arguments.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"

namespace wx {

// Sparkle at p seen along the unit view direction view.
WX_HOSTDEV inline float sparkle(const MapState& m, V3 p, V3 view) {
    if (!(m.sparkleDensity > 0.0f)) return 0.0f;  // no glint at all, not one in 2^24 cells
    const float cellSize = maxf(m.sparkleScale, 1e-6f);
    const V3 q = p / cellSize;
    const MapCell gx = mapCellOf(q.x), gy = mapCellOf(q.y), gz = mapCellOf(q.z);
    const uint32_t bx = mapCellOf(6.0f * view.x).index, by = mapCellOf(6.0f * view.y).index,
                   bz = mapCellOf(6.0f * view.z).index;
    const uint32_t facing = by * 932021353u - bx * 1849467035u - bz * 2018993435u;
    float best = 0.0f;
    for (int dz = -1; dz <= 1; ++dz) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const uint32_t h = ((gz.index + uint32_t(dz)) * 83492791u) ^ ((gy.index + uint32_t(dy)) * 19349663u) ^
                                   ((gx.index + uint32_t(dx)) * 73856093u) ^ uint32_t(m.seedKey);
                const uint32_t d = h ^ (h >> 16);
                if (!(mapU24(mapMix(d)) <= m.sparkleDensity)) continue;
                if (!(mapU24(mapMix16(h ^ facing)) <= 0.5f)) continue;  // turned away from this view
                const float ex = gx.corner + float(dx) + mapU24(mapMix(d ^ 1u)) - q.x;
                const float ey = gy.corner + float(dy) + mapU24(mapMix(d ^ 2u)) - q.y;
                const float ez = gz.corner + float(dz) + mapU24(mapMix(d ^ 3u)) - q.z;
                const float distance = sqrtf(ex * ex + ey * ey + ez * ez);
                best = maxf(best, 1.0f - mapSmooth(clamp01((distance - 0.05f) / 0.29999998f)));
            }
        }
    }
    return best;
}

}  // namespace wx
