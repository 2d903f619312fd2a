#include "shelter/wide_bvh.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>

namespace wx {
namespace {

// Each visit pops one node and pushes at most eight, so a tree of depth D needs 7 D + 1
// entries; the builders keep D far below 70.
constexpr int kWideStack = 512;

// Box tests run against the best distance so far stretched by this factor, so that a
// triangle whose Moller-Trumbore distance rounds just below the best is never culled by
// its box's entry distance rounding just above it. It only costs an occasional extra
// box; the answers come from the triangle tests alone.
constexpr float kLooseBest = 1.000001f;

std::atomic<bool> gAvx2Allowed{true};

struct Binary {
    std::span<const BVHNode> nodes;
};

float surfaceArea(const BVHNode& n) {
    const V3 e = n.bmax - n.bmin;
    return e.x * e.y + e.y * e.z + e.z * e.x;
}

// Appends the wide node for binary node b: starting from b's two children, the interior
// slot with the largest box is replaced by its own two children until eight slots are
// used or only leaves remain.
int32_t collapse(const Binary& bvh, int32_t b, WideBVH& wide, const std::vector<int32_t>& leafBlock) {
    const int32_t index = static_cast<int32_t>(wide.nodes.size());
    wide.nodes.emplace_back();
    int32_t slots[kWideSlots];
    int used = 0;
    const BVHNode& node = bvh.nodes[b];
    if (node.count != 0) {
        slots[used++] = b;  // a leaf root: one slot holding it
    } else {
        slots[used++] = node.leftOrFirst;
        slots[used++] = node.leftOrFirst + 1;
        while (used < kWideSlots) {
            int widest = -1;
            for (int s = 0; s < used; ++s) {
                if (bvh.nodes[slots[s]].count == 0 &&
                    (widest < 0 || surfaceArea(bvh.nodes[slots[s]]) > surfaceArea(bvh.nodes[slots[widest]])))
                    widest = s;
            }
            if (widest < 0) break;
            const int32_t first = bvh.nodes[slots[widest]].leftOrFirst;
            slots[widest] = first;
            slots[used++] = first + 1;
        }
    }
    int32_t childIndex[kWideSlots], childCount[kWideSlots];
    for (int s = 0; s < used; ++s) {
        const BVHNode& c = bvh.nodes[slots[s]];
        if (c.count == 0) {
            childIndex[s] = collapse(bvh, slots[s], wide, leafBlock);
            childCount[s] = 0;
        } else {
            childIndex[s] = leafBlock[slots[s]];
            childCount[s] = c.count > 0 ? c.count : -1;  // an empty leaf is an empty slot
        }
    }
    WideNode& w = wide.nodes[index];  // re-fetched: the recursion may have grown the array
    w.liveSlots = 0;
    for (int s = 0; s < kWideSlots; ++s) {
        const bool live = s < used && childCount[s] >= 0;
        const BVHNode* c = live ? &bvh.nodes[slots[s]] : nullptr;
        w.bmin[0][s] = c ? c->bmin.x : 0.0f;
        w.bmin[1][s] = c ? c->bmin.y : 0.0f;
        w.bmin[2][s] = c ? c->bmin.z : 0.0f;
        w.bmax[0][s] = c ? c->bmax.x : 0.0f;
        w.bmax[1][s] = c ? c->bmax.y : 0.0f;
        w.bmax[2][s] = c ? c->bmax.z : 0.0f;
        w.child[s] = live ? childIndex[s] : 0;
        w.count[s] = live ? childCount[s] : -1;
        if (live) w.liveSlots |= 1 << s;
    }
    return index;
}

struct RaySetup {
    V3 origin, dir, inv;
    __m128 o[3], d[3];
    RaySetup(V3 origin_, V3 dir_) : origin(origin_), dir(dir_), inv(safeInverse(dir_)) {
        o[0] = _mm_set1_ps(origin.x), o[1] = _mm_set1_ps(origin.y), o[2] = _mm_set1_ps(origin.z);
        d[0] = _mm_set1_ps(dir.x), d[1] = _mm_set1_ps(dir.y), d[2] = _mm_set1_ps(dir.z);
    }
};

// The slab tests of a node's slots, lane for lane the scalar slabOverlaps (minf(a, b) =
// b < a ? b : a is min_ps(b, a); maxf(a, b) = a < b ? b : a is max_ps(b, a)). Return the
// mask of overlapping slots and store their entry distances.
struct SlabSse {
    static int test(const WideNode& n, const RaySetup& ray, float tMax, float* nearDist) {
        const __m128 o[3] = {_mm_set1_ps(ray.origin.x), _mm_set1_ps(ray.origin.y), _mm_set1_ps(ray.origin.z)};
        const __m128 inv[3] = {_mm_set1_ps(ray.inv.x), _mm_set1_ps(ray.inv.y), _mm_set1_ps(ray.inv.z)};
        int mask = 0;
        for (int half = 0; half < kWideSlots; half += 4) {
            __m128 t1[3], t2[3];
            for (int a = 0; a < 3; ++a) {
                t1[a] = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(n.bmin[a] + half), o[a]), inv[a]);
                t2[a] = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(n.bmax[a] + half), o[a]), inv[a]);
            }
            auto mn = [](__m128 a, __m128 b) { return _mm_min_ps(b, a); };
            auto mx = [](__m128 a, __m128 b) { return _mm_max_ps(b, a); };
            __m128 tNear = mx(mx(mn(t1[0], t2[0]), mn(t1[1], t2[1])), mx(mn(t1[2], t2[2]), _mm_setzero_ps()));
            __m128 tFar = mn(mn(mx(t1[0], t2[0]), mx(t1[1], t2[1])), mn(mx(t1[2], t2[2]), _mm_set1_ps(tMax)));
            _mm_storeu_ps(nearDist + half, tNear);
            mask |= _mm_movemask_ps(_mm_cmpngt_ps(tNear, tFar)) << half;
        }
        return mask & n.liveSlots;
    }
};

