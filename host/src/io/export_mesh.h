// Private to the exporters: the evaluated scene as world-space triangle lists, one per
// exported node, with per-corner normals and UVs and a material index per triangle.
// Evaluates nodes, so main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/material.h"

class INode;

namespace host {

struct ExportMesh {
    std::wstring name;
    std::vector<Point3> corners;  // world space, scene units, 3 per triangle
    std::vector<Point3> normals;  // per corner, world space
    std::vector<Point3> uvs;      // per corner, map channel 1 (empty when the mesh has none)
    std::vector<MtlID> faceMtl;   // material index per triangle
    Mtl* mtl = nullptr;           // the node's material (may be null)
};

// Nodes that are hidden for the renderer, not renderable or without a mesh are skipped;
// with onlyNode, every other node too.
std::vector<ExportMesh> gatherExportMeshes(TimeValue t, INode* onlyNode = nullptr);

}  // namespace host
