// Refinement of the up-facing surface: boundary, detail lengths against the triangle
// budget, the near-edge band, longest-edge midpoint splitting, and the point adjacency.
#include <algorithm>
#include <cmath>

#include "snow/snow_work.h"

namespace wx::snow {
namespace {

constexpr int kMaxRefinePasses = 48;
constexpr double kMaxCellsPerEdge = 65536.0;
constexpr double kTrianglesPerArea = 0.45;  // a triangle of edge L covers about 0.45 L^2

// Boundary segments bucketed on an XY grid of cell size `band`, so a query only looks at
// the 3 x 3 cells around a point: a segment within `band` of it touches one of them.
class NearEdgeGrid {
public:
    NearEdgeGrid(const Surface& surface, std::span<const uint64_t> boundary, float band)
        : band_(band), cell_(std::max(1e-6, double(band))) {
        std::vector<std::pair<uint64_t, int32_t>> entries;
        for (size_t e = 0; e < boundary.size(); ++e) {
            const V3 a = surface.position[size_t(keyLow(boundary[e]))];
            const V3 b = surface.position[size_t(keyHigh(boundary[e]))];
            segments_.push_back({a, b});
            const int64_t x0 = cellIndex(std::min(a.x, b.x)), x1 = cellIndex(std::max(a.x, b.x));
            const int64_t y0 = cellIndex(std::min(a.y, b.y)), y1 = cellIndex(std::max(a.y, b.y));
            // A segment spanning that many cells is left out: its points get the coarse length.
            if (double(x1 - x0 + 1) * double(y1 - y0 + 1) > kMaxCellsPerEdge) continue;
            for (int64_t y = y0; y <= y1; ++y)
                for (int64_t x = x0; x <= x1; ++x) entries.push_back({cellKey(x, y), int32_t(e)});
        }
        std::sort(entries.begin(), entries.end());
        edges_.resize(entries.size());
        size_t capacity = 16;
        while (capacity < entries.size() * 2) capacity *= 2;
        mask_ = capacity - 1;
        slots_.assign(capacity, Slot{});
        for (size_t i = 0; i < entries.size(); ++i) {
            edges_[i] = entries[i].second;
            if (i > 0 && entries[i].first == entries[i - 1].first) {
                ++slots_[find(entries[i].first)].count;
                continue;
            }
            Slot& s = slots_[find(entries[i].first)];
            s = {entries[i].first, uint32_t(i), 1};
        }
    }

    bool near(V3 p) const {
        if (edges_.empty()) return false;
        const int64_t cx = cellIndex(p.x), cy = cellIndex(p.y);
        for (int64_t y = cy - 1; y <= cy + 1; ++y) {
            for (int64_t x = cx - 1; x <= cx + 1; ++x) {
                const Slot& s = slots_[find(cellKey(x, y))];
                for (uint32_t i = s.start; i < s.start + s.count; ++i) {
                    const Segment& seg = segments_[size_t(edges_[i])];
                    if (segmentDistance(p, seg.a, seg.b) < band_) return true;
                }
            }
        }
        return false;
    }

private:
    struct Segment {
        V3 a, b;
    };
    struct Slot {
        uint64_t key = ~0ull;  // never a real key: cells are clamped well inside 32 bits
        uint32_t start = 0, count = 0;
    };

    // Cells are clamped to +-2^30 so a far-away coordinate still gives a defined index.
    int64_t cellIndex(float v) const {
        return int64_t(std::clamp(std::floor(double(v) / cell_), -1073741824.0, 1073741824.0));
    }
    static uint64_t cellKey(int64_t x, int64_t y) { return (uint64_t(uint32_t(x)) << 32) | uint32_t(y); }
    size_t find(uint64_t key) const {
        size_t i = size_t((key ^ (key >> 29)) * 0x9E3779B97F4A7C15ull >> 20) & mask_;
        while (slots_[i].count > 0 && slots_[i].key != key) i = (i + 1) & mask_;
        return i;
    }
    static float segmentDistance(V3 p, V3 a, V3 b) {
        const V3 d = b - a;
        const float dd = dot(d, d);
        const float t = dd > 0.0f ? std::clamp(dot(p - a, d) / dd, 0.0f, 1.0f) : 0.0f;
        return length(p - (a + d * t));
    }

