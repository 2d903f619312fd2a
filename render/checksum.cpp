#include "render/checksum.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define WX_X86 1
#endif

namespace wx {
namespace {

constexpr uint32_t kAdlerMod = 65521;
// Largest n such that 255 n (n + 1) / 2 + (n + 1)(kAdlerMod - 1) fits in 32 bits: the
// bytes we may add before the sums must be reduced.
constexpr size_t kAdlerMaxRun = 5552;

// Slicing-by-8 tables, built once on first use and kept for the program's life.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

const CrcTables& crcTables() {
    static const CrcTables tables = [] {
        CrcTables t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (uint32_t n = 0; n < 256; ++n) {
            for (int s = 1; s < 8; ++s) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFF];
        }
        return t;
    }();
    return tables;
}

// Runs the raw CRC register (not complemented) over the bytes, eight at a time.
uint32_t crcRegisterSliced(const unsigned char* p, size_t n, uint32_t reg) {
    const CrcTables& t = crcTables();
    while (n >= 8) {
        uint32_t lo = reg ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        uint32_t hi = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        reg = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) reg = t[0][(reg ^ *p++) & 0xFF] ^ (reg >> 8);
    return reg;
}

uint32_t adlerScalar(const unsigned char* p, size_t n, uint32_t adler) {
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    while (n > 0) {
        size_t run = n < kAdlerMaxRun ? n : kAdlerMaxRun;
        n -= run;
        while (run--) {
            s1 += *p++;
            s2 += s1;
        }
        s1 %= kAdlerMod;
        s2 %= kAdlerMod;
    }
    return s2 << 16 | s1;
}

#if WX_X86
// acc times the two fold constants, plus the next 16 bytes.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i acc, __m128i k, __m128i data) {
    __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), data);
}

// Folds four 128-bit lanes over 64 bytes at a time with carry-less multiplies, then
// reduces to 32 bits (Barrett). The constants are x^k mod P for the reflected
// polynomial at the fold distances 512+64, 512, 128+64, 128, 64 and the Barrett pair.
__attribute__((target("pclmul,sse4.1"))) uint32_t crcRegisterFolded(const unsigned char* p, size_t n,
                                                                     uint32_t reg) {
    alignas(16) static const uint64_t kFold512[2] = {0x0154442bd4ull, 0x01c6e41596ull};
    alignas(16) static const uint64_t kFold128[2] = {0x01751997d0ull, 0x00ccaa009eull};
    alignas(16) static const uint64_t kFold64[2] = {0x0163cd6124ull, 0};
    alignas(16) static const uint64_t kBarrett[2] = {0x01db710641ull, 0x01f7011641ull};

    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold512));
    p += 64;
    n -= 64;

    while (n >= 64) {
        x1 = fold(x1, k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        x2 = fold(x2, k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
        x3 = fold(x3, k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)));
        x4 = fold(x4, k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)));
        p += 64;
        n -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold128));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    while (n >= 16) {
        x1 = fold(x1, k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        p += 16;
        n -= 16;
    }

    // 128 bits to 64, then 64 to 32 by Barrett reduction.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i t = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    t = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), t);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
    x1 = _mm_xor_si128(x1, t);
    reg = static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
    return crcRegisterSliced(p, n, reg);
}

__attribute__((target("avx2"))) inline uint64_t sumLanes(const __m256i& v) {
    alignas(32) uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    uint64_t s = 0;
    for (uint32_t lane : lanes) s += lane;
    return s;
}

// Per 32-byte step: s1 grows by the byte sum, s2 by 32 s1 plus the bytes weighted
// 32, 31, ..., 1. The weighted sums and s1's history are kept in vector lanes and folded
// into the scalar sums once per run of at most kAdlerMaxRun bytes.
__attribute__((target("avx2"))) uint32_t adlerAvx2(const unsigned char* p, size_t n, uint32_t adler) {
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17,
                                             16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i ones16 = _mm256_set1_epi16(1);
    const __m256i zero = _mm256_setzero_si256();
    while (n >= 32) {
        size_t chunks = (n < kAdlerMaxRun ? n : kAdlerMaxRun) / 32;
        n -= chunks * 32;
        __m256i byteSums = zero, prefix = zero, weighted = zero;
        for (size_t c = 0; c < chunks; ++c) {
            __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            prefix = _mm256_add_epi32(prefix, byteSums);
            byteSums = _mm256_add_epi32(byteSums, _mm256_sad_epu8(v, zero));
            weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(v, weights), ones16));
            p += 32;
        }
        uint64_t bytes = sumLanes(byteSums);
        uint64_t newS2 = s2 + uint64_t(s1) * 32 * chunks + 32 * sumLanes(prefix) + sumLanes(weighted);
        s1 = static_cast<uint32_t>((s1 + bytes) % kAdlerMod);
        s2 = static_cast<uint32_t>(newS2 % kAdlerMod);
    }
    return adlerScalar(p, n, s2 << 16 | s1);
}

bool cpuHasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}
bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

uint32_t crc32Portable(const void* data, size_t size, uint32_t crc) {
    return ~crcRegisterSliced(static_cast<const unsigned char*>(data), size, ~crc);
}

uint32_t crc32(const void* data, size_t size, uint32_t crc) {
#if WX_X86
    if (size >= 64 && cpuHasClmul())
        return ~crcRegisterFolded(static_cast<const unsigned char*>(data), size, ~crc);
#endif
    return crc32Portable(data, size, crc);
}

uint32_t adler32Portable(const void* data, size_t size, uint32_t adler) {
    return adlerScalar(static_cast<const unsigned char*>(data), size, adler);
}

uint32_t adler32(const void* data, size_t size, uint32_t adler) {
#if WX_X86
    if (size >= 32 && cpuHasAvx2()) return adlerAvx2(static_cast<const unsigned char*>(data), size, adler);
#endif
    return adler32Portable(data, size, adler);
}

uint32_t adler32Combine(uint32_t adlerA, uint32_t adlerB, uint64_t sizeB) {
    // Every running s1 of B's part is offset by (s1A - 1), so s2 gains sizeB (s1A - 1).
    uint64_t s1A = adlerA & 0xFFFF, s2A = adlerA >> 16;
    uint64_t s1B = adlerB & 0xFFFF, s2B = adlerB >> 16;
    uint64_t n = sizeB % kAdlerMod;
    uint64_t s1 = (s1A + s1B + kAdlerMod - 1) % kAdlerMod;
    uint64_t s2 = (s2A + s2B + n * ((s1A + kAdlerMod - 1) % kAdlerMod)) % kAdlerMod;
    return static_cast<uint32_t>(s2 << 16 | s1);
}

}  // namespace wx
