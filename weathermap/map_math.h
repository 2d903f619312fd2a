// The Weather Map's elementary functions, written out so that they inline into the drop
// loops instead of costing a library call each. mapFmod is fmodf to the bit; mapExp and
// mapSin work in double and round once, so each is the correctly rounded float but for a
// hair (always within 1 ulp, measured over the whole range the ripples use). Each is
// one fixed sequence of operations, the same on every CPU path and on the GPU. Pure.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/hostdev.h"

namespace wx {

// The largest quotient |x / m| for which mapFmodNear answers: the product and the
// difference stay exact in double below it.
constexpr double kFmodNearQuotient = 536870912.0;  // 2^29

// fmodf(x, m) to the bit for finite x and finite m > 0 with |x / m| < kFmodNearQuotient:
// the quotient's integer part from a double division, corrected where the division rounds
// across an integer. Selects rather than branches, so that loops over many values vectorise.
WX_HOSTDEV inline float mapFmodNear(float x, float m) {
    const double md = double(m);
    double r = double(x) - double(int32_t(double(x) / md)) * md;
    const bool up = x >= 0.0f;
    r = (up ? r < 0.0 : r <= -md) ? r + md : r;
    r = (up ? r >= md : r > 0.0) ? r - md : r;
    return float(copysign(r, double(x)));  // a zero remainder keeps x's sign, as fmodf's does
}

// fmodf(x, m) to the bit for finite x and finite m > 0; quotients past kFmodNearQuotient
// (never met by the map's times) go to the library.
WX_HOSTDEV inline float mapFmod(float x, float m) {
    if (!(fabs(double(x) / double(m)) < kFmodNearQuotient)) return fmodf(x, m);
    return mapFmodNear(x, m);
}

namespace mathdetail {

// Written with bit operations rather than branches, so that loops over many values
// vectorise.

// 2^k for an integer k in [-1022, 1023].
WX_HOSTDEV inline double powerOfTwo(int32_t k) {
    const uint64_t bits = uint64_t(uint32_t(k + 1023)) << 52;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The nearest integer to t, |t| < 2^31 (halves away from zero).
WX_HOSTDEV inline int32_t nearestInt(double t) {
    return int32_t(t + copysign(0.5, t));
}

// a when the low bit of pick is clear, else b; negated when bit 1 of pick is set.
WX_HOSTDEV inline double pickQuadrant(int32_t pick, double a, double b) {
    uint64_t bitsA, bitsB;
    std::memcpy(&bitsA, &a, sizeof bitsA);
    std::memcpy(&bitsB, &b, sizeof bitsB);
    const uint64_t useB = uint64_t(0) - uint64_t(uint32_t(pick) & 1u);
    const uint64_t bits = ((bitsA & ~useB) | (bitsB & useB)) ^ (uint64_t(uint32_t(pick) & 2u) << 62);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace mathdetail

// e^x for x in [-150, 100], with no branch: 2^k e^r with |r| <= ln2 / 2 and e^r from
// its series to r^9 (relative error below 2^-40 before the one rounding to float).
WX_HOSTDEV inline float mapExpInRange(float x) {
    const double xd = double(x);
    const int32_t k = mathdetail::nearestInt(xd * 1.4426950408889634);  // log2(e)
    const double r = xd - double(k) * 0.69314718055994531;
    const double p =
        1.0 +
        r * (1.0 + r * (1.0 / 2 +
                        r * (1.0 / 6 +
                             r * (1.0 / 24 +
                                  r * (1.0 / 120 +
                                       r * (1.0 / 720 + r * (1.0 / 5040 + r * (1.0 / 40320 + r * (1.0 / 362880)))))))));
    return float(p * mathdetail::powerOfTwo(k));
}

// e^x for any x. Below -150 the float result is 0 and above 100 it is infinite, so x is
// held there; NaN gives NaN.
WX_HOSTDEV inline float mapExp(float x) {
    if (x != x) return x;
    return mapExpInRange(x < -150.0f ? -150.0f : (x > 100.0f ? 100.0f : x));
}

// sin x for |x| <= 1e5, with no branch: x less the nearest multiple q of pi/2, taken off
// in two parts (q times the 36-bit head of pi/2 is exact), then the sine or cosine
// series of the remainder (|z| <= pi/4, relative error below 2^-36) by q's quadrant.
WX_HOSTDEV inline float mapSinInRange(float x) {
    const double xd = double(x);
    const int32_t q = mathdetail::nearestInt(xd * 0.63661977236758134);  // 2 / pi
    const double z = (xd - double(q) * 0x1.921fb5444p+0) - double(q) * 2.5633441515945189e-12;
    const double z2 = z * z;
    const double sine =
        z + z * z2 * (-1.0 / 6 + z2 * (1.0 / 120 + z2 * (-1.0 / 5040 + z2 * (1.0 / 362880 + z2 * (-1.0 / 39916800)))));
    const double cosine =
        1.0 +
        z2 * (-1.0 / 2 + z2 * (1.0 / 24 + z2 * (-1.0 / 720 +
                                                z2 * (1.0 / 40320 + z2 * (-1.0 / 3628800 + z2 * (1.0 / 479001600))))));
    return float(mathdetail::pickQuadrant(q, sine, cosine));
}

// sin x for any x: beyond |x| = 1e5 the head of pi/2 times q is no longer exact, and the
// library's sinf answers there, as for NaN and the infinities.
WX_HOSTDEV inline float mapSin(float x) {
    return fabsf(x) <= 1e5f ? mapSinInRange(x) : sinf(x);
}

}  // namespace wx
