// The shell from the softened amounts: keep the snowy triangles, find their open edges,
// round the lip over edgeRound by surface distance, lay the bumpy thickness on top, and
// write top, walls and (when closed) the bottom.
#include <algorithm>
#include <cmath>
#include <queue>

#include "common/check.h"
#include "common/noise.h"
#include "common/parallel_for.h"
#include "snow/snow_work.h"

namespace wx::snow {
namespace {

constexpr float kKeepAmount = 0.04f;  // thinner snow than this is not built
constexpr float kFar = 1e30f;         // lip distance of points no open edge reaches

// Open edges in ascending key order, and the kept triangles' unique edge keys. Each
// record is the edge key shifted up one bit with the lowest bit saying whether the edge
// runs from the larger index to the smaller (indices stay below 2^31, so nothing is lost):
// sorting the records sorts by key and keeps each key's uses together, and an open edge
// reads its direction from its one record.
std::vector<OpenEdge> openEdges(std::span<const int32_t> kept, std::vector<uint64_t>& uniqueKeys) {
    std::vector<uint64_t> records;
    records.reserve(kept.size());
    auto add = [&](int32_t a, int32_t b) { records.push_back((edgeKey(a, b) << 1) | uint64_t(a > b)); };
    for (size_t t = 0; t < kept.size(); t += 3) {
        add(kept[t], kept[t + 1]);
        add(kept[t + 1], kept[t + 2]);
        add(kept[t + 2], kept[t]);
    }
    sortKeys(records);
    std::vector<OpenEdge> open;
    uniqueKeys.clear();
    for (size_t i = 0; i < records.size();) {
        const uint64_t key = records[i] >> 1;
        size_t j = i + 1;
        while (j < records.size() && (records[j] >> 1) == key) ++j;
        if (j - i == 1) {
            const bool reversed = records[i] & 1u;
            open.push_back(reversed ? OpenEdge{keyHigh(key), keyLow(key)} : OpenEdge{keyLow(key), keyHigh(key)});
        }
        uniqueKeys.push_back(key);
        i = j;
    }
    return open;
}

// Shortest surface distance to an open edge, searched only as far as edgeRound.
void lipDistances(const Surface& surface, const Adjacency& adj, float edgeRound, std::vector<float>& lip) {
    using Entry = std::pair<float, int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap;
    for (size_t v = 0; v < lip.size(); ++v)
        if (lip[v] == 0.0f) heap.push({0.0f, int32_t(v)});
    while (!heap.empty()) {
        const auto [d, v] = heap.top();
        heap.pop();
        if (d > lip[size_t(v)] || d > edgeRound) continue;
        const V3 pv = surface.position[size_t(v)];
        for (uint32_t k = adj.offsets[size_t(v)]; k < adj.offsets[size_t(v) + 1]; ++k) {
            const int32_t w = adj.neighbours[k];
            const float dw = d + length(pv - surface.position[size_t(w)]);
            if (dw < lip[size_t(w)]) {
                lip[size_t(w)] = dw;
                heap.push({dw, w});
            }
        }
    }
}

}  // namespace

void buildShell(const Surface& surface, std::span<const float> amount, const SnowSettings& s,
                const DetailLengths& lengths, SnowShell& shell, SnowStats& stats) {
    const size_t n = surface.pointCount();
    WX_DCHECK(amount.size() == n);
    std::vector<int32_t> kept;
    kept.reserve(surface.triangles.size());
    for (size_t t = 0; t < surface.triangles.size(); t += 3) {
        const int32_t a = surface.triangles[t], b = surface.triangles[t + 1], c = surface.triangles[t + 2];
        if (amount[size_t(a)] >= kKeepAmount && amount[size_t(b)] >= kKeepAmount && amount[size_t(c)] >= kKeepAmount)
            kept.insert(kept.end(), {a, b, c});
    }
    if (kept.empty()) return;

    std::vector<uint64_t> uniqueKeys;
    const std::vector<OpenEdge> open = openEdges(kept, uniqueKeys);
    std::vector<float> lip(n, kFar);
    for (const OpenEdge& e : open) lip[size_t(e.a)] = lip[size_t(e.b)] = 0.0f;
    if (s.edgeRound > 0.0f) lipDistances(surface, adjacencyFromKeys(uniqueKeys, n), s.edgeRound, lip);
    uniqueKeys = {};

    std::vector<uint8_t> used(n, 0);
    for (int32_t v : kept) used[size_t(v)] = 1;
    std::vector<float> thickness(n, 0.0f);
    const float noiseScale = std::max(s.noiseScale, 1e-6f);
    const int32_t bumpSeed = int32_t(uint32_t(s.seed) * 13u + 5u);
    parallelFor(n, [&](size_t v) {
        if (!used[v]) return;
        float r = 1.0f;
        if (s.edgeRound > 0.0f) {
            // Quarter circle: 0 at the open edge, full at edgeRound inward.
            const float q = std::min(lip[v] / s.edgeRound, 1.0f);
            r = std::sqrt(std::max(1.0f - (1.0f - q) * (1.0f - q), 0.0f));
        }
        if (s.overhang > 0.0f) r = std::max(r, 0.6f);  // a cornice needs a lip to hang from
        const float bump =
            std::max(0.0f, 1.0f + s.noiseAmount * fbmNoise(surface.position[v] / noiseScale, 3, bumpSeed));
        thickness[v] = std::min(amount[v], 1.5f) * s.depth * r * bump;
    });
    for (size_t v = 0; v < n; ++v) stats.thickest = std::max(stats.thickest, thickness[v]);

    std::vector<V3> outward;
    if (s.overhang > 0.0f) {
        outward.assign(n, V3{});
        for (const OpenEdge& e : open) {
            const V3 pa = surface.position[size_t(e.a)], pb = surface.position[size_t(e.b)];
            const float dx = pb.x - pa.x, dy = pb.y - pa.y;
            const float len = std::sqrt(dx * dx + dy * dy);
            if (len > 1e-12f) {
                const V3 away = {dy / len, -dx / len, 0.0f};
                outward[size_t(e.a)] += away;
                outward[size_t(e.b)] += away;
            }
        }
    }

    const float uvFactor = 1.0f / std::max(s.uvScale, 1e-6f);
    const float lift = lengths.lift;
    auto addVertex = [&](V3 p) {
        shell.vertices.push_back(p);
        shell.uvw.push_back({p.x * uvFactor, p.y * uvFactor, 0.0f});
        return int32_t(shell.vertices.size() - 1);
    };
    auto addTriangle = [&](int32_t a, int32_t b, int32_t c, uint8_t kind) {
        shell.indices.insert(shell.indices.end(), {a, b, c});
        shell.kinds.push_back(kind);
    };

    const size_t keptTriangles = kept.size() / 3;
    const size_t bottoms = s.closed ? keptTriangles : 0;
    shell.indices.reserve((keptTriangles + 2 * open.size() + bottoms) * 3);
    shell.kinds.reserve(keptTriangles + 2 * open.size() + bottoms);

    // Shell vertices per point, and per wedge at pinch points.
    const PinchWedges pinch = findPinchWedges(kept, open, n);
    std::vector<int32_t> top(n, -1), bottom(n, -1);
    std::vector<int32_t> pinchTop(pinch.empty() ? 0 : size_t(pinch.wedgeBase.back()), -1);
    std::vector<int32_t> pinchBottom(pinchTop.size(), -1);
    auto slotOf = [&](std::vector<int32_t>& perPoint, std::vector<int32_t>& perWedge, int32_t v,
                      int32_t wedge) -> int32_t& {
        if (pinch.empty() || pinch.pinchOf[size_t(v)] < 0) return perPoint[size_t(v)];
        return perWedge[size_t(pinch.wedgeBase[size_t(pinch.pinchOf[size_t(v)])] + wedge)];
    };
    auto topOf = [&](int32_t v, int32_t wedge) {
        int32_t& index = slotOf(top, pinchTop, v, wedge);
        if (index < 0) {
            const float t = thickness[size_t(v)];
            V3 p = surface.position[size_t(v)];
            p.z += t + lift;
            if (s.overhang > 0.0f && lip[size_t(v)] == 0.0f && length(outward[size_t(v)]) > 1e-6f) {
                // The lip reaches out over the edge and droops by a quarter of its thickness.
                const float reach = std::min(std::max(t, 1e-6f) * 1.5f, s.overhang);
                p += normalize(outward[size_t(v)]) * reach;
                p.z -= 0.25f * t;
            }
            index = addVertex(p);
        }
        return index;
    };
    // Closed: the floor floats above the surface; open: the walls dip below it so no gap shows.
    const float bottomOffset = s.closed ? 0.5f * lift : -2.0f * lift;
    auto bottomOf = [&](int32_t v, int32_t wedge) {
        int32_t& index = slotOf(bottom, pinchBottom, v, wedge);
        if (index < 0) {
            V3 p = surface.position[size_t(v)];
            p.z += bottomOffset;
            index = addVertex(p);
        }
        return index;
    };
    auto wedgeAt = [&](size_t slot) { return pinch.wedgeAtSlot(kept[slot], int32_t(slot)); };

    for (size_t t = 0; t < kept.size(); t += 3) {
        const int32_t a = topOf(kept[t], wedgeAt(t));
        const int32_t b = topOf(kept[t + 1], wedgeAt(t + 1));
        addTriangle(a, b, topOf(kept[t + 2], wedgeAt(t + 2)), kSnowTop);
    }
    for (const OpenEdge& e : open) {
        const int32_t wa = pinch.wedgeOfEdge(kept, e.a, e.a, e.b), wb = pinch.wedgeOfEdge(kept, e.b, e.a, e.b);
        const int32_t ta = topOf(e.a, wa), tb = topOf(e.b, wb);
        const int32_t ba = bottomOf(e.a, wa);
        addTriangle(tb, ta, ba, kSnowWall);
        addTriangle(tb, ba, bottomOf(e.b, wb), kSnowWall);
    }
    if (s.closed) {
        for (size_t t = 0; t < kept.size(); t += 3) {
            const int32_t ba = bottomOf(kept[t], wedgeAt(t));
            const int32_t bc = bottomOf(kept[t + 2], wedgeAt(t + 2));
            addTriangle(ba, bc, bottomOf(kept[t + 1], wedgeAt(t + 1)), kSnowBottom);
        }
    }
    stats.trianglesOut = int32_t(shell.kinds.size());
    stats.verticesOut = int32_t(shell.vertices.size());
}

}  // namespace wx::snow
