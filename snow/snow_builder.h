// buildSnow: turns an object's world-space triangles into a snow shell on the faces that
// look up. The result is a pure function of the inputs (byte-identical on 1 or many
// threads); it keeps no state between calls. Call it from one thread per output; the
// per-point loops inside fan out through parallelFor.
#pragma once

#include <cstdint>
#include <span>

#include "common/v3.h"
#include "snow/snow_types.h"

namespace wx {

// positions: world-space vertices. faceIndices: three per triangle (a trailing partial
// face is ignored). faceMask: one byte per face, 0 forbids snow; faces past its end (or
// all faces, when it is empty) are allowed. shelter: occluders (shelter/bvh.h), or null
// for none; its rays run on the GPU when settings.useGPU and one is there, else on CPU
// threads, with the same answers.
// Faces with an index outside positions, or using a vertex with a non-finite coordinate,
// are skipped. Always returns true: an empty shell is a valid result and stats say why.
bool buildSnow(std::span<const V3> positions, std::span<const int32_t> faceIndices, std::span<const uint8_t> faceMask,
               const ShelterBVH* shelter, const SnowSettings& settings, SnowShell& shell, SnowStats& stats);

}  // namespace wx
