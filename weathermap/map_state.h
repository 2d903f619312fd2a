// The Weather Map's evaluation record and its shading sample, as the core formulas take
// them: plain data, no host types, copied by value into kernel bodies. The map's glue
// fills a MapState from the parameter block on the main thread (Update) and a MapSample
// per shading call; the formulas only read both, so any number of threads may share one
// MapState. Lengths are in scene units, time in seconds scaled by the animation speed.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "common/v3.h"

namespace wx {

enum class MapMode : int32_t {
    wetness = 0,  // mask
    puddles = 1,  // mask
    ripples = 2,  // bump
    glass = 3,    // bump: drops on glass
    sparkle = 4,  // mask
};

// Every value the formulas read, at the parameter block's defaults.
struct MapState {
    int32_t mode = 0;     // a MapMode; any other value shades 0
    int32_t seedKey = 2;  // seed + 1
    bool invert = false;
    bool usePaint = false;
    bool sheltered = true;
    int32_t paintChannel = 0;  // the glue reads the paint colour from it
    float animSpeed = 1.0f;

    float wetness = 1.0f;
    float upFacing = 0.7f;
    float breakup = 0.3f;
    float breakupScale = 100.0f;
    float puddleAmount = 0.3f;
    float puddleScale = 200.0f;
    float puddleEdge = 0.1f;
    float flatOnly = 0.97f;  // cosine of the steepest puddle slope
    float rippleScale = 30.0f;
    float rippleSpeed = 1.0f;  // drops per second per cell
    float rippleDensity = 1.0f;
    float dropScale = 0.4f;
    float dropSpeed = 8.0f;  // scene units per second
    float dropDensity = 1.0f;
    float sparkleDensity = 0.04f;
    float sparkleScale = 0.25f;
};

// One shading sample, everything in world space.
struct MapSample {
    V3 position;
    V3 normal;       // need not be unit length; the formulas normalise it
    V3 viewDir;      // from the eye toward the point; need not be unit length
    float s = 0.0f;  // mapSeconds of the sample's time
    int32_t faceNumber = 0;
    float paintFactor = 1.0f;  // paintFactorOf the painted colour; used only with usePaint
};

constexpr float kTicksPerSecond = 4800.0f;

// The map's animated time: host ticks to seconds, scaled by the animation speed.
WX_HOSTDEV inline float mapSeconds(int32_t ticks, float animSpeed) {
    return float(ticks) / kTicksPerSecond * animSpeed;
}

// The painted colour's weight: the mean of its three components, clamped to [0, 1]
// (NaN counts as 0).
WX_HOSTDEV inline float paintFactorOf(V3 colour) {
    const float mean = (colour.x + colour.y + colour.z) / 3.0f;
    return mean > 0.0f ? (mean < 1.0f ? mean : 1.0f) : 0.0f;
}

}  // namespace wx
