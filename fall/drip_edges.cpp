#include "fall/drip_edges.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <mutex>

#include "common/parallel_for.h"
#include "fall/drip_mesh.h"
#include "shelter/mesh_corners.h"

namespace wx {
namespace {

constexpr size_t kTrianglesPerPass = 65536;  // examined together before the bound is checked
constexpr float kSteepNormalZ = 0.25f;       // |n.z| below this: a wall

// The search's lengths in scene units, each metre figure times the scale in float.
struct Lengths {
    explicit Lengths(float m)
        : weldGrid(0.002f * m),
          shortest(0.0001f * m),
          lowerSide(0.01f * m),
          aboveLowest(0.4f * m),
          belowStart(0.02f * m),
          belowReach(0.05f * m),
          lowered(0.005f * m),
          aboveStart(0.01f * m),
          pushedOut(0.01f * m) {}
    float weldGrid, shortest, lowerSide, aboveLowest, belowStart, belowReach, lowered, aboveStart, pushedOut;
};

float normalZ(const BVHTri& t) {
    return normalize(cross(t.e1, t.e2)).z;
}

// Every triangle's normal Z, read for the triangle across an edge: a small array in
// cache rather than the triangles themselves.
std::vector<float> normalZs(std::span<const BVHTri> tris) {
    std::vector<float> z(tris.size());
    parallelFor(tris.size(), [&](size_t t) { z[t] = normalZ(tris[t]); });
    return z;
}

// The weld through the capture's mesh vertices where it has them and they are fewer than
// the corners, else corner by corner; the two give the same vertices.
WeldedCorners weldSceneCorners(const ShelterBVH& scene, float q) {
    std::vector<int32_t> cornerVertex = storedCornerVertices(scene);
    const size_t vertices = scene.meshCorners ? scene.meshCorners->vertexCount : 0;
    if (cornerVertex.empty() || vertices > cornerVertex.size()) return weldCorners(scene.tris, q);
    return weldCorners(scene.tris, q, std::move(cornerVertex), vertices);
}

float lowestCorner(std::span<const BVHTri> tris) {
    const size_t block = 16384, blocks = (tris.size() + block - 1) / block;
    std::vector<float> lows(blocks, FLT_MAX);
    parallelFor(blocks, [&](size_t b) {
        float low = FLT_MAX;
        const size_t end = std::min(tris.size(), (b + 1) * block);
        for (size_t i = b * block; i < end; ++i) {
            const BVHTri& t = tris[i];
            low = minf(low, minf(t.p0.z, minf(t.p0.z + t.e1.z, t.p0.z + t.e2.z)));
        }
        lows[b] = low;
    });
    float low = FLT_MAX;
    for (float l : lows) low = minf(l, low);
    return low;
}

// What every edge test reads.
struct Search {
    Search(const ShelterBVH& scene, float m)
        : tris(scene.tris),
          view(scene.view()),
          len(m),
          zMin(lowestCorner(tris)),
          normalZOf(normalZs(tris)),
          weld(weldSceneCorners(scene, len.weldGrid)),
          uses(weld.vertex, weld.position.size(), keptUses()) {}

    std::span<const BVHTri> tris;
    BVHView view;
    Lengths len;
    float zMin;
    std::vector<float> normalZOf;  // per triangle
    WeldedCorners weld;
    EdgeUses uses;

    // Triangle t's welded corners, read once for its three edges.
    struct Corners {
        V3 p[3];
    };
    Corners corners(size_t t) const {
        const int32_t* v = &weld.vertex[3 * t];
        return {{weld.position[size_t(v[0])], weld.position[size_t(v[1])], weld.position[size_t(v[2])]}};
    }

    // Only edges long enough and high enough can drip; every use of a welded edge sees the
    // same two ends, so the adjacency records the uses of these edges only.
    std::vector<uint8_t> keptUses() const {
        std::vector<uint8_t> kept(weld.vertex.size());
        parallelFor(tris.size(), [&](size_t t) {
            for (size_t k = 0; k < 3; ++k) {
                const int32_t a = weld.vertex[3 * t + k], b = weld.vertex[3 * t + (k + 1) % 3];
                const V3 pa = weld.position[size_t(a)], pb = weld.position[size_t(b)];
                const float zm = (pa.z + pb.z) / 2.0f;
                kept[3 * t + k] = a != b && length(pb - pa) >= len.shortest && zm >= zMin + len.aboveLowest;
            }
        });
        return kept;
    }

    // The triangle across edge k of triangle t: the first other use recorded, or -1.
    int32_t across(size_t t, int k) const {
        int32_t first, second;
        uses.find(weld.vertex[3 * t + size_t(k)], weld.vertex[3 * t + size_t(k + 1) % 3], first, second);
        for (int32_t u : {first, second})
            if (u != EdgeUses::kNone && size_t(u / 3) != t) return u / 3;
        return -1;
    }

    bool somethingBelow(V3 mid, float zm) const {
        const V3 origin{mid.x, mid.y, zm - len.belowStart};
        return castRay(view, origin, V3{0.0f, 0.0f, -1.0f}, len.belowReach) < len.belowReach;
    }

