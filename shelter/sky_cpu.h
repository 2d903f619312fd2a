// Sky visibility for many points on the CPU thread pool: the same answers as calling
// skyVisibility point by point, found faster on the hierarchy's tracing tree. The cone
// rays only ask whether anything lies closer than maxDist, so they stop at the first
// hit, and a point's cone rays are traced together as one fan; points are visited in
// Morton order so that neighbouring queries share the cache, while every result is
// written at its own index.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "shelter/bvh.h"
#include "shelter/sky_visibility.h"
#include "shelter/wide_bvh.h"

namespace wx {

// skyVisibility(bvh, position, normal, index, params) for one point on the tracing tree, its
// cone rays traced together as fans: the same answers, for callers that measure one point
// at a time (the Weather Map's probe).
SkyResult skyVisibilityFans(const WideBVH& wide, V3 position, V3 normal, uint32_t index, const SkyParams& params);

// Indices of the points sorted along a Morton curve over their bounding box.
std::vector<uint32_t> mortonOrder(std::span<const V3> positions);

// results[i] = skyVisibility(bvh, positions[i], normals[i], i, params) for every i. The
// three arrays have one entry per point (std::logic_error otherwise, see common/check.h).
// Throws what parallelFor throws when a worker cannot start.
void measureSkyCpu(const ShelterBVH& bvh, std::span<const V3> positions, std::span<const V3> normals,
                   const SkyParams& params, std::span<SkyResult> results);

}  // namespace wx
