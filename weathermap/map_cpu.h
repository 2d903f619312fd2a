// The Weather Map on the CPU against a captured shelter scene: the probe's rays are
// any-hit queries on the scene's wide hierarchy, which answer exactly as castRay on the
// binary tree does, so these give the reference formulas' values. A missing hierarchy, or
// one without a triangle, means no probe (open sky). The hierarchy is only read: any
// number of shading threads may call these at once while the caller keeps it alive.
#pragma once

#include <cstdint>

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

// Whether no ray from origin within kProbeConeCheck radians of straight up can meet any
// box of the hierarchy: a box counts as met when its top rises above the origin and its
// plan-view rectangle comes within that cone's reach at the top's height, with a margin
// far beyond any rounding. The probe's rays lean at most 0.35 radians from up, so when
// this holds every one of them escapes.
constexpr float kProbeConeCheck = 0.4f;
bool probeConeClear(const WideBVH& wide, V3 origin);

// The wetness probe on the wide hierarchy: open sky (1) without tracing when the surface
// faces up enough that no ray is dropped (n.z >= 0.5) and the cone is clear, else the
// eight rays traced as one fan (skyVisibilityFans); either way the value
// skyVisibilityWith gives. wetnessWith calls this for the wide tracer.
float wetProbeOpen(const WideTracer& tracer, V3 p, V3 n, uint32_t index);

// EvalMono's value for one sample, probing shelter when the map's mode and settings ask.
float mapMonoCpu(const MapState& state, const MapSample& sample, const ShelterBVH* shelter);

// EvalNormalPerturb's world-space perturbation for one sample: mapPerturbWorld's bits,
// compiled for the widest vector instructions the CPU has.
V3 mapPerturbCpu(const MapState& state, const MapSample& sample);

}  // namespace wx
