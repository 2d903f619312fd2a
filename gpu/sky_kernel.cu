// The CUDA backend of the shelter measurement: the kernel (skyVisibility per point, the
// CPU's own inline function compiled for the device) and its host-side launcher with
// the device-resident hierarchy cache. Built with fast single-precision maths, so
// results may differ from the CPU's in the last bits.
#include <cuda_runtime.h>

#include <atomic>
#include <mutex>

#include "gpu/sky_gpu.h"

namespace wx {

__global__ void SkyKernel(BVHView view, const V3* points, const V3* normals, int count, SkyParams params,
                          SkyResult* results) {
    const int i = blockIdx.x * blockDim.x + threadIdx.x;
    if (i >= count) return;
    results[i] = skyVisibility(view, points[i], normals[i], static_cast<uint32_t>(i), params);
}

namespace {

// The device copy of one hierarchy and what it was uploaded from. The build serial
// tells apart two hierarchies built into the same storage whose sampled nodes and
// triangles agree (an occluder moved in the middle of a large scene).
struct DeviceHierarchy {
    BVHNode* nodes = nullptr;
    BVHTri* tris = nullptr;
    const void* hostNodes = nullptr;
    int32_t nodeCount = 0, triCount = 0;
    uint64_t fingerprint = 0, buildSerial = 0;
    bool valid = false;

    void release() {
        if (nodes) cudaFree(nodes);
        if (tris) cudaFree(tris);
        *this = DeviceHierarchy{};
    }
};

std::mutex gGpuMutex;
DeviceHierarchy gCache;
std::atomic<uint64_t> gAttempts{0}, gUploads{0};

template <class T>
bool deviceAlloc(T*& p, size_t bytes) {
    void* raw = nullptr;
    if (cudaMalloc(&raw, bytes == 0 ? 1 : bytes) != cudaSuccess) return false;
    p = static_cast<T*>(raw);
    return true;
}

}  // namespace

bool skyGpuCompiled() { return true; }
uint64_t skyGpuDeviceAttempts() { return gAttempts.load(); }
uint64_t skyGpuUploads() { return gUploads.load(); }

bool skyVisibilityGpu(const ShelterBVH& bvh, std::span<const V3> points, std::span<const V3> normals,
                      const SkyParams& params, std::vector<SkyResult>& results) {
    const uint64_t n = points.size();
    if (n == 0 || bvh.nodes.empty() || normals.size() != n) return false;
    if (n * uint64_t(params.rays > 0 ? params.rays : 0) < kGpuMinRays) return false;
    if (n > uint64_t(INT32_MAX)) return false;  // the kernel counts points in an int

    std::lock_guard<std::mutex> lock(gGpuMutex);
    ++gAttempts;
    int devices = 0;
    if (cudaGetDeviceCount(&devices) != cudaSuccess || devices < 1) {
        cudaGetLastError();
        return false;
    }

    const uint64_t fingerprint = bvhFingerprint(bvh);
    const int32_t nodeCount = int32_t(bvh.nodes.size()), triCount = int32_t(bvh.tris.size());
    const bool cacheValid = gCache.valid && gCache.hostNodes == bvh.nodes.data() && gCache.nodeCount == nodeCount &&
                            gCache.triCount == triCount && gCache.fingerprint == fingerprint &&
                            gCache.buildSerial == bvh.buildSerial;
    if (!cacheValid) gCache.release();

    const size_t nodeBytes = bvh.nodes.size() * sizeof(BVHNode), triBytes = bvh.tris.size() * sizeof(BVHTri);
    size_t freeBytes = 0, totalBytes = 0;
    if (cudaMemGetInfo(&freeBytes, &totalBytes) != cudaSuccess) {
        cudaGetLastError();
        return false;
    }
    const uint64_t required = (cacheValid ? 0 : nodeBytes + triBytes) + 32 * n + kGpuReserveBytes;
    if (freeBytes < required) return false;

    if (!cacheValid) {
        DeviceHierarchy fresh;
        bool ok = deviceAlloc(fresh.nodes, nodeBytes) && deviceAlloc(fresh.tris, triBytes) &&
                  cudaMemcpy(fresh.nodes, bvh.nodes.data(), nodeBytes, cudaMemcpyHostToDevice) == cudaSuccess &&
                  cudaMemcpy(fresh.tris, bvh.tris.data(), triBytes, cudaMemcpyHostToDevice) == cudaSuccess;
        if (!ok) {
            fresh.release();
            cudaGetLastError();
            return false;
        }
        fresh.hostNodes = bvh.nodes.data();
        fresh.nodeCount = nodeCount;
        fresh.triCount = triCount;
        fresh.fingerprint = fingerprint;
        fresh.buildSerial = bvh.buildSerial;
        fresh.valid = true;
        gCache = fresh;
        ++gUploads;
    }

    V3 *dPoints = nullptr, *dNormals = nullptr;
    SkyResult* dResults = nullptr;
    auto freeCall = [&] {
        if (dPoints) cudaFree(dPoints);
        if (dNormals) cudaFree(dNormals);
        if (dResults) cudaFree(dResults);
    };
    bool ok = deviceAlloc(dPoints, 12 * n) && deviceAlloc(dNormals, 12 * n) && deviceAlloc(dResults, 8 * n) &&
              cudaMemcpy(dPoints, points.data(), 12 * n, cudaMemcpyHostToDevice) == cudaSuccess &&
              cudaMemcpy(dNormals, normals.data(), 12 * n, cudaMemcpyHostToDevice) == cudaSuccess;
    if (!ok) {
        freeCall();
        gCache.release();
        cudaGetLastError();
        return false;
    }

    BVHView view{gCache.nodes, gCache.tris, nodeCount, triCount};
    int count = int(n);
    SkyParams p = params;
    void* args[] = {&view, &dPoints, &dNormals, &count, &p, &dResults};
    const dim3 block(kSkyKernelBlock), grid(unsigned((n + kSkyKernelBlock - 1) / kSkyKernelBlock));
    cudaError_t launched = cudaLaunchKernel(reinterpret_cast<const void*>(&SkyKernel), grid, block, args, 0, nullptr);
    if (launched == cudaSuccess && cudaGetLastError() == cudaSuccess && cudaDeviceSynchronize() == cudaSuccess) {
        results.resize(n);
        const bool copied = cudaMemcpy(results.data(), dResults, 8 * n, cudaMemcpyDeviceToHost) == cudaSuccess;
        freeCall();
        if (!copied) {
            gCache.release();
            results.clear();
        }
        cudaGetLastError();
        return copied;
    }
    freeCall();
    gCache.release();
    cudaGetLastError();
    return false;
}

}  // namespace wx
