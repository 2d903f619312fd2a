// WideBVH: the CPU's traversal form of a ShelterBVH's triangles. A binary hierarchy (the
// ShelterBVH's own, or the surface-area one of trace_tree.h) is collapsed so that each
// node holds up to eight child boxes, tested together (AVX2 or AVX-512 where the CPU
// has it, else SSE four at a time), and each leaf's triangles are repacked four to a
// block so that one Moller-Trumbore test runs on four at once. Every lane performs exactly the scalar
// test's floating-point operations in the same order, so hit distances equal castRay's.
// The ShelterBVH stays the stored and uploaded form; read-only once built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "common/v3.h"
#include "shelter/bvh.h"

namespace wx {

constexpr int kWideSlots = 8;

// 288 bytes: each axis row of bmin and bmax is 32 bytes on a 32-byte boundary, so the
// AVX2 box test loads a row with one aligned load and the SSE test with two.
struct alignas(32) WideNode {
    float bmin[3][kWideSlots];  // per axis, per child slot; bytes 0..95
    float bmax[3][kWideSlots];  // bytes 96..191
    int32_t child[kWideSlots];  // interior: wide node index; leaf: first triangle block
    int32_t count[kWideSlots];  // 0 interior, > 0 triangles in the leaf, -1 empty slot
    int32_t liveSlots;          // bit s set when slot s holds a child
};
static_assert(alignof(WideNode) == 32 && sizeof(WideNode) == 288);
static_assert(offsetof(WideNode, bmin) == 0 && offsetof(WideNode, bmax) == 96 && offsetof(WideNode, child) == 192 &&
              offsetof(WideNode, count) == 224 && offsetof(WideNode, liveSlots) == 256);
static_assert(sizeof(WideNode::bmin[0]) == 32, "one axis row is one AVX2 register");

// Four triangles in structure-of-arrays form; unused lanes have zero edges (never hit).
// 144 bytes: each row (one coordinate of four triangles) is one aligned SSE load.
struct alignas(16) TriBlock {
    float p0[3][4];  // bytes 0..47
    float e1[3][4];  // bytes 48..95
    float e2[3][4];  // bytes 96..143
};
static_assert(alignof(TriBlock) == 16 && sizeof(TriBlock) == 144);
static_assert(offsetof(TriBlock, e1) == 48 && offsetof(TriBlock, e2) == 96);
static_assert(std::is_trivially_copyable_v<WideNode> && std::is_trivially_copyable_v<TriBlock>);

struct WideBVH {
    std::vector<WideNode> nodes;  // node 0 is the root
    std::vector<TriBlock> blocks;
    std::vector<int32_t> laneTri;  // laneTri[4 * b + lane]: the ShelterBVH triangle there, -1 unused
    bool empty() const { return nodes.empty(); }
};

// The ShelterBVH's own binary tree, collapsed.
void buildWideBVH(const ShelterBVH& bvh, WideBVH& wide);

// Collapses any binary hierarchy over tris: a leaf's triangles are
// tris[leafTris[leftOrFirst]] .. tris[leafTris[leftOrFirst + count - 1]], and its box
// must hold them. An empty nodes array gives an empty tree.
void collapseToWide(std::span<const BVHNode> nodes, std::span<const BVHTri> tris, std::span<const int32_t> leafTris,
                    WideBVH& wide);

// Whether some triangle is hit at 0 < t < maxDist; the same answer as
// castRay(bvh.view(), origin, dir, maxDist) < maxDist.
bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// The nearest hit at 0 < t < maxDist, or maxDist; the same value as castRay.
float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// The nearest hit and its triangle (an index into the ShelterBVH's tris); {maxDist, -1}
// when nothing is hit. t equals castRay's; of two triangles hit at exactly the same
// distance either may be named.
RayHit castRayWideHit(const WideBVH& wide, V3 origin, V3 dir, float maxDist);

// Any-hit for up to kFanRays rays that share an origin (a point's cone rays): bit r is
// set when occludedWide(wide, origin, dirs[r], maxDist) would say true. Each node and
// block is fetched once for all the rays that reach it. More than kFanRays rays is
// std::logic_error (common/check.h).
constexpr size_t kFanRays = 32;
uint32_t occludedFanWide(const WideBVH& wide, V3 origin, std::span<const V3> dirs, float maxDist);

// Closest hit for up to kFanRays rays that share an origin (a point's lee rays):
// nearest[r] gets ray r's nearest hit at 0 < t < maxDist, or maxDist, castRay's
// distance. Each node and block is fetched once for all the rays that reach it. More
// than kFanRays rays, or nearest not the size of dirs, is std::logic_error.
void castFanWide(const WideBVH& wide, V3 origin, std::span<const V3> dirs, float maxDist, std::span<float> nearest);

// The instruction sets the queries are compiled for, narrowest first. They run with the
// widest one the CPU has, up to a limit that tests lower to check the narrower forms
// (every form gives the same answers); the limit is process-wide.
enum class WideIsa { Sse, Avx2, Avx512 };
WideIsa wideTraversalIsa();
void setWideTraversalLimit(WideIsa widest);

}  // namespace wx
