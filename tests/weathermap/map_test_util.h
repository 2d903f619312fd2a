// Seeded samples and small states shared by the Weather Map tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "weathermap/map_state.h"

namespace wx::maptest {

// A map in one mode with every optional effect off, so a test switches on what it checks.
inline MapState plainState(MapMode mode) {
    MapState m;
    m.mode = int32_t(mode);
    m.breakup = 0.0f;
    m.puddleAmount = 0.0f;
    m.upFacing = 0.0f;
    return m;
}

inline MapSample sampleAt(V3 position, V3 normal, float s = 0.0f) {
    MapSample sample;
    sample.position = position;
    sample.normal = normal;
    sample.viewDir = -normal;
    sample.s = s;
    return sample;
}

// Random samples over a 2000-unit square, heights within 50 units, normals of every
// direction, times within +-100 s; the same for every run.
inline std::vector<MapSample> seededSamples(int count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> span(-1000.0f, 1000.0f), unit(-1.0f, 1.0f), height(-50.0f, 50.0f),
        time(-100.0f, 100.0f);
    std::vector<MapSample> samples;
    for (int i = 0; i < count; ++i) {
        MapSample s = sampleAt({span(rng), span(rng), height(rng)}, {unit(rng), unit(rng), unit(rng)}, time(rng));
        s.viewDir = {unit(rng), unit(rng), unit(rng)};
        s.faceNumber = int32_t(rng() % 100000u);
        s.paintFactor = 0.5f * (unit(rng) + 1.0f);
        samples.push_back(s);
    }
    return samples;
}

}  // namespace wx::maptest
