// The splat renderer's standard scene, shared by its benchmark and its GPU check: the fall
// object's defaults (a 1000 x 1000 x 500 box, pivot at the base centre at the origin) at
// t = 12.5 s, seen from (0, -1500, 170) along +Y with +Z up, a 45 degree horizontal field
// of view, 1920 x 1080, no scene, lamps or fog.
#pragma once

#include <cmath>
#include <cstdint>

#include "splat/fall_render_job.h"

namespace wxbench {

inline wx::FallRenderJob standardFallJob(int type, int64_t count) {
    wx::FallRenderJob job;
    job.type = type;
    job.count = count;
    job.time = 12.5f;
    job.imageWidth = 1920;
    job.imageHeight = 1080;
    wx::CamDev& c = job.cam;
    c.pos = {0.0f, -1500.0f, 170.0f};
    c.right = {1.0f, 0.0f, 0.0f};
    c.up = {0.0f, 0.0f, 1.0f};
    c.forward = {0.0f, 1.0f, 0.0f};
    c.tanHalfX = std::tan(22.5f * 3.14159265f / 180.0f);
    c.tanHalfY = c.tanHalfX * 1080.0f / 1920.0f;
    c.width = 1920;
    c.height = 1080;
    return job;
}

}  // namespace wxbench
