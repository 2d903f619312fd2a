// The thread-pool backend of the splat renderer: each kernel body run once per item by
// parallelFor, in the device's launch order. The particles and drips are drawn in two
// steps: their bodies hand their strokes to per-chunk lists, the strokes are sorted by
// the 32-pixel tile of their head, and then drawn in that order, so that neighbouring
// strokes add into the same cached part of the accumulation buffer (drawing in particle
// order misses the cache on almost every splat). One thread keeps every order fixed, so
// its result is the same bits on every run; more threads add in any order (low bits may
// differ).
#include <algorithm>
#include <atomic>
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
    std::vector<std::vector<SplatStroke>> chunks;  // strokes of each run of kItemsPerChunk items
    std::vector<uint32_t> chunkTiles;              // the tile of every stroke, chunk after chunk
    std::vector<SplatStroke> sorted;
    std::vector<uint32_t> tileStart;
    std::vector<std::vector<float>> privateAccum;  // the second and later workers' sums
};

constexpr int kTilePixels = 32;
constexpr size_t kItemsPerChunk = 4096;
constexpr size_t kItemsPerBatch = size_t(1) << 21;  // bounds the stroke lists' memory
constexpr size_t kStrokesPerRun = 256;
constexpr size_t kPrivateAddsFrom = 8192;                 // strokes; fewer are drawn by one worker
constexpr size_t kPrivateAccumFloats = size_t(64) << 20;  // 256 MB of extra sums at most

// Keeps every stroke of a chunk for the tile sort.
struct CollectDraw {
    std::vector<SplatStroke>* out;
    WX_HOSTDEV void operator()(const SplatStroke& st) const { out->push_back(st); }
};

uint32_t tileOf(const CamDev& cam, const SplatStroke& st, int tilesX, int tilesY) {
    const ScreenPoint a = projectToScreen(cam, st.head);
    if (!(a.x >= 0.0f) || !(a.y >= 0.0f)) return 0;  // NaN too; drawSplat sorts it out
    const int tx = int(std::min(a.x / kTilePixels, float(tilesX - 1)));
    const int ty = int(std::min(a.y / kTilePixels, float(tilesY - 1)));
    return uint32_t(ty * tilesX + tx);
}

// Draws the sorted strokes. Each worker takes runs of them from a shared counter and adds
// plainly into a buffer of its own (the first worker's is the accumulation buffer), which
// are summed at the end (atomic adds took about a third of the drawing). Where the extra
// buffers would take too much memory, the workers add atomically into the one buffer.
void drawSorted(CpuSplatBuffers& buf, const SplatDev& s, const LampRaw* lamps, float* accum) {
    const SplatStroke* sorted = buf.sorted.data();
    const size_t total = buf.sorted.size();
    const size_t floats = size_t(s.cam.width) * size_t(s.cam.height) * 4;
    const size_t workers = total < kPrivateAddsFrom ? 1 : parallelThreadCount();
    if ((workers - 1) * floats > kPrivateAccumFloats) {
        parallelFor(
            total, [&](size_t i) { drawSplat(s, sorted[i], lamps, accum); }, ParallelGrain{1024, 256});
        return;
    }
    if (buf.privateAccum.size() < workers - 1) buf.privateAccum.resize(workers - 1);
    std::atomic<size_t> next{0};
    parallelFor(
        workers,
        [&](size_t w) {
            float* mine = accum;
            if (w > 0) {
                std::vector<float>& own = buf.privateAccum[w - 1];
                own.resize(floats);
                std::memset(own.data(), 0, floats * sizeof(float));
                mine = own.data();
            }
            const PlainPixelAdd add{mine};
            for (;;) {
                const size_t start = next.fetch_add(kStrokesPerRun, std::memory_order_relaxed);
                if (start >= total) break;
                const size_t end = std::min(total, start + kStrokesPerRun);
                for (size_t i = start; i < end; ++i) drawSplatWith(s, sorted[i], lamps, add);
            }
        },
        ParallelGrain{2, 1});
    if (workers > 1) {
        const size_t rowFloats = size_t(s.cam.width) * 4;
        parallelFor(
            size_t(s.cam.height),
            [&](size_t row) {
                for (size_t w = 0; w + 1 < workers; ++w) {
                    const float* from = buf.privateAccum[w].data() + row * rowFloats;
                    float* to = accum + row * rowFloats;
                    for (size_t i = 0; i < rowFloats; ++i) to[i] += from[i];
                }
            },
            ParallelGrain{64, 16});
    }
}

