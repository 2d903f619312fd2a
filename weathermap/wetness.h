// The two mask outputs on a surface point: puddles (in plan view, on nearly flat ground
// only) and wetness (up-facing, broken into dry patches, dry under cover, puddles
// included). Under cover is measured with the snow's sky-visibility probe through any
// tracer with occluded() and cast() (shelter/sky_visibility.h), or none. Inline and
// WX_HOSTDEV; they read only their arguments, so any thread may call them.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/noise.h"
#include "common/v3.h"
#include "shelter/sky_visibility.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"

namespace wx {

// The wetness probe: eight rays in a 0.35-radian cone straight up, lifted 0.05 units off
// the surface, unlimited length, no lee rays.
// (A function, not a constant: device code may not read a namespace-scope struct.)
WX_HOSTDEV inline SkyParams wetProbeParams() {
    return SkyParams{8, 0.35f, 1e30f, V3{0.0f, 0.0f, 1.0f}, V3{1.0f, 0.0f, 0.0f}, 0.0f, 0.05f, 11};
}

// How the wetness ray spiral turns at this point: from the position in 1/17 and 1/13 unit
// steps and the face, each wrapped to 32 bits.
WX_HOSTDEV inline uint32_t wetProbeIndex(V3 p, int32_t faceNumber) {
    return wrapToU32(p.y * 17.0f) ^ wrapToU32(p.x * 13.0f) ^ (uint32_t(faceNumber) * 7919u);
}

// The open fraction of the wetness probe's sky at p through the tracer. The wide
// tracer (map_cpu.h) has its own overload, found by the tracer's type, that traces the
// eight rays as one fan with the same answers.
template <class Tracer>
WX_HOSTDEV inline float wetProbeOpen(const Tracer& tracer, V3 p, V3 n, uint32_t index) {
    return skyVisibilityWith(tracer, p, n, index, wetProbeParams()).open;
}

// Puddle cover at p with unit normal n, in [0, 1].
WX_HOSTDEV inline float puddles(const MapState& m, V3 p, V3 n) {
    if (m.puddleAmount <= 0.0f) return 0.0f;
    // Full above flatOnly + 0.005, none below flatOnly - 0.015.
    const float lo = m.flatOnly - 0.015f;
    float width = (m.flatOnly + 0.005f) - lo;
    if (width == 0.0f) width = 1e-6f;
    const float flat = mapSmooth(clamp01((n.z - lo) / width));
    if (flat <= 0.0f) return 0.0f;

    const float scale = maxf(m.puddleScale, 1e-6f);
    const V3 q{p.x / scale, p.y / scale, 0.37f};  // plan view: the same at every height
    const float noise = fbmNoise(q, 5, int32_t(uint32_t(m.seedKey) * 31u + 7u));
    const float centre = 0.55f - 1.3f * m.puddleAmount;
    float band = 2.0f * m.puddleEdge;
    if (band == 0.0f) band = 1e-6f;
    const float t = clamp01((noise - (centre - m.puddleEdge)) / band);
    return mapSmooth(t) * flat;
}

// Wetness at p with unit normal n, in [0, 1]. probe is the captured shelter scene's
// tracer, or nullptr when there is no scene (or it holds no triangle) or when the call is
// not a shading sample; the probe then counts as open sky.
template <class Tracer>
WX_HOSTDEV inline float wetnessWith(const MapState& m, V3 p, V3 n, int32_t faceNumber, const Tracer* probe) {
    const float d = clamp01(n.z);
    const float f = clamp01((d + 0.1f) / 0.8f);
    // upFacing 1 leaves 0.04296875 of the wetness on walls and overhangs (f = 0.125).
    float g = ((mapSmooth(f) - 1.0f) * m.upFacing + 1.0f) * m.wetness;

    if (m.breakup > 0.0f) {
        const V3 q = p / maxf(m.breakupScale, 1e-6f);
        const float noise = fbmNoise(q, 4, int32_t(uint32_t(m.seedKey) * 5u + 1u));
        const float c = 1.6f * m.breakup - 1.0f;
        g *= mapSmooth(clamp01((noise - (c - 0.12f)) / 0.24f));
    }

    const float puddle = puddles(m, p, n);
    // The probe only darkens g, so it cannot change the result where the puddle already
    // wins: those samples cast no ray.
    if (m.sheltered && d > 0.05f && probe != nullptr && clamp01(g) > puddle) {
        g *= wetProbeOpen(*probe, p, n, wetProbeIndex(p, faceNumber));
    }
    return maxf(puddle, clamp01(g));
}

// Wetness without a probe: open sky everywhere.
WX_HOSTDEV inline float wetnessUnprobed(const MapState& m, V3 p, V3 n) {
    return wetnessWith<BinaryTracer>(m, p, n, 0, nullptr);
}

}  // namespace wx
