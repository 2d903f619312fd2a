// The one CUDA launcher: runs body(i) for every i in [0, count), one device thread per
// item, in blocks of blockSize threads and ceil(count / blockSize) blocks. The body is a
// functor of plain data marked WX_HOSTDEV (common/hostdev.h) taking the item index as an
// int, so the same functor runs on the CPU through forEachCpu (gpu/for_each_cpu.h): a
// kernel body is written once. The call blocks until the kernel has finished and reports
// the kernel's device time (CUDA events around the launch) or the CUDA error text with
// the kernel's name. It never throws, and it clears CUDA's last-error state on failure
// so that the next call starts clean. Bodies are functors rather than lambdas, which
// would need nvcc's --extended-lambda. Host side only; include from .cu files.
#pragma once

#include <cuda_runtime.h>

#include <cstdint>
#include <string>

#include "gpu/launch.h"

namespace wx {

template <class Body>
__global__ void forEachKernel(int count, Body body) {
    const int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= count) return;
    body(i);
}

namespace launchdetail {

inline LaunchReport failed(const char* kernelName, cudaError_t error) {
    cudaGetLastError();  // clear it, so the next launch is not blamed for this one
    LaunchReport report;
    report.error = std::string(kernelName) + ": " + cudaGetErrorString(error);
    return report;
}

// Two events around the launch, released whatever happens.
struct EventPair {
    cudaEvent_t start = nullptr, stop = nullptr;
    ~EventPair() {
        if (start) cudaEventDestroy(start);
        if (stop) cudaEventDestroy(stop);
    }
};

}  // namespace launchdetail

template <class Body>
LaunchReport launchForEach(const char* kernelName, int count, int blockSize, const Body& body) {
    if (count < 0 || blockSize < 1) {
        LaunchReport report;
        report.error = std::string(kernelName) + ": count " + std::to_string(count) + " and block size " +
                       std::to_string(blockSize) + " make no launch";
        return report;
    }
    if (count == 0) return LaunchReport{true, 0.0f, {}};

    launchdetail::EventPair events;
    cudaError_t status = cudaEventCreate(&events.start);
    if (status == cudaSuccess) status = cudaEventCreate(&events.stop);
    if (status == cudaSuccess) status = cudaEventRecord(events.start);
    if (status != cudaSuccess) return launchdetail::failed(kernelName, status);

    const dim3 block{unsigned(blockSize)}, grid{unsigned((int64_t(count) + blockSize - 1) / blockSize)};
    forEachKernel<Body><<<grid, block>>>(count, body);
    status = cudaGetLastError();  // a launch refused outright (bad configuration, no device)
    if (status == cudaSuccess) status = cudaEventRecord(events.stop);
    if (status == cudaSuccess) status = cudaDeviceSynchronize();  // a fault while it ran
    if (status != cudaSuccess) return launchdetail::failed(kernelName, status);

    LaunchReport report{true, 0.0f, {}};
    if (cudaEventElapsedTime(&report.kernelMs, events.start, events.stop) != cudaSuccess) {
        cudaGetLastError();  // the kernel ran; only its timing is lost
        report.kernelMs = -1.0f;
    }
    return report;
}

}  // namespace wx
