// The Weather Map's GPU entry point in a build without a CUDA compiler: it always declines.
#include "gpu/map_gpu.h"

namespace wx {

bool mapShadeGpu(const MapState&, std::span<const MapSample>, std::vector<float>&, std::vector<V3>&,
                 LaunchReport* report) {
    if (report) *report = LaunchReport{false, 0.0f, "MapShadeKernel: this build has no CUDA backend"};
    return false;
}

}  // namespace wx
