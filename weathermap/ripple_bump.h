// The ripple bump's height samples share their drops: the four points lie within 0.01
// cell of each other, so the cells around all of them (3 x 3 when they share a cell, at
// most 5 x 5) are hashed once, each drop's centre and age are drawn once, and only the
// drop-point pairs whose ring reaches the point pay for a wave. The loops run over flat
// arrays without branches, so the compiler can vectorise them. Every point still adds its
// own 3 x 3 cells' rings in rippleRings' order with rippleRings' operations, so the
// values are rippleRings' to the bit. Inline and WX_HOSTDEV; the arrays live on the
// caller's stack (about 5 KB).
#pragma once

#include <cstdint>

#include "common/float_bits.h"
#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"
#include "weathermap/ripples.h"

namespace wx {

namespace rippledetail {

constexpr int kNearPoints = 4;
constexpr int kNearSide = 5;  // cells across the shared block at most
constexpr int kNearDrops = 2 * kNearSide * kNearSide;

// Float cell coordinates stay exact integers, and their sums with small offsets exact,
// below 2^23.
constexpr float kExactCells = 8388608.0f;

}  // namespace rippledetail

// rings[i] = rippleRings(m, points[i], s) for count (1 to 4) points. False when the
// points' cells span more than three cells along an axis, or lie beyond 2^23 cells from
// the origin (where cell arithmetic is no longer exact); the caller then calls
// rippleRings for every point.
WX_HOSTDEV inline bool rippleRingsNear(const MapState& m, const V3* points, int count, float s, float* rings) {
    using namespace rippledetail;
    if (count < 1 || count > kNearPoints) return false;
    const float cellSize = maxf(m.rippleScale, 1e-6f);
    const float speed = rippleSpeed(m);

    // The points in cells, padded to four with the first so that every loop runs four lanes.
    float gx[kNearPoints], gy[kNearPoints], floorX[kNearPoints], floorY[kNearPoints];
    for (int i = 0; i < kNearPoints; ++i) {
        const V3 p = points[i < count ? i : 0];
        gx[i] = p.x / cellSize;
        gy[i] = p.y / cellSize;
        floorX[i] = floorf(gx[i]);
        floorY[i] = floorf(gy[i]);
    }
    float loX = floorX[0], hiX = floorX[0], loY = floorY[0], hiY = floorY[0];
    for (int i = 1; i < kNearPoints; ++i) {
        loX = minf(loX, floorX[i]), hiX = maxf(hiX, floorX[i]);
        loY = minf(loY, floorY[i]), hiY = maxf(hiY, floorY[i]);
    }
    if (!(fabsf(loX) < kExactCells && fabsf(hiX) < kExactCells && fabsf(loY) < kExactCells && fabsf(hiY) < kExactCells))
        return false;  // also NaN
    if (hiX - loX > 2.0f || hiY - loY > 2.0f) return false;
    const int sideX = int(hiX - loX) + 3, sideY = int(hiY - loY) + 3;

    // Each point's 3 x 3 cells as a range of block columns and rows: [off, off + 2].
    int offX[kNearPoints], offY[kNearPoints];
    for (int i = 0; i < kNearPoints; ++i) offX[i] = int(floorX[i] - loX), offY[i] = int(floorY[i] - loY);

    // The block's drops in rippleRings' order: rows, then columns, then the two salts.
    const uint32_t baseX = wrapToU32(loX), baseY = wrapToU32(loY);
    uint32_t hash[kNearDrops];
    float centreX[kNearDrops], centreY[kNearDrops];
    int dropCol[kNearDrops], dropRow[kNearDrops];
    int drops = 0;
    for (int row = 0; row < sideY; ++row) {
        for (int col = 0; col < sideX; ++col) {
            const uint32_t cellX = baseX + uint32_t(col - 1), cellY = baseY + uint32_t(row - 1);
            const float cornerX = loX + float(col - 1), cornerY = loY + float(row - 1);
            const uint32_t salts[2] = {kSaltA, kSaltB};
            for (const uint32_t salt : salts) {
                const uint32_t r = dropHash(m, cellX, cellY, salt);
                hash[drops] = r;
                centreX[drops] = cornerX + mapU24(mapMix(r ^ 0x1234u));
                centreY[drops] = cornerY + mapU24(mapMix(r ^ 0x4321u));
                dropCol[drops] = col;
                dropRow[drops] = row;
                ++drops;
            }
        }
    }

    // The distances, then which points each drop can reach (bit i).
    float distance[kNearDrops][kNearPoints];
    for (int j = 0; j < drops; ++j) {
        for (int i = 0; i < kNearPoints; ++i) {
            const float ex = gx[i] - centreX[j], ey = gy[i] - centreY[j];
            distance[j][i] = sqrtf(ex * ex + ey * ey);
        }
    }
    uint32_t reach[kNearDrops];
    for (int j = 0; j < drops; ++j) {
        uint32_t bits = 0;
        for (int i = 0; i < count; ++i) {
            const bool own = uint32_t(dropCol[j] - offX[i]) <= 2u && uint32_t(dropRow[j] - offY[i]) <= 2u;
            bits |= uint32_t(own && !(distance[j][i] > kReachCells)) << i;
        }
        reach[j] = bits;
    }

    // The drops that reach some point, in order, with their ages.
    int near[kNearDrops];
    int nearCount = 0;
    for (int j = 0; j < drops; ++j) {
        near[nearCount] = j;
        nearCount += reach[j] != 0u;
    }
    float age[kNearDrops];
    for (int k = 0; k < nearCount; ++k) age[k] = dropAge(hash[near[k]], speed, s);

    // The drop-point pairs whose ring shows, in the order each point adds them.
    float pairRing[kNearDrops * kNearPoints], pairAge[kNearDrops * kNearPoints];
    int pairPoint[kNearDrops * kNearPoints];
    int pairs = 0;
    for (int k = 0; k < nearCount; ++k) {
        const int j = near[k];
        for (int i = 0; i < kNearPoints; ++i) {
            const float ring = distance[j][i] - 0.9f * age[k];
            pairRing[pairs] = ring;
            pairAge[pairs] = age[k];
            pairPoint[pairs] = i;
            pairs += ((reach[j] >> i) & 1u) != 0u && ringReaches(ring);
        }
    }
    float wave[kNearDrops * kNearPoints];
    for (int k = 0; k < pairs; ++k) wave[k] = ringWave(pairRing[k], pairAge[k]);

    float sum[kNearPoints] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k < pairs; ++k) sum[pairPoint[k]] += wave[k];
    for (int i = 0; i < count; ++i) rings[i] = sum[i] * m.rippleDensity;
    return true;
}

}  // namespace wx
