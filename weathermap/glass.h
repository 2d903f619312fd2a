// Drops on glass: static beads on a 3 x 3 grid and drops running down 6-unit columns
// with a thinning trail, in units of dropScale on the pane (u across, v up). A height
// field, above 1 only in a running drop's head; the map turns it into a bump. Inline and
// WX_HOSTDEV; reads only its arguments.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"

namespace wx {

namespace glassdetail {

// Bead cell (k, o) with its corner at (kCorner, oCorner), in 3-unit cells, h0 its row's
// hash: whether a bead sits there at this density threshold, and if so its radius and
// centre (cu, cv).
struct BeadCell {
    float radius, cu, cv;
};
WX_HOSTDEV inline bool beadCell(uint32_t h0, uint32_t k, float kCorner, float oCorner, float threshold,
                                BeadCell& bead) {
    const uint32_t h = h0 ^ (k * 0x9E3779B1u);
    const uint32_t w = h ^ (h >> 16);
    if (!(mapU24(mapMix(w)) <= threshold)) return false;
    bead.radius = 0.25f + 0.75f * mapU24(mapMix(w ^ 0xABCu));
    bead.cu = 3.0f * (kCorner + mapU24(mapMix(w ^ 0x11u)));
    bead.cv = 3.0f * (oCorner + mapU24(mapMix(w ^ 0x22u)));
    return true;
}

// The bead's height over (u, v) raised onto best.
WX_HOSTDEV inline float beadShape(const BeadCell& bead, float u, float v, float best) {
    const float du = (u - bead.cu) / bead.radius,
                dv = (v - bead.cv) / (1.15f * bead.radius);  // a little taller than wide
    return du * du + dv * dv < 1.0f ? maxf(best, sqrtf(1.0f - du * du - dv * dv) * bead.radius) : best;
}

// The tallest static bead over (u, v), or 0.
WX_HOSTDEV inline float beadHeight(const MapState& m, float u, float v) {
    const float threshold = 0.55f * m.dropDensity;  // at 1/0.55 every cell has a bead
    if (!(threshold > 0.0f)) return 0.0f;
    const MapCell row0 = mapCellOf(v / 3.0f), col0 = mapCellOf(u / 3.0f);
    float best = 0.0f;
    for (int dr = -1; dr <= 1; ++dr) {
        const uint32_t o = row0.index + uint32_t(dr);
        const float oCorner = row0.corner + float(dr);
        const uint32_t h0 = (uint32_t(m.seedKey) * 97u) ^ (o * 40503u);
        for (int dc = -1; dc <= 1; ++dc) {
            BeadCell bead;
            if (beadCell(h0, col0.index + uint32_t(dc), col0.corner + float(dc), oCorner, threshold, bead))
                best = beadShape(bead, u, v, best);
        }
    }
    return best;
}

// Running drop column k (its left edge at kCorner, in 6-unit columns): whether a drop runs
// there at this density threshold, and if so how far its head has travelled down the
// 60-unit repeat, its centre line and its wobble's phase.
struct RunnerColumn {
    float travel, x0, wobble;
};
WX_HOSTDEV inline bool runnerColumn(const MapState& m, uint32_t k, float kCorner, float s, float l, float threshold,
                                    RunnerColumn& column) {
    uint32_t t = (uint32_t(m.seedKey) * 7919u) ^ (k * 0x61C88647u);
    t ^= (t ^ 0x77u) >> 16;
    if (!(mapU24(mapMix(t ^ 0x77u)) <= threshold)) return false;
    const float phase = 10.0f * mapU24(mapMix(t ^ 5u)) + s;
    // Travel down the pane, surging a little; a floored modulo keeps it in [0, 60) for
    // times before 0 too.
    column.travel = flooredMod(
        (phase + 0.35f * sinf(2.1f * phase)) * (0.6f + 0.8f * mapU24(mapMix(t ^ 0x99u))) * (m.dropSpeed / l), 60.0f);
    column.x0 = 6.0f * (kCorner + 0.2f + 0.6f * mapU24(mapMix(t)));
    column.wobble = 6.0f * mapU24(mapMix(t ^ 3u));
    return true;
}

// A running drop's height at vWrapped (v in [0, 60)) and c across from its wobbling centre
// line, raised onto best: its head, and the trail it leaves above it.
WX_HOSTDEV inline float runnerShape(float vWrapped, float travel, float c, float best) {
    // Height above the head, taken into [-30, 30) so a head straddling the repeat line
    // shows whole.
    float b = vWrapped - 60.0f + travel;
    if (b < -30.0f) b += 60.0f;
    if (b >= 30.0f) b -= 60.0f;
    const float head = (b * b) / 1.694f + (c * c) / 1.21f;
    if (head < 1.0f) best = maxf(best, 1.1f * sqrtf(1.0f - (b * b) / 1.694f - (c * c) / 1.21f));
    if (b > 0.0f && b < 24.0f) {
        const float halfWidth = 0.35f * (1.0f - b / 24.0f);
        if (fabsf(c) < halfWidth) best = maxf(best, 0.25f * sqrtf(1.0f - (c * c) / (halfWidth * halfWidth)));
    }
    return best;
}

// The tallest running drop or trail over (u, v) at scaled time s, or 0. The pattern
// repeats every 60 units down the pane; l is the drop scale the speed is divided by.
WX_HOSTDEV inline float runnerHeight(const MapState& m, float u, float v, float s, float l) {
    const float threshold = 0.6f * m.dropDensity;
    if (!(threshold > 0.0f)) return 0.0f;
    const MapCell col0 = mapCellOf(u / 6.0f);
    const float vWrapped = flooredMod(v, 60.0f);
    float best = 0.0f;
    for (int dc = -1; dc <= 1; ++dc) {
        RunnerColumn column;
        if (!runnerColumn(m, col0.index + uint32_t(dc), col0.corner + float(dc), s, l, threshold, column)) continue;
        const float c = u - (column.x0 + 0.6f * sinf(column.wobble + 0.35f * v));
        best = runnerShape(vWrapped, column.travel, c, best);
    }
    return best;
}

}  // namespace glassdetail

// The pane's horizontal axis for unit normal n: level and across the pane; +X when the
// pane lies flat.
WX_HOSTDEV inline V3 glassAcross(V3 n) {
    const V3 across{-n.y, n.x, 0.0f};
    return length(across) < 0.001f ? V3{1.0f, 0.0f, 0.0f} : normalize(across);
}

// Drops-on-glass height at p with unit normal n and scaled time s.
WX_HOSTDEV inline float glassHeight(const MapState& m, V3 p, V3 n, float s) {
    const float l = maxf(m.dropScale, 1e-6f);
    const float u = dot(p, glassAcross(n)) / l, v = p.z / l;
    return maxf(glassdetail::beadHeight(m, u, v), glassdetail::runnerHeight(m, u, v, s, l));
}

}  // namespace wx
