#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "gpu/for_each_cpu.h"
#include "gpu/sky_gpu.h"
#include "gpu/sky_kernel.h"
#include "shelter/sky_cpu.h"
#include "snow/snow_builder.h"

using namespace wx;

namespace {

// A ground of small quads under a floating roof: enough triangles to be worth a device.
std::vector<V3> roofScene() {
    std::vector<V3> soup;
    for (int j = 0; j < 40; ++j) {
        for (int i = 0; i < 40; ++i) {
            float x0 = float(i), y0 = float(j), x1 = x0 + 1, y1 = y0 + 1;
            soup.insert(soup.end(), {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y0, 0}, {x1, y1, 0}, {x0, y1, 0}});
        }
    }
    soup.insert(soup.end(), {{10, 10, 5}, {30, 10, 5}, {30, 30, 5}, {10, 10, 5}, {30, 30, 5}, {10, 30, 5}});
    return soup;
}

SkyParams defaultParams(int rays) {
    SkyInputs in;
    in.occRays = rays;
    in.spreadDegrees = 25.0f;
    in.fineEdge = 0.5f;
    in.depth = 0.3f;
    in.diag = 60.0f;
    in.seed = 3;
    return makeSkyParams(in);
}

void gridPoints(size_t n, std::vector<V3>& positions, std::vector<V3>& normals) {
    for (size_t i = 0; i < n; ++i) {
        positions.push_back({0.5f + float(i % 400) * 0.1f, 0.5f + float(i / 400 % 400) * 0.1f, 0.0f});
        normals.push_back({0, 0, 1});
    }
}

}  // namespace

TEST(SkyGpu, SmallJobsDeclineWithoutTouchingTheDevice) {
    ShelterBVH bvh;
    buildBVH(roofScene(), bvh);
    std::vector<V3> positions, normals;
    gridPoints(1000, positions, normals);
    std::vector<SkyResult> results;
    const uint64_t before = skyGpuDeviceAttempts();
    LaunchReport report;
    EXPECT_FALSE(skyVisibilityGpu(bvh, positions, normals, defaultParams(24), results, &report));  // 24,000 rays
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.error.empty());  // says why the device was not used
    EXPECT_FALSE(skyVisibilityGpu(ShelterBVH{}, positions, normals, defaultParams(256), results));  // no nodes
    EXPECT_FALSE(skyVisibilityGpu(bvh, {}, {}, defaultParams(24), results));
    EXPECT_EQ(skyGpuDeviceAttempts(), before);
    EXPECT_TRUE(results.empty());

    // 10,000 points x 24 rays is a GPU-sized job: a build with the backend asks the device.
    positions.clear();
    normals.clear();
    gridPoints(10000, positions, normals);
    bool ran = skyVisibilityGpu(bvh, positions, normals, defaultParams(24), results);
    EXPECT_EQ(skyGpuDeviceAttempts(), before + (skyGpuCompiled() ? 1 : 0));
    if (!ran) {
        EXPECT_TRUE(results.empty());
    }
}

TEST(SkyGpu, FingerprintSamplesBothEndsOfBothArrays) {
    ShelterBVH a;
    buildBVH(roofScene(), a);
    ShelterBVH b = a;
    EXPECT_EQ(bvhFingerprint(a), bvhFingerprint(b));
    b.nodes.back().bmax.z += 1.0f;
    EXPECT_NE(bvhFingerprint(a), bvhFingerprint(b));
    b = a;
    b.tris.front().p0.x += 1.0f;
    EXPECT_NE(bvhFingerprint(a), bvhFingerprint(b));
    EXPECT_EQ(bvhFingerprint(ShelterBVH{}), 0x14650FB0739D0383ull);
    // A rebuild gets a new serial even when its arrays come out the same.
    ShelterBVH c;
    buildBVH(roofScene(), c);
    EXPECT_NE(c.buildSerial, a.buildSerial);
}

