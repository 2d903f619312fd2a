#include "shelter/wide_bvh.h"

#include <emmintrin.h>

#include <algorithm>

namespace wx {
namespace {

constexpr int kWideStack = 128;

// Appends the wide node for binary node b: its children, each replaced by its own
// two children when it is interior, up to four slots.
int32_t collapse(const ShelterBVH& bvh, int32_t b, WideBVH& wide, std::vector<int32_t>& leafBlock) {
    const int32_t index = static_cast<int32_t>(wide.nodes.size());
    wide.nodes.emplace_back();
    int32_t slots[4];
    int used = 0;
    const BVHNode& node = bvh.nodes[b];
    if (node.count != 0) {
        slots[used++] = b;  // a leaf root: one slot holding it
    } else {
        for (int32_t c : {node.leftOrFirst, node.leftOrFirst + 1}) {
            const BVHNode& child = bvh.nodes[c];
            if (child.count == 0) {
                slots[used++] = child.leftOrFirst;
                slots[used++] = child.leftOrFirst + 1;
            } else {
                slots[used++] = c;
            }
        }
    }
    int32_t childIndex[4] = {0, 0, 0, 0}, childCount[4] = {-1, -1, -1, -1};
    for (int s = 0; s < used; ++s) {
        const BVHNode& c = bvh.nodes[slots[s]];
        if (c.count == 0) {
            childIndex[s] = collapse(bvh, slots[s], wide, leafBlock);
            childCount[s] = 0;
        } else {
            childIndex[s] = leafBlock[slots[s]];
            childCount[s] = std::max(c.count, 0);
            if (childCount[s] == 0) childCount[s] = -1;  // an empty leaf is an empty slot
        }
    }
    WideNode& w = wide.nodes[index];
    for (int s = 0; s < 4; ++s) {
        const bool live = s < used && childCount[s] >= 0;
        const BVHNode* c = live ? &bvh.nodes[slots[s]] : nullptr;
        // An empty slot (count -1) may still pass the slab test, since the test orders
        // each axis's two distances; traversal skips it by its count.
        w.bmin[0][s] = c ? c->bmin.x : 1e30f;
        w.bmin[1][s] = c ? c->bmin.y : 1e30f;
        w.bmin[2][s] = c ? c->bmin.z : 1e30f;
        w.bmax[0][s] = c ? c->bmax.x : -1e30f;
        w.bmax[1][s] = c ? c->bmax.y : -1e30f;
        w.bmax[2][s] = c ? c->bmax.z : -1e30f;
        w.child[s] = childIndex[s];
        w.count[s] = live ? childCount[s] : -1;
    }
    return index;
}

// The slab test of four boxes at once, lane for lane the scalar slabOverlaps; returns
// the mask of overlapping slots and their entry distances.
inline int slab4(const WideNode& n, const __m128 o[3], const __m128 inv[3], __m128 tMax, __m128& tNearOut) {
    __m128 t1[3], t2[3];
    for (int a = 0; a < 3; ++a) {
        t1[a] = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(n.bmin[a]), o[a]), inv[a]);
        t2[a] = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(n.bmax[a]), o[a]), inv[a]);
    }
    // minf(a, b) = b < a ? b : a is _mm_min_ps(b, a); maxf(a, b) = a < b ? b : a is _mm_max_ps(b, a).
    auto mn = [](__m128 a, __m128 b) { return _mm_min_ps(b, a); };
    auto mx = [](__m128 a, __m128 b) { return _mm_max_ps(b, a); };
    __m128 tNear = mx(mx(mn(t1[0], t2[0]), mn(t1[1], t2[1])), mx(mn(t1[2], t2[2]), _mm_setzero_ps()));
    __m128 tFar = mn(mn(mx(t1[0], t2[0]), mx(t1[1], t2[1])), mn(mx(t1[2], t2[2]), tMax));
    tNearOut = tNear;
    return _mm_movemask_ps(_mm_cmpngt_ps(tNear, tFar));
}

// Moller-Trumbore on four triangles, lane for lane intersectTri; returns t per lane,
// or a value <= 0 where the lane misses.
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

struct RaySetup {
    __m128 o[3], d[3], inv[3];
    RaySetup(V3 origin, V3 dir) {
        const V3 iv = safeInverse(dir);
        o[0] = _mm_set1_ps(origin.x), o[1] = _mm_set1_ps(origin.y), o[2] = _mm_set1_ps(origin.z);
        d[0] = _mm_set1_ps(dir.x), d[1] = _mm_set1_ps(dir.y), d[2] = _mm_set1_ps(dir.z);
        inv[0] = _mm_set1_ps(iv.x), inv[1] = _mm_set1_ps(iv.y), inv[2] = _mm_set1_ps(iv.z);
    }
};

