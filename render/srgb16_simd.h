// The vector forms of the 16-bit sample encoder (AVX2, eight samples a step; AVX-512,
// sixteen), shared constants, and the tables they read. Internal to the encoder: each
// function is compiled for its instruction set alone and is called only after a run-time
// check that the CPU has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wx::srgb16detail {

constexpr uint32_t kOneBits = 0x3F800000u;  // 1.0f
constexpr float kLinearBelow = 0.0031308f;
// How far, in codes, a computed value may stray from the formula's own float result
// (polynomial error about 0.02 plus rounding); a value that close to a code boundary
// is settled by the exact threshold of the next code.
constexpr float kCertainMargin = 0.03f;
constexpr int kPolyTerms = 7;

struct Tables {
    const uint32_t* thresholds;  // [k]: bits of the smallest float giving code >= k; [65536] = 0x7FFFFFFF
    const float* poly;           // kPolyTerms coefficients of m^(5/12) in powers of (m - 1.5)
    const float* octaveFactor;   // 24 factors 2^(5e/12), e = -24 .. -1
};

// n colour samples (n a multiple of the step) to codes.
void encodeColoursAvx2(const Tables& tab, const float* in, uint16_t* out, size_t n);
void encodeColoursAvx512(const Tables& tab, const float* in, uint16_t* out, size_t n);

// pixels RGBA pixels (a multiple of 2 for AVX2, of 4 for AVX-512) to big-endian samples.
void encodeRgbaAvx2(const Tables& tab, const float* rgba, size_t pixels, uint8_t* out);
void encodeRgbaAvx512(const Tables& tab, const float* rgba, size_t pixels, uint8_t* out);

}  // namespace wx::srgb16detail
