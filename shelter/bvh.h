// ShelterBVH: a binary bounding volume hierarchy over the occluder triangles, built once
// per occluder set by median splits on the longest centroid axis. Nodes and triangles
// are flat arrays whose bytes go to the GPU unchanged, so their layouts are fixed and
// held by static_assert. Building is single-threaded; a built hierarchy is read-only and
// may be queried from any number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

#include "common/hostdev.h"
#include "common/v3.h"

namespace wx {

struct BVHNode {
    V3 bmin;              // box minimum
    int32_t leftOrFirst;  // interior: left child (right child follows it); leaf: first triangle
    V3 bmax;              // box maximum
    int32_t count;        // 0 for an interior node, else the triangles in the leaf
};
static_assert(sizeof(BVHNode) == 32 && alignof(BVHNode) == 4);
static_assert(offsetof(BVHNode, leftOrFirst) == 12 && offsetof(BVHNode, bmax) == 16 && offsetof(BVHNode, count) == 28);

// A triangle as its first corner and the two edges from it, ready for Moller-Trumbore.
struct BVHTri {
    V3 p0;
    V3 e1;  // p1 - p0
    V3 e2;  // p2 - p0
};
static_assert(sizeof(BVHTri) == 36 && alignof(BVHTri) == 4);
static_assert(offsetof(BVHTri, e1) == 12 && offsetof(BVHTri, e2) == 24);

// What a query reads: the two arrays and their lengths. Passed by value to GPU kernels.
struct BVHView {
    const BVHNode* nodes = nullptr;
    const BVHTri* tris = nullptr;
    int32_t nodeCount = 0;
    int32_t triCount = 0;
};
static_assert(sizeof(BVHView) == 24 && alignof(BVHView) == 8);
static_assert(offsetof(BVHView, tris) == 8 && offsetof(BVHView, nodeCount) == 16 && offsetof(BVHView, triCount) == 20);
// The arrays are copied to the device and hashed for the cache as raw bytes.
static_assert(std::is_trivially_copyable_v<BVHNode> && std::is_trivially_copyable_v<BVHTri> &&
              std::is_trivially_copyable_v<BVHView>);

struct WideBVH;
struct MeshCorners;

struct ShelterBVH {
    std::vector<BVHNode> nodes;  // node 0 is the root
    std::vector<BVHTri> tris;    // every leaf's triangles are contiguous
    std::vector<int32_t> source;  // source[j]: the soup triangle that tris[j] came from
    // The CPU's tracing tree over the same triangles (trace_tree.h), made by buildBVH
    // alongside the binary form; immutable, so copies of the hierarchy share it.
    std::shared_ptr<const WideBVH> wide;
    // The binary tree itself collapsed to the wide layout: its boxes, and so the order
    // in which it meets triangles hit at one distance, are the binary tree's. For
    // callers that name the triangle hit (the preview renderer's camera rays), where
    // a tie between triangles at exactly the same distance must fall as before.
    std::shared_ptr<const WideBVH> collapsed;
    // Where a capture's triangles came from in its meshes (mesh_corners.h), set by the
    // capture after the build; null for a plain soup, and after every rebuild.
    std::shared_ptr<const MeshCorners> meshCorners;
    // Unique to each buildBVH call in the process, so that caches keyed on the arrays'
    // address can tell a rebuild into the same storage from the hierarchy they hold.
    uint64_t buildSerial = 0;