// Items [first, first + count) of a stroke-making body, collected, sorted by tile and
// drawn. strokesOf(item, draw) hands item's strokes to draw.
template <class StrokesOf>
void drawBinned(CpuSplatBuffers& buf, const SplatDev& s, const LampRaw* lamps, float* accum, size_t first, size_t count,
                const StrokesOf& strokesOf) {
    const CamDev& cam = s.cam;
    const int tilesX = (cam.width + kTilePixels - 1) / kTilePixels;
    const int tilesY = (cam.height + kTilePixels - 1) / kTilePixels;
    const size_t tiles = size_t(tilesX) * size_t(tilesY);
    const size_t chunks = (count + kItemsPerChunk - 1) / kItemsPerChunk;
    if (buf.chunks.size() < chunks) buf.chunks.resize(chunks);
    parallelFor(
        chunks,
        [&](size_t c) {
            std::vector<SplatStroke>& list = buf.chunks[c];
            list.clear();
            const size_t end = std::min(count, (c + 1) * kItemsPerChunk);
            for (size_t i = c * kItemsPerChunk; i < end; ++i) strokesOf((long long)(first + i), CollectDraw{&list});
        },
        ParallelGrain{2, 1});

    // Counting sort by tile, stable, so the order is the same on every run.
    size_t total = 0;
    for (size_t c = 0; c < chunks; ++c) total += buf.chunks[c].size();
    buf.chunkTiles.resize(total);
    buf.tileStart.assign(tiles + 1, 0);
    size_t k = 0;
    for (size_t c = 0; c < chunks; ++c)
        for (const SplatStroke& st : buf.chunks[c])
            ++buf.tileStart[(buf.chunkTiles[k++] = tileOf(cam, st, tilesX, tilesY)) + 1];
    for (size_t t = 0; t < tiles; ++t) buf.tileStart[t + 1] += buf.tileStart[t];
    buf.sorted.resize(total);
    k = 0;
    for (size_t c = 0; c < chunks; ++c)
        for (const SplatStroke& st : buf.chunks[c]) buf.sorted[buf.tileStart[buf.chunkTiles[k++]]++] = st;

    drawSorted(buf, s, lamps, accum);
}

template <class StrokesOf>
void drawAllBinned(CpuSplatBuffers& buf, const SplatDev& s, const LampRaw* lamps, float* accum, size_t count,
                   const StrokesOf& strokesOf) {
    for (size_t first = 0; first < count; first += kItemsPerBatch)
        drawBinned(buf, s, lamps, accum, first, std::min(kItemsPerBatch, count - first), strokesOf);
}

CpuSplatBuffers& buffers() {
    static CpuSplatBuffers b;
    return b;
}

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
        drawAllBinned(buf, s, lamps, accum, size_t(job.count),
                      [&](long long i, const CollectDraw& draw) { splatFallWith(s, job.count, i, draw); });

    const int edgeCount = dripEdgeCount(job);
    if (job.type == kSplatRain && job.dripCount > 0 && edgeCount > 0) {
        const float* edges = job.dripEdges.data();
        const float* cum = job.dripCumLength.data();
        drawAllBinned(buf, s, lamps, accum, size_t(job.dripCount), [&](long long i, const CollectDraw& draw) {
            splatDripsWith(s, edges, cum, edgeCount, job.dripCount, job.dripRate, i, draw);
        });
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
