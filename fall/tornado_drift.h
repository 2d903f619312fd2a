// A loaded tornado wind as the particle drift (fall/fall_drift.h) sees it: the Wind shape
// fallWorldWithDrift takes, over a TornadoWind. Plain data that points at the cache's
// frames; pure, so any number of threads may sample one copy.
#pragma once

#include "common/hostdev.h"
#include "fall/fall_drift.h"
#include "fall/tornado_wind.h"

namespace wx {

struct TornadoDriftWind {
    TornadoWind wind;

    // Frames present and an influence above zero (NaN counts as none).
    WX_HOSTDEV bool active() const { return wind.frames && wind.frameCount > 0 && wind.influence > 0.0f; }
    WX_HOSTDEV float carriedFor() const { return wind.carriedFor; }
    WX_HOSTDEV float framesPerSecond() const { return wind.framesPerSecond; }
    WX_HOSTDEV V3 sample(float frameTime, V3 worldPoint) const {
        return sampleTornadoWind(wind, frameTime, worldPoint);
    }
};

}  // namespace wx
