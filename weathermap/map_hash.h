// The Weather Map's integer hashes and shaping curves: unsigned 32-bit arithmetic with
// wrap-around, so the same bits on every platform and on the GPU. Cells of the patterns
// are addressed by the float cell's index wrapped to 32 bits (wrapToU32), which keeps
// far-away and non-finite points defined. Pure functions, thread-safe.
#pragma once

#include <cstdint>

#include "common/float_bits.h"
#include "common/hostdev.h"
#include "weathermap/map_math.h"

namespace wx {

WX_HOSTDEV inline uint32_t mapMix(uint32_t x) {
    const uint32_t z = x * 0x7FEB352Du;
    const uint32_t y = z ^ (z >> 15);
    return y * 0x846CA68Bu;
}

WX_HOSTDEV inline uint32_t mapMix16(uint32_t x) {
    return mapMix(x ^ (x >> 16));
}

// A float in [0, 1) from 24 bits of a hash.
WX_HOSTDEV inline float mapU24(uint32_t x) {
    return float((x >> 8) ^ (x >> 24)) * (1.0f / 16777216.0f);
}

// x clamped to [0, 1]; NaN gives 0, so a broken value never reaches a mask.
WX_HOSTDEV inline float clamp01(float x) {
    return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

// (3 - 2x) x^2 for x already clamped to [0, 1].
WX_HOSTDEV inline float mapSmooth(float x) {
    return (3.0f - 2.0f * x) * (x * x);
}

// A pattern cell: its index for the hash (wrapped to 32 bits) and its corner as a float,
// which places the cell's features.
struct MapCell {
    uint32_t index;
    float corner;
};

WX_HOSTDEV inline MapCell mapCellOf(float v) {
    const float f = floorf(v);
    return {wrapToU32(f), f};
}

// Floored modulo for m > 0: the result lies in [0, m] for every finite x (m only when a
// tiny negative remainder rounds up), so negative times run the same cycle as positive.
WX_HOSTDEV inline float flooredMod(float x, float m) {
    const float r = mapFmod(x, m);
    return r < 0.0f ? r + m : r;
}

// flooredMod for |x / m| < kFmodNearQuotient, without a branch.
WX_HOSTDEV inline float flooredModNear(float x, float m) {
    const float r = mapFmodNear(x, m);
    return r < 0.0f ? r + m : r;
}

}  // namespace wx
