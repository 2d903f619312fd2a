// Stand-in: an animatable value with linear keys, as node transforms (Point3) and animatable
// float and int parameters hold it. Between two keys the value is interpolated linearly,
// outside them it holds the first or last key, and without keys it is the constant `value`.
// Times are in ticks. Int tracks interpolate in float and leave the rounding to the caller,
// so that a curve moved by a fractional change rounds once per key. Main thread only.
#pragma once

#include <algorithm>
#include <vector>

#include "max/interval.h"

// The type a track of T interpolates in.
template <class T>
struct KeyTrackSample {
    using Type = T;
};
template <>
struct KeyTrackSample<int> {
    using Type = float;
};

template <class T>
struct KeyTrack {
    using Sample = typename KeyTrackSample<T>::Type;
    struct Key {
        TimeValue t = 0;
        T v{};
    };

    T value{};              // the value while there are no keys
    std::vector<Key> keys;  // strictly increasing times

    // The value at t; `valid` (when given) is intersected with the span over which it holds:
    // up to the first key before it, from the last key after it, only t between keys, and
    // forever with fewer than two keys.
    Sample At(TimeValue t, Interval* valid = nullptr) const {
        if (keys.size() < 2) return Sample(keys.empty() ? value : keys[0].v);
        if (t <= keys.front().t) {
            if (valid) *valid &= Interval(TIME_NegInfinity, keys.front().t);
            return Sample(keys.front().v);
        }
        if (t >= keys.back().t) {
            if (valid) *valid &= Interval(keys.back().t, TIME_PosInfinity);
            return Sample(keys.back().v);
        }
        auto hi = std::upper_bound(keys.begin(), keys.end(), t, [](TimeValue a, const Key& b) { return a < b.t; });
        auto lo = hi - 1;
        float u = float(double(t - lo->t) / double(hi->t - lo->t));
        if (valid) *valid &= Interval(t, t);
        return Sample(lo->v) + (Sample(hi->v) - Sample(lo->v)) * u;
    }

    // Sets the value at t. Under Auto Key (`animate`), or when a key sits at t already, the
    // key at t is set (the first key also keeps the old constant at time 0). Otherwise an
    // unkeyed track takes v as its constant, and a keyed one moves its whole curve by the
    // change at t: shift(key, delta) moves one key, delta = v - At(t) as a Sample.
    template <class Shift>
    void Set(TimeValue t, const T& v, bool animate, Shift shift) {
        if (!animate && keys.empty()) {
            value = v;
            return;
        }
        if (animate || std::any_of(keys.begin(), keys.end(), [&](const Key& k) { return k.t == t; })) {
            if (keys.empty()) keys.push_back({0, value});
            auto it = std::lower_bound(keys.begin(), keys.end(), t, [](const Key& k, TimeValue x) { return k.t < x; });
            if (it == keys.end() || it->t != t) it = keys.insert(it, Key{t, T{}});
            it->v = v;
            return;
        }
        Sample delta = Sample(v) - At(t);
        for (Key& k : keys) shift(k.v, delta);
    }
};
