// 16-bit sample encoding of the PNG writer. Colour goes through the sRGB transfer curve,
// alpha stays linear; both clamp to [0, 1] (NaN encodes as 0).
//
// srgb16Formula is the definition, in single precision as written. Srgb16Encoder gives
// the same code for every float, fast: a polynomial guess that is the right code or one
// below it, then one comparison with the exact threshold of the next code (the smallest
// input that reaches it, found once from the formula itself). An AVX2 form runs eight
// samples at a time where the CPU has it. Thread safe once built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wx {

uint16_t srgb16Formula(float c);

inline uint16_t linear16(float a) {
    // Written so that NaN fails both tests and lands on 0.
    if (!(a > 0.0f)) return 0;
    if (!(a < 1.0f)) return 65535;
    return static_cast<uint16_t>(static_cast<int>(a * 65535.0f + 0.5f));
}

// Instruction sets the encoder can run on; each gives the same codes.
enum class SimdPath { Scalar, Avx2, Avx512 };

class Srgb16Encoder {
public:
    // Built once per process (a 256 KB table, a few milliseconds).
    static const Srgb16Encoder& instance();

    uint16_t encode(float c) const;

    // n colour samples.
    void encodeColours(const float* in, uint16_t* out, size_t n) const { encodeColours(bestPath(), in, out, n); }
    void encodeColours(SimdPath path, const float* in, uint16_t* out, size_t n) const;

    // width RGBA pixels as 16-bit big-endian samples (a PNG scanline's body), colour
    // through the curve and alpha linear.
    void encodeRgbaRowBigEndian(const float* pixels, size_t width, uint8_t* out) const {
        encodeRgbaRowBigEndian(bestPath(), pixels, width, out);
    }
    void encodeRgbaRowBigEndian(SimdPath path, const float* pixels, size_t width, uint8_t* out) const;

    // The fastest path this CPU runs, and whether it runs a given one.
    static SimdPath bestPath();
    static bool supports(SimdPath path);

    static constexpr int kPolyTerms = 7;

private:
    Srgb16Encoder();
    void encodeRgbaRowScalar(const float* pixels, size_t width, uint8_t* out) const;

    std::vector<uint32_t> thresholdBits_;  // [k]: bits of the smallest float giving code >= k
    float poly_[kPolyTerms];               // m^(5/12) on [1, 2) in powers of (m - 1.5)
    float octaveFactor_[24];               // 2^(5e/12) for exponents e = -24 .. -1
};

}  // namespace wx
