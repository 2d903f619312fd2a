// The CUDA backend of the particle field: FallWorldKernel run through the generic
// launcher into one device buffer, copied back and freed before returning.
#include <cuda_runtime.h>

#include <cstdint>
#include <string>

#include "gpu/fall_gpu.h"
#include "gpu/fall_kernel.h"
#include "gpu/launch.cuh"

namespace wx {

bool fallGpuCompiled() {
    return true;
}

bool fallWorldGpu(const FallParams& params, float t, const FallMatrix& matrix, std::vector<FallParticle>& out,
                  LaunchReport* report) {
    auto decline = [&](const std::string& why) {
        if (report) *report = LaunchReport{false, 0.0f, "FallWorldKernel: " + why};
        return false;
    };
    if (params.count < 1) return decline("no particles");
    if (params.count > INT32_MAX) return decline("more particles than a launch counts");  // the body takes an int
    int devices = 0;
    if (cudaGetDeviceCount(&devices) != cudaSuccess || devices < 1) {
        cudaGetLastError();
        return decline("no CUDA device");
    }

    const size_t n = size_t(params.count);
    FallParticle* device = nullptr;
    cudaError_t status = cudaMalloc(reinterpret_cast<void**>(&device), n * sizeof(FallParticle));
    if (status != cudaSuccess) {
        cudaGetLastError();
        return decline(cudaGetErrorString(status));
    }
    const LaunchReport launched =
        launchForEach("FallWorldKernel", int(n), kFallKernelBlock, FallWorldKernel{params, matrix, t, device});
    if (!launched.ok) {
        cudaFree(device);
        if (report) *report = launched;
        return false;
    }
    std::vector<FallParticle> host(n);
    status = cudaMemcpy(host.data(), device, n * sizeof(FallParticle), cudaMemcpyDeviceToHost);
    cudaFree(device);
    if (status != cudaSuccess) {
        cudaGetLastError();
        return decline(cudaGetErrorString(status));
    }
    out.swap(host);
    if (report) *report = launched;
    return true;
}

}  // namespace wx
