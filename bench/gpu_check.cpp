// GPU check: measures shelter on the benchmark towns on the GPU and on the CPU, and
// prints how well they agree and the rays per second of each. Run by hand (or from a
// script) on a machine with an NVIDIA GPU; exits 1 when the GPU path declined or the
// agreement is below what fast maths explains (open equal for 99.9 % of points and
// within one ray elsewhere; lee within 1e-3). It then evaluates a million-particle fall
// with the one kernel body on both, and asks of all but one in 10^4 particles (those
// that wrapped on one side only, through a side or the base) positions within 1e-2
// units, velocities within 1e-2 units/s + 1e-4 relative, fade within 1e-3 and size
// within 1e-6 relative: the device's fast-maths sines are off by about |x| x 2^-22 at
// the phases of a 37 s old sway, and its approximate division moves each period a little.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/example_town.h"
#include "common/parallel_for.h"
#include "gpu/fall_gpu.h"
#include "gpu/fall_kernel.h"
#include "gpu/for_each_cpu.h"
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

bool checkFall() {
    wx::FallInputs in;
    in.count = 1000000;
    in.windSpeed = 35.0f;
    in.windAngle = 30.0f;
    const wx::FallParams p = wx::makeFallParams(in, wx::FallCountMode::Render);
    wx::FallMatrix m;
    m.t = {120.0f, 50.0f, 300.0f};  // moved only, so a wrap shows as a jump of half the volume
    const float t = 37.25f;
    std::vector<wx::FallParticle> gpu, cpu(size_t(p.count));
    wx::LaunchReport report;
    bool ran = false;
    double gpuSeconds = secondsOf([&] { ran = wx::fallWorldGpu(p, t, m, gpu, &report); });
    if (!ran) {
        std::printf("fall: the GPU path declined: %s\n", report.error.c_str());
        return false;
    }
    gpuSeconds = secondsOf([&] { wx::fallWorldGpu(p, t, m, gpu, &report); });
    const double cpuSeconds = secondsOf([&] {
        wx::forEachCpu(int(p.count), wx::FallWorldKernel{p, m, t, cpu.data()});
    });

    size_t wrapped = 0, close = 0;
    for (size_t i = 0; i < cpu.size(); ++i) {
        const wx::V3 d = gpu[i].pos - cpu[i].pos;
        if (std::fabs(d.x) > p.width / 2 || std::fabs(d.y) > p.length / 2 || std::fabs(d.z) > p.height / 2) {
            ++wrapped;
            continue;
        }
        const wx::V3 dv = gpu[i].vel - cpu[i].vel;
        auto velOk = [](float dv, float v) { return std::fabs(dv) <= 1e-2f + 1e-4f * std::fabs(v); };
        close += std::fabs(d.x) <= 1e-2f && std::fabs(d.y) <= 1e-2f && std::fabs(d.z) <= 1e-2f &&
                 velOk(dv.x, cpu[i].vel.x) && velOk(dv.y, cpu[i].vel.y) && velOk(dv.z, cpu[i].vel.z) &&
                 std::fabs(gpu[i].fade - cpu[i].fade) <= 1e-3f &&
                 std::fabs(gpu[i].size - cpu[i].size) <= 1e-6f * cpu[i].size;
    }
    const double n = double(cpu.size());
    std::printf("fall: %zu particles at t = %.2f s\n", cpu.size(), double(t));
    std::printf("  GPU  %.1f ms with copies (kernel %.2f ms); CPU (the same kernel body) %.1f ms on %u threads\n",
                gpuSeconds * 1e3, double(report.kernelMs), cpuSeconds * 1e3, wx::parallelThreadCount());
    std::printf("  within tolerance %.4f %%, wrapped on one side only %.4f %%\n", 100 * close / n, 100 * wrapped / n);
    return wrapped * 10000 <= cpu.size() && close + wrapped == cpu.size();
}

}  // namespace

int main() {
    std::vector<wx::V3> town = wx::example::makeTown(125000);
    bool ok = checkTown("town", town, 200000);
    ok = checkTown("town refined", wx::example::refine(town, 2), 200000) && ok;
    ok = checkFall() && ok;
    std::printf(ok ? "GPU check passed\n" : "GPU check FAILED\n");
    return ok ? 0 : 1;
}