// Visits the wide tree. onLeaf(first block, triangles, best) tests a leaf and returns
// true to stop the whole query; best may shrink as hits are found. With nearestFirst the
// overlapping slots are taken in order of entry distance, which lets a closest-hit query
// shrink best early; an any-hit query mostly meets rays that escape, where order buys
// nothing, so it takes the slots as they come.
template <bool nearestFirst, class OnLeaf>
inline void traverse(const WideBVH& wide, const RaySetup& ray, float& best, OnLeaf&& onLeaf) {
    int32_t stack[kWideStack];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const WideNode& node = wide.nodes[stack[--top]];
        __m128 tNear;
        int hit = slab4(node, ray.o, ray.inv, _mm_set1_ps(best), tNear);
        if (!hit) continue;
        if constexpr (!nearestFirst) {
            for (; hit; hit &= hit - 1) {
                const int s = __builtin_ctz(unsigned(hit));
                if (node.count[s] > 0) {
                    if (onLeaf(node.child[s], node.count[s], best)) return;
                } else if (node.count[s] == 0 && top < kWideStack) {
                    stack[top++] = node.child[s];
                }
            }
            continue;
        }
        alignas(16) float nearDist[4];
        _mm_store_ps(nearDist, tNear);
        int order[4], n = 0;  // overlapping slots by entry distance (insertion sort of at most four)
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
            if (node.count[s] > 0 && nearDist[s] <= best && onLeaf(node.child[s], node.count[s], best)) return;
        }
        for (int k = n - 1; k >= 0; --k) {
            const int s = order[k];
            if (node.count[s] == 0 && top < kWideStack) stack[top++] = node.child[s];
        }
    }
}

}  // namespace

void buildWideBVH(const ShelterBVH& bvh, WideBVH& wide) {
    wide.nodes.clear();
    wide.blocks.clear();
    if (bvh.nodes.empty()) return;
    // Each leaf's triangles go to consecutive blocks of four.
    std::vector<int32_t> leafBlock(bvh.nodes.size(), 0);
    for (size_t i = 0; i < bvh.nodes.size(); ++i) {
        const BVHNode& n = bvh.nodes[i];
        if (n.count <= 0) continue;
        leafBlock[i] = static_cast<int32_t>(wide.blocks.size());
        for (int32_t first = 0; first < n.count; first += 4) {
            TriBlock block{};
            for (int lane = 0; lane < 4 && first + lane < n.count; ++lane) {
                const BVHTri& t = bvh.tris[size_t(n.leftOrFirst + first + lane)];
                const V3 parts[3] = {t.p0, t.e1, t.e2};
                float(*dst[3])[4] = {block.p0, block.e1, block.e2};
                for (int p = 0; p < 3; ++p) {
                    dst[p][0][lane] = parts[p].x;
                    dst[p][1][lane] = parts[p].y;
                    dst[p][2][lane] = parts[p].z;
                }
            }
            wide.blocks.push_back(block);
        }
    }
    wide.nodes.reserve(bvh.nodes.size() / 3 + 1);
    collapse(bvh, 0, wide, leafBlock);
}

bool occludedWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return false;
    const RaySetup ray(origin, dir);
    bool hit = false;
    float best = maxDist;
    const __m128 maxV = _mm_set1_ps(maxDist);
    traverse<false>(wide, ray, best, [&](int32_t block, int32_t count, float&) {
        for (int32_t b = 0; b * 4 < count; ++b) {
            __m128 t = intersect4(wide.blocks[size_t(block + b)], ray.o, ray.d);
            __m128 lanes = _mm_and_ps(_mm_cmpgt_ps(t, _mm_setzero_ps()), _mm_cmplt_ps(t, maxV));
            if (_mm_movemask_ps(lanes)) return hit = true;
        }
        return false;
    });
    return hit;
}

float castRayWide(const WideBVH& wide, V3 origin, V3 dir, float maxDist) {
    if (wide.empty()) return maxDist;
    const RaySetup ray(origin, dir);
    float best = maxDist;
    traverse<true>(wide, ray, best, [&](int32_t block, int32_t count, float& bestSoFar) {
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

}  // namespace wx
