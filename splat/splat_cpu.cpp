// The thread-pool backend of the splat renderer: each kernel body run once per item by
// parallelFor, in the device's launch order. One thread adds into the accumulation buffer
// in index order, so its result is the same bits on every run; more threads add in any
// order (low bits may differ).
#include <chrono>
#include <cstring>
#include <exception>
#include <mutex>

#include "common/parallel_for.h"
#include "splat/splat_fall.h"
#include "splat/splat_finish.h"
#include "splat/splat_raster.h"
#include "splat/splat_render.h"

namespace wx {
namespace {

// Buffers that outlive a call: their pages stay mapped, so the next render of the same
// size pays no page faults.
struct CpuSplatBuffers {
    std::mutex mutex;
    std::vector<float> accum, out, depth;
};

CpuSplatBuffers& buffers() {
    static CpuSplatBuffers b;
    return b;
}

// Items per task for the particle passes: a splat costs far more than a loop step.
constexpr ParallelGrain kSplatGrain{1024, 256};

void runPasses(const FallRenderJob& job, CpuSplatBuffers& buf) {
    const size_t n = size_t(job.imageWidth) * size_t(job.imageHeight);
    buf.accum.resize(4 * n);
    std::memset(buf.accum.data(), 0, 4 * n * sizeof(float));
    buf.out.resize(4 * n);

    SplatDev s = makeSplatDev(job);
    const LampRaw* lamps = job.lamps.data();

    // Depth: the outside render's, or cleared, then the scene rasterised over it.
    const bool rasterScene = job.sceneTris && job.sceneTriCount > 0;
    float* depth = nullptr;
    if (job.depth || rasterScene) {
        buf.depth.resize(n);
        depth = buf.depth.data();
        if (job.depth)
            std::memcpy(depth, job.depth, n * sizeof(float));
        else
            parallelFor(n, [&](size_t i) { clearDepth(depth, (long long)n, (long long)i); });
    }
    if (rasterScene) {
        const CamDev cam = job.cam;
        parallelFor(
            size_t(job.sceneTriCount),
            [&](size_t i) { sceneRaster(job.sceneTris, job.sceneTriCount, cam, depth, (long long)i); },
            ParallelGrain{256, 64});
    }
    s.depth = depth;

    if (job.collide && job.sceneBvh && !job.sceneBvh->nodes.empty()) {
        const BVHView view = job.sceneBvh->view();
        s.bvhNodes = view.nodes;
        s.bvhTris = view.tris;
        s.bvhNodeCount = view.nodeCount;
        s.bvhTriCount = view.triCount;
        s.bvhPresent = 1;
    }
    if (!(job.tornado.frames && job.tornado.frameCount > 0)) s.tornado.frames = nullptr;

    float* accum = buf.accum.data();
    if (job.count > 0)
        parallelFor(
            size_t(job.count), [&](size_t i) { splatFall(s, job.count, accum, lamps, (long long)i); }, kSplatGrain);

    const int edgeCount = dripEdgeCount(job);
    if (job.type == kSplatRain && job.dripCount > 0 && edgeCount > 0) {
        const float* edges = job.dripEdges.data();
        const float* cum = job.dripCumLength.data();
        parallelFor(
            size_t(job.dripCount),
            [&](size_t i) {
                splatDrips(s, edges, cum, edgeCount, job.dripCount, job.dripRate, accum, lamps, (long long)i);
            },
            kSplatGrain);
    }

    float* out = buf.out.data();
    const int lampCount = s.lampCount;
    parallelFor(n, [&](size_t i) {
        finish(accum, job.background, depth, int(n), job.brightness, job.fogDensity, job.fogColor, job.fogFar, out,
               job.cam, lampCount, job.lampGlow, lamps, (long long)i);
    });
}

}  // namespace

bool renderFallOnCpu(const FallRenderJob& job, std::vector<float>& outImage, double& outSeconds,
                     std::string& outError) {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                          .count()) /
               1e9;
    };
    if (std::string why = checkFallRenderJob(job); !why.empty()) {
        outError = clipRenderError("CPU render refused: " + why);
        outSeconds = elapsed();
        return false;
    }
    CpuSplatBuffers& buf = buffers();
    std::lock_guard lock(buf.mutex);
    try {
        runPasses(job, buf);
        outImage.assign(buf.out.begin(), buf.out.end());
    } catch (const std::exception& e) {
        outError = clipRenderError(std::string("CPU render failed: ") + e.what());
        outSeconds = elapsed();
        return false;
    }
    outSeconds = elapsed();
    return true;
}

}  // namespace wx
