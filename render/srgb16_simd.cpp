#include "render/srgb16_simd.h"

#if defined(__x86_64__)
// GCC 12's AVX-512 headers start some intrinsics from an undefined register, which
// -Wmaybe-uninitialized reports at every use once inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace wx::srgb16detail {
namespace {

#define WX_AVX2 __attribute__((target("avx2")))
#define WX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq")))

// Eight samples to codes in 32-bit lanes, the same curve as the scalar encode();
// alphaLanes marks the lanes that are alpha. A colour lane within kCertainMargin of a
// code boundary comes back holding the lower candidate, flagged in *uncertain.
WX_AVX2 inline __m256i encode8(__m256 v, __m256i alphaLanes, const Tables& tab, __m256i* uncertain) {
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
    __m256 p = _mm256_set1_ps(tab.poly[kPolyTerms - 1]);
    for (int k = kPolyTerms - 2; k >= 0; --k) p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(tab.poly[k]));
    __m256 curve = _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(1.055f), _mm256_mul_ps(factor, p)), _mm256_set1_ps(0.055f));
    curve = _mm256_add_ps(_mm256_mul_ps(curve, codeScale), half);

    __m256 value = _mm256_blendv_ps(curve, linear, _mm256_cmp_ps(v, _mm256_set1_ps(kLinearBelow), _CMP_LE_OQ));
    __m256i low = _mm256_cvttps_epi32(_mm256_sub_ps(value, _mm256_set1_ps(kCertainMargin)));
    __m256i high = _mm256_cvttps_epi32(_mm256_add_ps(value, _mm256_set1_ps(kCertainMargin)));
    __m256i colour = _mm256_min_epi32(_mm256_max_epi32(low, _mm256_setzero_si256()), top);

    __m256i alpha = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(v, codeScale), half));
    __m256i result = _mm256_blendv_epi8(colour, alpha, alphaLanes);

    // Out of range, by the bits as signed integers: <= 0 (negatives, -0, +0) gives 0;
    // 1 and above gives the top code, except positive NaNs, which give 0.
    __m256i nonPositive = _mm256_cmpgt_epi32(_mm256_set1_epi32(1), bits);
    __m256i atLeastOne = _mm256_cmpgt_epi32(bits, _mm256_set1_epi32(int(kOneBits) - 1));
    __m256i nan = _mm256_cmpgt_epi32(bits, _mm256_set1_epi32(0x7F800000));
    result = _mm256_blendv_epi8(result, top, atLeastOne);
    result = _mm256_andnot_si256(_mm256_or_si256(nonPositive, nan), result);

    __m256i straddles = _mm256_xor_si256(_mm256_cmpeq_epi32(low, high), _mm256_set1_epi32(-1));
    *uncertain = _mm256_andnot_si256(_mm256_or_si256(alphaLanes, _mm256_or_si256(nonPositive, atLeastOne)), straddles);
    return result;
}

// Settles the uncertain lanes between their lower candidate and the next code by the
// exact threshold, then packs to 16 bits. Most groups have none and skip the look-up.
WX_AVX2 inline __m128i settle8(__m256i codes, __m256i uncertain, __m256 v, const Tables& tab) {
    if (!_mm256_testz_si256(uncertain, uncertain)) {
        __m256i next = _mm256_i32gather_epi32(reinterpret_cast<const int*>(tab.thresholds + 1), codes, 4);
        // bits >= next as signed integers: in-range bits and every threshold are below 2^31.
        __m256i reached = _mm256_andnot_si256(_mm256_cmpgt_epi32(next, _mm256_castps_si256(v)), uncertain);
        codes = _mm256_sub_epi32(codes, reached);
    }
    return _mm_packus_epi32(_mm256_castsi256_si128(codes), _mm256_extracti128_si256(codes, 1));
}

