#include "shared_corners.h"

#include <cstring>

namespace host {

namespace {

// What makes two corners one vertex: 32 bytes of position, normal and UV (zero without UVs).
struct CornerKey {
    float v[8];
};
static_assert(sizeof(CornerKey) == 32);

CornerKey keyOf(const ExportMesh& e, size_t corner) {
    const Point3& p = e.corners[corner];
    const Point3& n = e.normals[corner];
    CornerKey k{{p.x, p.y, p.z, n.x, n.y, n.z, 0.0f, 0.0f}};
    if (!e.uvs.empty()) {
        k.v[6] = e.uvs[corner].x;
        k.v[7] = e.uvs[corner].y;
    }
    return k;
}

uint64_t hashOf(const CornerKey& k) {
    uint32_t w[8];
    std::memcpy(w, k.v, sizeof w);
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint32_t x : w) h = (h ^ x) * 0x100000001b3ull;
    // FNV over words leaves the low bits weak; the table indexes by them.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

}  // namespace

SharedCorners shareCorners(const ExportMesh& e, const std::vector<size_t>& triangles) {
    SharedCorners out;
    const size_t corners = 3 * triangles.size();
    out.cornerVertex.reserve(corners);
    // Open addressing with linear probing, at most half full; a slot holds vertex + 1.
    size_t capacity = 16;
    while (capacity < 2 * corners) capacity *= 2;
    std::vector<uint32_t> slots(capacity, 0);
    std::vector<CornerKey> keys;  // per vertex
    for (size_t t : triangles)
        for (size_t c = 3 * t; c < 3 * t + 3; ++c) {
            CornerKey k = keyOf(e, c);
            size_t s = size_t(hashOf(k)) & (capacity - 1);
            while (slots[s] != 0 && std::memcmp(&keys[slots[s] - 1], &k, sizeof k) != 0) s = (s + 1) & (capacity - 1);
            if (slots[s] == 0) {
                keys.push_back(k);
                out.vertexCorner.push_back(uint32_t(c));
                slots[s] = uint32_t(keys.size());
            }
            out.cornerVertex.push_back(slots[s] - 1);
        }
    return out;
}

}  // namespace host
