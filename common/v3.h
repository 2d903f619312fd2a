// V3: the three-float vector used by every geometry array and GPU record.
// Plain 12-byte aggregate so that arrays of it can be copied to the device as they are.
#pragma once

#include <cmath>

#include "common/hostdev.h"

namespace wx {

struct V3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
static_assert(sizeof(V3) == 12, "V3 is stored in files and device buffers as 12 bytes");

WX_HOSTDEV inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
WX_HOSTDEV inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
WX_HOSTDEV inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
WX_HOSTDEV inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
WX_HOSTDEV inline V3 operator*(float s, V3 a) { return {a.x * s, a.y * s, a.z * s}; }
WX_HOSTDEV inline V3 operator/(V3 a, float s) { return {a.x / s, a.y / s, a.z / s}; }
WX_HOSTDEV inline V3& operator+=(V3& a, V3 b) { a = a + b; return a; }
WX_HOSTDEV inline V3& operator-=(V3& a, V3 b) { a = a - b; return a; }
WX_HOSTDEV inline V3& operator*=(V3& a, float s) { a = a * s; return a; }

WX_HOSTDEV inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
WX_HOSTDEV inline V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
WX_HOSTDEV inline float length(V3 a) { return sqrtf(dot(a, a)); }

// Unit vector along a; a vector of length at most 1e-30 has no direction and gives +Z,
// the world's up axis, so callers never divide by zero.
WX_HOSTDEV inline V3 normalize(V3 a) {
    float len = length(a);
    if (!(len > 1e-30f)) return {0.0f, 0.0f, 1.0f};
    return a / len;
}

// Minimum and maximum as plain comparisons (one instruction each on the CPU, where
// fminf and fmaxf are library calls for the sake of NaN rules our data never needs).
WX_HOSTDEV inline float minf(float a, float b) { return b < a ? b : a; }
WX_HOSTDEV inline float maxf(float a, float b) { return a < b ? b : a; }

WX_HOSTDEV inline V3 vmin(V3 a, V3 b) { return {minf(a.x, b.x), minf(a.y, b.y), minf(a.z, b.z)}; }
WX_HOSTDEV inline V3 vmax(V3 a, V3 b) { return {maxf(a.x, b.x), maxf(a.y, b.y), maxf(a.z, b.z)}; }

}  // namespace wx
