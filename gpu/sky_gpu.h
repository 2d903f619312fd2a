// Shelter measurement on an NVIDIA GPU: the very skyVisibility of the CPU path, one
// thread per point, with the hierarchy kept on the device between calls. It declines
// (returns false, computing nothing) for small jobs and on any failure, and the caller
// then runs the CPU path. One process-wide mutex serialises calls and guards the device
// copy; each call blocks until its results are back. A build without a CUDA compiler
// has the same entry point, which always declines.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "gpu/launch.h"
#include "shelter/bvh.h"
#include "shelter/sky_visibility.h"

namespace wx {

constexpr uint64_t kGpuMinRays = 200000;              // points x rays below this stay on the CPU
constexpr uint64_t kGpuReserveBytes = 943718400;      // 900 MiB of device memory left for others
constexpr int kSkyKernelBlock = 128;                  // threads per block

// results receives one SkyResult per point when true is returned. A report, when asked
// for, gets the kernel's device time, or why the device was not used or failed.
bool skyVisibilityGpu(const ShelterBVH& bvh, std::span<const V3> points, std::span<const V3> normals,
                      const SkyParams& params, std::vector<SkyResult>& results, LaunchReport* report = nullptr);

// The hierarchy's sampled fingerprint: FNV-1a style (basis 0x14650FB0739D0383) over the
// first and last min(count, 64) nodes, then the first and last min(count, 64) triangles.
uint64_t bvhFingerprint(const ShelterBVH& bvh);

// Whether this build has the CUDA backend at all.
bool skyGpuCompiled();

// Calls that got past the decline rules and asked the device anything; for tests of the
// rule that small jobs never touch it.
uint64_t skyGpuDeviceAttempts();

// How many times the device copy of a hierarchy was uploaded; for tests of the cache.
uint64_t skyGpuUploads();

}  // namespace wx
