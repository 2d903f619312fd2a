#include "render/srgb16.h"

#include <algorithm>
#include <cmath>

#include "render/srgb16_simd.h"

namespace wx {
namespace {

static_assert(Srgb16Encoder::kPolyTerms == srgb16detail::kPolyTerms, "scalar and vector forms share the fit");

using srgb16detail::kCertainMargin;
using srgb16detail::kLinearBelow;
using srgb16detail::kOneBits;

// Least-squares fit of m^(5/12) over [1, 2) in powers of t = m - 1.5, in double
// precision on Chebyshev nodes (relative error about 3e-7, 0.02 of a code).
void fitPower(float* coefficients) {
    constexpr int n = Srgb16Encoder::kPolyTerms;
    double a[n][n + 1] = {};
    constexpr int samples = 4000;
    for (int i = 0; i < samples; ++i) {
        double t = 0.5 * std::cos(M_PI * (i + 0.5) / samples);
        double y = std::pow(t + 1.5, 0.41666666);
        double p[n];
        p[0] = 1.0;
        for (int k = 1; k < n; ++k) p[k] = p[k - 1] * t;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) a[r][c] += p[r] * p[c];
            a[r][n] += p[r] * y;
        }
    }
    for (int i = 0; i < n; ++i) {  // Gauss-Jordan with partial pivoting
        int pivot = i;
        for (int r = i + 1; r < n; ++r)
            if (std::fabs(a[r][i]) > std::fabs(a[pivot][i])) pivot = r;
        for (int c = 0; c <= n; ++c) std::swap(a[i][c], a[pivot][c]);
        for (int r = 0; r < n; ++r) {
            if (r == i) continue;
            double f = a[r][i] / a[i][i];
            for (int c = 0; c <= n; ++c) a[r][c] -= f * a[i][c];
        }
    }
    for (int i = 0; i < n; ++i) coefficients[i] = static_cast<float>(a[i][n] / a[i][i]);
}

}  // namespace

uint16_t srgb16Formula(float c) {
    if (!(c > 0.0f)) c = 0.0f;  // negatives and NaN
    if (c > 1.0f) c = 1.0f;
    float v = c <= kLinearBelow ? 12.92f * c : 1.055f * powf(c, 0.41666666f) - 0.055f;
    int code = static_cast<int>(v * 65535.0f + 0.5f);
    return static_cast<uint16_t>(code < 0 ? 0 : code > 65535 ? 65535 : code);
}

const Srgb16Encoder& Srgb16Encoder::instance() {
    static const Srgb16Encoder encoder;
    return encoder;
}

Srgb16Encoder::Srgb16Encoder() : thresholdBits_(65537) {
    auto codeOfBits = [](uint32_t bits) {
        float c;
        std::memcpy(&c, &bits, sizeof c);
        return srgb16Formula(c);
    };
    // The formula does not decrease as its input grows (the exhaustive test holds every
    // float to that), so each threshold can be found by bisection over the bit patterns,
    // which order non-negative floats.
    thresholdBits_[0] = 0;
    uint32_t lo = 0;
    for (uint32_t k = 1; k <= 65535; ++k) {
        uint32_t hi = kOneBits;
        while (lo < hi) {
            uint32_t mid = lo + (hi - lo) / 2;
            if (codeOfBits(mid) >= k) hi = mid;
            else lo = mid + 1;
        }
        thresholdBits_[k] = lo;
    }
    // No code above the top one. Any in-range input compares below this as a signed or
    // an unsigned integer.
    thresholdBits_[65536] = 0x7FFFFFFFu;

    fitPower(poly_);
    for (int e = -24; e <= -1; ++e) octaveFactor_[e + 24] = static_cast<float>(std::exp2(e * 0.41666666));
}

