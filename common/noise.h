// Value noise on the integer lattice, and its fractal sum, shared by the snow builder
// (patches, street level, bumps) and the Weather Map. Corner values come from hash32 of
// the lattice cell, so results are pure functions of (point, seed): thread-safe and
// identical on every thread count. Output range of both is [-1, 1).
#pragma once

#include <cstdint>

#include "common/v3.h"

namespace wx {

// Trilinear value noise with the quintic fade f^3 (f (6 f - 15) + 10); one unit per cell.
float valueNoise3(V3 p, int32_t seed);

// Sum of `octaves` value-noise octaves (amplitude 0.5, halved each octave; frequency x2.03;
// seed +101 each octave), normalised by the summed amplitudes. 0 when octaves < 1.
float fbmNoise(V3 p, int octaves, int32_t seed);

}  // namespace wx