// Sixteen samples at a time: the same steps with mask registers, a two-register table
// for the octave factors and a masked look-up for the uncertain lanes.
WX_AVX512 inline __m512i encode16(__m512 v, __mmask16 alphaLanes, const Tables& tab) {
    const __m512i bits = _mm512_castps_si512(v);
    const __m512i top = _mm512_set1_epi32(65535);
    const __m512 codeScale = _mm512_set1_ps(65535.0f), half = _mm512_set1_ps(0.5f);

    __m512 linear = _mm512_add_ps(_mm512_mul_ps(_mm512_mul_ps(_mm512_set1_ps(12.92f), v), codeScale), half);

    __m512i octave = _mm512_sub_epi32(_mm512_srli_epi32(bits, 23), _mm512_set1_epi32(127 - 24));
    octave = _mm512_min_epi32(_mm512_max_epi32(octave, _mm512_setzero_si512()), _mm512_set1_epi32(23));
    __m512 factor = _mm512_permutex2var_ps(_mm512_loadu_ps(tab.octaveFactor), octave,
                                           _mm512_castps256_ps512(_mm256_loadu_ps(tab.octaveFactor + 16)));
    __m512 m = _mm512_castsi512_ps(
        _mm512_or_si512(_mm512_and_si512(bits, _mm512_set1_epi32(0x7FFFFF)), _mm512_set1_epi32(int(kOneBits))));
    __m512 t = _mm512_sub_ps(m, _mm512_set1_ps(1.5f));
    __m512 p = _mm512_set1_ps(tab.poly[kPolyTerms - 1]);
    for (int k = kPolyTerms - 2; k >= 0; --k) p = _mm512_add_ps(_mm512_mul_ps(p, t), _mm512_set1_ps(tab.poly[k]));
    __m512 curve = _mm512_sub_ps(_mm512_mul_ps(_mm512_set1_ps(1.055f), _mm512_mul_ps(factor, p)), _mm512_set1_ps(0.055f));
    curve = _mm512_add_ps(_mm512_mul_ps(curve, codeScale), half);

    __m512 value = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(v, _mm512_set1_ps(kLinearBelow), _CMP_LE_OQ), curve, linear);
    __m512i low = _mm512_cvttps_epi32(_mm512_sub_ps(value, _mm512_set1_ps(kCertainMargin)));
    __m512i high = _mm512_cvttps_epi32(_mm512_add_ps(value, _mm512_set1_ps(kCertainMargin)));
    __m512i codes = _mm512_min_epi32(_mm512_max_epi32(low, _mm512_setzero_si512()), top);
    codes = _mm512_mask_mov_epi32(codes, alphaLanes,
                                  _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(v, codeScale), half)));

    __mmask16 nonPositive = _mm512_cmplt_epi32_mask(bits, _mm512_set1_epi32(1));
    __mmask16 atLeastOne = _mm512_cmpgt_epi32_mask(bits, _mm512_set1_epi32(int(kOneBits) - 1));
    __mmask16 nan = _mm512_cmpgt_epi32_mask(bits, _mm512_set1_epi32(0x7F800000));
    codes = _mm512_mask_mov_epi32(codes, atLeastOne, top);
    codes = _mm512_maskz_mov_epi32(__mmask16(~(nonPositive | nan)), codes);

    __mmask16 uncertain = _mm512_cmpneq_epi32_mask(low, high) & __mmask16(~(alphaLanes | nonPositive | atLeastOne));
    if (uncertain) {
        __m512i next = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), uncertain, codes,
                                                   reinterpret_cast<const int*>(tab.thresholds + 1), 4);
        __mmask16 reached = _mm512_mask_cmpge_epi32_mask(uncertain, bits, next);
        codes = _mm512_mask_add_epi32(codes, reached, codes, _mm512_set1_epi32(1));
    }
    return codes;
}

}  // namespace

WX_AVX2 void encodeColoursAvx2(const Tables& tab, const float* in, uint16_t* out, size_t n) {
    const __m256i noAlpha = _mm256_setzero_si256();
    for (size_t i = 0; i + 8 <= n; i += 8) {
        __m256i uncertain;
        __m256 v = _mm256_loadu_ps(in + i);
        __m256i codes = encode8(v, noAlpha, tab, &uncertain);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), settle8(codes, uncertain, v, tab));
    }
}

WX_AVX2 void encodeRgbaAvx2(const Tables& tab, const float* rgba, size_t pixels, uint8_t* out) {
    const __m256i alphaLanes = _mm256_setr_epi32(0, 0, 0, -1, 0, 0, 0, -1);
    // Swaps the two bytes of each 16-bit sample: PNG stores the high byte first.
    const __m128i bigEndian = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    for (size_t i = 0; i + 2 <= pixels; i += 2) {
        __m256i uncertain;
        __m256 v = _mm256_loadu_ps(rgba + 4 * i);
        __m256i codes = encode8(v, alphaLanes, tab, &uncertain);
        __m128i packed = settle8(codes, uncertain, v, tab);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), _mm_shuffle_epi8(packed, bigEndian));
    }
}

WX_AVX512 void encodeColoursAvx512(const Tables& tab, const float* in, uint16_t* out, size_t n) {
    for (size_t i = 0; i + 16 <= n; i += 16) {
        __m512i codes = encode16(_mm512_loadu_ps(in + i), 0, tab);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm512_cvtepi32_epi16(codes));
    }
}

WX_AVX512 void encodeRgbaAvx512(const Tables& tab, const float* rgba, size_t pixels, uint8_t* out) {
    const __m256i bigEndian = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,  //
                                               1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    for (size_t i = 0; i + 4 <= pixels; i += 4) {
        __m512i codes = encode16(_mm512_loadu_ps(rgba + 4 * i), 0x8888, tab);
        __m256i packed = _mm512_cvtepi32_epi16(codes);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * i), _mm256_shuffle_epi8(packed, bigEndian));
    }
}

}  // namespace wx::srgb16detail
#endif
