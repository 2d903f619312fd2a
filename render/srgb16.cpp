#include "render/srgb16.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace wx {
namespace {

constexpr uint32_t kOneBits = 0x3F800000u;  // 1.0f
constexpr float kLinearBelow = 0.0031308f;
// The guess is taken this many codes low, so that with a polynomial error well under it
// the true code is the guess or the one above.
constexpr float kGuessMargin = 0.25f;

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
    int32_t guess = std::clamp(static_cast<int32_t>(value - kGuessMargin), 0, 65535);
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

#if defined(__x86_64__)
namespace {

struct EncoderTables {
    const uint32_t* thresholds;
    const float* poly;
    const float* octaveFactor;
};

// Eight samples to codes in 32-bit lanes, the same steps as the scalar encode();
// alphaLanes marks the lanes that are alpha.
__attribute__((target("avx2"))) inline __m256i encode8(__m256 v, __m256i alphaLanes, const EncoderTables& tab) {
    const __m256i bits = _mm256_castps_si256(v);
    const __m256i top = _mm256_set1_epi32(65535);
    const __m256 codeScale = _mm256_set1_ps(65535.0f), half = _mm256_set1_ps(0.5f);

    __m256 linear = _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(12.92f), v), codeScale), half);

    __m256i octave = _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), _mm256_set1_epi32(127 - 24));
    octave = _mm256_min_epi32(_mm256_max_epi32(octave, _mm256_setzero_si256()), _mm256_set1_epi32(23));
    __m256 f0 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(tab.octaveFactor), octave);
    __m256 f1 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(tab.octaveFactor + 8), octave);
    __m256 f2 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(tab.octaveFactor + 16), octave);
    __m256 factor = _mm256_blendv_ps(f0, f1, _mm256_castsi256_ps(_mm256_cmpgt_epi32(octave, _mm256_set1_epi32(7))));
    factor = _mm256_blendv_ps(factor, f2, _mm256_castsi256_ps(_mm256_cmpgt_epi32(octave, _mm256_set1_epi32(15))));
    __m256 m = _mm256_castsi256_ps(
        _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi32(0x7FFFFF)), _mm256_set1_epi32(int(kOneBits))));
    __m256 t = _mm256_sub_ps(m, _mm256_set1_ps(1.5f));
    __m256 p = _mm256_set1_ps(tab.poly[Srgb16Encoder::kPolyTerms - 1]);
    for (int k = Srgb16Encoder::kPolyTerms - 2; k >= 0; --k)
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(tab.poly[k]));
    __m256 curve = _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(1.055f), _mm256_mul_ps(factor, p)), _mm256_set1_ps(0.055f));
    curve = _mm256_add_ps(_mm256_mul_ps(curve, codeScale), half);

    __m256 value = _mm256_blendv_ps(curve, linear, _mm256_cmp_ps(v, _mm256_set1_ps(kLinearBelow), _CMP_LE_OQ));
    __m256i guess = _mm256_cvttps_epi32(_mm256_sub_ps(value, _mm256_set1_ps(kGuessMargin)));
    guess = _mm256_min_epi32(_mm256_max_epi32(guess, _mm256_setzero_si256()), top);
    __m256i next = _mm256_i32gather_epi32(reinterpret_cast<const int*>(tab.thresholds + 1), guess, 4);
    // bits >= next, as signed integers: in-range bits and every threshold are below 2^31.
    guess = _mm256_sub_epi32(guess, _mm256_xor_si256(_mm256_cmpgt_epi32(next, bits), _mm256_set1_epi32(-1)));
    __m256i colour = guess;

    // Alpha: a x 65535 + 0.5, truncated.
    __m256i alpha = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(v, codeScale), half));
    __m256i result = _mm256_blendv_epi8(colour, alpha, alphaLanes);

    // Out of range, by the bits as signed integers: <= 0 (negatives, -0, +0) gives 0;
    // 1 and above gives the top code, except positive NaNs, which give 0.
    __m256i nonPositive = _mm256_cmpgt_epi32(_mm256_set1_epi32(1), bits);
    __m256i atLeastOne = _mm256_cmpgt_epi32(bits, _mm256_set1_epi32(int(kOneBits) - 1));
    __m256i nan = _mm256_cmpgt_epi32(bits, _mm256_set1_epi32(0x7F800000));
    result = _mm256_blendv_epi8(result, top, atLeastOne);
    return _mm256_andnot_si256(_mm256_or_si256(nonPositive, nan), result);
}

bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) void encodeColoursAvx2(const EncoderTables& tab, const float* in, uint16_t* out,
                                                        size_t n) {
    const __m256i noAlpha = _mm256_setzero_si256();
    for (size_t i = 0; i + 8 <= n; i += 8) {
        __m256i codes = encode8(_mm256_loadu_ps(in + i), noAlpha, tab);
        __m128i packed = _mm_packus_epi32(_mm256_castsi256_si128(codes), _mm256_extracti128_si256(codes, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
}

__attribute__((target("avx2"))) void encodeRgbaPairsAvx2(const EncoderTables& tab, const float* pixels, size_t pairs,
                                                          uint8_t* out) {
    const __m256i alphaLanes = _mm256_setr_epi32(0, 0, 0, -1, 0, 0, 0, -1);
    // Swaps the two bytes of each 16-bit sample: PNG stores the high byte first.
    const __m128i bigEndian = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    for (size_t i = 0; i < pairs; ++i) {
        __m256i codes = encode8(_mm256_loadu_ps(pixels + 8 * i), alphaLanes, tab);
        __m128i packed = _mm_packus_epi32(_mm256_castsi256_si128(codes), _mm256_extracti128_si256(codes, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), _mm_shuffle_epi8(packed, bigEndian));
    }
}

}  // namespace
#endif

void Srgb16Encoder::encodeColours(const float* in, uint16_t* out, size_t n) const {
    size_t done = 0;
#if defined(__x86_64__)
    if (cpuHasAvx2()) {
        done = n / 8 * 8;
        encodeColoursAvx2({thresholdBits_.data(), poly_, octaveFactor_}, in, out, done);
    }
#endif
    for (size_t i = done; i < n; ++i) out[i] = encode(in[i]);
}

void Srgb16Encoder::encodeRgbaRowBigEndian(const float* pixels, size_t width, uint8_t* out) const {
    size_t done = 0;
#if defined(__x86_64__)
    if (cpuHasAvx2()) {
        done = width / 2 * 2;
        encodeRgbaPairsAvx2({thresholdBits_.data(), poly_, octaveFactor_}, pixels, done / 2, out);
    }
#endif
    encodeRgbaRowScalar(pixels + 4 * done, width - done, out + 8 * done);
}

}  // namespace wx