struct SlabAvx2 {
    __attribute__((target("avx2"))) static int test(const WideNode& n, const RaySetup& ray, float tMax,
                                                    float* nearDist) {
        const __m256 o[3] = {_mm256_set1_ps(ray.origin.x), _mm256_set1_ps(ray.origin.y), _mm256_set1_ps(ray.origin.z)};
        const __m256 inv[3] = {_mm256_set1_ps(ray.inv.x), _mm256_set1_ps(ray.inv.y), _mm256_set1_ps(ray.inv.z)};
        __m256 t1[3], t2[3];
        for (int a = 0; a < 3; ++a) {
            t1[a] = _mm256_mul_ps(_mm256_sub_ps(_mm256_load_ps(n.bmin[a]), o[a]), inv[a]);
            t2[a] = _mm256_mul_ps(_mm256_sub_ps(_mm256_load_ps(n.bmax[a]), o[a]), inv[a]);
        }
        __m256 lo[3], hi[3];  // per axis: minf(t1, t2) and maxf(t1, t2)
        for (int a = 0; a < 3; ++a) {
            lo[a] = _mm256_min_ps(t2[a], t1[a]);
            hi[a] = _mm256_max_ps(t2[a], t1[a]);
        }
        __m256 tNear = _mm256_max_ps(_mm256_max_ps(_mm256_setzero_ps(), lo[2]), _mm256_max_ps(lo[1], lo[0]));
        __m256 tFar = _mm256_min_ps(_mm256_min_ps(_mm256_set1_ps(tMax), hi[2]), _mm256_min_ps(hi[1], hi[0]));
        _mm256_storeu_ps(nearDist, tNear);
        return _mm256_movemask_ps(_mm256_cmp_ps(tNear, tFar, _CMP_NGT_UQ)) & n.liveSlots;
    }
};

