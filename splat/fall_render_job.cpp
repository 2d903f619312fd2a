#include "splat/fall_render_job.h"

#include <cmath>
#include <cstdint>

namespace wx {
namespace {

bool finiteV3(V3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
bool zeroV3(V3 v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

std::string checkCamera(const FallRenderJob& job) {
    const CamDev& c = job.cam;
    if (!finiteV3(c.pos) || !finiteV3(c.right) || !finiteV3(c.up) || !finiteV3(c.forward) ||
        !std::isfinite(c.tanHalfX) || !std::isfinite(c.tanHalfY))
        return "the camera has a position, axis or field of view that is not a number: check the camera's transform";
    if (zeroV3(c.right) || zeroV3(c.up) || zeroV3(c.forward))
        return "the camera has a zero-length axis: check the camera's transform for a zero scale";
    if (!(c.tanHalfX > 0.0f) || !(c.tanHalfY > 0.0f)) return "the camera's field of view must be above 0 degrees";
    if (c.width != job.imageWidth || c.height != job.imageHeight)
        return "the camera's image size (" + std::to_string(c.width) + " x " + std::to_string(c.height) +
               ") differs from the job's (" + std::to_string(job.imageWidth) + " x " + std::to_string(job.imageHeight) +
               ")";
    return {};
}

}  // namespace

std::string checkFallRenderJob(const FallRenderJob& job) {
    if (job.imageWidth < 1 || job.imageHeight < 1)
        return "the image must be at least 1 x 1 pixels (it is " + std::to_string(job.imageWidth) + " x " +
               std::to_string(job.imageHeight) + ")";
    if (job.imageWidth > kMaxSplatImageSide || job.imageHeight > kMaxSplatImageSide ||
        int64_t(job.imageWidth) * job.imageHeight > kMaxSplatPixels)
        return "the image of " + std::to_string(job.imageWidth) + " x " + std::to_string(job.imageHeight) +
               " pixels is too large: at most 32768 on a side and 134217728 pixels";
    if (std::string camera = checkCamera(job); !camera.empty()) return camera;
    if (job.type < kSplatSnow || job.type > kSplatSand)
        return "the fall type " + std::to_string(job.type) + " is none of snow (0), rain (1) or sand (2)";
    if (job.count < 0 || job.dripCount < 0 || job.sceneTriCount < 0)
        return "particle, drip and triangle counts must not be negative";
    if (job.sceneTriCount > 0 && !job.sceneTris) return "the job counts scene triangles but holds none";
    if (job.dripEdges.size() % 6 != 0 || job.dripCumLength.size() != job.dripEdges.size() / 6)
        return "the run-off edges need 6 floats each and one running length per edge";
    if (job.dripEdges.size() / 6 > size_t(INT32_MAX)) return "too many run-off edges";
    return {};
}

SplatDev makeSplatDev(const FallRenderJob& job) {
    SplatDev s{};
    SplatFieldHead& h = s.head;
    h.type = job.type;
    h.count = job.count;
    h.seed = job.seed;
    h.width = job.width;
    h.length = job.length;
    h.height = job.height;
    h.speed = job.speed;
    h.speedVar = job.speedVar;
    h.windDir[0] = job.windDir[0];
    h.windDir[1] = job.windDir[1];
    h.windSpeed = job.windSpeed;
    h.gust = job.gust;
    h.turbulence = job.turbulence;
    h.turbFreq = job.turbFreq;
    h.size = job.size;
    h.sizeVar = job.sizeVar;
    h.rainStreak = job.rainStreak;
    h.dropWidth = job.dropWidth;
    for (int k = 0; k < 4; ++k) h.boxTM[k] = job.boxTM[k];
    s.time = job.time;
    s.cam = job.cam;
    s.tornado = job.tornado;
    s.color = job.color;
    s.opacity = job.opacity;
    s.shutter = job.shutter;
    s.splashHeight = job.splashHeight;
    s.splashAmount = job.splashAmount;
    s.gravity = job.gravity;
    s.fogDensity = job.fogDensity;
    s.fogColor = job.fogColor;
    s.fogFar = job.fogFar;
    s.lampCount = int32_t(job.lamps.size() < size_t(kMaxSplatLamps) ? job.lamps.size() : kMaxSplatLamps);
    s.rainGlint = job.rainGlint;
    return s;
}

std::string clipRenderError(std::string text) {
    if (text.size() > 199) text.resize(199);
    return text;
}

}  // namespace wx
