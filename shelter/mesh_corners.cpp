#include "shelter/mesh_corners.h"

#include <algorithm>
#include <atomic>

#include "common/parallel_for.h"
#include "shelter/bvh.h"

namespace wx {
namespace {

// Meshes rising in both triangles and vertices, each base the sum of the counts before it.
bool meshesInOrder(const MeshCorners& record) {
    uint64_t base = 0;
    uint32_t first = 0;
    for (const MeshSpan& m : record.meshes) {
        if (m.vertexBase != base || m.firstTriangle < first) return false;
        base += m.vertexCount;
        first = m.firstTriangle;
    }
    return base == record.vertexCount && base <= uint64_t(INT32_MAX) && record.corner.size() % 3 == 0;
}

}  // namespace

std::vector<int32_t> storedCornerVertices(const ShelterBVH& bvh) {
    const MeshCorners* record = bvh.meshCorners.get();
    if (!record || bvh.source.size() != bvh.tris.size() || record->meshes.empty() || !meshesInOrder(*record)) return {};
    const size_t soupTriangles = record->corner.size() / 3;
    const std::vector<MeshSpan>& meshes = record->meshes;
    std::vector<int32_t> out(3 * bvh.tris.size());
    std::atomic<bool> fits{true};
    constexpr size_t kBlock = 4096;
    parallelFor((bvh.tris.size() + kBlock - 1) / kBlock, [&](size_t b) {
        const size_t end = std::min(bvh.tris.size(), (b + 1) * kBlock);
        size_t m = 0;  // the mesh of the last triangle: neighbours in the hierarchy mostly share it
        for (size_t j = b * kBlock; j < end; ++j) {
            const size_t t = size_t(bvh.source[j]);
            if (t >= soupTriangles) {
                fits.store(false, std::memory_order_relaxed);
                return;
            }
            const bool inMesh =
                meshes[m].firstTriangle <= t && (m + 1 == meshes.size() || t < meshes[m + 1].firstTriangle);
            if (!inMesh) {
                auto after = std::upper_bound(meshes.begin(), meshes.end(), t,
                                              [](size_t x, const MeshSpan& s) { return x < s.firstTriangle; });
                if (after == meshes.begin()) {
                    fits.store(false, std::memory_order_relaxed);
                    return;
                }
                m = size_t(after - meshes.begin()) - 1;
            }
            for (size_t c = 0; c < 3; ++c) {
                const uint32_t local = record->corner[3 * t + c];
                if (local >= meshes[m].vertexCount) {
                    fits.store(false, std::memory_order_relaxed);
                    return;
                }
                out[3 * j + c] = int32_t(meshes[m].vertexBase + local);
            }
        }
    });
    if (!fits.load()) return {};
    return out;
}

}  // namespace wx
