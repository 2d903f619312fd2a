// parallelFor: the thread pool of the per-point loops (shelter rays, snow amount, kernels
// on the CPU). Small loops run inline, in order, on the calling thread; larger ones are
// handed out in chunks of 256 indices to fresh worker threads. Each body call must only
// write data that belongs to its own index.
#pragma once

#include <cstddef>
#include <functional>

namespace wx {

constexpr size_t kParallelInlineBelow = 2048;  // items; thread start-up is not worth it below
constexpr size_t kParallelChunk = 256;         // items taken per atomic fetch-and-add
constexpr unsigned kParallelMaxThreads = 64;

// Threads a parallel loop uses: max(1, min(hardware concurrency, 64)), or fewer when the
// environment variable WX_THREADS or setParallelThreadLimit caps it.
unsigned parallelThreadCount();

// Caps the thread count for this process (0 removes the cap). Tests use it to compare
// one thread against many.
void setParallelThreadLimit(unsigned limit);

// Calls body(i) for every i in [0, count) and returns when all calls are done; body must
// not be empty (std::logic_error, see common/check.h).
// Throws std::system_error (resource_unavailable_try_again) when a worker cannot start,
// after joining the workers that did; an exception thrown by a body is rethrown here
// after every worker has been joined (the first one thrown wins, the rest of the work
// is abandoned).
void parallelFor(size_t count, const std::function<void(size_t)>& body);

// How a loop is shared out: loops of fewer than `inlineBelow` items run inline, and each
// worker takes `chunk` items at a time. Loops whose items are costly (a few particles
// carried by a tornado each) want both small.
struct ParallelGrain {
    size_t inlineBelow = kParallelInlineBelow;
    size_t chunk = kParallelChunk;
};
void parallelFor(size_t count, const std::function<void(size_t)>& body, ParallelGrain grain);

// Makes the worker with this 0-based index fail to start, as when the system is out of
// threads, in every later parallel loop; -1 turns it off. For tests of the failure path.
void failParallelWorkerStartAt(int index);

}  // namespace wx
