// The two atomic updates that kernels use on shared buffers: float add (accumulation
// images) and float minimum through the bit pattern (depth buffers). The minimum compares
// the bits as signed integers, which orders floats correctly only when all are >= 0, as
// depths are. CUDA atomics on the device, std::atomic_ref on the CPU.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/hostdev.h"

#if !defined(__CUDA_ARCH__)
#include <atomic>
#endif

namespace wx {

WX_HOSTDEV inline void atomicAddFloat(float* target, float value) {
#if defined(__CUDA_ARCH__)
    atomicAdd(target, value);
#else
    std::atomic_ref<float>(*target).fetch_add(value, std::memory_order_relaxed);
#endif
}

WX_HOSTDEV inline void atomicMinFloatBits(float* target, float value) {
#if defined(__CUDA_ARCH__)
    atomicMin(reinterpret_cast<int*>(target), __float_as_int(value));
#else
    auto asInt = [](float f) {
        int32_t i;
        std::memcpy(&i, &f, sizeof i);
        return i;
    };
    std::atomic_ref<float> slot(*target);
    float seen = slot.load(std::memory_order_relaxed);
    while (asInt(value) < asInt(seen) &&
           !slot.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
#endif
}

}  // namespace wx
