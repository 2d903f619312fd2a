// The particle field's GPU entry point in a build without a CUDA compiler: it always declines.
#include "gpu/fall_gpu.h"

namespace wx {

bool fallWorldGpu(const FallParams&, float, const FallMatrix&, std::vector<FallParticle>&, LaunchReport* report) {
    if (report) *report = LaunchReport{false, 0.0f, "FallWorldKernel: this build has no CUDA backend"};
    return false;
}

bool fallGpuCompiled() {
    return false;
}

}  // namespace wx