// Runs only where a device answers; elsewhere the call declines and the CPU path rules.
TEST(SkyGpu, AgreesWithTheCpuAndKeepsTheHierarchyOnTheDevice) {
    ShelterBVH bvh;
    buildBVH(roofScene(), bvh);
    std::vector<V3> positions, normals;
    gridPoints(20000, positions, normals);
    const SkyParams params = defaultParams(24);
    std::vector<SkyResult> gpu;
    const uint64_t uploads = skyGpuUploads();
    if (!skyVisibilityGpu(bvh, positions, normals, params, gpu)) GTEST_SKIP() << "no CUDA device here";
    std::vector<SkyResult> cpu(positions.size());
    measureSkyCpu(bvh, positions, normals, params, cpu);
    size_t equal = 0;
    for (size_t i = 0; i < cpu.size(); ++i) {
        equal += gpu[i].open == cpu[i].open;
        EXPECT_LE(std::fabs(gpu[i].open - cpu[i].open), 1.0f / float(params.rays) + 1e-6f) << i;
        EXPECT_LE(std::fabs(gpu[i].lee - cpu[i].lee), 1e-3f) << i;
    }
    EXPECT_GE(double(equal) / double(cpu.size()), 0.999);
    EXPECT_EQ(skyGpuUploads(), uploads + 1);

    // Other settings, same hierarchy: no upload. A moved occluder: a new one.
    SkyParams windy = params;
    windy.leeReach = 5.0f;
    ASSERT_TRUE(skyVisibilityGpu(bvh, positions, normals, windy, gpu));
    EXPECT_EQ(skyGpuUploads(), uploads + 1);
    std::vector<V3> moved = roofScene();
    for (size_t i = moved.size() - 6; i < moved.size(); ++i) moved[i].z += 1.0f;
    buildBVH(moved, bvh);
    ASSERT_TRUE(skyVisibilityGpu(bvh, positions, normals, params, gpu));
    EXPECT_EQ(skyGpuUploads(), uploads + 2);
}

// The builder's shelter step: with useGPU on and no device (or a declined job) the shell
// is the CPU's, byte for byte, and the stats say CPU.
TEST(SkyGpu, BuilderFallsBackToTheCpuWithTheSameShell) {
    std::vector<V3> positions = {{0, 0, 0}, {40, 0, 0}, {40, 40, 0}, {0, 40, 0}};
    std::vector<int32_t> faces = {0, 1, 2, 0, 2, 3};
    ShelterBVH roof;
    std::vector<V3> soup = roofScene();
    buildBVH(soup, roof);
    SnowSettings settings;
    settings.resolution = 0.4f;  // enough points for a GPU-sized job
    SnowShell withGpu, withoutGpu;
    SnowStats statsGpu, statsCpu;
    settings.useGPU = true;
    const uint64_t attempts = skyGpuDeviceAttempts();
    ASSERT_TRUE(buildSnow(positions, faces, {}, &roof, settings, withGpu, statsGpu));
    EXPECT_EQ(skyGpuDeviceAttempts(), attempts + (skyGpuCompiled() ? 1 : 0));
    settings.useGPU = false;
    ASSERT_TRUE(buildSnow(positions, faces, {}, &roof, settings, withoutGpu, statsCpu));
    EXPECT_FALSE(statsCpu.usedGPU);
    EXPECT_GT(statsCpu.sceneTriangles, 0);
    EXPECT_LT(statsCpu.openSky, 1.0f);  // the roof shelters part of the ground
    if (statsGpu.usedGPU) GTEST_SKIP() << "a device ran the shelter step; the GPU check compares it";
    EXPECT_EQ(withGpu.vertices.size(), withoutGpu.vertices.size());
    EXPECT_EQ(0, std::memcmp(withGpu.vertices.data(), withoutGpu.vertices.data(),
                             withGpu.vertices.size() * sizeof(V3)));
    EXPECT_EQ(withGpu.indices, withoutGpu.indices);
    EXPECT_EQ(statsGpu.openSky, statsCpu.openSky);
}

// The kernel body on the CPU launcher: every point once, with the answers of the CPU's own
// batch path (which takes the wide tree in Morton order), so the body the device runs is
// checked on machines without one.
TEST(SkyGpu, KernelBodyOnTheCpuLauncherGivesTheCpuPathsAnswers) {
    ShelterBVH bvh;
    buildBVH(roofScene(), bvh);
    std::vector<V3> positions, normals;
    for (int k = 0; k < 80 * 80; ++k) {  // above parallelFor's inline threshold, a quarter under the roof
        positions.push_back({0.25f + 0.5f * float(k % 80), 0.25f + 0.5f * float(k / 80), 0.0f});
        normals.push_back({0, 0, 1});
    }
    SkyParams params = defaultParams(24);
    params.leeReach = 4.0f;
    std::vector<SkyResult> cpu(positions.size()), twin(positions.size(), SkyResult{-1.0f, -1.0f});
    measureSkyCpu(bvh, positions, normals, params, cpu);
    forEachCpu(int(positions.size()),
               SkyPointsKernel{bvh.view(), positions.data(), normals.data(), params, twin.data()});
    size_t sheltered = 0;
    for (size_t i = 0; i < cpu.size(); ++i) {
        ASSERT_EQ(twin[i].open, cpu[i].open) << i;
        ASSERT_EQ(twin[i].lee, cpu[i].lee) << i;
        sheltered += cpu[i].open < 1.0f;
    }
    EXPECT_GT(sheltered, 100u);  // the roof covers part of the grid, so the rays were really cast
}
