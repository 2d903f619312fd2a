// Value noise on the integer lattice, and its fractal sum, shared by the snow builder
// (patches, street level, bumps) and the Weather Map. Corner values come from hash32 of
// the lattice cell, so results are pure functions of (point, seed): thread-safe and
// identical on every thread count. Output range of both is [-1, 1). Inline and WX_HOSTDEV,
// so that kernel bodies on the GPU get the CPU's lattice.
#pragma once

#include <cstdint>

#include "common/float_bits.h"
#include "common/hash.h"
#include "common/hostdev.h"
#include "common/v3.h"

namespace wx {
namespace noisedetail {

// Lattice coordinate as the hash sees it: the cell index wrapped to 32 bits (see
// wrapToU32: NaN and infinities are cell 0 with no fraction).
struct Cell {
    uint32_t index;
    float fraction;
};

WX_HOSTDEV inline Cell cellOf(float v) {
    if (!isFiniteBits(v)) return {0u, 0.0f};
    const float f = floorf(v);
    return {wrapToU32(f), v - f};
}

WX_HOSTDEV inline float fade(float f) { return f * f * f * (f * (f * 6.0f - 15.0f) + 10.0f); }

WX_HOSTDEV inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace noisedetail

// Trilinear value noise with the quintic fade f^3 (f (6 f - 15) + 10); one unit per cell.
WX_HOSTDEV inline float valueNoise3(V3 p, int32_t seed) {
    using namespace noisedetail;
    const Cell cx = cellOf(p.x), cy = cellOf(p.y), cz = cellOf(p.z);
    const float fx = fade(cx.fraction), fy = fade(cy.fraction), fz = fade(cz.fraction);
    const uint32_t s = uint32_t(seed) * 0x9E3779B9u;
    float corner[8];
    for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t dx = k & 1u, dy = (k >> 1) & 1u, dz = k >> 2;
        uint32_t h =
            ((cy.index + dy) * 0xD8163841u) ^ ((cz.index + dz) * 0xCB1AB31Fu) ^ ((cx.index + dx) * 0x8DA6B343u) ^ s;
        h = hash32(h);
        corner[k] = float(h >> 8) * (1.0f / 8388608.0f) - 1.0f;
    }
    const float x0 = lerp(corner[0], corner[1], fx), x1 = lerp(corner[2], corner[3], fx);
    const float x2 = lerp(corner[4], corner[5], fx), x3 = lerp(corner[6], corner[7], fx);
    const float y0 = lerp(x0, x1, fy), y1 = lerp(x2, x3, fy);
    return lerp(y0, y1, fz);
}

// Sum of `octaves` value-noise octaves (amplitude 0.5, halved each octave; frequency x2.03;
// seed +101 each octave), normalised by the summed amplitudes. 0 when octaves < 1.
WX_HOSTDEV inline float fbmNoise(V3 p, int octaves, int32_t seed) {
    if (octaves < 1) return 0.0f;
    float sum = 0.0f, weight = 0.0f, amplitude = 0.5f;
    uint32_t octaveSeed = uint32_t(seed);
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise3(p, int32_t(octaveSeed));
        weight += amplitude;
        p = p * 2.03f;
        octaveSeed += 101u;
        amplitude *= 0.5f;
    }
    return sum / weight;
}

}  // namespace wx
