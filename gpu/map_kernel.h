// The Weather Map as a kernel body: one shading sample per item, its mono value and its
// world-space bump, with the formulas the CPU shades with (weathermap/map_eval.h) and no
// shelter probe. Plain data only (the map's state by value, raw arrays), so the same
// functor runs on the device through launchForEach and on the thread pool through
// forEachCpu.
#pragma once

#include "common/hostdev.h"
#include "common/v3.h"
#include "weathermap/map_eval.h"
#include "weathermap/map_state.h"

namespace wx {

struct MapShadeKernel {
    MapState state;
    const MapSample* samples;
    float* mono;  // one value per sample
    V3* perturb;  // one world-space vector per sample

    WX_HOSTDEV void operator()(int i) const {
        mono[i] = mapMonoUnprobed(state, samples[i]);
        perturb[i] = mapPerturbWorld(state, samples[i]);
    }
};

}  // namespace wx
