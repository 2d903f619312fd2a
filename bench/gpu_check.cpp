// GPU check: measures shelter on the benchmark towns on the GPU and on the CPU, and
// prints how well they agree and the rays per second of each. Run by hand (or from a
// script) on a machine with an NVIDIA GPU; exits 1 when the GPU path declined or the
// agreement is below what fast maths explains (open equal for 99.9 % of points and
// within one ray elsewhere; lee within 1e-3).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/example_town.h"
#include "gpu/sky_gpu.h"
#include "shelter/sky_cpu.h"

namespace {

double secondsOf(auto&& job) {
    auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool checkTown(const char* name, const std::vector<wx::V3>& soup, size_t points) {
    wx::ShelterBVH bvh;
    double buildSeconds = secondsOf([&] { wx::buildBVH(soup, bvh); });
    std::vector<wx::V3> positions, normals;
    wx::example::upFacingPoints(soup, points, positions, normals);
    wx::SkyInputs in;
    in.occRays = 24;
    in.spreadDegrees = 25.0f;
    in.fineEdge = 0.5f;
    in.depth = 0.3f;
    in.diag = 300.0f;
    in.drift = 0.3f;
    in.leeDist = 5.0f;
    in.seed = 1;
    const wx::SkyParams params = wx::makeSkyParams(in);
    const double rays = double(positions.size()) * (params.rays + 3);

    std::vector<wx::SkyResult> gpu, cpu(positions.size());
    bool ran = false;
    wx::LaunchReport report;
    double gpuFirst = secondsOf([&] { ran = wx::skyVisibilityGpu(bvh, positions, normals, params, gpu, &report); });
    if (!ran) {
        std::printf("%s: the GPU path declined: %s\n", name, report.error.c_str());
        return false;
    }
    double gpuCached = secondsOf([&] { wx::skyVisibilityGpu(bvh, positions, normals, params, gpu, &report); });
    double cpuSeconds = secondsOf([&] { wx::measureSkyCpu(bvh, positions, normals, params, cpu); });

    size_t openEqual = 0, openWithinRay = 0, leeWithin = 0;
    for (size_t i = 0; i < cpu.size(); ++i) {
        openEqual += gpu[i].open == cpu[i].open;
        openWithinRay += std::fabs(gpu[i].open - cpu[i].open) <= 1.0f / float(params.rays) + 1e-6f;
        leeWithin += std::fabs(gpu[i].lee - cpu[i].lee) <= 1e-3f;
    }
    const double n = double(cpu.size());
    std::printf("%s: %zu triangles (build %.2f s), %zu points, %.0f rays\n", name, soup.size() / 3, buildSeconds,
                positions.size(), rays);
    std::printf("  GPU  %.1f ms with upload, %.1f ms cached (kernel %.1f ms): %.1f Mrays/s\n", gpuFirst * 1e3,
                gpuCached * 1e3, double(report.kernelMs), rays / gpuCached / 1e6);
    std::printf("  CPU  %.1f ms: %.1f Mrays/s; GPU/CPU speed %.1fx\n", cpuSeconds * 1e3, rays / cpuSeconds / 1e6,
                cpuSeconds / gpuCached);
    std::printf("  open equal %.4f %%, within one ray %.4f %%, lee within 1e-3 %.4f %%\n", 100 * openEqual / n,
                100 * openWithinRay / n, 100 * leeWithin / n);
    return openEqual >= 0.999 * n && openWithinRay == cpu.size() && leeWithin == cpu.size();
}

}  // namespace

int main() {
    std::vector<wx::V3> town = wx::example::makeTown(125000);
    bool ok = checkTown("town", town, 200000);
    ok = checkTown("town refined", wx::example::refine(town, 2), 200000) && ok;
    std::printf(ok ? "GPU check passed\n" : "GPU check FAILED\n");
    return ok ? 0 : 1;
}
