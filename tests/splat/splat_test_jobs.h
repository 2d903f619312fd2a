// Small jobs for the splat renderer's tests: a pinhole camera from a position and a view
// direction, a default fall job on a small image, quads as triangle soups, and a render
// that must succeed.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/parallel_for.h"
#include "splat/splat_render.h"

namespace wx::splat_test {

inline CamDev makeCamera(V3 pos, V3 forward, V3 worldUp, float hfovDegrees, int width, int height) {
    CamDev c{};
    c.pos = pos;
    c.forward = normalize(forward);
    c.right = normalize(cross(c.forward, worldUp));
    c.up = cross(c.right, c.forward);
    c.tanHalfX = std::tan(hfovDegrees * 0.5f * 3.14159265f / 180.0f);
    c.tanHalfY = c.tanHalfX * float(height) / float(width);
    c.width = width;
    c.height = height;
    return c;
}

// The fall object's default box seen from (0, -1500, 170) along +Y, 45 degrees wide.
inline FallRenderJob standardJob(int type, int64_t count, int width = 96, int height = 54) {
    FallRenderJob job;
    job.type = type;
    job.count = count;
    job.time = 12.5f;
    job.imageWidth = width;
    job.imageHeight = height;
    job.cam = makeCamera({0, -1500, 170}, {0, 1, 0}, {0, 0, 1}, 45.0f, width, height);
    if (type == kSplatRain) job.speed = 800.0f;
    return job;
}

// Quad a-b-c-d as two triangles, 9 floats each.
inline void addQuad(std::vector<float>& tris, V3 a, V3 b, V3 c, V3 d) {
    for (V3 v : {a, b, c, a, c, d}) tris.insert(tris.end(), {v.x, v.y, v.z});
}

inline std::vector<V3> soupOf(const std::vector<float>& tris) {
    std::vector<V3> soup;
    for (size_t k = 0; k + 2 < tris.size(); k += 3) soup.push_back({tris[k], tris[k + 1], tris[k + 2]});
    return soup;
}

// One worker for the scope: splats then add in index order, so two renders that draw the
// same splats give the same bits and any difference is a real one.
struct OneThread {
    OneThread() { setParallelThreadLimit(1); }
    ~OneThread() { setParallelThreadLimit(0); }
};

inline std::vector<float> render(const FallRenderJob& job) {
    std::vector<float> image;
    double seconds = -1.0;
    std::string error;
    EXPECT_TRUE(renderFallOnCpu(job, image, seconds, error)) << error;
    EXPECT_GE(seconds, 0.0);
    EXPECT_EQ(image.size(), size_t(job.imageWidth) * job.imageHeight * 4);
    return image;
}

inline float alphaAt(const std::vector<float>& image, const FallRenderJob& job, int x, int y) {
    return image[(size_t(y) * job.imageWidth + x) * 4 + 3];
}

}  // namespace wx::splat_test
