// Rain ripples: rings spreading from random drop impacts, two drops per plan-view cell of
// rippleScale units, each on its own period; the height field that the map turns into a
// bump. Only flat, up-facing ground ripples. Inline and WX_HOSTDEV; reads only its
// arguments.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"

namespace wx {

constexpr float kTwoPi = 6.2831855f;

// The rings' height at p and scaled time s, unweighted by slope.
WX_HOSTDEV inline float rippleRings(const MapState& m, V3 p, float s) {
    const float cellSize = maxf(m.rippleScale, 1e-6f);
    const float gx = p.x / cellSize, gy = p.y / cellSize;
    const MapCell cx = mapCellOf(gx), cy = mapCellOf(gy);
    const float speed = maxf(m.rippleSpeed, 0.001f);  // 0 would freeze the rings; nearly does
    float sum = 0.0f;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const uint32_t cellX = cx.index + uint32_t(dx), cellY = cy.index + uint32_t(dy);
            const float cornerX = cx.corner + float(dx), cornerY = cy.corner + float(dy);
            const uint32_t salts[2] = {0u, 83492791u};  // two drops per cell
            for (const uint32_t salt : salts) {
                uint32_t r = (cellY * 19349663u) ^ (cellX * 73856093u) ^ salt ^ uint32_t(m.seedKey);
                r ^= r >> 16;
                const float centreX = cornerX + mapU24(mapMix(r ^ 0x1234u));
                const float centreY = cornerY + mapU24(mapMix(r ^ 0x4321u));
                const float ex = gx - centreX, ey = gy - centreY;
                const float distance = sqrtf(ex * ex + ey * ey);
                // A ring never grows past 0.9 cell nor reaches 0.33 beyond it: a drop
                // further than 1.25 cells adds nothing at any age.
                if (distance > 1.25f) continue;
                const float period = (0.6f + 0.8f * mapU24(mapMix(r))) / speed;
                // Age in periods, [0, 1]: a floored modulo, so frames before 0 continue the
                // cycle instead of giving rings of negative age.
                const float age = flooredMod(mapU24(mapMix(r ^ 0x55u)) * period + s, period) / period;
                // Signed distance from the ring, whose radius grows to 0.9 cell per period.
                const float ring = distance - 0.9f * age;
                if (fabsf(ring) <= 0.32999998f) {
                    const float fadeOut = (1.0f - age) * (1.0f - age);
                    sum +=
                        expf(-(ring * ring) / (0.02f * (age * age) + 0.0025f)) * fadeOut * sinf(ring * kTwoPi / 0.11f);
                }
            }
        }
    }
    return sum * m.rippleDensity;
}

// Ripple height at p with unit normal n: none at n.z <= 0.6, full at n.z >= 0.9.
WX_HOSTDEV inline float rippleHeight(const MapState& m, V3 p, V3 n, float s) {
    const float flat = mapSmooth(clamp01((n.z - 0.6f) / 0.29999995f));
    if (flat == 0.0f) return 0.0f;
    return rippleRings(m, p, s) * flat;
}

}  // namespace wx
