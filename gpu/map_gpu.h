// The Weather Map's samples shaded on an NVIDIA GPU, one device thread each
// (MapShadeKernel), without the shelter probe. Built with fast maths, so the values agree
// with the CPU's to a tolerance, not to the bit. It declines (returns false, computing
// nothing) when there is nothing to do, no device, or on any failure; the caller then
// shades on the CPU. A build without a CUDA compiler has the same entry point, which
// always declines. Blocks until the results are back; every device buffer is freed
// before it returns.
#pragma once

#include <span>
#include <vector>

#include "common/v3.h"
#include "gpu/launch.h"
#include "weathermap/map_state.h"

namespace wx {

constexpr int kMapKernelBlock = 256;  // threads per block

// On true, mono and perturb hold one entry per sample. A report, when asked for, gets the
// kernel's device time, or why the device was not used or failed.
bool mapShadeGpu(const MapState& state, std::span<const MapSample> samples, std::vector<float>& mono,
                 std::vector<V3>& perturb, LaunchReport* report = nullptr);

}  // namespace wx
