// Working data of one snow build, passed between its steps: the up-facing surface as
// per-point arrays plus a triangle list, its refinement and adjacency. Internal to the
// builder (snow_*.cpp); each step runs on the calling thread unless it says otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/v3.h"
#include "shelter/sky_visibility.h"
#include "snow/snow_types.h"

namespace wx::snow {

// The up-facing surface, compacted and later refined. Point arrays share one index.
struct Surface {
    std::vector<V3> position;
    std::vector<V3> normal;          // unit
    std::vector<float> slopeWeight;  // 0..1
    std::vector<float> paint;        // empty when paint weights are not in use
    std::vector<uint8_t> nearEdge;   // 1 within band of the up-facing boundary
    std::vector<int32_t> triangles;  // three point indices each, counter-clockwise from above
    double area = 0.0;               // up-facing area before refinement, scene units^2

    size_t pointCount() const { return position.size(); }
    size_t triangleCount() const { return triangles.size() / 3; }
};

// Lengths derived once per build, scene units.
struct DetailLengths {
    float fine = 0.0f;    // target edge near open edges
    float coarse = 0.0f;  // target edge elsewhere
    float band = 0.0f;    // width of the near-edge band (not scaled by the budget)
    float lift = 0.0f;    // gap between the surface and the shell
};

// Point neighbours in ascending index order: neighbours[offsets[i] .. offsets[i + 1]).
struct Adjacency {
    std::vector<uint32_t> offsets;
    std::vector<int32_t> neighbours;
};

// Undirected edge key: smaller index in the high half.
inline uint64_t edgeKey(int32_t a, int32_t b) {
    uint32_t lo = uint32_t(a < b ? a : b), hi = uint32_t(a < b ? b : a);
    return (uint64_t(lo) << 32) | hi;
}
inline int32_t keyLow(uint64_t key) {
    return int32_t(key >> 32);
}
inline int32_t keyHigh(uint64_t key) {
    return int32_t(key & 0xffffffffu);
}

// Weld, slope test and compaction. Returns the diagonal of the finite input positions'
// box in `diag` and the number of kept faces in `upFacing`; `surface` holds the compacted
// points (nearEdge not yet marked).
void selectUpFacing(std::span<const V3> positions, std::span<const int32_t> faceIndices,
                    std::span<const uint8_t> faceMask, const SnowSettings& settings, Surface& surface, double& diag,
                    int32_t& upFacing);

// Sorts a key list in place (LSD radix on the 64-bit keys; same order as std::sort).
void sortKeys(std::vector<uint64_t>& keys);

// Boundary edges of a triangle list: undirected keys occurring exactly once, ascending.
std::vector<uint64_t> boundaryEdges(std::span<const int32_t> triangles);

DetailLengths deriveLengths(const SnowSettings& settings, double diag);

// Scales fine and coarse together so the estimated triangle count meets maxTris.
void chooseDetail(const Surface& surface, std::span<const uint64_t> boundary, int32_t maxTris, DetailLengths& lengths);

// Marks the compacted points, then refines; new points are marked as they are made.
void markNearEdgeAndRefine(Surface& surface, std::span<const uint64_t> boundary, const DetailLengths& lengths,
                           int32_t maxTris);

Adjacency buildAdjacency(std::span<const int32_t> triangles, size_t pointCount);
// Same from ascending, duplicate-free edge keys; neighbours come out in ascending order.
Adjacency adjacencyFromKeys(std::span<const uint64_t> keys, size_t pointCount);

// Per-point snow amount (parallel, one entry per call). `sky` holds one result per point,
// or nothing when shelter was not measured.
std::vector<float> computeAmounts(const Surface& surface, std::span<const SkyResult> sky, const SnowSettings& settings);

// Region weight of a point: 0 outside every region, 1 well inside, smooth over the soft edge.
float regionWeight(const SnowRegion& region, V3 p, float soft);

// `passes` rounds of halfway blending toward the neighbours' mean.
void softenAmounts(std::vector<float>& amount, const Adjacency& adjacency, int passes);

// A directed open edge of the kept triangles: the snow lies to its left, seen from above.
struct OpenEdge {
    int32_t a, b;
};

// Pinch points: where snow regions touch at a single point, more than one open edge leaves
// that point. Each wedge (fan of kept triangles joined across edges at the point) gets its
// own shell vertices, so a closed shell stays manifold there. Corner slots are indices into
// the kept list (triangle * 3 + corner); every other point has the single wedge 0.
struct PinchWedges {
    std::vector<int32_t> pinchOf;     // per point: pinch number or -1; empty when there is none
    std::vector<uint32_t> slotBegin;  // per pinch + 1: its range in slots
    std::vector<int32_t> slots;       // corner slots at each pinch, ascending
    std::vector<int32_t> slotWedge;   // wedge of each slots entry
    std::vector<int32_t> wedgeBase;   // per pinch + 1: running count of wedges

    bool empty() const { return pinchOf.empty(); }
    // Wedge of the corner at `slot`, whose point is `point`.
    int32_t wedgeAtSlot(int32_t point, int32_t slot) const;
    // Wedge at `point` of the kept triangle holding the directed edge a -> b (point is a or b).
    int32_t wedgeOfEdge(std::span<const int32_t> kept, int32_t point, int32_t a, int32_t b) const;
};

PinchWedges findPinchWedges(std::span<const int32_t> kept, std::span<const OpenEdge> open, size_t pointCount);

// Steps after softening: keep, open boundary, lip, thickness, output. Sets trianglesOut,
// verticesOut and thickest.
void buildShell(const Surface& surface, std::span<const float> amount, const SnowSettings& settings,
                const DetailLengths& lengths, SnowShell& shell, SnowStats& stats);

}  // namespace wx::snow
