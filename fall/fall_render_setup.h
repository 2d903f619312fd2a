// What a GPU render of a fall at one time is given, worked out from the fall's settings
// and the captured scene without the host: the rain column lengthened below the volume so
// that drops reach the ground under it, the scene to stop at, splashes, gravity and the
// run-off (drip edges with their running weight sums, the drip drop count and rate).
// Pure apart from the module-wide drip-edge cache it reads; main thread, like renders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fall/drip_edges.h"
#include "fall/fall_field.h"
#include "shelter/bvh.h"

namespace wx {

constexpr int64_t kMaxDripDrops = 800000;  // per frame

// The fall's settings at the render time, world lengths in scene units.
struct FallRenderInputs {
    int type = kFallSnow;
    int64_t count = 20000;  // the render count
    float height = 500.0f;
    FallMatrix objectToWorld;
    bool collide = true;
    float splashHeight = 4.0f, splashAmount = 1.0f, dripAmount = 1.0f;
    float unitsPerMetre = 100.0f;
    std::shared_ptr<const ShelterBVH> scene;  // the captured scene; read only with collide on
};

struct FallRenderSetup {
    int64_t count = 0;                        // particles rendered: the lengthened count for rain that collides
    float height = 0.0f;                      // of the column
    FallMatrix objectToWorld;                 // the column's, its origin moved down with the lengthening
    std::shared_ptr<const ShelterBVH> scene;  // to stop at; null with collide off
    float splashHeight = 0.0f, splashAmount = 0.0f;
    float gravity = 0.0f;  // scene units per second squared
    bool runoff = false;
    std::shared_ptr<const DripEdgeList> drips;  // with run-off: the edges and running sums
    int64_t dripDrops = 0;
    float dripRate = 0.0f;
    std::wstring runoffStatus;  // " | run-off: N edges, D drops", empty without run-off
};

FallRenderSetup makeFallRenderSetup(const FallRenderInputs& in);

// Drip drops for edges weighing `totalWeight` scene units: 80 a metre of weight at a
// million particles, times dripAmount, bounded by kMaxDripDrops. `rate` is the count's
// share of a million, kept within [0.2, 3].
int64_t dripDropCount(float totalWeight, float unitsPerMetre, float dripAmount, float rate);
float dripRateFor(int64_t count);

}  // namespace wx
