// Float helpers that kernel bodies share on the CPU and the GPU: a finiteness test that
// reads the exponent bits (so fast-maths builds cannot fold it away), and the conversion
// of a float to a 32-bit lattice or hash index. Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/hostdev.h"
#include "common/v3.h"

namespace wx {

WX_HOSTDEV inline bool isFiniteBits(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7F800000u) != 0x7F800000u;
}

WX_HOSTDEV inline bool isFiniteV3(V3 v) {
    return isFiniteBits(v.x) && isFiniteBits(v.y) && isFiniteBits(v.z);
}

// The integer part of v (truncated toward zero) wrapped to 32 bits, as unsigned
// arithmetic on a lattice index wraps. A float past +-2^62 has no fraction left and is
// held at +-4.6e18 so that the 64-bit conversion is defined; NaN and infinities give 0.
WX_HOSTDEV inline uint32_t wrapToU32(float v) {
    if (!isFiniteBits(v)) return 0u;
    const double held = fmax(-4.6e18, fmin(4.6e18, double(v)));
    return uint32_t(uint64_t(int64_t(held)));
}

}  // namespace wx
