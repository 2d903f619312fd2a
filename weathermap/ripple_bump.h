// The ripple bump's height samples around one point share their drops: the four points
// lie within 0.01 cell of the centre, so the drops of the 5 x 5 cells around its cell
// serve all of them, each drop hashed once and its age drawn at most once. Every point
// still sums its own 3 x 3 cells in rippleRings' order with rippleRings' operations, so
// the values are rippleRings' to the bit. Inline and WX_HOSTDEV; a block lives on the
// caller's stack (about 1 KB).
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"
#include "weathermap/ripples.h"

namespace wx {

// rings[i] = rippleRings(m, points[i], s) for count points near centre; false when a point
// lies outside the block or the cells are too far out for exact cell arithmetic (beyond
// 2^23 cells), and the caller then calls rippleRings for every point.
WX_HOSTDEV inline bool rippleRingsNear(const MapState& m, V3 centre, const V3* points, int count, float s,
                                       float* rings) {
    using namespace rippledetail;
    constexpr int kSide = 5, kHalf = 2;
    const float cellSize = maxf(m.rippleScale, 1e-6f);
    const MapCell cx = mapCellOf(centre.x / cellSize), cy = mapCellOf(centre.y / cellSize);
    if (!(fabsf(cx.corner) < 8388608.0f && fabsf(cy.corner) < 8388608.0f)) return false;
    const float speed = rippleSpeed(m);

    uint32_t hash[kSide * kSide][2];
    float centreX[kSide * kSide][2], centreY[kSide * kSide][2], age[kSide * kSide][2];
    for (int j = 0; j < kSide * kSide; ++j) {
        const int dx = j % kSide - kHalf, dy = j / kSide - kHalf;
        const uint32_t salts[2] = {kSaltA, kSaltB};
        for (int k = 0; k < 2; ++k) {
            const uint32_t r = dropHash(m, cx.index + uint32_t(dx), cy.index + uint32_t(dy), salts[k]);
            hash[j][k] = r;
            centreX[j][k] = (cx.corner + float(dx)) + mapU24(mapMix(r ^ 0x1234u));
            centreY[j][k] = (cy.corner + float(dy)) + mapU24(mapMix(r ^ 0x4321u));
            age[j][k] = -1.0f;  // not drawn yet
        }
    }

    for (int i = 0; i < count; ++i) {
        const float gx = points[i].x / cellSize, gy = points[i].y / cellSize;
        const float offX = floorf(gx) - cx.corner, offY = floorf(gy) - cy.corner;
        if (!(fabsf(offX) <= 1.0f && fabsf(offY) <= 1.0f)) return false;
        const int ox = int(offX), oy = int(offY);
        float sum = 0.0f;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int j = (oy + dy + kHalf) * kSide + (ox + dx + kHalf);
                for (int k = 0; k < 2; ++k) {
                    const float ex = gx - centreX[j][k], ey = gy - centreY[j][k];
                    const float distance = sqrtf(ex * ex + ey * ey);
                    if (distance > kReachCells) continue;
                    if (age[j][k] < 0.0f) age[j][k] = dropAge(hash[j][k], speed, s);
                    sum += ringTerm(distance, age[j][k]);
                }
            }
        }
        rings[i] = sum * m.rippleDensity;
    }
    return true;
}

}  // namespace wx
