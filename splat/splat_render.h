// The two backends of the splat renderer, one contract: draw a FallRenderJob into
// imageWidth x imageHeight premultiplied RGBA floats (row 0 on top). Both check the job
// before allocating anything, run the same kernels in the same order (depth, scene
// raster, particles, drips, finish) and leave outImage untouched when they fail, with the
// reason in outError. outSeconds is the whole call's wall time, set on failure too.
// renderFallOnCpu keeps its buffers between calls (a fresh 1080p set costs about 0.2 s of
// page faults) and serialises callers on them; renderFallOnGpu blocks until the device is
// done and frees every device buffer before it returns.
#pragma once

#include <string>
#include <vector>

#include "splat/fall_render_job.h"

namespace wx {

bool renderFallOnCpu(const FallRenderJob& job, std::vector<float>& outImage, double& outSeconds, std::string& outError);

bool renderFallOnGpu(const FallRenderJob& job, std::vector<float>& outImage, double& outSeconds, std::string& outError);

// Whether this build holds the CUDA backend (without it renderFallOnGpu always fails with
// the "no CUDA GPU" text).
bool splatGpuCompiled();

}  // namespace wx
