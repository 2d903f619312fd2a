#include "fall/fall_render_job_fill.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "splat/splat_render.h"

namespace wx {
namespace {

bool finite(V3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

float largest(V3 c) {
    return std::max(c.x, std::max(c.y, c.z));
}

const wchar_t* particleNoun(int type) {
    switch (type) {
        case kFallRain:
            return L"drops";
        case kFallSand:
            return L"grains";
        default:
            return L"flakes";
    }
}

}  // namespace

CamDev cameraFromMatrix(V3 r0, V3 r1, V3 r2, V3 t, float fovRadians) {
    CamDev cam{};
    cam.pos = t;
    cam.right = normalize(r0);
    cam.up = normalize(r1);
    cam.forward = -normalize(r2);
    cam.tanHalfX = std::tan(fovRadians / 2.0f);
    return cam;
}

CamDev cameraFromBlock(const float* b) {
    CamDev cam{};
    cam.pos = {b[0], b[1], b[2]};
    cam.right = {b[3], b[4], b[5]};
    cam.up = {b[6], b[7], b[8]};
    cam.forward = {b[9], b[10], b[11]};
    cam.tanHalfX = b[12];
    return cam;
}

void completeCamera(CamDev& cam, int width, int height) {
    cam.width = width;
    cam.height = height;
    cam.tanHalfY = width > 0 ? cam.tanHalfX * float(height) / float(width) : 0.0f;
}

bool cameraIsFinite(const CamDev& cam) {
    return finite(cam.pos) && finite(cam.right) && finite(cam.up) && finite(cam.forward) && std::isfinite(cam.tanHalfX);
}

std::vector<LampRaw> pickGlowLamps(const std::vector<LampCandidate>& lamps, V3 cameraPos, float radius) {
    struct Keyed {
        float key;
        float magnitude;
        const LampCandidate* lamp;
    };
    std::vector<Keyed> keyed;
    for (const LampCandidate& lamp : lamps) {
        const float magnitude = std::fabs(lamp.intensity);
        if (!(magnitude > 0.0f)) continue;
        const V3 d = lamp.position - cameraPos;
        keyed.push_back({d.x * d.x + d.y * d.y + d.z * d.z, magnitude, &lamp});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    if (keyed.size() > size_t(kMaxSplatLamps)) keyed.resize(kMaxSplatLamps);
    if (keyed.empty()) return {};

    std::vector<float> magnitudes;
    for (const Keyed& k : keyed) magnitudes.push_back(k.magnitude);
    std::sort(magnitudes.begin(), magnitudes.end());
    const float median = magnitudes[magnitudes.size() / 2];

    std::vector<LampRaw> out;
    for (const Keyed& k : keyed) {
        const V3 c = k.lamp->colour;
        const float top = std::max(largest(c), 1e-6f);
        const float scale = std::min(8.0f, k.magnitude / std::max(median, 1e-12f));
        out.push_back({k.lamp->position, V3{c.x / top, c.y / top, c.z / top} * scale, radius});
    }
    return out;
}

void fillFallRenderJob(const FallParams& field, const FallRenderSetup& setup, const FallLookSettings& look,
                       float unitsPerMetre, const TornadoWind& wind, float timeSeconds, int width, int height,
                       FallRenderJob& job) {
    job.type = field.type;
    job.count = setup.count;
    job.seed = field.seedKey;
    job.width = field.width;
    job.length = field.length;
    job.height = setup.height;
    job.speed = field.speed;
    job.speedVar = field.speedVar;
    job.windDir[0] = field.windCos;
    job.windDir[1] = field.windSin;
    job.windSpeed = field.windSpeed;
    job.gust = field.gust;
    job.turbulence = field.sway;
    job.turbFreq = field.swayFreq;
    job.size = field.size;
    job.sizeVar = field.sizeVar;
    job.rainStreak = field.streak;
    job.dropWidth = field.dropWidth;
    const FallMatrix& box = setup.objectToWorld;
    job.boxTM[0] = box.r0;
    job.boxTM[1] = box.r1;
    job.boxTM[2] = box.r2;
    job.boxTM[3] = box.t;
    job.time = timeSeconds;
    job.imageWidth = width;
    job.imageHeight = height;
    job.color = look.color;
    job.opacity = look.opacity;
    job.brightness = look.brightness;
    job.shutter = look.shutter;
    job.tornado = wind;
    job.sceneBvh = setup.scene.get();
    job.collide = setup.scene != nullptr;
    job.splashHeight = setup.splashHeight;
    job.splashAmount = setup.splashAmount;
    job.dripEdges.clear();
    job.dripCumLength.clear();
    job.dripCount = 0;
    job.dripRate = 1.0f;
    if (setup.runoff && setup.drips) {
        job.dripEdges.reserve(setup.drips->edges.size() * 6);
        for (const DripEdge& e : setup.drips->edges)
            job.dripEdges.insert(job.dripEdges.end(), {e.p0.x, e.p0.y, e.p0.z, e.p1.x, e.p1.y, e.p1.z});
        job.dripCumLength = setup.drips->cumWeight;
        job.dripCount = setup.dripDrops;
        job.dripRate = setup.dripRate;
    }
    job.gravity = setup.gravity;
    job.fogDensity = look.fogDensity / (1000.0f * unitsPerMetre);
    job.fogColor = look.fogColor;
    job.fogFar = look.fogFar;
    job.lampGlow = (0.04f / unitsPerMetre + 3.0f * job.fogDensity) * look.lightGlow;
    job.rainGlint = look.rainGlint;
}

std::vector<float> expandSceneTriangles(const ShelterBVH& scene) {
    std::vector<float> out;
    out.reserve(scene.tris.size() * 9);
    for (const BVHTri& t : scene.tris) {
        const V3 p1 = t.p0 + t.e1, p2 = t.p0 + t.e2;
        out.insert(out.end(), {t.p0.x, t.p0.y, t.p0.z, p1.x, p1.y, p1.z, p2.x, p2.y, p2.z});
    }
    return out;
}

bool fallBackendFromEnvironment(FallBackend& out, std::string& error) {
    const char* value = std::getenv("WX_FALL_BACKEND");
    std::string name = value ? value : "";
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (name.empty() || name == "gpu") {
        out = FallBackend::Gpu;
    } else if (name == "cpu") {
        out = FallBackend::Cpu;
    } else if (name == "auto") {
        out = FallBackend::Auto;
    } else {
        error = "WX_FALL_BACKEND must be gpu, cpu or auto, not \"" + std::string(value).substr(0, 40) + "\"";
        return false;
    }
    return true;
}

bool renderFallJob(const FallRenderJob& job, FallBackend backend, std::vector<float>& outImage, double& outSeconds,
                   bool& onGpu, std::string& outError) {
    onGpu = backend != FallBackend::Cpu;
    if (onGpu) {
        if (renderFallOnGpu(job, outImage, outSeconds, outError)) return true;
        // Only the absence of a device sends an automatic choice to the CPU; any other
        // failure is the GPU's own and is reported.
        if (backend == FallBackend::Gpu || outError != kNoCudaGpuText) return false;
        onGpu = false;
    }
    return renderFallOnCpu(job, outImage, outSeconds, outError);
}

std::wstring fallRenderSummary(const FallRenderJob& job, double seconds, bool onGpu) {
    wchar_t text[400];
    std::swprintf(text, 400, L"%lld %ls, %dx%d, %lld scene triangles, %d lamps: %.3f s on the %ls",
                  (long long)job.count, particleNoun(job.type), job.imageWidth, job.imageHeight,
                  (long long)job.sceneTriCount, int(std::min(job.lamps.size(), size_t(kMaxSplatLamps))), seconds,
                  onGpu ? L"GPU" : L"CPU");
    return text;
}

std::wstring clipStatus(std::wstring text) {
    if (text.size() > kMaxStatusChars) text.resize(kMaxStatusChars);
    return text;
}

}  // namespace wx