// Moller-Trumbore on four triangles, lane for lane intersectTri; t per lane, or a
// value <= 0 where the lane misses.
inline __m128 intersect4(const TriBlock& b, const __m128 o[3], const __m128 d[3]) {
    auto load = [](const float* p) { return _mm_load_ps(p); };
    auto crossLane = [](const __m128 a[3], const __m128 c[3], __m128 out[3]) {
        out[0] = _mm_sub_ps(_mm_mul_ps(a[1], c[2]), _mm_mul_ps(a[2], c[1]));
        out[1] = _mm_sub_ps(_mm_mul_ps(a[2], c[0]), _mm_mul_ps(a[0], c[2]));
        out[2] = _mm_sub_ps(_mm_mul_ps(a[0], c[1]), _mm_mul_ps(a[1], c[0]));
    };
    auto dotLane = [](const __m128 a[3], const __m128 c[3]) {
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a[0], c[0]), _mm_mul_ps(a[1], c[1])), _mm_mul_ps(a[2], c[2]));
    };
    const __m128 e1[3] = {load(b.e1[0]), load(b.e1[1]), load(b.e1[2])};
    const __m128 e2[3] = {load(b.e2[0]), load(b.e2[1]), load(b.e2[2])};
    __m128 pv[3], qv[3];
    crossLane(d, e2, pv);
    const __m128 det = dotLane(e1, pv);
    const __m128 absDet = _mm_andnot_ps(_mm_set1_ps(-0.0f), det);
    __m128 ok = _mm_cmpge_ps(absDet, _mm_set1_ps(1e-20f));  // not (|det| < 1e-20)
    const __m128 s[3] = {_mm_sub_ps(o[0], load(b.p0[0])), _mm_sub_ps(o[1], load(b.p0[1])),
                         _mm_sub_ps(o[2], load(b.p0[2]))};
    const __m128 u = _mm_div_ps(dotLane(s, pv), det);
    ok = _mm_and_ps(ok, _mm_and_ps(_mm_cmpge_ps(u, _mm_setzero_ps()), _mm_cmple_ps(u, _mm_set1_ps(1.0f))));
    crossLane(s, e1, qv);
    const __m128 v = _mm_div_ps(dotLane(d, qv), det);
    ok = _mm_and_ps(ok, _mm_and_ps(_mm_cmpge_ps(v, _mm_setzero_ps()),
                                   _mm_cmple_ps(_mm_add_ps(u, v), _mm_set1_ps(1.0f))));
    const __m128 t = _mm_div_ps(dotLane(e2, qv), det);
    return _mm_or_ps(_mm_and_ps(ok, t), _mm_andnot_ps(ok, _mm_set1_ps(-1.0f)));
}

// Visits the wide tree. onLeaf(first block, triangles, best) tests a leaf and returns
// true to stop the whole query; best may shrink as hits are found. With nearestFirst the
// overlapping slots are taken in order of entry distance, which lets a closest-hit query
// shrink best early; an any-hit query mostly meets rays that escape, where order buys
// nothing, so it takes the slots as they come.
template <class Slab, bool nearestFirst, class OnLeaf>
inline void traverse(const WideBVH& wide, const RaySetup& ray, float& best, OnLeaf&& onLeaf) {
    int32_t stack[kWideStack];
    int top = 0;
    stack[top++] = 0;
    alignas(32) float nearDist[kWideSlots];
    while (top > 0) {
        const WideNode& node = wide.nodes[stack[--top]];
        const float cut = best * kLooseBest;
        int hit = Slab::test(node, ray, cut, nearDist);
        if constexpr (!nearestFirst) {
            for (; hit; hit &= hit - 1) {
                const int s = __builtin_ctz(unsigned(hit));
                if (node.count[s] > 0) {
                    if (onLeaf(node.child[s], node.count[s], best)) return;
                } else if (top < kWideStack) {
                    stack[top++] = node.child[s];
                }
            }
            continue;
        }
        int order[kWideSlots], n = 0;  // overlapping slots by entry distance (insertion sort)
        for (; hit; hit &= hit - 1) {
            const int s = __builtin_ctz(unsigned(hit));
            int k = n++;
            while (k > 0 && nearDist[order[k - 1]] > nearDist[s]) {
                order[k] = order[k - 1];
                --k;
            }
            order[k] = s;
        }
        // Leaves now, nearest first; interior slots pushed farthest first.
        for (int k = 0; k < n; ++k) {
            const int s = order[k];
            if (node.count[s] > 0 && nearDist[s] <= cut && onLeaf(node.child[s], node.count[s], best)) return;
        }
        for (int k = n - 1; k >= 0; --k) {
            const int s = order[k];
            if (node.count[s] == 0 && top < kWideStack) stack[top++] = node.child[s];
        }
    }
}

template <class Slab>
bool occludedWith(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    const RaySetup ray(origin, dir);
    bool hit = false;
    float best = maxDist;
    const __m128 maxV = _mm_set1_ps(maxDist);
    traverse<Slab, false>(wide, ray, best, [&](int32_t block, int32_t count, float&) {
        for (int32_t b = 0; b * 4 < count; ++b) {
            __m128 t = intersect4(wide.blocks[size_t(block + b)], ray.o, ray.d);
            __m128 lanes = _mm_and_ps(_mm_cmpgt_ps(t, _mm_setzero_ps()), _mm_cmplt_ps(t, maxV));
            if (_mm_movemask_ps(lanes)) return hit = true;
        }
        return false;
    });
    return hit;
}

