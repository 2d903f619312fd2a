#include "fall/fall_field.h"

#include <algorithm>
#include <cmath>

namespace wx {

int64_t fallParticleCount(const FallInputs& in, FallCountMode mode) {
    const int64_t count = std::max<int64_t>(in.count, 0);
    if (mode == FallCountMode::Render) return count;
    // In double: vpPercent x count is exact there for every count the object allows.
    const double shown = std::round(double(in.vpPercent) * double(count) / 100.0);
    const int64_t cap = std::max<int64_t>(in.vpMax, 0);
    if (!(shown > 0.0)) return 0;  // none, or a percentage that is not a number
    return shown >= double(cap) ? cap : int64_t(shown);
}

FallParams makeFallParams(const FallInputs& in, FallCountMode mode) {
    FallParams p{};
    p.type = in.type;
    p.seedKey = int32_t(uint32_t(in.seed) + 1u);
    p.count = fallParticleCount(in, mode);
    p.width = in.width;
    p.length = in.length;
    p.height = in.height;
    p.speed = in.speed <= kFallMinSpeed ? kFallMinSpeed : in.speed;
    p.speedVar = in.speedVar;
    const float angle = in.windAngle * kFallDegToRad;
    p.windCos = cosf(angle);
    p.windSin = sinf(angle);
    p.windSpeed = in.windSpeed;
    p.gust = in.gust;
    p.sway = in.turbulence;
    p.swayFreq = in.turbFreq;
    p.size = in.size;
    p.sizeVar = in.sizeVar;
    p.streak = in.streak;
    p.dropWidth = in.dropWidth;
    return p;
}

}  // namespace wx
