// The CPU twin of launchForEach (gpu/launch.cuh): runs the same body functor for every
// item index in [0, count) on the thread pool (common/parallel_for.h), so a kernel written
// once runs, and is tested, on machines without a GPU. The body receives an int, as on
// the device; each call must only write what belongs to its own index. Throws what
// parallelFor throws.
#pragma once

#include <cstddef>

#include "common/check.h"
#include "common/parallel_for.h"

namespace wx {

template <class Body>
void forEachCpu(int count, const Body& body) {
    WX_CHECK(count >= 0);
    parallelFor(size_t(count), [&body](size_t i) { body(int(i)); });
}

}  // namespace wx
