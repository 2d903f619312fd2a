// The Weather Map on the CPU against a captured shelter scene: the probe's rays are
// any-hit queries on the scene's wide hierarchy, which answer exactly as castRay on the
// binary tree does, so these give the reference formulas' values. A missing hierarchy, or
// one without a triangle, means no probe (open sky). The hierarchy is only read: any
// number of shading threads may call these at once while the caller keeps it alive.
#pragma once

#include "shelter/bvh.h"
#include "shelter/wide_bvh.h"
#include "weathermap/map_state.h"

namespace wx {

// The probe's tracer over the wide hierarchy (shelter/sky_visibility.h's Tracer).
struct WideTracer {
    const WideBVH* wide;
    bool occluded(V3 origin, V3 dir, float maxDist) const { return occludedWide(*wide, origin, dir, maxDist); }
    float cast(V3 origin, V3 dir, float maxDist) const { return castRayWide(*wide, origin, dir, maxDist); }
};

// EvalMono's value for one sample, probing shelter when the map's mode and settings ask.
float mapMonoCpu(const MapState& state, const MapSample& sample, const ShelterBVH* shelter);

}  // namespace wx
