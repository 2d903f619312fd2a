// The CUDA backend of the splat renderer: the five kernels of splat/ as __global__
// wrappers around the bodies the thread pool runs, lamps in the constant table cLightRaw,
// and the host sequence that moves a job to the device and the image back. Built with
// fast single-precision maths, so the image agrees with the CPU's to a tolerance, not to
// the bit. Every device buffer is released on every path (DeviceBuffers' destructor).
#include <cuda_runtime.h>

#include <chrono>
#include <cstdio>

#include "splat/splat_fall.h"
#include "splat/splat_finish.h"
#include "splat/splat_raster.h"
#include "splat/splat_render.h"

namespace wx {

// The lamp table: kMaxSplatLamps LampRaw records of 7 floats. Held as plain floats because
// V3's member initialisers would make a LampRaw array a dynamically initialised symbol.
__constant__ float cLightRaw[kMaxSplatLamps * 7];

namespace {

__device__ inline long long threadItem() {
    return (long long)blockIdx.x * (long long)blockDim.x + (long long)threadIdx.x;
}

__device__ inline const LampRaw* lampTable() {
    return reinterpret_cast<const LampRaw*>(cLightRaw);
}

}  // namespace

__global__ void clearDepth(float* depth, long long n) {
    clearDepth(depth, n, threadItem());
}

__global__ void sceneRaster(const float* tris, long long triCount, CamDev cam, float* depth) {
    sceneRaster(tris, triCount, cam, depth, threadItem());
}

__global__ void splatFall(SplatDev s, long long count, float* accum) {
    splatFall(s, count, accum, lampTable(), threadItem());
}

__global__ void splatDrips(SplatDev s, const float* edges, const float* cumLength, int edgeCount, long long dripCount,
                           float rate, float* accum) {
    splatDrips(s, edges, cumLength, edgeCount, dripCount, rate, accum, lampTable(), threadItem());
}

__global__ void finish(const float* accum, const float* background, const float* depth, int pixelCount,
                       float brightness, float fogDensity, V3 fogColor, float fogFar, float* out, CamDev cam,
                       int lampCount, float lampGlow) {
    finish(accum, background, depth, pixelCount, brightness, fogDensity, fogColor, fogFar, out, cam, lampCount,
           lampGlow, lampTable(), threadItem());
}

namespace {

constexpr int kClearBlock = 256, kRasterBlock = 128, kFallBlock = 256, kDripBlock = 256, kFinishBlock = 256;

// Every allocation of one render, freed together whatever path the render leaves by.
struct DeviceBuffers {
    float *accum = nullptr, *out = nullptr, *depth = nullptr, *tris = nullptr, *background = nullptr;
    TornadoFrame* tornado = nullptr;
    BVHNode* nodes = nullptr;
    BVHTri* bvhTris = nullptr;
    float *edges = nullptr, *cum = nullptr;
    ~DeviceBuffers() {
        for (void* p : {(void*)accum, (void*)out, (void*)depth, (void*)tris, (void*)background, (void*)tornado,
                        (void*)nodes, (void*)bvhTris, (void*)edges, (void*)cum})
            if (p) cudaFree(p);
        cudaGetLastError();
    }
};

template <class T>
cudaError_t upload(T*& device, const void* host, size_t bytes) {
    cudaError_t status = cudaMalloc(reinterpret_cast<void**>(&device), bytes == 0 ? 1 : bytes);
    if (status != cudaSuccess) {
        device = nullptr;
        return status;
    }
    return cudaMemcpy(device, host, bytes, cudaMemcpyHostToDevice);
}

unsigned blocksFor(long long items, int block) {
    return unsigned((items + block - 1) / block);
}

}  // namespace

bool splatGpuCompiled() {
    return true;
}

bool renderFallOnGpu(const FallRenderJob& job, std::vector<float>& outImage, double& outSeconds,
                     std::string& outError) {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                          .count()) /
               1e9;
    };
    auto fail = [&](const std::string& text) {
        outError = clipRenderError(text);
        outSeconds = elapsed();
        return false;
    };
    int devices = 0;
    if (cudaGetDeviceCount(&devices) != cudaSuccess || devices < 1) {
        cudaGetLastError();
        return fail(kNoCudaGpuText);
    }
    if (std::string why = checkFallRenderJob(job); !why.empty()) return fail("GPU render refused: " + why);
    // One block per 256 items in a 1-D grid of at most 2^31 - 1 blocks.
    if (job.count / kFallBlock >= 0x7FFFFFFFLL || job.dripCount / kDripBlock >= 0x7FFFFFFFLL ||
        job.sceneTriCount / kRasterBlock >= 0x7FFFFFFFLL)
        return fail("GPU render refused: more particles, drips or triangles than one launch counts");

    DeviceBuffers d;
    auto failed = [&](cudaError_t status) {
        std::string text = std::string("GPU render failed: ") + cudaGetErrorString(status);
        cudaGetLastError();
        return fail(text);
    };
    const long long n = (long long)job.imageWidth * job.imageHeight;
    const size_t imageBytes = size_t(n) * 4 * sizeof(float);
    cudaError_t status = cudaMalloc(reinterpret_cast<void**>(&d.accum), imageBytes);
    if (status == cudaSuccess) status = cudaMalloc(reinterpret_cast<void**>(&d.out), imageBytes);
    if (status == cudaSuccess) status = cudaMemset(d.accum, 0, imageBytes);
    if (status != cudaSuccess) return failed(status);

    SplatDev s = makeSplatDev(job);
    const bool rasterScene = job.sceneTris && job.sceneTriCount > 0;
    if (job.depth || rasterScene) {
        if (job.depth)
            status = upload(d.depth, job.depth, size_t(n) * sizeof(float));
        else
            status = cudaMalloc(reinterpret_cast<void**>(&d.depth), size_t(n) * sizeof(float));
        if (status != cudaSuccess) return failed(status);
        if (rasterScene) {
            status = upload(d.tris, job.sceneTris, size_t(job.sceneTriCount) * 9 * sizeof(float));
            if (status != cudaSuccess) return failed(status);
        }
        if (!job.depth) clearDepth<<<blocksFor(n, kClearBlock), kClearBlock>>>(d.depth, n);
        if (rasterScene)
            sceneRaster<<<blocksFor(job.sceneTriCount, kRasterBlock), kRasterBlock>>>(d.tris, job.sceneTriCount,
                                                                                      job.cam, d.depth);
    }
    s.depth = d.depth;

    if (job.background) {
        status = upload(d.background, job.background, imageBytes);
        if (status != cudaSuccess) return failed(status);
    }

    if (s.lampCount > 0) {
        status = cudaMemcpyToSymbol(cLightRaw, job.lamps.data(), size_t(s.lampCount) * sizeof(LampRaw), 0);
        if (status != cudaSuccess) return failed(status);
    }

    // The scene to stop at and the tornado: a failed copy drops only that feature.
    if (job.collide && job.sceneBvh && !job.sceneBvh->nodes.empty()) {
        const ShelterBVH& bvh = *job.sceneBvh;
        if (upload(d.nodes, bvh.nodes.data(), bvh.nodes.size() * sizeof(BVHNode)) == cudaSuccess &&
            upload(d.bvhTris, bvh.tris.data(), bvh.tris.size() * sizeof(BVHTri)) == cudaSuccess) {
            s.bvhNodes = d.nodes;
            s.bvhTris = d.bvhTris;
            s.bvhNodeCount = int32_t(bvh.nodes.size());
            s.bvhTriCount = int32_t(bvh.tris.size());
            s.bvhPresent = 1;
        } else {
            cudaGetLastError();
        }
    }
    s.tornado.frames = nullptr;
    if (job.tornado.frames && job.tornado.frameCount > 0) {
        if (upload(d.tornado, job.tornado.frames, size_t(job.tornado.frameCount) * sizeof(TornadoFrame)) == cudaSuccess)
            s.tornado.frames = d.tornado;
        else
            cudaGetLastError();
    }

    if (job.count > 0) splatFall<<<blocksFor(job.count, kFallBlock), kFallBlock>>>(s, job.count, d.accum);

    const int edgeCount = dripEdgeCount(job);
    if (job.type == kSplatRain && job.dripCount > 0 && edgeCount > 0) {
        status = upload(d.edges, job.dripEdges.data(), size_t(edgeCount) * 6 * sizeof(float));
        if (status == cudaSuccess) status = upload(d.cum, job.dripCumLength.data(), size_t(edgeCount) * sizeof(float));
        if (status != cudaSuccess) return failed(status);
        splatDrips<<<blocksFor(job.dripCount, kDripBlock), kDripBlock>>>(s, d.edges, d.cum, edgeCount, job.dripCount,
                                                                         job.dripRate, d.accum);
    }

    finish<<<blocksFor(n, kFinishBlock), kFinishBlock>>>(d.accum, d.background, d.depth, int(n), job.brightness,
                                                         job.fogDensity, job.fogColor, job.fogFar, d.out, job.cam,
                                                         s.lampCount, job.lampGlow);

    status = cudaGetLastError();
    if (status == cudaSuccess) status = cudaDeviceSynchronize();
    if (status != cudaSuccess) return failed(status);
    std::vector<float> host(size_t(n) * 4);
    status = cudaMemcpy(host.data(), d.out, imageBytes, cudaMemcpyDeviceToHost);
    if (status != cudaSuccess) return failed(status);
    outImage.swap(host);
    outSeconds = elapsed();
    return true;
}

}  // namespace wx