template <class Slab>
float castRayWith(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    const RaySetup ray(origin, dir);
    float best = maxDist;
    traverse<Slab, true>(wide, ray, best, [&](int32_t block, int32_t count, float& bestSoFar) {
        for (int32_t b = 0; b * 4 < count; ++b) {
            alignas(16) float t[4];
            _mm_store_ps(t, intersect4(wide.blocks[size_t(block + b)], ray.o, ray.d));
            for (int lane = 0; lane < 4; ++lane)
                if (t[lane] > 0.0f && t[lane] < bestSoFar) bestSoFar = t[lane];
        }
        return false;
    });
    return best;
}

template <class Slab>
RayHit castRayHitWith(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    const RaySetup ray(origin, dir);
    RayHit hit{maxDist, -1};
    traverse<Slab, true>(wide, ray, hit.t, [&](int32_t block, int32_t count, float& bestSoFar) {
        for (int32_t b = 0; b * 4 < count; ++b) {
            alignas(16) float t[4];
            _mm_store_ps(t, intersect4(wide.blocks[size_t(block + b)], ray.o, ray.d));
            for (int lane = 0; lane < 4; ++lane)
                if (t[lane] > 0.0f && t[lane] < bestSoFar) {
                    bestSoFar = t[lane];
                    hit.tri = wide.laneTri[4 * size_t(block + b) + size_t(lane)];
                }
        }
        return false;
    });
    return hit;
}

}  // namespace

bool wideTraversalUsesAvx2() {
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return hasAvx2 && gAvx2Allowed.load(std::memory_order_relaxed);
}

void setWideTraversalAvx2(bool allowed) { gAvx2Allowed.store(allowed, std::memory_order_relaxed); }

void collapseToWide(std::span<const BVHNode> nodes, std::span<const BVHTri> tris, std::span<const int32_t> leafTris,
                    WideBVH& wide) {
    wide.nodes.clear();
    wide.blocks.clear();
    wide.laneTri.clear();
    if (nodes.empty()) return;
    // Each leaf's triangles go to consecutive blocks of four.
    std::vector<int32_t> leafBlock(nodes.size(), 0);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const BVHNode& n = nodes[i];
        if (n.count <= 0) continue;
        leafBlock[i] = static_cast<int32_t>(wide.blocks.size());
        for (int32_t first = 0; first < n.count; first += 4) {
            TriBlock block{};
            for (int lane = 0; lane < 4; ++lane) {
                if (first + lane >= n.count) {
                    wide.laneTri.push_back(-1);
                    continue;
                }
                const int32_t tri = leafTris[size_t(n.leftOrFirst + first + lane)];
                const BVHTri& t = tris[size_t(tri)];
                const V3 parts[3] = {t.p0, t.e1, t.e2};
                float(*dst[3])[4] = {block.p0, block.e1, block.e2};
                for (int p = 0; p < 3; ++p) {
                    dst[p][0][lane] = parts[p].x;
                    dst[p][1][lane] = parts[p].y;
                    dst[p][2][lane] = parts[p].z;
                }
                wide.laneTri.push_back(tri);
            }
            wide.blocks.push_back(block);
        }
    }
    wide.nodes.reserve(nodes.size() / 6 + 1);
    collapse(Binary{nodes}, 0, wide, leafBlock);
}

void buildWideBVH(const ShelterBVH& bvh, WideBVH& wide) {
    std::vector<int32_t> identity(bvh.tris.size());
    for (size_t j = 0; j < identity.size(); ++j) identity[j] = static_cast<int32_t>(j);
    collapseToWide(bvh.nodes, bvh.tris, identity, wide);
}

bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return false;
    return wideTraversalUsesAvx2() ? occludedWith<SlabAvx2>(wide, origin, dir, maxDist)
                                   : occludedWith<SlabSse>(wide, origin, dir, maxDist);
}

float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return maxDist;
    return wideTraversalUsesAvx2() ? castRayWith<SlabAvx2>(wide, origin, dir, maxDist)
                                   : castRayWith<SlabSse>(wide, origin, dir, maxDist);
}

RayHit castRayWideHit(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return {maxDist, -1};
    return wideTraversalUsesAvx2() ? castRayHitWith<SlabAvx2>(wide, origin, dir, maxDist)
                                   : castRayHitWith<SlabSse>(wide, origin, dir, maxDist);
}

}  // namespace wx