uint16_t Srgb16Encoder::encode(float c) const {
    uint32_t bits;
    std::memcpy(&bits, &c, sizeof bits);
    if (bits >= kOneBits) {
        // Negative numbers, -0 and negative NaNs have the sign bit and give 0; 1 and
        // above give the top code; positive NaNs give 0.
        if (bits & 0x80000000u) return 0;
        return bits > 0x7F800000u ? 0 : 65535;
    }
    float value;
    if (c <= kLinearBelow) {
        value = 12.92f * c * 65535.0f + 0.5f;
    } else {
        int octave = std::clamp(int(bits >> 23) - 127 + 24, 0, 23);
        uint32_t mantissaBits = (bits & 0x7FFFFFu) | kOneBits;
        float m;
        std::memcpy(&m, &mantissaBits, sizeof m);
        float t = m - 1.5f, p = poly_[kPolyTerms - 1];
        for (int k = kPolyTerms - 2; k >= 0; --k) p = p * t + poly_[k];
        value = (1.055f * (octaveFactor_[octave] * p) - 0.055f) * 65535.0f + 0.5f;
    }
    int32_t guess = std::clamp(static_cast<int32_t>(value - kCertainMargin), 0, 65535);
    guess += bits >= thresholdBits_[guess + 1];
    return static_cast<uint16_t>(guess);
}

void Srgb16Encoder::encodeRgbaRowScalar(const float* pixels, size_t width, uint8_t* out) const {
    for (size_t x = 0; x < width; ++x, pixels += 4, out += 8) {
        uint16_t s[4] = {encode(pixels[0]), encode(pixels[1]), encode(pixels[2]), linear16(pixels[3])};
        for (int i = 0; i < 4; ++i) {
            out[2 * i] = uint8_t(s[i] >> 8);
            out[2 * i + 1] = uint8_t(s[i]);
        }
    }
}

SimdPath Srgb16Encoder::bestPath() {
    static const SimdPath best = supports(SimdPath::Avx512) ? SimdPath::Avx512
                                 : supports(SimdPath::Avx2) ? SimdPath::Avx2
                                                            : SimdPath::Scalar;
    return best;
}

bool Srgb16Encoder::supports(SimdPath path) {
#if defined(__x86_64__)
    switch (path) {
        case SimdPath::Scalar: return true;
        case SimdPath::Avx2: return __builtin_cpu_supports("avx2");
        case SimdPath::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    }
#endif
    return path == SimdPath::Scalar;
}

void Srgb16Encoder::encodeColours(SimdPath path, const float* in, uint16_t* out, size_t n) const {
    size_t done = 0;
#if defined(__x86_64__)
    const srgb16detail::Tables tab{thresholdBits_.data(), poly_, octaveFactor_};
    if (path == SimdPath::Avx512 && supports(path)) {
        done = n / 16 * 16;
        srgb16detail::encodeColoursAvx512(tab, in, out, done);
    } else if (path != SimdPath::Scalar && supports(SimdPath::Avx2)) {
        done = n / 8 * 8;
        srgb16detail::encodeColoursAvx2(tab, in, out, done);
    }
#endif
    for (size_t i = done; i < n; ++i) out[i] = encode(in[i]);
}

void Srgb16Encoder::encodeRgbaRowBigEndian(SimdPath path, const float* pixels, size_t width, uint8_t* out) const {
    size_t done = 0;
#if defined(__x86_64__)
    const srgb16detail::Tables tab{thresholdBits_.data(), poly_, octaveFactor_};
    if (path == SimdPath::Avx512 && supports(path)) {
        done = width / 4 * 4;
        srgb16detail::encodeRgbaAvx512(tab, pixels, done, out);
    } else if (path != SimdPath::Scalar && supports(SimdPath::Avx2)) {
        done = width / 2 * 2;
        srgb16detail::encodeRgbaAvx2(tab, pixels, done, out);
    }
#endif
    encodeRgbaRowScalar(pixels + 4 * done, width - done, out + 8 * done);
}

}  // namespace wx
