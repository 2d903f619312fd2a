// Private to the exporters: shares the corners of exported triangles. Corners whose
// position, normal and UV are the same bits become one vertex, so a smooth mesh is written
// with about a sixth of the vertices a corner-per-vertex file has, and a hard edge or a UV
// seam (corners that differ in any bit) stays split exactly where the mesh had it.
// Pure function of its input; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "export_mesh.h"

namespace host {

struct SharedCorners {
    std::vector<uint32_t> vertexCorner;  // per vertex, in first-use order: the corner it was made from
    std::vector<uint32_t> cornerVertex;  // per listed corner (3 per listed triangle): its vertex
};

// The corners of `triangles` (indices into e.faceMtl) in their listed order.
SharedCorners shareCorners(const ExportMesh& e, const std::vector<size_t>& triangles);

}  // namespace host