    bool somethingAbove(V3 mid, float zm) const {
        const V3 origin{mid.x, mid.y, zm + len.aboveStart};
        return castRay(view, origin, V3{0.0f, 0.0f, 1.0f}, FLT_MAX) < FLT_MAX;
    }

    // Edge k (vertex k to k + 1) of triangle t, whose normal is n and welded corners w, if
    // it drips. The cheap tests come first; all must hold.
    bool edge(size_t t, int k, const Corners& w, V3 n, DripEdge& out) const {
        const V3 a = w.p[k], b = w.p[(k + 1) % 3], c = w.p[(k + 2) % 3];
        const float e = length(b - a);
        const float zm = (a.z + b.z) / 2.0f;
        if (e < len.shortest || zm < zMin + len.aboveLowest) return false;
        const V3 mid = (a + b) * 0.5f;
        if (fabsf(n.z) < kSteepNormalZ) {
            // A wall's lower side, running more across than down, with open space below.
            if (!(c.z > zm + len.lowerSide) || !(fabsf(a.z - b.z) <= 0.7f * e)) return false;
            const int32_t other = across(t, k);
            if (other >= 0 && !(normalZOf[size_t(other)] <= -kSteepNormalZ)) return false;
            if (somethingBelow(mid, zm)) return false;
            out = {{a.x, a.y, a.z - len.lowered}, {b.x, b.y, b.z - len.lowered}, 0.35f * e};
            return true;
        }
        // The open rim of a flat or sloped surface: nothing level beyond it, not rising,
        // and nothing overhead.
        const V3 up = n.z < 0.0f ? -n : n;
        V3 d = normalize(cross(up, b - a));
        if (dot(d, c - a) > 0.0f) d = -d;
        if (!(d.z <= 0.05f)) return false;
        const int32_t other = across(t, k);
        if (other >= 0 && !(fabsf(normalZOf[size_t(other)]) < kSteepNormalZ)) return false;
        if (somethingAbove(mid, zm)) return false;
        const V3 push = d * len.pushedOut;
        out = {a + push, b + push, (2.0f * sqrtf(maxf(0.0f, 1.0f - up.z * up.z)) + 0.04f) * e};
        return true;
    }
};

}  // namespace

std::vector<DripEdge> findDripEdges(const ShelterBVH& scene, float unitsPerMetre, size_t maxEdges) {
    std::vector<DripEdge> out;
    const std::span<const BVHTri> tris(scene.tris);
    if (tris.empty()) return out;
    const Search s(scene, unitsPerMetre);

    // Triangles in stored order, a pass at a time, so that a scene with far more than the
    // bound stops soon after reaching it; within a pass each triangle writes its own slots.
    struct Found {
        DripEdge edge[3];
        uint8_t count;
    };
    std::vector<Found> found(std::min(kTrianglesPerPass, tris.size()));
    for (size_t first = 0; first < tris.size() && out.size() < maxEdges; first += kTrianglesPerPass) {
        const size_t n = std::min(kTrianglesPerPass, tris.size() - first);
        parallelFor(n, [&](size_t i) {
            Found& f = found[i];
            f.count = 0;
            const V3 n = normalize(cross(tris[first + i].e1, tris[first + i].e2));
            const Search::Corners w = s.corners(first + i);
            for (int k = 0; k < 3; ++k)
                if (s.edge(first + i, k, w, n, f.edge[f.count])) ++f.count;
        });
        for (size_t i = 0; i < n && out.size() < maxEdges; ++i)
            out.insert(out.end(), found[i].edge, found[i].edge + found[i].count);
    }
    return out;
}

DripEdgeList makeDripEdgeList(std::vector<DripEdge> edges) {
    DripEdgeList list;
    list.cumWeight.resize(edges.size());
    float sum = 0.0f;
    for (size_t i = 0; i < edges.size(); ++i) {
        sum += edges[i].weight;
        list.cumWeight[i] = sum;
    }
    list.totalWeight = sum;
    list.edges = std::move(edges);
    return list;
}

namespace {

struct DripCache {
    std::mutex mutex;
    std::shared_ptr<const DripEdgeList> list;
    std::atomic<uint64_t> searches{0};
};

DripCache& dripCache() {
    static DripCache cache;
    return cache;
}

}  // namespace

std::shared_ptr<const DripEdgeList> cachedDripEdges(const std::shared_ptr<const ShelterBVH>& scene,
                                                    float unitsPerMetre) {
    if (!scene) return nullptr;
    DripCache& cache = dripCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.list && cache.list->sceneSerial == scene->buildSerial && cache.list->unitsPerMetre == unitsPerMetre)
        return cache.list;
    auto list = std::make_shared<DripEdgeList>(makeDripEdgeList(findDripEdges(*scene, unitsPerMetre)));
    list->sceneSerial = scene->buildSerial;
    list->unitsPerMetre = unitsPerMetre;
    cache.searches.fetch_add(1, std::memory_order_relaxed);
    cache.list = std::move(list);
    return cache.list;
}

uint64_t dripEdgeSearches() {
    return dripCache().searches.load(std::memory_order_relaxed);
}

}  // namespace wx
