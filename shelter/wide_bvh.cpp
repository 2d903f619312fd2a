#include "shelter/wide_bvh.h"

#include <algorithm>

namespace wx {
namespace {

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

}  // namespace

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

}  // namespace wx
