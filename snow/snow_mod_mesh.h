// Mesh work of the snow modifier: re-winding a mirrored mesh, the painted snow weights,
// the highest material id, the mesh as the builder's flat arrays, and writing a snow shell
// into a mesh with its smoothing groups, material index and map channels.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "max/mesh.h"
#include "snow/snow_types.h"

namespace wx {

// Reverses every face (corners 1 and 2 swap, with their edge flags, map faces and
// specified-normal corners), so a mirrored mesh faces the way it looks.
void reverseWinding(Mesh& mesh);

// One weight per vertex from the map channel's colours ((r + g + b) / 3, clamped to 0..1,
// averaged over the corners that use the vertex; 1 for an unused vertex). Empty when the
// channel is missing or its face count differs from the mesh's.
std::vector<float> paintWeights(const Mesh& mesh, int channel);

// 1 + the largest 0-based material index among the faces; 1 without faces.
int highestMaterialID(const Mesh& mesh);

// The mesh as the builder's arrays: its vertices, three indices per face (faces with a
// corner past the vertex array are left out) and, when `excluded` names material ids
// (1-based) that get no snow, a 0/1 mask per kept face; otherwise the mask stays empty.
void flattenMesh(const Mesh& mesh, std::span<const int> excluded, std::vector<V3>& positions,
                 std::vector<int32_t>& indices, std::vector<uint8_t>& mask);

// Appends the shell (or replaces the mesh with it when snowOnly). Its faces get smoothing
// groups by kind, the material index snowMatIndex and no visible edges; map channel 1
// carries the shell's UVs and every other channel one (1, 1, 1) vertex.
void writeSnowShell(Mesh& mesh, const SnowShell& shell, bool snowOnly, MtlID snowMatIndex);

}  // namespace wx
