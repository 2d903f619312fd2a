// Integer hashes shared by the noise, the particle draws and the cache keys.
// hash32 is the 32-bit finaliser; fnv1a64 and mixKey build the 64-bit cache keys,
// where key 0 is reserved for "nothing built".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/hostdev.h"

namespace wx {

WX_HOSTDEV inline uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// Uniform float in [0, 1) from the top 24 bits of a hash.
WX_HOSTDEV inline float unitFromHash(uint32_t h) { return (float)(h >> 8) * (1.0f / 16777216.0f); }

constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// 64-bit FNV-1a over bytes, continuing from h (start from kFnvOffsetBasis).
inline uint64_t fnv1a64(const void* data, size_t size, uint64_t h = kFnvOffsetBasis) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= kFnvPrime;
    }
    return h;
}

// Folds one whole 64-bit value into a key: x = (x xor v) * golden, then x xor= x >> 29.
inline uint64_t mixKey(uint64_t x, uint64_t v) {
    x = (x ^ v) * 0x9e3779b97f4a7c15ull;
    x ^= x >> 29;
    return x;
}

// Folds a float's bit pattern, so that -0 and +0 are different keys, as their bytes are.
inline uint64_t mixKey(uint64_t x, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return mixKey(x, uint64_t{bits});
}

}  // namespace wx
