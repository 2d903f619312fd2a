// Angles: settings are typed in degrees, the maths runs in radians. One float constant,
// pi / 180 rounded to the nearest float (0x3C8EFA35), so every subsystem and the GPU
// convert to the same bits.
#pragma once

#include "common/hostdev.h"

namespace wx {

constexpr float kRadiansPerDegree = 0.017453292f;

WX_HOSTDEV constexpr float radiansFromDegrees(float degrees) { return degrees * kRadiansPerDegree; }

}  // namespace wx
