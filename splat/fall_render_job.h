// FallRenderJob: one frame of the fall object to be drawn as splats, filled by the render
// command and read by either backend (renderFallOnCpu, renderFallOnGpu). Host memory
// throughout; the job only points at the scene, background, tornado and depth data, which
// must stay valid for the call. checkFallRenderJob says what a job must hold before
// anything is allocated for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "splat/splat_records.h"

namespace wx {

struct FallRenderJob {
    int32_t type = kSplatSnow;
    int64_t count = 0;
    int32_t seed = 2;  // the field's seed key: seed + 1
    float width = 1000.0f, length = 1000.0f, height = 500.0f;
    float speed = 100.0f, speedVar = 0.3f;
    float windDir[2] = {1.0f, 0.0f};
    float windSpeed = 0.0f, gust = 0.3f;
    float turbulence = 20.0f, turbFreq = 0.5f;
    float size = 0.6f, sizeVar = 0.5f;
    float rainStreak = 0.03f, dropWidth = 0.06f;
    V3 boxTM[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    float time = 0.0f;  // seconds (ticks / 4800)
    int32_t imageWidth = 0, imageHeight = 0;
    CamDev cam{};
    V3 color{1.0f, 1.0f, 1.0f};
    float opacity = 1.0f;
    float brightness = 1.0f;
    float shutter = 0.02f;
    const float* sceneTris = nullptr;  // 9 floats per world-space triangle; null for none
    int64_t sceneTriCount = 0;
    const float* background = nullptr;  // imageWidth x imageHeight RGBA floats, row 0 on top
    TornadoWind tornado;                // frames null (reach 30000) without a tornado
    const ShelterBVH* sceneBvh = nullptr;
    bool collide = false;
    float splashHeight = 4.0f, splashAmount = 1.0f;
    float gravity = 981.0f;   // 9.81 x scene units per metre
    float fogDensity = 0.0f;  // extinction per scene unit
    V3 fogColor{0.6f, 0.65f, 0.7f};
    float fogFar = 100000.0f;  // distance where nothing is hit
    std::vector<LampRaw> lamps;
    std::vector<float> dripEdges;      // 6 floats per edge: two world end points
    std::vector<float> dripCumLength;  // running sum of the edges' weights, same order
    int64_t dripCount = 0;
    float dripRate = 1.0f;  // in [0.2, 3]
    float lampGlow = 0.0f;
    float rainGlint = 0.0f;
    // The depth (along forward, >= 1e37 where nothing was hit) of a render the splats go
    // over, imageWidth x imageHeight floats; copied in instead of a cleared buffer, and
    // scene triangles are rasterised into it by minimum. Null for none.
    const float* depth = nullptr;
};

// Largest image side and pixel count a job may ask for: pixel indices and the four floats
// per pixel are counted in 32-bit integers.
constexpr int32_t kMaxSplatImageSide = 32768;
constexpr int64_t kMaxSplatPixels = int64_t(1) << 27;

// Empty when the job can be rendered; otherwise what is wrong and what to change.
std::string checkFallRenderJob(const FallRenderJob& job);

// The kernels' view of a job (host pointers; the GPU backend swaps in device ones).
SplatDev makeSplatDev(const FallRenderJob& job);

// How many drip edges the job's lists describe (6 floats each).
inline int32_t dripEdgeCount(const FallRenderJob& job) {
    return int32_t(job.dripEdges.size() / 6);
}

// The text of a failed render on either backend, cut to 199 characters.
std::string clipRenderError(std::string text);

constexpr const char* kNoCudaGpuText = "no CUDA GPU: the fast renderer needs one (set Render as: Geometry instead)";

}  // namespace wx