    BVHView view() const {
        return {nodes.data(), tris.data(), static_cast<int32_t>(nodes.size()), static_cast<int32_t>(tris.size())};
    }
};

// Empties and refills bvh from a triangle soup (three points per triangle), dropping
// triangles whose doubled area is at most 1e-12, and makes its tracing tree. Reuses the
// arrays' storage; forgets meshCorners, which described the soup before.
void buildBVH(std::span<const V3> soup, ShelterBVH& bvh);

// The binary tree alone (nodes, tris, source), without the tracing trees: what buildBVH
// did before it made them, and the benchmarks' fixed yardstick for work over a scene.
// Leaves wide, collapsed and meshCorners empty; keeps buildSerial.
void buildBinaryBVH(std::span<const V3> soup, ShelterBVH& bvh);

constexpr int kBVHStackSize = 64;
constexpr int kBVHPushGuard = 62;  // an interior node's children are not pushed past this depth

// Moller-Trumbore: the hit distance along dir, or a value <= 0 for a miss (u, v outside
// the triangle, or a determinant under 1e-20). The operations and their order are fixed:
// every traversal, SIMD or GPU, must reproduce them to give the same distances.
WX_HOSTDEV inline float intersectTri(const BVHTri& tri, V3 origin, V3 dir) {
    V3 pv = cross(dir, tri.e2);
    float det = dot(tri.e1, pv);
    if (fabsf(det) < 1e-20f) return -1.0f;
    V3 s = origin - tri.p0;
    float u = dot(s, pv) / det;
    if (u < 0.0f || u > 1.0f) return -1.0f;
    V3 qv = cross(s, tri.e1);
    float v = dot(dir, qv) / det;
    if (v < 0.0f || u + v > 1.0f) return -1.0f;
    return dot(tri.e2, qv) / det;
}

// The inverse direction of the slab test: components of magnitude <= 1e-12 are
// replaced by +1e-12, so axis-parallel rays get a huge but finite inverse.
WX_HOSTDEV inline float safeInverse(float d) { return 1.0f / (fabsf(d) > 1e-12f ? d : 1e-12f); }
WX_HOSTDEV inline V3 safeInverse(V3 dir) { return {safeInverse(dir.x), safeInverse(dir.y), safeInverse(dir.z)}; }

// Slab test: whether the ray's [0, tMax] overlaps the box.
WX_HOSTDEV inline bool slabOverlaps(V3 bmin, V3 bmax, V3 origin, V3 inv, float tMax) {
    float tx1 = (bmin.x - origin.x) * inv.x, tx2 = (bmax.x - origin.x) * inv.x;
    float ty1 = (bmin.y - origin.y) * inv.y, ty2 = (bmax.y - origin.y) * inv.y;
    float tz1 = (bmin.z - origin.z) * inv.z, tz2 = (bmax.z - origin.z) * inv.z;
    float tNear = maxf(maxf(minf(tx1, tx2), minf(ty1, ty2)), maxf(minf(tz1, tz2), 0.0f));
    float tFar = minf(minf(maxf(tx1, tx2), maxf(ty1, ty2)), minf(maxf(tz1, tz2), tMax));
    return !(tNear > tFar);
}

// The closest hit and which triangle it is: tri indexes view.tris (-1 and t == maxDist
// when nothing is hit closer than maxDist). castRay below is its distance alone.
struct RayHit {
    float t;
    int32_t tri;
};

WX_HOSTDEV inline RayHit castRayHit(const BVHView& view, V3 origin, V3 dir, float maxDist) {
    RayHit hit{maxDist, -1};
    if (view.nodeCount == 0) return hit;
    const V3 inv = safeInverse(dir);
    int32_t stack[kBVHStackSize];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const BVHNode& node = view.nodes[stack[--top]];
        if (!slabOverlaps(node.bmin, node.bmax, origin, inv, hit.t)) continue;
        if (node.count == 0) {
            if (top < kBVHPushGuard) {
                stack[top++] = node.leftOrFirst;
                stack[top++] = node.leftOrFirst + 1;  // the right child is examined first
            }
            continue;
        }
        for (int32_t i = 0; i < node.count; ++i) {  // a negative count is an empty leaf
            float t = intersectTri(view.tris[node.leftOrFirst + i], origin, dir);
            if (t > 0.0f && t < hit.t) hit = {t, node.leftOrFirst + i};
        }
    }
    return hit;
}

// Closest hit: the distance t of the nearest hit with 0 < t < maxDist, or maxDist when
// nothing is hit closer. This is the reference traversal that the GPU runs as it is.
WX_HOSTDEV inline float castRay(const BVHView& view, V3 origin, V3 dir, float maxDist) {
    return castRayHit(view, origin, dir, maxDist).t;
}

}  // namespace wx
