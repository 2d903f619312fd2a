// The particle field on an NVIDIA GPU: the world state of particles 0 .. count - 1 of a
// snapshot at one time, one device thread each (FallWorldKernel). Built with fast maths,
// so it agrees with the CPU's reference to a tolerance, not to the bit. It declines
// (returns false, computing nothing) when there is nothing to do, no device, or on any
// failure; the caller then uses the CPU. A build without a CUDA compiler has the same
// entry point, which always declines. Blocks until the results are back; every device
// buffer is freed before it returns.
#pragma once

#include <vector>

#include "fall/fall_field.h"
#include "gpu/launch.h"

namespace wx {

constexpr int kFallKernelBlock = 256;  // threads per block

// out receives params.count records when true is returned. A report, when asked for,
// gets the kernel's device time, or why the device was not used or failed.
bool fallWorldGpu(const FallParams& params, float t, const FallMatrix& matrix, std::vector<FallParticle>& out,
                  LaunchReport* report = nullptr);

// Whether this build has the CUDA backend of the particle field at all.
bool fallGpuCompiled();

}  // namespace wx
