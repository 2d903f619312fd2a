// Tornado drift of the particle field: a particle is carried by a loaded wind over the
// recent part of its fall, integrated with twelve midpoint samples. Generic over the wind
// so that the CPU, the GPU and tests with made-up winds share the one body. A Wind offers
//   bool active() const;             // frames present and an influence above zero
//   float carriedFor() const;        // seconds of the fall that the wind carries
//   float framesPerSecond() const;   // the wind's own frame rate
//   V3 sample(float frameTime, V3 worldPoint) const;  // wind velocity, units per second
#pragma once

#include "fall/fall_field.h"

namespace wx {

constexpr int kFallDriftSamples = 12;

// World state of particle `index` at time t with the wind's drift. Every sample uses the
// node matrix at t (the node is taken to hold still over the carried-for window), and the
// velocity gains the last sample's wind only, not the change of the gusts over time.
template <class Wind>
WX_HOSTDEV FallParticle fallWorldWithDrift(const FallParams& p, uint64_t index, float t, const FallMatrix& m,
                                           const Wind& wind) {
    FallParticle w = fallWorld(p, index, t, m);
    if (!wind.active()) return w;
    const float carried = minf(w.age, wind.carriedFor());  // never reaches back past the top
    if (!(carried > 0.0f)) return w;
    const float step = carried / float(kFallDriftSamples);
    const float fps = wind.framesPerSecond();
    V3 drift{}, last{};
    for (int k = 0; k < kFallDriftSamples; ++k) {
        const float tau = t - carried + (float(k) + 0.5f) * step;
        const V3 at = fallWorld(p, index, tau, m).pos + drift;
        last = wind.sample(tau * fps, at);
        drift += last * step;
    }
    w.pos += drift;
    w.vel += last;
    return w;
}

}  // namespace wx
