// Splat renderer check: renders the standard scenes (the default box seen from
// (0, -1500, 170) along +Y, 45 degrees, 1920 x 1080, t = 12.5 s; snow, rain and sand)
// and a generated town with depth, collisions, splashes, drips, lamps and fog on the GPU
// and on the thread pool, writes both images as PNG into the folder given (default .),
// and prints their agreement and timings. The device runs fast maths, so pixels agree to
// a tolerance: a mean absolute difference of at most 1e-4 over all floats and 99.9 % of
// pixels within 2e-3 on every channel (a particle whose fate flips, at a wrap seam, the
// near distance, the splat size limit, the depth tolerance or a hit, moves whole splats).
// Then it times the standard scene as rain with 10M drops (median of 5 after a warm-up).
// Exits 1 on disagreement; without a device it says so, renders on the CPU only, exits 0.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "fall/drip_edges.h"
#include "render/png_writer.h"
#include "splat/splat_render.h"
#include "standard_fall_job.h"

namespace {

// A town 1000 units across (5 units to the metre) under a rain column with everything on.
struct TownScene {
    std::vector<float> tris;
    wx::ShelterBVH bvh;
    wx::FallRenderJob job = wxbench::standardFallJob(wx::kSplatRain, 1000000);

    TownScene() {
        std::vector<wx::V3> soup = wx::example::makeTown(20000, 200.0f);
        for (wx::V3& v : soup) v = wx::V3{v.x * 5.0f - 500.0f, v.y * 5.0f - 500.0f, v.z * 5.0f};
        for (const wx::V3& v : soup) tris.insert(tris.end(), {v.x, v.y, v.z});
        wx::buildBVH(soup, bvh);
        const wx::DripEdgeList drips = wx::makeDripEdgeList(wx::findDripEdges(bvh, 5.0f));
        job.speed = 600.0f;
        job.windSpeed = 60.0f;
        job.height = 750.0f;
        job.boxTM[3] = {0.0f, 0.0f, -250.0f};
        job.collide = true;
        job.sceneBvh = &bvh;
        job.sceneTris = tris.data();
        job.sceneTriCount = int64_t(tris.size() / 9);
        job.gravity = 9.81f * 5.0f;
        job.splashHeight = 0.2f;
        for (const wx::DripEdge& e : drips.edges)
            job.dripEdges.insert(job.dripEdges.end(), {e.p0.x, e.p0.y, e.p0.z, e.p1.x, e.p1.y, e.p1.z});
        job.dripCumLength = drips.cumWeight;
        job.dripCount = std::min<int64_t>(800000, int64_t(drips.totalWeight / 5.0f * 80.0f));
        job.fogDensity = 0.0004f;
        job.fogFar = 4000.0f;
        job.fogColor = {0.55f, 0.6f, 0.65f};
        job.lampGlow = 0.02f;
        job.rainGlint = 1.0f;
        for (int k = 0; k < 12; ++k)
            job.lamps.push_back(
                {{float(k % 4) * 250.0f - 375.0f, float(k / 4) * 300.0f - 300.0f, 30.0f}, {1.0f, 0.8f, 0.5f}, 4.0f});
        job.cam.pos = {0.0f, -900.0f, 60.0f};
        job.cam.forward = wx::normalize({0.0f, 1.0f, -0.05f});
        job.cam.up = wx::cross(job.cam.right, job.cam.forward);
    }
};

bool compare(const char* name, const wx::FallRenderJob& job, const std::string& folder, bool haveGpu) {
    std::vector<float> cpu, gpu;
    double cpuSeconds = 0, gpuSeconds = 0;
    std::string error;
    if (!wx::renderFallOnCpu(job, cpu, cpuSeconds, error)) {
        std::printf("%s: CPU render failed: %s\n", name, error.c_str());
        return false;
    }
    wx::renderFallOnCpu(job, cpu, cpuSeconds, error);  // the buffers are warm now
    wx::writePng16(folder + "/" + name + "_cpu.png", cpu.data(), job.imageWidth, job.imageHeight);
    std::printf("%s: %lld particles, %lld drips; CPU %.1f ms on %u threads\n", name, (long long)job.count,
                (long long)job.dripCount, cpuSeconds * 1e3, wx::parallelThreadCount());
    if (!haveGpu) return true;
    if (!wx::renderFallOnGpu(job, gpu, gpuSeconds, error)) {
        std::printf("  GPU render failed: %s\n", error.c_str());
        return false;
    }
    wx::renderFallOnGpu(job, gpu, gpuSeconds, error);
    wx::writePng16(folder + "/" + name + "_gpu.png", gpu.data(), job.imageWidth, job.imageHeight);
    double sum = 0;
    size_t off = 0;
    const size_t pixels = cpu.size() / 4;
    for (size_t p = 0; p < pixels; ++p) {
        float worst = 0;
        for (int c = 0; c < 4; ++c) {
            const float d = std::fabs(cpu[4 * p + c] - gpu[4 * p + c]);
            sum += d;
            worst = std::max(worst, d);
        }
        off += worst > 2e-3f;
    }
    const double mean = sum / double(cpu.size());
    std::printf("  GPU %.2f ms (whole call), %.1fx the CPU; mean |diff| %.2e, pixels beyond 2e-3: %zu (%.4f %%)\n",
                gpuSeconds * 1e3, cpuSeconds / gpuSeconds, mean, off, 100.0 * double(off) / double(pixels));
    return mean <= 1e-4 && double(off) <= 0.001 * double(pixels);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    std::vector<float> probe;
    double seconds = 0;
    std::string error;
    wx::FallRenderJob tiny = wxbench::standardFallJob(wx::kSplatSnow, 0);
    tiny.imageWidth = tiny.cam.width = 8;
    tiny.imageHeight = tiny.cam.height = 8;
    const bool haveGpu = wx::renderFallOnGpu(tiny, probe, seconds, error);
    if (!haveGpu) std::printf("No GPU render: %s. Rendering on the CPU only.\n", error.c_str());

    bool ok = compare("snow", wxbench::standardFallJob(wx::kSplatSnow, 1000000), folder, haveGpu);
    ok = compare("rain", wxbench::standardFallJob(wx::kSplatRain, 1000000), folder, haveGpu) && ok;
    ok = compare("sand", wxbench::standardFallJob(wx::kSplatSand, 1000000), folder, haveGpu) && ok;
    TownScene town;
    ok = compare("town", town.job, folder, haveGpu) && ok;

    if (haveGpu) {
        const wx::FallRenderJob rain = wxbench::standardFallJob(wx::kSplatRain, 10000000);
        std::vector<float> image;
        wx::renderFallOnGpu(rain, image, seconds, error);
        std::vector<double> runs;
        for (int k = 0; k < 5; ++k) {
            if (!wx::renderFallOnGpu(rain, image, seconds, error)) {
                std::printf("rain 10M: %s\n", error.c_str());
                return 1;
            }
            runs.push_back(seconds);
        }
        std::sort(runs.begin(), runs.end());
        std::printf("rain 10M on the GPU: whole call median %.2f ms (of 5 after a warm-up)\n", runs[2] * 1e3);
    }
    std::printf(ok ? "splat check passed\n" : "splat check FAILED\n");
    return ok ? 0 : 1;
}
