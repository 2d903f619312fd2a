// Rain ripples: rings spreading from random drop impacts, two drops per plan-view cell of
// rippleScale units, each on its own period; the height field that the map turns into a
// bump. Only flat, up-facing ground ripples. Inline and WX_HOSTDEV; reads only its
// arguments.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_math.h"
#include "weathermap/map_state.h"

namespace wx {

constexpr float kTwoPi = 6.2831855f;

namespace rippledetail {

constexpr uint32_t kSaltA = 0u, kSaltB = 83492791u;  // two drops per cell

// The hash that draws everything about one drop.
WX_HOSTDEV inline uint32_t dropHash(const MapState& m, uint32_t cellX, uint32_t cellY, uint32_t salt) {
    uint32_t r = (cellY * 19349663u) ^ (cellX * 73856093u) ^ salt ^ uint32_t(m.seedKey);
    return r ^ (r >> 16);
}

// The drop's age in periods, in [0, 1]: a floored modulo, so frames before 0 continue the
// cycle instead of giving rings of negative age. speed is in drops per second.
WX_HOSTDEV inline float dropPeriod(uint32_t r, float speed) {
    return (0.6f + 0.8f * mapU24(mapMix(r))) / speed;
}
WX_HOSTDEV inline float dropClock(uint32_t r, float period, float s) {
    return mapU24(mapMix(r ^ 0x55u)) * period + s;
}
WX_HOSTDEV inline float dropAge(uint32_t r, float speed, float s) {
    const float period = dropPeriod(r, speed);
    return flooredMod(dropClock(r, period, s), period) / period;
}

// A ring never grows past 0.9 cell nor reaches 0.33 beyond it: a drop further than this
// adds nothing at any age.
constexpr float kReachCells = 1.25f;

// A ring shows only within this signed distance of its crest, in cells.
WX_HOSTDEV inline bool ringReaches(float ring) {
    return fabsf(ring) <= 0.32999998f;
}

// The ring's wave `ring` cells from its crest at the drop's age in [0, 1], for a ring
// that reaches (ringReaches): the exponent then lies in [-44, 0] and the sine's argument
// within +-19, inside the ranges where the branch-free forms answer.
WX_HOSTDEV inline float ringWave(float ring, float age) {
    const float fadeOut = (1.0f - age) * (1.0f - age);
    return mapExpInRange(-(ring * ring) / (0.02f * (age * age) + 0.0025f)) * fadeOut *
           mapSinInRange(ring * kTwoPi / 0.11f);
}

// One drop's ring at a point `distance` cells from its centre.
WX_HOSTDEV inline float ringTerm(float distance, float age) {
    const float ring = distance - 0.9f * age;  // signed distance from the ring, 0.9 cell per period
    if (!ringReaches(ring)) return 0.0f;
    return ringWave(ring, age);
}

WX_HOSTDEV inline float rippleSpeed(const MapState& m) {
    return maxf(m.rippleSpeed, 0.001f);
}  // 0 nearly freezes

}  // namespace rippledetail

// The rings' height at p and scaled time s, unweighted by slope.
WX_HOSTDEV inline float rippleRings(const MapState& m, V3 p, float s) {
    using namespace rippledetail;
    const float cellSize = maxf(m.rippleScale, 1e-6f);
    const float gx = p.x / cellSize, gy = p.y / cellSize;
    const MapCell cx = mapCellOf(gx), cy = mapCellOf(gy);
    const float speed = rippleSpeed(m);
    float sum = 0.0f;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const uint32_t cellX = cx.index + uint32_t(dx), cellY = cy.index + uint32_t(dy);
            const float cornerX = cx.corner + float(dx), cornerY = cy.corner + float(dy);
            const uint32_t salts[2] = {kSaltA, kSaltB};
            for (const uint32_t salt : salts) {
                const uint32_t r = dropHash(m, cellX, cellY, salt);
                const float ex = gx - (cornerX + mapU24(mapMix(r ^ 0x1234u)));
                const float ey = gy - (cornerY + mapU24(mapMix(r ^ 0x4321u)));
                const float distance = sqrtf(ex * ex + ey * ey);
                if (distance > kReachCells) continue;
                sum += ringTerm(distance, dropAge(r, speed, s));
            }
        }
    }
    return sum * m.rippleDensity;
}

// How much a face with unit normal n ripples: none at n.z <= 0.6, fully at n.z >= 0.9.
WX_HOSTDEV inline float rippleFlatness(V3 n) {
    return mapSmooth(clamp01((n.z - 0.6f) / 0.29999995f));
}

// Ripple height at p with unit normal n.
WX_HOSTDEV inline float rippleHeight(const MapState& m, V3 p, V3 n, float s) {
    const float flat = rippleFlatness(n);
    if (flat == 0.0f) return 0.0f;
    return rippleRings(m, p, s) * flat;
}

}  // namespace wx
