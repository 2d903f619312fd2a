// The splat renderer's GPU entry point in a build without a CUDA compiler: there is no
// device to use, so it always fails with the "no CUDA GPU" text, touching nothing.
#include <chrono>

#include "splat/splat_render.h"

namespace wx {

bool splatGpuCompiled() {
    return false;
}

bool renderFallOnGpu(const FallRenderJob&, std::vector<float>&, double& outSeconds, std::string& outError) {
    const auto start = std::chrono::steady_clock::now();
    outError = kNoCudaGpuText;
    outSeconds =
        double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count()) /
        1e9;
    return false;
}

}  // namespace wx
