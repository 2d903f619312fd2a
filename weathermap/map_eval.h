// One shading sample of the Weather Map: the mono value (EvalMono without the host's
// per-sample cache, which the glue keeps) and the bump's normal perturbation in world
// space (the glue converts it to the context's space). A sample whose position, normal or
// result (or, for the animated bumps, time) is not finite shades 0 before paint and
// invert, and bumps nothing: a broken sample never shows NaN. Inline and WX_HOSTDEV, so that a kernel can run a sample;
// they read only the state, the sample and the probe, so any number of threads may share them.
#pragma once

#include <cstdint>

#include "common/float_bits.h"
#include "common/hostdev.h"
#include "common/v3.h"
#include "shelter/sky_visibility.h"
#include "weathermap/glass.h"
#include "weathermap/glass_bump.h"
#include "weathermap/map_hash.h"
#include "weathermap/map_state.h"
#include "weathermap/ripple_bump.h"
#include "weathermap/ripples.h"
#include "weathermap/sparkle.h"
#include "weathermap/wetness.h"

namespace wx {

// Whether the mode is one of the two bumps.
WX_HOSTDEV inline bool mapModeIsBump(int32_t mode) {
    return mode == int32_t(MapMode::ripples) || mode == int32_t(MapMode::glass);
}

// The mode's output before clamping, paint and invert; 0 for a non-finite input or
// result, and for an unknown mode.
template <class Tracer>
WX_HOSTDEV inline float mapRawValue(const MapState& m, const MapSample& sample, const Tracer* probe) {
    if (!isFiniteV3(sample.position) || !isFiniteV3(sample.normal)) return 0.0f;
    if (mapModeIsBump(m.mode) && !isFiniteBits(sample.s)) return 0.0f;
    const V3 p = sample.position, n = normalize(sample.normal);
    float raw = 0.0f;
    switch (MapMode(m.mode)) {
        case MapMode::wetness:
            raw = wetnessWith(m, p, n, sample.faceNumber, probe);
            break;
        case MapMode::puddles:
            raw = puddles(m, p, n);
            break;
        case MapMode::ripples:
            raw = rippleHeight(m, p, n, sample.s);
            break;
        case MapMode::glass:
            raw = glassHeight(m, p, n, sample.s);
            break;
        case MapMode::sparkle:
            if (!isFiniteV3(sample.viewDir)) return 0.0f;
            raw = sparkle(m, p, normalize(sample.viewDir));
            break;
        default:
            return 0.0f;
    }
    if (!isFiniteBits(raw)) return 0.0f;
    switch (MapMode(m.mode)) {
        case MapMode::ripples:  // heights of either sign around a mid-grey 0.5
            return maxf(-1.0f, minf(1.0f, raw)) * 0.5f + 0.5f;
        case MapMode::glass:
            return minf(1.0f, raw);
        default:
            return raw;
    }
}

// The map's mono value in [0, 1]: the mode's output clamped, weighted by the painted
// colour (masks only: a bump's height is not a cover to paint away), then inverted.
template <class Tracer>
WX_HOSTDEV inline float mapMonoWith(const MapState& m, const MapSample& sample, const Tracer* probe) {
    float v = clamp01(mapRawValue(m, sample, probe));
    if (m.usePaint && !mapModeIsBump(m.mode)) v *= clamp01(sample.paintFactor);
    if (m.invert) v = 1.0f - v;
    return v;
}

// The mono value without a shelter probe.
WX_HOSTDEV inline float mapMonoUnprobed(const MapState& m, const MapSample& sample) {
    return mapMonoWith<BinaryTracer>(m, sample, nullptr);
}

// The bump's height field for modes 2 and 3.
WX_HOSTDEV inline float mapBumpHeight(const MapState& m, V3 p, V3 n, float s) {
    return m.mode == int32_t(MapMode::ripples) ? rippleHeight(m, p, n, s) : glassHeight(m, p, n, s);
}

// The normal perturbation in world space: minus the strength times the height's gradient
// in the surface's tangent plane, by central differences (the four samples sharing their
// drops); negated by invert. Zero in the mask modes, and for a non-finite
// sample or result.
WX_HOSTDEV inline V3 mapPerturbWorld(const MapState& m, const MapSample& sample) {
    if (!mapModeIsBump(m.mode)) return V3{};
    if (!isFiniteV3(sample.position) || !isFiniteV3(sample.normal) || !isFiniteBits(sample.s)) return V3{};
    const V3 p = sample.position, n = normalize(sample.normal);
    const V3 helper = fabsf(n.z) < 0.9f ? V3{0.0f, 0.0f, 1.0f} : V3{1.0f, 0.0f, 0.0f};
    const V3 t1 = normalize(cross(n, helper));
    const V3 t2 = cross(n, t1);
    const bool ripples = m.mode == int32_t(MapMode::ripples);
    const float step = ripples ? 0.01f * m.rippleScale : 0.05f * m.dropScale;
    const float strength = ripples ? 0.02f * m.rippleScale : 0.6f * m.dropScale;
    const V3 points[4] = {p + t1 * step, p - t1 * step, p + t2 * step, p - t2 * step};
    float heights[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (ripples) {
        const float flat = rippleFlatness(n);
        if (flat != 0.0f) {
            if (!rippleRingsNear(m, points, 4, sample.s, heights)) {
                for (int i = 0; i < 4; ++i) heights[i] = rippleRings(m, points[i], sample.s);
            }
            for (int i = 0; i < 4; ++i) heights[i] = heights[i] * flat;
        }
    } else if (!glassHeightsNear(m, points, 4, n, sample.s, heights)) {
        for (int i = 0; i < 4; ++i) heights[i] = glassHeight(m, points[i], n, sample.s);
    }
    const float d1 = (heights[0] - heights[1]) / (2.0f * step);
    const float d2 = (heights[2] - heights[3]) / (2.0f * step);
    V3 perturb = (t1 * d1 + t2 * d2) * -strength;
    if (!isFiniteV3(perturb)) return V3{};
    if (m.invert) perturb = -perturb;
    return perturb;
}

}  // namespace wx
