// The particle field as a kernel body: the world state of particle i at one time, the
// reference fallWorld itself, for the CUDA launcher (one thread per particle) and for
// forEachCpu on the thread pool. Plain data only (the snapshot, the matrix, the time and
// a raw output pointer), passed to the device by value.
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "fall/fall_field.h"

namespace wx {

struct FallWorldKernel {
    FallParams params;
    FallMatrix matrix;
    float t;
    FallParticle* out;  // one record per particle

    WX_HOSTDEV void operator()(int i) const { out[i] = fallWorld(params, uint64_t(i), t, matrix); }
};

}  // namespace wx
