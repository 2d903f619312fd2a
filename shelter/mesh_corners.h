// Where a captured scene's triangles came from: each triangle's three corners as places in
// its own mesh's vertex list, and each mesh's vertex base, so that work done per vertex (the
// drip-edge weld) runs once per distinct mesh vertex (about six triangles share one in a
// modelled mesh) rather than once per corner. The record is in soup order, the order the
// capture handed the triangles to buildBVH; ShelterBVH::source leads from the stored order
// back to it. Indices only steer the work: a consumer must give the same answer whatever
// they say, so a record that does not fit its hierarchy is simply not used.
// Immutable once made; read from any number of threads.
#pragma once

#include <cstdint>
#include <vector>

namespace wx {

struct ShelterBVH;

// One mesh's run of soup triangles, from firstTriangle up to the next mesh's first.
struct MeshSpan {
    uint32_t firstTriangle;
    uint32_t vertexBase;   // where the mesh's vertices begin in the numbering over all meshes
    uint32_t vertexCount;  // the mesh's own vertex list's length
};

struct MeshCorners {
    std::vector<uint32_t> corner;  // three per soup triangle: its corners in its mesh's vertex list
    std::vector<MeshSpan> meshes;  // in soup order, firstTriangle rising
    uint32_t vertexCount = 0;      // all meshes' vertices together

    // Appends a mesh whose triangles follow; its corners are pushed after this.
    void beginMesh(uint32_t meshVertexCount) {
        meshes.push_back({uint32_t(corner.size() / 3), vertexCount, meshVertexCount});
        vertexCount += meshVertexCount;
    }
};

// Each stored triangle's corners (3j + c for tris[j]) as vertices numbered over all meshes
// (base + index), or empty when the record does not fit the hierarchy: a count that differs
// from the soup's, an index past its mesh, meshes out of order, or more vertices than an
// int32 numbers. bvh.source must reach every soup triangle the record covers.
std::vector<int32_t> storedCornerVertices(const ShelterBVH& bvh);

}  // namespace wx
