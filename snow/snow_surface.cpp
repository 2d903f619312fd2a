// Which faces carry snow: weld coincident vertices, keep the faces that face up within
// the slope limit, and compact the points they use.
#include <algorithm>
#include <cmath>

#include "common/angles.h"
#include "snow/snow_work.h"

namespace wx::snow {
namespace {

// Open-addressing map from weld key to unique point; a later point with the same key
// replaces the entry, so only the newest point of a cell is found.
class WeldMap {
public:
    explicit WeldMap(size_t expected) {
        size_t capacity = 16;
        while (capacity < expected * 2) capacity *= 2;
        keys_.resize(capacity);
        values_.assign(capacity, -1);
        mask_ = capacity - 1;
    }
    // Slot of the key: either holding it or empty.
    size_t slot(uint64_t key) const {
        size_t i = size_t((key ^ (key >> 31)) * 0x9E3779B97F4A7C15ull >> 17) & mask_;
        while (values_[i] >= 0 && keys_[i] != key) i = (i + 1) & mask_;
        return i;
    }
    int32_t valueAt(size_t slot) const { return values_[slot]; }
    void set(size_t slot, uint64_t key, int32_t value) {
        keys_[slot] = key;
        values_[slot] = value;
    }

private:
    std::vector<uint64_t> keys_;
    std::vector<int32_t> values_;
    size_t mask_ = 0;
};

bool finite(V3 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

float smoothstep(float e0, float e1, float x) {
    float width = e1 - e0;
    if (width == 0.0f) width = 1e-6f;
    float t = std::clamp((x - e0) / width, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Unique point per position, -1 for a position with a non-finite coordinate: such a point
// would poison the box and every key, so its faces are skipped instead.
std::vector<int32_t> weld(std::span<const V3> positions, std::vector<V3>& unique, double& diag) {
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (V3 p : positions) {
        if (!finite(p)) continue;
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
    }
    diag = 0.0;
    if (lo[0] <= hi[0])
        diag = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                         (hi[2] - lo[2]) * (hi[2] - lo[2]));
    const double eps = std::max(1e-6, diag * 1e-6);

    std::vector<int32_t> uniqueOf(positions.size(), -1);
    unique.clear();
    WeldMap map(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        const V3 p = positions[i];
        if (!finite(p)) continue;
        // Cells hold at most diag / eps = 1e6 steps per axis, so llround stays in range.
        const uint64_t key = uint64_t(std::llround((p.x - lo[0]) / eps)) * 0x9E3779B97F4A7C15ull ^
                             uint64_t(std::llround((p.y - lo[1]) / eps)) * 0xC2B2AE3D27D4EB4Full ^
                             uint64_t(std::llround((p.z - lo[2]) / eps)) * 0x165667B19E3779F9ull;
        const size_t slot = map.slot(key);
        const int32_t found = map.valueAt(slot);
        if (found >= 0) {
            const V3 q = unique[size_t(found)];
            const double dx = double(p.x) - q.x, dy = double(p.y) - q.y, dz = double(p.z) - q.z;
            if (std::sqrt(dx * dx + dy * dy + dz * dz) <= 2.0 * eps) {
                uniqueOf[i] = found;
                continue;
            }
        }
        uniqueOf[i] = int32_t(unique.size());
        map.set(slot, key, int32_t(unique.size()));
        unique.push_back(p);
    }
    return uniqueOf;
}

}  // namespace

void selectUpFacing(std::span<const V3> positions, std::span<const int32_t> faceIndices,
                    std::span<const uint8_t> faceMask, const SnowSettings& settings, Surface& surface, double& diag,
                    int32_t& upFacing) {
    std::vector<V3> unique;
    const std::vector<int32_t> uniqueOf = weld(positions, unique, diag);

    const bool usePaint = settings.paintWeights && settings.paintWeights->size() == positions.size();
    std::vector<float> uniquePaint;
    if (usePaint) {
        uniquePaint.assign(unique.size(), 0.0f);
        for (size_t i = 0; i < positions.size(); ++i) {
            if (uniqueOf[i] >= 0) {
                float& slot = uniquePaint[size_t(uniqueOf[i])];
                slot = std::max(slot, (*settings.paintWeights)[i]);  // a NaN weight is passed over
            }
        }
    }

    const float cosMax = std::cos(radiansFromDegrees(std::min(settings.slopeMax, 89.9f)));
    const float cosSoft =
        std::cos(radiansFromDegrees(std::max(settings.slopeMax - std::max(settings.slopeSoft, 0.01f), 0.0f)));

    std::vector<V3> normalSum(unique.size());
    std::vector<float> weightSum(unique.size(), 0.0f), areaSum(unique.size(), 0.0f);
    std::vector<int32_t> kept;  // unique point triples
    const size_t faceCount = faceIndices.size() / 3;
    const int64_t positionCount = int64_t(positions.size());
    surface.area = 0.0;
    for (size_t f = 0; f < faceCount; ++f) {
        if (f < faceMask.size() && faceMask[f] == 0) continue;
        int32_t corner[3];
        bool valid = true;
        for (int k = 0; k < 3; ++k) {
            const int32_t index = faceIndices[f * 3 + size_t(k)];
            // An index outside the position array is bad input, not a crash.
            valid = valid && index >= 0 && index < positionCount && uniqueOf[size_t(index)] >= 0;
            corner[k] = valid ? uniqueOf[size_t(index)] : -1;
        }
        if (!valid || corner[0] == corner[1] || corner[1] == corner[2] || corner[2] == corner[0]) continue;
        const V3 a = unique[size_t(corner[0])], b = unique[size_t(corner[1])], c = unique[size_t(corner[2])];
        const V3 n = cross(b - a, c - a);
        const float len = length(n);
        // Finite but huge coordinates can overflow the cross product; such a face has no normal.
        if (!(len > 1e-12f) || !std::isfinite(len)) continue;
        const V3 u = n / len;
        const float w = smoothstep(cosMax, cosSoft, u.z);
        if (!(w > 0.0f && u.z > 0.0f)) continue;
        for (int k = 0; k < 3; ++k) {
            const size_t v = size_t(corner[k]);
            normalSum[v] += u * len;
            weightSum[v] += w * len;
            areaSum[v] += len;
            kept.push_back(corner[k]);
        }
        surface.area += double(len) * 0.5;
    }
    upFacing = int32_t(kept.size() / 3);

    std::vector<int32_t> compactOf(unique.size(), -1);
    surface.position.clear();
    surface.normal.clear();
    surface.slopeWeight.clear();
    surface.paint.clear();
    surface.triangles.resize(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        const size_t u = size_t(kept[i]);
        if (compactOf[u] < 0) {
            compactOf[u] = int32_t(surface.position.size());
            surface.position.push_back(unique[u]);
            surface.normal.push_back(normalize(normalSum[u]));
            surface.slopeWeight.push_back(areaSum[u] > 0.0f ? weightSum[u] / areaSum[u] : 0.0f);
            if (usePaint) surface.paint.push_back(uniquePaint[u]);
        }
        surface.triangles[i] = compactOf[u];
    }
    surface.nearEdge.assign(surface.position.size(), 0);
}

}  // namespace wx::snow
