// The CPU's tracing tree: a binned surface-area-heuristic hierarchy over a ShelterBVH's
// triangles, collapsed to eight-wide nodes with triangles in blocks of four (WideBVH).
// It finds the same hits as the ShelterBVH's median-split tree, which stays the GPU's
// and the reference, with about half the box tests. Built in parallel on parallelFor and
// deterministic: the same tree on one thread or many. Read-only once built.
#pragma once

#include "shelter/bvh.h"
#include "shelter/wide_bvh.h"

namespace wx {

// Empties and refills wide with a tree over bvh.tris; laneTri names indices into
// bvh.tris. Each triangle's box is widened by a few units in the last place of its
// coordinates, so that no rounding in a box test can hide a triangle whose own test hits.
void buildTraceTree(const ShelterBVH& bvh, WideBVH& wide);

}  // namespace wx
