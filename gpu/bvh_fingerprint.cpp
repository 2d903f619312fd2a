#include <algorithm>

#include "gpu/sky_gpu.h"

namespace wx {

uint64_t bvhFingerprint(const ShelterBVH& bvh) {
    constexpr uint64_t kBasis = 0x14650FB0739D0383ull;
    constexpr uint64_t kPrime = 0x100000001B3ull;
    uint64_t h = kBasis;
    auto bytes = [&](const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * kPrime;
    };
    const size_t m = std::min<size_t>(bvh.nodes.size(), 64);
    if (m > 0) {
        bytes(bvh.nodes.data(), m * sizeof(BVHNode));
        bytes(bvh.nodes.data() + bvh.nodes.size() - m, m * sizeof(BVHNode));
    }
    const size_t k = std::min<size_t>(bvh.tris.size(), 64);
    if (k > 0) {
        bytes(bvh.tris.data(), k * sizeof(BVHTri));
        bytes(bvh.tris.data() + bvh.tris.size() - k, k * sizeof(BVHTri));
    }
    return h;
}

}  // namespace wx