    float band_;
    double cell_;
    std::vector<Segment> segments_;
    std::vector<int32_t> edges_;
    std::vector<Slot> slots_;
    size_t mask_ = 0;
};

// Index of the split midpoint of an edge, or -1 when the edge is not split this pass.
int32_t midpointOf(std::span<const uint64_t> splits, uint64_t key, int32_t firstMidpoint) {
    auto it = std::lower_bound(splits.begin(), splits.end(), key);
    return (it != splits.end() && *it == key) ? firstMidpoint + int32_t(it - splits.begin()) : -1;
}

void splitTriangle(const int32_t c[3], const int32_t m[3], std::vector<int32_t>& out) {
    auto emit = [&](int32_t a, int32_t b, int32_t d) {
        out.push_back(a);
        out.push_back(b);
        out.push_back(d);
    };
    const int split = (m[0] >= 0) + (m[1] >= 0) + (m[2] >= 0);
    if (split == 0) {
        emit(c[0], c[1], c[2]);
    } else if (split == 1) {
        const int g = m[0] >= 0 ? 0 : (m[1] >= 0 ? 1 : 2);
        emit(c[g], m[g], c[(g + 2) % 3]);
        emit(m[g], c[(g + 1) % 3], c[(g + 2) % 3]);
    } else if (split == 2) {
        const int g = m[2] < 0 ? 0 : (m[0] < 0 ? 1 : 2);
        const int h = (g + 1) % 3;
        emit(m[g], c[h], m[h]);
        emit(c[g], m[g], m[h]);
        emit(c[g], m[h], c[(g + 2) % 3]);
    } else {
        emit(c[0], m[0], m[2]);
        emit(m[0], c[1], m[1]);
        emit(m[2], m[1], c[2]);
        emit(m[0], m[1], m[2]);
    }
}

}  // namespace

void sortKeys(std::vector<uint64_t>& keys) {
    if (keys.size() < 512) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::vector<uint64_t> scratch(keys.size());
    std::vector<uint32_t> count(65536);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(count.begin(), count.end(), 0u);
        for (uint64_t k : keys) ++count[(k >> shift) & 0xffff];
        // A digit shared by every key leaves the order as it is.
        if (count[(keys[0] >> shift) & 0xffff] == keys.size()) continue;
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            const uint32_t n = c;
            c = sum;
            sum += n;
        }
        for (uint64_t k : keys) scratch[count[(k >> shift) & 0xffff]++] = k;
        keys.swap(scratch);
    }
}

std::vector<uint64_t> boundaryEdges(std::span<const int32_t> triangles) {
    std::vector<uint64_t> keys;
    keys.reserve(triangles.size());
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        keys.push_back(edgeKey(triangles[t], triangles[t + 1]));
        keys.push_back(edgeKey(triangles[t + 1], triangles[t + 2]));
        keys.push_back(edgeKey(triangles[t + 2], triangles[t]));
    }
    sortKeys(keys);
    std::vector<uint64_t> boundary;
    for (size_t i = 0; i < keys.size();) {
        size_t j = i;
        while (j < keys.size() && keys[j] == keys[i]) ++j;
        if (j - i == 1) boundary.push_back(keys[i]);
        i = j;
    }
    return boundary;
}

DetailLengths deriveLengths(const SnowSettings& s, double diag) {
    DetailLengths l;
    l.fine = std::max(float(diag * 1e-4), s.resolution);
    l.coarse = std::max(std::min(s.noiseScale * 0.2f, 6.0f * l.fine), l.fine);
    if (s.coverage < 1.0f) l.coarse = std::max(std::min(l.coarse, s.patchScale * 0.08f), l.fine);
    l.band = std::max(l.fine, s.edgeRound) * 1.5f + l.fine;
    l.lift = std::max(float(diag * 1e-5), s.depth * 0.02f);
    return l;
}

void chooseDetail(const Surface& surface, std::span<const uint64_t> boundary, int32_t maxTris, DetailLengths& lengths) {
    double boundaryLength = 0.0;
    for (uint64_t key : boundary)
        boundaryLength += length(surface.position[size_t(keyHigh(key))] - surface.position[size_t(keyLow(key))]);
    const double fine = lengths.fine, coarse = lengths.coarse;
    const double nearArea = std::min(double(lengths.band) * boundaryLength, surface.area);
    const double estimate = (surface.area - nearArea) / (kTrianglesPerArea * coarse * coarse) +
                            nearArea / (kTrianglesPerArea * fine * fine);
    if (estimate > double(maxTris)) {
        const double s = std::sqrt(estimate / double(std::max(maxTris, 1000)));
        lengths.fine = float(fine * s);
        lengths.coarse = float(coarse * s);
    }
}

