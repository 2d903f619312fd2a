// The shelter measurement as a kernel body: skyVisibility for point i of flat arrays, the
// functor that the CUDA launcher runs one thread per point and forEachCpu runs on the
// thread pool. Plain data only (the hierarchy as a BVHView, raw pointers), so it is
// passed to the device by value as the kernel's one argument (104 bytes).
#pragma once

#include <cstdint>

#include "common/hostdev.h"
#include "shelter/bvh.h"
#include "shelter/sky_visibility.h"

namespace wx {

struct SkyPointsKernel {
    BVHView view;
    const V3* positions;
    const V3* normals;
    SkyParams params;
    SkyResult* results;  // one per point

    WX_HOSTDEV void operator()(int i) const {
        results[i] = skyVisibility(view, positions[i], normals[i], static_cast<uint32_t>(i), params);
    }
};

}  // namespace wx
