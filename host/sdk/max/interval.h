// TimeValue (ticks, 4800 per second) and Interval, the validity span of a computed value.
// [s, e] is inclusive; empty is encoded as start = end = TIME_NegInfinity, so NEVER is empty
// and intersecting disjoint intervals gives NEVER. Plain value types; safe on any thread.
#pragma once

#include <climits>

using TimeValue = int;
constexpr int TIME_TICKSPERSEC = 4800;
constexpr TimeValue TIME_PosInfinity = INT_MAX;
constexpr TimeValue TIME_NegInfinity = INT_MIN;

inline double TicksToSec(TimeValue t) {
    return t / double(TIME_TICKSPERSEC);
}
inline TimeValue SecToTicks(double s) {
    return TimeValue(s * TIME_TICKSPERSEC);
}

class Interval {
public:
    constexpr Interval() = default;  // empty
    constexpr Interval(TimeValue s, TimeValue e) : start_(s), end_(e) {}
    constexpr TimeValue Start() const { return start_; }
    constexpr TimeValue End() const { return end_; }
    void Set(TimeValue s, TimeValue e) {
        start_ = s;
        end_ = e;
    }
    void SetStart(TimeValue s) { start_ = s; }
    void SetEnd(TimeValue e) { end_ = e; }
    void SetEmpty() { start_ = end_ = TIME_NegInfinity; }
    void SetInfinite() {
        start_ = TIME_NegInfinity;
        end_ = TIME_PosInfinity;
    }
    void SetInstant(TimeValue t) { start_ = end_ = t; }
    constexpr bool Empty() const { return start_ == TIME_NegInfinity && end_ == TIME_NegInfinity; }
    constexpr bool IsInfinite() const { return start_ == TIME_NegInfinity && end_ == TIME_PosInfinity; }
    // Number of ticks covered; saturates for spans wider than an int holds.
    long long Duration() const { return Empty() ? 0 : (long long)end_ - start_ + 1; }
    constexpr bool InInterval(TimeValue t) const { return !Empty() && start_ <= t && t <= end_; }
    constexpr bool InInterval(const Interval& i) const { return InInterval(i.start_) && InInterval(i.end_); }
    constexpr Interval operator&(const Interval& o) const {
        if (Empty() || o.Empty()) return Interval();
        TimeValue s = start_ > o.start_ ? start_ : o.start_;
        TimeValue e = end_ < o.end_ ? end_ : o.end_;
        return e < s ? Interval() : Interval(s, e);
    }
    Interval& operator&=(const Interval& o) { return *this = *this & o; }
    Interval& operator+=(TimeValue t) {
        if (Empty()) {
            start_ = end_ = t;
            return *this;
        }
        if (t < start_) start_ = t;
        if (t > end_) end_ = t;
        return *this;
    }
    constexpr bool operator==(const Interval& o) const { return start_ == o.start_ && end_ == o.end_; }
    constexpr bool operator!=(const Interval& o) const { return !(*this == o); }

private:
    TimeValue start_ = TIME_NegInfinity;
    TimeValue end_ = TIME_NegInfinity;
};

inline constexpr Interval FOREVER{TIME_NegInfinity, TIME_PosInfinity};
inline constexpr Interval NEVER{TIME_NegInfinity, TIME_NegInfinity};
