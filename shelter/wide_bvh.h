// WideBVH: the CPU's traversal form of a ShelterBVH. Each binary node is collapsed with
// its descendants into one node of up to eight child boxes, tested together (AVX2 where
// the CPU has it, else SSE four at a time), and each leaf's triangles are repacked four
// to a block so that one Moller-Trumbore test runs on four at once. Every lane performs exactly the scalar test's floating-point
// operations in the same order, so hit distances equal castRay's. Built from a
// ShelterBVH (which stays the stored and uploaded form); read-only once built.
#pragma once

#include <cstdint>
#include <vector>

#include "common/v3.h"
#include "shelter/bvh.h"

namespace wx {

constexpr int kWideSlots = 8;

struct alignas(32) WideNode {
    float bmin[3][kWideSlots];  // per axis, per child slot
    float bmax[3][kWideSlots];
    int32_t child[kWideSlots];  // interior: wide node index; leaf: first triangle block
    int32_t count[kWideSlots];  // 0 interior, > 0 triangles in the leaf, -1 empty slot
    int32_t liveSlots;          // bit s set when slot s holds a child
};

// Four triangles in structure-of-arrays form; unused lanes have zero edges (never hit).
struct alignas(16) TriBlock {
    float p0[3][4];
    float e1[3][4];
    float e2[3][4];
};

struct WideBVH {
    std::vector<WideNode> nodes;  // node 0 is the root
    std::vector<TriBlock> blocks;
    std::vector<int32_t> blockTri;  // blockTri[b] + lane: the ShelterBVH triangle in that lane
    bool empty() const { return nodes.empty(); }
};

void buildWideBVH(const ShelterBVH& bvh, WideBVH& wide);

// Whether some triangle is hit at 0 < t < maxDist; the same answer as
// castRay(bvh.view(), origin, dir, maxDist) < maxDist.
bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// The nearest hit at 0 < t < maxDist, or maxDist; the same value as castRay.
float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// The nearest hit and its triangle (an index into the ShelterBVH's tris); {maxDist, -1}
// when nothing is hit. t equals castRay's; of two triangles hit at exactly the same
// distance either may be named.
RayHit castRayWideHit(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// Whether the box tests run eight at a time with AVX2 (when the CPU has it). Tests turn
// it off to check the SSE form; it is process-wide.
bool wideTraversalUsesAvx2();
void setWideTraversalAvx2(bool allowed);

}  // namespace wx
