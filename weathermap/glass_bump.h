// The glass bump's height samples share their drops: the four points lie within 0.05
// units of each other on the pane, so each bead cell and each runner column around them
// is hashed once, a runner's travel (a sine and a remainder) is found once, and the
// column's wobble sine once per distinct height on the pane. Each point then takes the
// tallest bead and runner of its own 3 x 3 cells and three columns with glassHeight's
// operations, so the heights are glassHeight's to the bit (a maximum does not depend on
// the order it is taken in). Inline and WX_HOSTDEV; the arrays live on the caller's
// stack (under 1 KB).
#pragma once

#include <cstdint>

#include "common/float_bits.h"
#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/glass.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"

namespace wx {

namespace glassdetail {

constexpr int kNearPoints = 4;
constexpr int kNearSide = 5;  // bead cells, or runner columns, across the shared block at most

// Float cell coordinates stay exact integers, and their sums with small offsets exact,
// below 2^23.
constexpr float kExactCells = 8388608.0f;

// The lowest and highest of count floors, and whether they span at most three cells
// within the exact range.
WX_HOSTDEV inline bool sharedSpan(const float* floors, int count, float& lo, float& hi) {
    lo = floors[0], hi = floors[0];
    for (int i = 1; i < count; ++i) lo = minf(lo, floors[i]), hi = maxf(hi, floors[i]);
    return fabsf(lo) < kExactCells && fabsf(hi) < kExactCells && hi - lo <= 2.0f;  // NaN fails
}

// The tallest bead over each point (u[i], v[i]): beadHeight's, cell by cell.
WX_HOSTDEV inline bool beadHeightsNear(const MapState& m, const float* u, const float* v, int count, float* best) {
    for (int i = 0; i < count; ++i) best[i] = 0.0f;
    const float threshold = 0.55f * m.dropDensity;
    if (!(threshold > 0.0f)) return true;
    float rowFloor[kNearPoints] = {}, colFloor[kNearPoints] = {};
    for (int i = 0; i < count; ++i) rowFloor[i] = floorf(v[i] / 3.0f), colFloor[i] = floorf(u[i] / 3.0f);
    float loRow, hiRow, loCol, hiCol;
    if (!sharedSpan(rowFloor, count, loRow, hiRow) || !sharedSpan(colFloor, count, loCol, hiCol)) return false;
    const int rows = int(hiRow - loRow) + 3, cols = int(hiCol - loCol) + 3;
    const uint32_t baseRow = wrapToU32(loRow), baseCol = wrapToU32(loCol);
    for (int row = 0; row < rows; ++row) {
        const uint32_t o = baseRow + uint32_t(row - 1);
        const float oCorner = loRow + float(row - 1);
        const uint32_t h0 = (uint32_t(m.seedKey) * 97u) ^ (o * 40503u);
        for (int col = 0; col < cols; ++col) {
            const float kCorner = loCol + float(col - 1);
            BeadCell bead;
            if (!beadCell(h0, baseCol + uint32_t(col - 1), kCorner, oCorner, threshold, bead)) continue;
            for (int i = 0; i < count; ++i) {
                // Only the point's own 3 x 3 cells, as beadHeight visits.
                if (fabsf(oCorner - rowFloor[i]) > 1.0f || fabsf(kCorner - colFloor[i]) > 1.0f) continue;
                best[i] = beadShape(bead, u[i], v[i], best[i]);
            }
        }
    }
    return true;
}

// The tallest running drop or trail over each point (u[i], v[i]) at scaled time s:
// runnerHeight's, column by column, with l the drop scale.
WX_HOSTDEV inline bool runnerHeightsNear(const MapState& m, const float* u, const float* v, int count, float s, float l,
                                         float* best) {
    for (int i = 0; i < count; ++i) best[i] = 0.0f;
    const float threshold = 0.6f * m.dropDensity;
    if (!(threshold > 0.0f)) return true;
    float colFloor[kNearPoints] = {}, vWrapped[kNearPoints];
    int sameV[kNearPoints];  // the first point on the same height, whose wobble sine serves
    for (int i = 0; i < count; ++i) {
        colFloor[i] = floorf(u[i] / 6.0f);
        vWrapped[i] = flooredMod(v[i], 60.0f);
        sameV[i] = i;
        for (int j = i - 1; j >= 0; --j) sameV[i] = v[j] == v[i] ? j : sameV[i];
    }
    float lo, hi;
    if (!sharedSpan(colFloor, count, lo, hi)) return false;
    const int cols = int(hi - lo) + 3;
    const uint32_t base = wrapToU32(lo);
    for (int col = 0; col < cols; ++col) {
        const float kCorner = lo + float(col - 1);
        RunnerColumn column;
        if (!runnerColumn(m, base + uint32_t(col - 1), kCorner, s, l, threshold, column)) continue;
        float wobbleSine[kNearPoints];
        bool haveSine[kNearPoints] = {false, false, false, false};
        for (int i = 0; i < count; ++i) {
            if (fabsf(kCorner - colFloor[i]) > 1.0f) continue;  // only the point's own three columns
            const int j = sameV[i];
            if (!haveSine[j]) wobbleSine[j] = sinf(column.wobble + 0.35f * v[j]), haveSine[j] = true;
            best[i] = runnerShape(vWrapped[i], column.travel, u[i] - (column.x0 + 0.6f * wobbleSine[j]), best[i]);
        }
    }
    return true;
}

}  // namespace glassdetail

// heights[i] = glassHeight(m, points[i], n, s) for count (1 to 4) points on a pane with
// unit normal n. False when the points' cells or columns span more than three along an
// axis, or lie beyond 2^23 from the origin; the caller then calls glassHeight for every
// point.
WX_HOSTDEV inline bool glassHeightsNear(const MapState& m, const V3* points, int count, V3 n, float s, float* heights) {
    using namespace glassdetail;
    if (count < 1 || count > kNearPoints) return false;
    const float l = maxf(m.dropScale, 1e-6f);
    const V3 across = glassAcross(n);
    float u[kNearPoints], v[kNearPoints], beads[kNearPoints], runners[kNearPoints];
    for (int i = 0; i < count; ++i) u[i] = dot(points[i], across) / l, v[i] = points[i].z / l;
    if (!beadHeightsNear(m, u, v, count, beads) || !runnerHeightsNear(m, u, v, count, s, l, runners)) return false;
    for (int i = 0; i < count; ++i) heights[i] = maxf(beads[i], runners[i]);
    return true;
}

}  // namespace wx
