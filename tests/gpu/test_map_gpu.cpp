// The Weather Map's kernel: the device (where there is one) agrees with the same body on
// the thread pool to fast maths' tolerance; without a device the entry point declines
// and says why.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "gpu/for_each_cpu.h"
#include "gpu/map_gpu.h"
#include "gpu/map_kernel.h"

using namespace wx;

namespace {

std::vector<MapSample> samplesOnSurfaces(int count) {
    std::mt19937 rng(41);
    std::uniform_real_distribution<float> span(-300.0f, 300.0f), unit(-1.0f, 1.0f), time(0.0f, 20.0f);
    std::vector<MapSample> samples(static_cast<size_t>(count));
    for (MapSample& s : samples) {
        s.position = {span(rng), span(rng), 0.1f * span(rng)};
        // Half on level ground (ripples, puddles), half on panes (glass).
        s.normal = rng() % 2 ? V3{0.05f * unit(rng), 0.05f * unit(rng), 1.0f} : V3{unit(rng), unit(rng), 0.0f};
        s.viewDir = {unit(rng), unit(rng), -1.0f};
        s.s = time(rng);
        s.faceNumber = int32_t(rng() % 5000u);
    }
    return samples;
}

TEST(MapKernel, DeviceAgreesWithTheThreadPool) {
    const std::vector<MapSample> samples = samplesOnSurfaces(20000);
    for (int mode = 0; mode < 5; ++mode) {
        MapState state;
        state.mode = mode;
        std::vector<float> mono, cpuMono(samples.size());
        std::vector<V3> perturb, cpuPerturb(samples.size());
        LaunchReport report;
        if (!mapShadeGpu(state, samples, mono, perturb, &report)) {
            EXPECT_FALSE(report.error.empty());
            GTEST_SKIP() << report.error;
        }
        ASSERT_EQ(mono.size(), samples.size());
        forEachCpu(int(samples.size()), MapShadeKernel{state, samples.data(), cpuMono.data(), cpuPerturb.data()});
        // Fast maths may move a point across a cell or ring edge; almost all agree closely.
        size_t monoOff = 0, bumpOff = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            ASSERT_GE(mono[i], 0.0f);
            ASSERT_LE(mono[i], 1.0f);
            monoOff += std::fabs(mono[i] - cpuMono[i]) > 2e-3f;
            const V3 d = perturb[i] - cpuPerturb[i];
            bumpOff += length(d) > 1e-3f + 0.05f * length(cpuPerturb[i]);
        }
        EXPECT_LT(monoOff, samples.size() / 100) << "mode " << mode;
        EXPECT_LT(bumpOff, samples.size() / 50) << "mode " << mode;
    }
}

}  // namespace
