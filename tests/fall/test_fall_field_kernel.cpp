// The particle field's kernel body run on the thread pool must be the reference to the
// bit; the GPU entry point either agrees within fast maths' tolerance or declines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fall/fall_field.h"
#include "gpu/fall_gpu.h"
#include "gpu/fall_kernel.h"
#include "gpu/for_each_cpu.h"

namespace wx {
namespace {

FallParams windyField() {
    FallInputs in;
    in.count = 30011;
    in.windSpeed = 45.0f;
    in.windAngle = 200.0f;
    in.gust = 0.8f;
    in.turbFreq = 1.3f;
    return makeFallParams(in, FallCountMode::Render);
}

FallMatrix movedAndTurned() {
    FallMatrix m;
    m.r0 = {0.6f, 0.8f, 0.0f};
    m.r1 = {-0.8f, 0.6f, 0.0f};
    m.t = {250.0f, -40.0f, 12.0f};
    return m;
}

TEST(FallKernel, CpuLauncherGivesTheReferenceBits) {
    const FallParams p = windyField();
    const FallMatrix m = movedAndTurned();
    std::vector<FallParticle> out(size_t(p.count));
    forEachCpu(int(p.count), FallWorldKernel{p, m, 33.3f, out.data()});
    for (size_t i = 0; i < out.size(); ++i) {
        const FallParticle ref = fallWorld(p, i, 33.3f, m);
        ASSERT_EQ(0, std::memcmp(&ref, &out[i], sizeof ref)) << "particle " << i;
    }
}

TEST(FallKernel, GpuAgreesOrDeclines) {
    const FallParams p = windyField();
    const FallMatrix m = movedAndTurned();
    std::vector<FallParticle> gpu;
    LaunchReport report;
    const float t = 3.5f;  // fast-maths sines are only close for small arguments
    if (!fallWorldGpu(p, t, m, gpu, &report)) {
        EXPECT_FALSE(report.error.empty());
        GTEST_SKIP() << "GPU declined: " << report.error;
    }
    ASSERT_EQ(gpu.size(), size_t(p.count));
    for (size_t i = 0; i < gpu.size(); ++i) {
        const FallParticle ref = fallWorld(p, i, t, m);
        ASSERT_EQ(gpu[i].size, ref.size);
        ASSERT_NEAR(gpu[i].age, ref.age, 1e-4f);
        ASSERT_NEAR(gpu[i].pos.z, ref.pos.z, 2e-2f);
        ASSERT_NEAR(gpu[i].vel.z, ref.vel.z, 1e-3f);
    }
    FallParams none = p;
    none.count = 0;
    EXPECT_FALSE(fallWorldGpu(none, t, m, gpu, &report));
}

}  // namespace
}  // namespace wx
