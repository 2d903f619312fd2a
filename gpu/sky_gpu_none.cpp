// The GPU entry point of a build without a CUDA compiler: it always declines.
#include "gpu/sky_gpu.h"

namespace wx {

bool skyVisibilityGpu(const ShelterBVH&, std::span<const V3>, std::span<const V3>, const SkyParams&,
                      std::vector<SkyResult>&, LaunchReport* report) {
    if (report) *report = LaunchReport{false, 0.0f, "this build has no CUDA backend"};
    return false;
}

bool skyGpuCompiled() { return false; }
uint64_t skyGpuDeviceAttempts() { return 0; }
uint64_t skyGpuUploads() { return 0; }

}  // namespace wx
