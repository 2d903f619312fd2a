// The CUDA backend of the Weather Map: MapShadeKernel run through the generic launcher
// over one device copy of the samples, the results copied back and every buffer freed
// before returning.
#include <cuda_runtime.h>

#include <cstdint>
#include <string>

#include "gpu/launch.cuh"
#include "gpu/map_gpu.h"
#include "gpu/map_kernel.h"

namespace wx {
namespace {

// Device buffers released whatever happens.
struct DeviceBuffers {
    MapSample* samples = nullptr;
    float* mono = nullptr;
    V3* perturb = nullptr;
    ~DeviceBuffers() {
        cudaFree(samples);
        cudaFree(mono);
        cudaFree(perturb);
    }
};

}  // namespace

bool mapShadeGpu(const MapState& state, std::span<const MapSample> samples, std::vector<float>& mono,
                 std::vector<V3>& perturb, LaunchReport* report) {
    auto decline = [&](const std::string& why) {
        if (report) *report = LaunchReport{false, 0.0f, "MapShadeKernel: " + why};
        return false;
    };
    auto failed = [&](cudaError_t status) {
        cudaGetLastError();
        return decline(cudaGetErrorString(status));
    };
    if (samples.empty()) return decline("no samples");
    if (samples.size() > size_t(INT32_MAX)) return decline("more samples than a launch counts");
    int devices = 0;
    if (cudaGetDeviceCount(&devices) != cudaSuccess || devices < 1) {
        cudaGetLastError();
        return decline("no CUDA device");
    }

    const size_t n = samples.size();
    DeviceBuffers device;
    cudaError_t status = cudaMalloc(reinterpret_cast<void**>(&device.samples), n * sizeof(MapSample));
    if (status == cudaSuccess) status = cudaMalloc(reinterpret_cast<void**>(&device.mono), n * sizeof(float));
    if (status == cudaSuccess) status = cudaMalloc(reinterpret_cast<void**>(&device.perturb), n * sizeof(V3));
    if (status == cudaSuccess)
        status = cudaMemcpy(device.samples, samples.data(), n * sizeof(MapSample), cudaMemcpyHostToDevice);
    if (status != cudaSuccess) return failed(status);

    const LaunchReport launched = launchForEach("MapShadeKernel", int(n), kMapKernelBlock,
                                                MapShadeKernel{state, device.samples, device.mono, device.perturb});
    if (!launched.ok) {
        if (report) *report = launched;
        return false;
    }
    std::vector<float> hostMono(n);
    std::vector<V3> hostPerturb(n);
    status = cudaMemcpy(hostMono.data(), device.mono, n * sizeof(float), cudaMemcpyDeviceToHost);
    if (status == cudaSuccess)
        status = cudaMemcpy(hostPerturb.data(), device.perturb, n * sizeof(V3), cudaMemcpyDeviceToHost);
    if (status != cudaSuccess) return failed(status);
    mono.swap(hostMono);
    perturb.swap(hostPerturb);
    if (report) *report = launched;
    return true;
}

}  // namespace wx
