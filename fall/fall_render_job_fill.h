// Filling a splat render job of the fall object from plain values: the camera record from
// a camera's world matrix, the lamps worth a glow, the particle field, look, fog and
// run-off blocks, the backend the environment picks and the one-line summary of a
// finished render. No host types: the glue (fall/weather_fall_commands.cpp) reads the
// scene and parameters and hands them here. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fall/fall_field.h"
#include "fall/fall_render_setup.h"
#include "splat/fall_render_job.h"

namespace wx {

// Field of view of a camera node whose object is no camera: 45 degrees, in radians.
constexpr float kDefaultCameraFov = 0.7854f;

// The camera record of a node with world rows r0..r2 and translation t: right, up and
// forward are the normalised rows 0, 1 and -2; tanHalfX = tan(fov / 2). The image size
// and tanHalfY are set by completeCamera.
CamDev cameraFromMatrix(V3 r0, V3 r1, V3 r2, V3 t, float fovRadians);

// The first 13 floats of a caller's camera block (position, right, up, forward, tanHalfX).
CamDev cameraFromBlock(const float* block13);

// Sets the image size and tanHalfY = tanHalfX x height / width.
void completeCamera(CamDev& cam, int width, int height);

// True when every value of the record the caller gives is a finite number.
bool cameraIsFinite(const CamDev& cam);

// A lamp the scene walk found switched on, not directional and visible: where it is, its
// colour as the light gives it and its intensity multiplier (any sign).
struct LampCandidate {
    V3 position;
    V3 colour;
    float intensity = 1.0f;
};

// The glowing lamps: those of non-zero intensity, nearest the camera first (a stable sort
// on squared distance), at most kMaxSplatLamps. Colours are divided by their largest
// component (at least 1e-6) and scaled by min(8, |intensity| / max(m, 1e-12)), m being the
// median of the kept lamps' |intensity| (element n / 2 in ascending order). Magnitudes,
// because a negative multiplier would otherwise give a negative glow, or a huge one when
// the median itself is negative.
std::vector<LampRaw> pickGlowLamps(const std::vector<LampCandidate>& lamps, V3 cameraPos, float radius);

// The fall's look, fog and glow settings at the render time (parameter units).
struct FallLookSettings {
    V3 color{1.0f, 1.0f, 1.0f};
    float opacity = 1.0f, brightness = 1.0f, shutter = 0.02f;
    bool hiddenByScene = true;
    float fogDensity = 0.0f;  // per kilometre
    V3 fogColor{0.6f, 0.65f, 0.7f};
    float fogFar = 100000.0f;
    float lightGlow = 0.0f, glowRadius = 0.0f, rainGlint = 0.0f;
};

// Everything but the camera, the scene triangles, the lamps, the background and the
// depth: the field (count and column from `setup`), the box, time, size, look, collision,
// splashes, run-off, gravity, fog and glow strengths.
void fillFallRenderJob(const FallParams& field, const FallRenderSetup& setup, const FallLookSettings& look,
                       float unitsPerMetre, const TornadoWind& wind, float timeSeconds, int width, int height,
                       FallRenderJob& job);

// Whether the job draws lamps at all: only with a glow or a rain glint.
inline bool jobWantsLamps(const FallRenderJob& job) {
    return job.lampGlow > 0.0f || job.rainGlint > 0.0f;
}

// Three corners (9 floats) per captured triangle, in stored order.
std::vector<float> expandSceneTriangles(const ShelterBVH& scene);

// Which renderer draws the job, from WX_FALL_BACKEND: "gpu" (also when unset or empty),
// "cpu", or "auto" (the GPU when there is one, else the CPU).
enum class FallBackend { Gpu, Cpu, Auto };
// False with a message for any other value.
bool fallBackendFromEnvironment(FallBackend& out, std::string& error);

// Renders on the chosen backend; `onGpu` tells which one drew a successful image.
bool renderFallJob(const FallRenderJob& job, FallBackend backend, std::vector<float>& outImage, double& outSeconds,
                   bool& onGpu, std::string& outError);

// "N flakes, WxH, T scene triangles, L lamps: S s on the GPU" (or "... on the CPU").
std::wstring fallRenderSummary(const FallRenderJob& job, double seconds, bool onGpu);

// Status texts are cut to this many characters.
constexpr size_t kMaxStatusChars = 319;
std::wstring clipStatus(std::wstring text);

}  // namespace wx
