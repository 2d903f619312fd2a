// The ripple bump's height samples share their drops: the four points lie within 0.01
// cell of each other, so the cells around all of them (3 x 3 when they share a cell, at
// most 5 x 5) are hashed once, each drop's centre and age are drawn once, and only the
// drop-point pairs whose ring reaches the point pay for a wave. The loops run over flat
// arrays without branches, so the compiler can vectorise them. Every point still adds its
// own 3 x 3 cells' rings in rippleRings' order with rippleRings' operations, so the
// values are rippleRings' to the bit. Inline and WX_HOSTDEV; the arrays live on the
// caller's stack (about 7 KB).
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

// A drop's clock within this many periods of 0 takes mapFmodNear: below its quotient limit
// whatever the rounding of the product.
constexpr float kClockNear = 4.0e8f;

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

    // Which points own each block cell among their 3 x 3 (bit i).
    // Which points own each block cell among their 3 x 3 (bit i): all of them when they
    // share one cell, as they nearly always do.
    uint32_t cellOwners[kNearSide * kNearSide];
    const uint32_t everyPoint = (1u << count) - 1u;
    if (sideX == 3 && sideY == 3) {
        for (int cell = 0; cell < 9; ++cell) cellOwners[cell] = everyPoint;
    } else {
        for (int row = 0; row < sideY; ++row) {
            for (int col = 0; col < sideX; ++col) {
                uint32_t bits = 0;
                for (int i = 0; i < count; ++i) {
                    const int offX = int(floorX[i] - loX), offY = int(floorY[i] - loY);
                    bits |= uint32_t(uint32_t(col - offX) <= 2u && uint32_t(row - offY) <= 2u) << i;
                }
                cellOwners[row * sideX + col] = bits;
            }
        }
    }

    // The block's drops in rippleRings' order: rows, then columns, then the two salts;
    // first where each lies, then (in one loop over all of them) what its hash draws.
    const uint32_t baseX = wrapToU32(loX), baseY = wrapToU32(loY);
    uint32_t cellX[kNearDrops], cellY[kNearDrops], owners[kNearDrops];
    float cornerX[kNearDrops], cornerY[kNearDrops];
    int drops = 0;
    for (int row = 0; row < sideY; ++row) {
        for (int col = 0; col < sideX; ++col) {
            for (int salt = 0; salt < 2; ++salt) {  // kSaltA at even drops, kSaltB at odd
                cellX[drops] = baseX + uint32_t(col - 1), cellY[drops] = baseY + uint32_t(row - 1);
                cornerX[drops] = loX + float(col - 1), cornerY[drops] = loY + float(row - 1);
                owners[drops] = cellOwners[row * sideX + col];
                ++drops;
            }
        }
    }
    uint32_t hash[kNearDrops];
    float centreX[kNearDrops], centreY[kNearDrops];
    for (int j = 0; j < drops; ++j) {
        const uint32_t r = dropHash(m, cellX[j], cellY[j], (j & 1) == 0 ? kSaltA : kSaltB);
        hash[j] = r;
        centreX[j] = cornerX[j] + mapU24(mapMix(r ^ 0x1234u));
        centreY[j] = cornerY[j] + mapU24(mapMix(r ^ 0x4321u));
    }

    // The distances, then which points each drop can reach (bit i).
    float distance[kNearDrops][kNearPoints];
    uint32_t reach[kNearDrops];
    for (int j = 0; j < drops; ++j) {
        uint32_t bits = 0;
        for (int i = 0; i < kNearPoints; ++i) {
            const float ex = gx[i] - centreX[j], ey = gy[i] - centreY[j];
            distance[j][i] = sqrtf(ex * ex + ey * ey);
            bits |= uint32_t(!(distance[j][i] > kReachCells)) << i;
        }
        reach[j] = bits & owners[j];
    }

    // The drops that reach some point, in order, with their ages.
    int near[kNearDrops];
    int nearCount = 0;
    for (int j = 0; j < drops; ++j) {
        near[nearCount] = j;
        nearCount += reach[j] != 0u;
    }
    float period[kNearDrops], clock[kNearDrops], age[kNearDrops];
    bool clocksNear = true;
    for (int k = 0; k < nearCount; ++k) {
        period[k] = dropPeriod(hash[near[k]], speed);
        clock[k] = dropClock(hash[near[k]], period[k], s);
        clocksNear &= fabsf(clock[k]) < kClockNear * period[k];
    }
    if (clocksNear) {
        for (int k = 0; k < nearCount; ++k) age[k] = flooredModNear(clock[k], period[k]) / period[k];
    } else {
        for (int k = 0; k < nearCount; ++k) age[k] = dropAge(hash[near[k]], speed, s);
    }

    // The drop-point pairs whose ring shows, in the order each point adds them.
    float pairRing[kNearDrops * kNearPoints], pairAge[kNearDrops * kNearPoints];
    int pairPoint[kNearDrops * kNearPoints];
    int pairs = 0;
    for (int k = 0; k < nearCount; ++k) {
        const int j = near[k];
        float ring[kNearPoints];
        uint32_t shows = reach[j];
        for (int i = 0; i < kNearPoints; ++i) {
            ring[i] = distance[j][i] - 0.9f * age[k];
            shows &= ~(uint32_t(!ringReaches(ring[i])) << i);
        }
        for (int i = 0; i < kNearPoints; ++i) {
            pairRing[pairs] = ring[i];
            pairAge[pairs] = age[k];
            pairPoint[pairs] = i;
            pairs += (shows >> i) & 1u;
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
