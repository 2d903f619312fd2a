// The plain records the splat renderer's kernels see: the camera (CamDev, 64 bytes), a
// lamp (LampRaw, 7 floats) and everything splatFall and splatDrips read (SplatDev), passed
// to the device by value. Device pointers are raw; the kernels never allocate. Layouts are
// held by static_assert because the bridge hands out CamDev's first 52 bytes as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "common/v3.h"
#include "fall/tornado_wind.h"
#include "shelter/bvh.h"

namespace wx {

// A pinhole camera: unit axes in world space, the tangents of the half fields of view and
// the image size in pixels.
struct CamDev {
    V3 pos;
    V3 right;
    V3 up;
    V3 forward;
    float tanHalfX;  // tangent of half the horizontal field of view
    float tanHalfY;  // tanHalfX x height / width
    int32_t width;
    int32_t height;
};
static_assert(sizeof(CamDev) == 64 && alignof(CamDev) == 4);
static_assert(offsetof(CamDev, forward) == 36 && offsetof(CamDev, tanHalfX) == 48 && offsetof(CamDev, width) == 56);
constexpr size_t kCamDevBridgeBytes = 52;  // pos .. tanHalfX

// A lamp as the glow and the rain glint see it: colour already scaled, radius in world
// units. The device's constant table holds kMaxSplatLamps of them.
struct LampRaw {
    V3 position;
    V3 colour;
    float radius;
};
static_assert(sizeof(LampRaw) == 7 * sizeof(float));

constexpr int kMaxSplatLamps = 64;

enum SplatFallType : int32_t { kSplatSnow = 0, kSplatRain = 1, kSplatSand = 2 };

// The particle field's settings as the job carries them (the head of FallRenderJob).
struct SplatFieldHead {
    int32_t type;
    int64_t count;
    int32_t seed;  // the field's seed key (seed + 1)
    float width, length, height;
    float speed, speedVar;
    float windDir[2];  // horizontal unit wind direction, box-local x and y
    float windSpeed, gust;
    float turbulence, turbFreq;
    float size, sizeVar;
    float rainStreak, dropWidth;  // seconds, world units
    V3 boxTM[4];                  // rows 0-2 and the translation (row 3)
};
static_assert(std::is_trivially_copyable_v<SplatFieldHead>);

// What splatFall and splatDrips read, by value.
struct SplatDev {
    SplatFieldHead head;
    float time;  // seconds
    CamDev cam;
    TornadoWind tornado;  // frames null when there is no tornado
    V3 color;
    float opacity;
    float shutter;            // seconds of motion streak for snow and sand
    const float* depth;       // width x height scene depths, or null
    const BVHNode* bvhNodes;  // the scene hierarchy when collide is on
    const BVHTri* bvhTris;
    int32_t bvhNodeCount;
    int32_t bvhTriCount;
    int32_t bvhPresent;  // 1 when particles stop at the scene
    float splashHeight, splashAmount;
    float gravity;     // scene units per second squared
    float fogDensity;  // extinction per scene unit
    V3 fogColor;
    float fogFar;
    int32_t lampCount;  // at most kMaxSplatLamps
    float rainGlint;
};
static_assert(std::is_trivially_copyable_v<SplatDev>);

}  // namespace wx
