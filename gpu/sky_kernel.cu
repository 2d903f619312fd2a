// The CUDA backend of the shelter measurement: SkyPointsKernel (skyVisibility per point,
// the CPU's own inline function compiled for the device) run through the generic
// launcher, with the device-resident hierarchy cache. Built with fast single-precision
// maths, so results may differ from the CPU's in the last bits.
#include <cuda_runtime.h>

#include <atomic>
#include <mutex>

#include "gpu/launch.cuh"
#include "gpu/sky_gpu.h"
#include "gpu/sky_kernel.h"

namespace wx {
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
                      const SkyParams& params, std::vector<SkyResult>& results, LaunchReport* report) {
    auto decline = [&](const char* why) {
        if (report) *report = LaunchReport{false, 0.0f, std::string("SkyKernel: ") + why};
        return false;
    };
    const uint64_t n = points.size();
    if (n == 0 || bvh.nodes.empty() || normals.size() != n) return decline("no points, no hierarchy or no normals");
    if (n * uint64_t(params.rays > 0 ? params.rays : 0) < kGpuMinRays) return decline("too few rays for the device");
    if (n > uint64_t(INT32_MAX)) return decline("more points than a launch counts");  // the kernel counts in an int

    std::lock_guard<std::mutex> lock(gGpuMutex);
    ++gAttempts;
    int devices = 0;
    if (cudaGetDeviceCount(&devices) != cudaSuccess || devices < 1) {
        cudaGetLastError();
        return decline("no CUDA device");
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
        return decline("the device's free memory is unknown");
    }
    const uint64_t required = (cacheValid ? 0 : nodeBytes + triBytes) + 32 * n + kGpuReserveBytes;
    if (freeBytes < required) return decline("too little free device memory");

    if (!cacheValid) {
        DeviceHierarchy fresh;
        bool ok = deviceAlloc(fresh.nodes, nodeBytes) && deviceAlloc(fresh.tris, triBytes) &&
                  cudaMemcpy(fresh.nodes, bvh.nodes.data(), nodeBytes, cudaMemcpyHostToDevice) == cudaSuccess &&
                  cudaMemcpy(fresh.tris, bvh.tris.data(), triBytes, cudaMemcpyHostToDevice) == cudaSuccess;
        if (!ok) {
            fresh.release();
            cudaGetLastError();
            return decline("uploading the hierarchy failed");
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
        return decline("uploading the points failed");
    }

    const SkyPointsKernel kernel{BVHView{gCache.nodes, gCache.tris, nodeCount, triCount}, dPoints, dNormals, params,
                                 dResults};
    const LaunchReport launched = launchForEach("SkyKernel", int(n), kSkyKernelBlock, kernel);
    if (launched.ok) {
        results.resize(n);
        const bool copied = cudaMemcpy(results.data(), dResults, 8 * n, cudaMemcpyDeviceToHost) == cudaSuccess;
        freeCall();
        if (!copied) {
            gCache.release();
            results.clear();
        }
        cudaGetLastError();
        if (!copied) return decline("copying the results back failed");
        if (report) *report = launched;
        return true;
    }
    freeCall();
    gCache.release();
    cudaGetLastError();
    if (report) *report = launched;
    return false;
}

}  // namespace wx