void markNearEdgeAndRefine(Surface& surface, std::span<const uint64_t> boundary, const DetailLengths& lengths,
                           int32_t maxTris) {
    const NearEdgeGrid grid(surface, boundary, lengths.band);
    for (size_t i = 0; i < surface.pointCount(); ++i) surface.nearEdge[i] = grid.near(surface.position[i]);

    const bool usePaint = !surface.paint.empty();
    const float fineSq = lengths.fine * lengths.fine, coarseSq = lengths.coarse * lengths.coarse;
    const int64_t budget = 2 * int64_t(maxTris);
    std::vector<uint64_t> splits;
    std::vector<int32_t> next;
    // Points at the end of an edge split in this pass carry the pass number + 1, so an
    // edge without both ends marked skips the search for its midpoint.
    std::vector<int32_t> splitEnd(surface.pointCount(), 0);
    for (int pass = 0; pass < kMaxRefinePasses; ++pass) {
        const std::vector<int32_t>& tris = surface.triangles;
        const std::vector<V3>& pos = surface.position;
        splits.clear();
        for (size_t t = 0; t < tris.size(); t += 3) {
            const int32_t c0 = tris[t], c1 = tris[t + 1], c2 = tris[t + 2];
            const bool near =
                surface.nearEdge[size_t(c0)] | surface.nearEdge[size_t(c1)] | surface.nearEdge[size_t(c2)];
            const float target = near ? fineSq : coarseSq;
            const V3 p0 = pos[size_t(c0)], p1 = pos[size_t(c1)], p2 = pos[size_t(c2)];
            const V3 d01 = p1 - p0, d12 = p2 - p1, d20 = p0 - p2;
            const float e01 = dot(d01, d01), e12 = dot(d12, d12), e20 = dot(d20, d20);
            if (e20 > std::max({e12, e01, target}))
                splits.push_back(edgeKey(c2, c0));
            else if (e12 > std::max(e01, target))
                splits.push_back(edgeKey(c1, c2));
            else if (e01 > target)
                splits.push_back(edgeKey(c0, c1));
        }
        sortKeys(splits);
        splits.erase(std::unique(splits.begin(), splits.end()), splits.end());
        if (splits.empty()) break;
        if (budget < int64_t(surface.triangleCount()) + 2 * int64_t(splits.size())) break;

        const int32_t firstMidpoint = int32_t(surface.pointCount());
        const int32_t mark = pass + 1;
        for (uint64_t key : splits) {
            const size_t a = size_t(keyLow(key)), b = size_t(keyHigh(key));
            splitEnd[a] = splitEnd[b] = mark;
            const V3 p = (surface.position[a] + surface.position[b]) * 0.5f;
            surface.position.push_back(p);
            surface.normal.push_back(normalize(surface.normal[a] + surface.normal[b]));
            surface.slopeWeight.push_back((surface.slopeWeight[a] + surface.slopeWeight[b]) * 0.5f);
            if (usePaint) surface.paint.push_back((surface.paint[a] + surface.paint[b]) * 0.5f);
            surface.nearEdge.push_back(grid.near(p));
        }

        splitEnd.resize(surface.pointCount(), 0);
        next.clear();
        next.reserve(tris.size() + splits.size() * 6);
        auto midpoint = [&](int32_t a, int32_t b) {
            if (splitEnd[size_t(a)] != mark || splitEnd[size_t(b)] != mark) return -1;
            return midpointOf(splits, edgeKey(a, b), firstMidpoint);
        };
        for (size_t t = 0; t < tris.size(); t += 3) {
            const int32_t c[3] = {tris[t], tris[t + 1], tris[t + 2]};
            const int32_t m[3] = {midpoint(c[0], c[1]), midpoint(c[1], c[2]), midpoint(c[2], c[0])};
            splitTriangle(c, m, next);
        }
        surface.triangles.swap(next);
    }
}

Adjacency buildAdjacency(std::span<const int32_t> triangles, size_t pointCount) {
    std::vector<uint64_t> keys;
    keys.reserve(triangles.size());
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        keys.push_back(edgeKey(triangles[t], triangles[t + 1]));
        keys.push_back(edgeKey(triangles[t + 1], triangles[t + 2]));
        keys.push_back(edgeKey(triangles[t + 2], triangles[t]));
    }
    sortKeys(keys);
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return adjacencyFromKeys(keys, pointCount);
}

Adjacency adjacencyFromKeys(std::span<const uint64_t> keys, size_t pointCount) {
    Adjacency adj;
    adj.offsets.assign(pointCount + 1, 0);
    for (uint64_t k : keys) ++adj.offsets[size_t(keyLow(k)) + 1], ++adj.offsets[size_t(keyHigh(k)) + 1];
    for (size_t i = 0; i < pointCount; ++i) adj.offsets[i + 1] += adj.offsets[i];
    adj.neighbours.resize(adj.offsets[pointCount]);
    std::vector<uint32_t> fill(adj.offsets.begin(), adj.offsets.end() - 1);
    for (uint64_t k : keys) {
        adj.neighbours[fill[size_t(keyLow(k))]++] = keyHigh(k);
        adj.neighbours[fill[size_t(keyHigh(k))]++] = keyLow(k);
    }
    return adj;
}

}  // namespace wx::snow
