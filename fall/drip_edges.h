// Drip edges: where rain water runs off the scene, as line segments the renderer drips
// drops from. Found once per captured scene over its triangles in the hierarchy's stored
// order (corners p0, p0 + e1, p0 + e2): corners are welded on a 2 mm grid, triangles meet
// across shared welded edges, and an edge drips when it is the lower side of a wall above
// open space or the open rim of a flat or sloped surface that nothing covers.
// Where the capture recorded its meshes' vertices (ShelterBVH::meshCorners) the weld
// works once per vertex rather than once per corner; the edges are the same either way.
// The search is pure and runs on the thread pool; its result is the same for any thread
// count. The module-wide cache (cachedDripEdges) is guarded by a mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/v3.h"
#include "shelter/bvh.h"

namespace wx {

// One run-off source: its two ends, already moved off the surface, and the water it
// sheds, in proportion to its length (world units). 28 bytes.
struct DripEdge {
    V3 p0;
    V3 p1;
    float weight;
};
static_assert(sizeof(DripEdge) == 28);

// No triangle is examined once this many edges are listed; the list may end with up to
// two more, from the triangle that crossed the bound.
constexpr size_t kDripEdgeCap = 200000;

// The drip edges of the scene's triangles (scene.tris in stored order, rays against the
// hierarchy), unitsPerMetre scene units to the metre. maxEdges replaces the bound for
// tests. Throws what parallelFor and allocation throw.
std::vector<DripEdge> findDripEdges(const ShelterBVH& scene, float unitsPerMetre, size_t maxEdges = kDripEdgeCap);

// The edges and their running sums of weight, in float in list order: cumWeight[i] is the
// weight of edges 0..i, and the total is the last sum (0 for no edges). The renderer
// picks an edge for each drip drop by sampling the sums.
struct DripEdgeList {
    std::vector<DripEdge> edges;
    std::vector<float> cumWeight;
    float totalWeight = 0.0f;
    uint64_t sceneSerial = 0;  // the buildSerial of the hierarchy they were found in
    float unitsPerMetre = 0.0f;
};

DripEdgeList makeDripEdgeList(std::vector<DripEdge> edges);

// The module's one drip-edge list, found again only when the scene is a different
// hierarchy build (its buildSerial) or the unit scale differs; a new capture is a new
// build even when it reuses the old one's storage and has as many triangles. Null scene:
// null. Thread-safe; the list handed out stays valid while it is held.
std::shared_ptr<const DripEdgeList> cachedDripEdges(const std::shared_ptr<const ShelterBVH>& scene,
                                                    float unitsPerMetre);

// How many times the cache has run the search in this process (a test hook).
uint64_t dripEdgeSearches();

}  // namespace wx
