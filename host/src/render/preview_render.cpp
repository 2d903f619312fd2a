// The preview renderer's frame: settings checks, the notification bracket, the pixel loop
// on the parallelFor pool, progress, and the last rendered image with its depth buffer
// (which Interface7::GetLastRenderedImage and lastRenderedDepth hand out).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

#include "common/parallel_for.h"
#include "host/frame_windows.h"
#include "host/host_app.h"
#include "host/preview_renderer.h"
#include "host/scene.h"
#include "host/scene_settings.h"
#include "max/bitmap.h"
#include "max/interface.h"
#include "max/notify.h"
#include "preview_shade.h"

namespace host {

namespace {

constexpr int kMaxSide = 32768;
constexpr int64_t kMaxPixels = int64_t(1) << 26;  // 8192 x 8192: 1.3 GB of colour and depth
constexpr int kMaxSamples = 1024;

Bitmap* gLastImage = nullptr;
DepthBuffer gLastDepth;

// Fires the pre-render notification now and the post-render one however the frame ends.
class RenderBracket {
public:
    explicit RenderBracket(TimeValue t) { beginRender(t); }
    ~RenderBracket() { endRender(); }
    RenderBracket(const RenderBracket&) = delete;
    RenderBracket& operator=(const RenderBracket&) = delete;
};

// A percentage on stderr, only on a terminal and only once a render has run a second.
class TerminalProgress {
public:
    TerminalProgress() : terminal_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}
    void report(int percent) {
        if (!terminal_) return;
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        if (elapsed.count() < 1.0) return;
        std::fprintf(stderr, "\rrendering: %3d%%", percent);
        printed_ = true;
    }
    ~TerminalProgress() {
        if (printed_) std::fprintf(stderr, "\rrendering: 100%%\n");
    }

private:
    bool terminal_;
    bool printed_ = false;
    std::chrono::steady_clock::time_point start_;
};

// Counts finished pixels from the render threads and calls back, one thread at a time,
// when the percentage grows.
class ProgressCounter {
public:
    ProgressCounter(const std::function<void(int)>& callback, int64_t total) : callback_(callback), total_(total) {}
    void pixelDone() {
        const int64_t done = done_.fetch_add(1, std::memory_order_relaxed) + 1;
        if (done % 512 != 0 && done != total_) return;
        const int percent = int(done * 100 / total_);
        if (percent <= last_.load(std::memory_order_relaxed)) return;
        // The last pixel waits for the lock, so that 100 is always reported.
        std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
        if (done == total_)
            lock.lock();
        else if (!lock.try_lock())
            return;
        if (percent <= last_.load()) return;
        last_ = percent;
        callback_(percent);
    }

private:
    const std::function<void(int)>& callback_;
    int64_t total_;
    std::atomic<int64_t> done_{0};
    std::atomic<int> last_{-1};
    std::mutex mutex_;
};

// Sample k of a pixel on the R2 low-discrepancy sequence; sample 0 is the pixel centre.
void samplePosition(int k, float& x, float& y) {
    constexpr double a1 = 0.7548776662466927, a2 = 0.5698402909980532;
    x = float(std::fmod(0.5 + a1 * k, 1.0));
    y = float(std::fmod(0.5 + a2 * k, 1.0));
}

// The ray through image position (x, y) pixels from the top left, and the factor that
// turns a hit distance along it into depth along the view axis.
preview::Sample cameraRay(const preview::Camera& cam, float x, float y, int width, int height,
                          float& depthPerDistance) {
    const float sx = 2.0f * x / float(width) - 1.0f;
    const float sy = 1.0f - 2.0f * y / float(height);
    const float aspect = float(height) / float(width);
    preview::Sample s;
    s.pixelX = x;
    s.pixelY = y;
    if (cam.ortho) {
        const Point3 local(sx * cam.orthoHalfWidth, sy * cam.orthoHalfWidth * aspect, 0.0f);
        s.origin = local * cam.worldFromCamera;
        s.dir = cam.forward();
        depthPerDistance = 1.0f;
    } else {
        const Point3 local(sx * cam.tanHalfX, sy * cam.tanHalfX * aspect, -1.0f);
        s.origin = cam.position();
        s.dir = cam.worldFromCamera.VectorTransform(local).Normalize();
        depthPerDistance = 1.0f / local.Length();
    }
    return s;
}

bool checkSettings(const PreviewSettings& settings, int& width, int& height, std::string& error) {
    width = settings.width > 0 ? settings.width : GetCOREInterface()->GetRendWidth();
    height = settings.height > 0 ? settings.height : GetCOREInterface()->GetRendHeight();
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        error = "the image size must be between 1 and 32768 pixels on each side, not " + std::to_string(width) + "x" +
                std::to_string(height);
        return false;
    }
    if (int64_t(width) * height > kMaxPixels) {
        error = "the image size " + std::to_string(width) + "x" + std::to_string(height) +
                " is more than the preview renderer's 67 million pixels (8192x8192)";
        return false;
    }
    if (settings.samplesPerPixel < 1 || settings.samplesPerPixel > kMaxSamples) {
        error = "samples per pixel must be between 1 and 1024, not " + std::to_string(settings.samplesPerPixel);
        return false;
    }
    return true;
}

// The Z channel holds camera-space z: the negated depth along the view axis.
void fillZChannel(Bitmap& bmp, const std::vector<float>& depth) {
    if (!(bmp.CreateChannels(BMM_CHAN_Z) & BMM_CHAN_Z)) return;
    ULONG type = 0;
    float* z = static_cast<float*>(bmp.GetChannel(BMM_CHAN_Z, type));
    for (size_t i = 0; i < depth.size(); ++i) z[i] = std::isfinite(depth[i]) ? -depth[i] : kBmmZBackground;
}

// Replaces the last render with a new float bitmap of these pixels (and depth, when it
// has one value per pixel). False when the bitmap cannot be had.
bool replaceLastRender(int width, int height, const float* rgba, const std::vector<float>& depth) {
    BitmapInfo bi;
    bi.SetWidth(WORD(width));
    bi.SetHeight(WORD(height));
    bi.SetType(BMM_FLOAT_RGBA_32);
    bi.SetFlags(MAP_HAS_ALPHA);
    Bitmap* bmp = TheManager->Create(&bi);
    if (!bmp) return false;  // out of memory: the previous image stays
    std::copy(rgba, rgba + size_t(width) * size_t(height) * 4, bmp->Data());
    const bool withDepth = depth.size() == size_t(width) * size_t(height);
    if (withDepth) fillZChannel(*bmp, depth);
    if (gLastImage) gLastImage->DeleteThis();
    gLastImage = bmp;
    gLastDepth = withDepth ? DepthBuffer{width, height, depth} : DepthBuffer{};
    return true;
}

void keepAsLastRender(const PreviewImage& image) {
    if (replaceLastRender(image.width, image.height, image.rgba.data(), image.depth))
        gLastImage->Display(kDefaultFrameWindowTitle);
}

void renderPixels(const preview::Scene& scene, const preview::Camera& camera, const PreviewSettings& settings,
                  RenderGlobalContext& globals, PreviewImage& image) {
    const int width = image.width, height = image.height, spp = settings.samplesPerPixel;
    TerminalProgress terminal;
    const std::function<void(int)> report =
        settings.progress ? settings.progress : std::function<void(int)>([&](int p) { terminal.report(p); });
    ProgressCounter progress(report, int64_t(width) * height);
    const float inf = std::numeric_limits<float>::infinity();
    wx::parallelFor(size_t(width) * size_t(height), [&](size_t i) {
        const int px = int(i % size_t(width)), py = int(i / size_t(width));
        SampleShadeContext sc;
        Point3 sum;
        float nearest = inf;
        for (int k = 0; k < spp; ++k) {
            float sx = 0.5f, sy = 0.5f, depthPerDistance = 1.0f, distance = inf;
            samplePosition(k, sx, sy);
            const preview::Sample sample =
                cameraRay(camera, float(px) + sx, float(py) + sy, width, height, depthPerDistance);
            sum += preview::shadeSample(scene, camera, sample, width, height, settings.time, &globals, sc, distance);
            nearest = std::min(nearest, distance * depthPerDistance);
        }
        float* out = image.rgba.data() + i * 4;
        out[0] = sum.x / float(spp);
        out[1] = sum.y / float(spp);
        out[2] = sum.z / float(spp);
        out[3] = 1.0f;
        image.depth[i] = nearest;
        progress.pixelDone();
    });
}

}  // namespace

bool renderPreview(const PreviewSettings& settings, PreviewImage& image, std::string& error, bool* refused) {
    int width = 0, height = 0;
    INode* cameraNode = nullptr;
    const bool accepted =
        checkSettings(settings, width, height, error) && preview::findCameraNode(settings, cameraNode, error);
    if (refused) *refused = !accepted;
    if (!accepted) return false;

    PreviewImage out;
    out.width = width;
    out.height = height;
    try {
        out.rgba.assign(size_t(width) * size_t(height) * 4, 0.0f);
        out.depth.assign(size_t(width) * size_t(height), 0.0f);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a " + std::to_string(width) + "x" + std::to_string(height) + " image";
        return false;
    }
    try {
        // The pre-render notification may change the scene; the camera is found again after it.
        const ULONG cameraHandle = cameraNode ? cameraNode->GetHandle() : 0;
        RenderBracket bracket(settings.time);
        if (cameraNode && !(cameraNode = currentScene().findByHandle(cameraHandle))) {
            error = "the camera was deleted as the render started";
            return false;
        }
        preview::Scene scene;
        preview::Camera camera;
        View view;
        view.screenW = width;
        view.screenH = height;
        if (cameraNode) {
            camera = preview::cameraFromNode(cameraNode, settings.time);
            view.worldToView = camera.cameraFromWorld;
            view.projType = camera.ortho ? PROJ_PARALLEL : PROJ_PERSPECTIVE;
            view.fov = 2.0f * std::atan(camera.tanHalfX);
        }
        preview::gatherScene(settings.time, view, scene);
        if (!cameraNode) camera = preview::defaultCamera(scene.bounds, float(width) / float(height));

        RenderGlobalContext globals;
        globals.devWidth = width;
        globals.devHeight = height;
        globals.projType = camera.ortho ? PROJ_PARALLEL : PROJ_PERSPECTIVE;
        globals.camToWorld = camera.worldFromCamera;
        globals.worldToCam = camera.cameraFromWorld;
        globals.time = settings.time;
        globals.antialias = settings.samplesPerPixel > 1 ? TRUE : FALSE;
        BroadcastNotification(NOTIFY_PRE_RENDERFRAME, &globals);
        const auto start = std::chrono::steady_clock::now();
        renderPixels(scene, camera, settings, globals, out);
        out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        BroadcastNotification(NOTIFY_POST_RENDERFRAME, &globals);

        out.cameraName = camera.name;
        out.defaultLight = scene.defaultLight;
        out.triangles = int64_t(scene.bvh.tris.size());
        out.lights = scene.defaultLight ? 0 : int(scene.lights.size());
        out.primaryRays = int64_t(width) * height * settings.samplesPerPixel;
    } catch (const std::exception& e) {
        error = std::string("the render failed: ") + e.what();
        return false;
    }
    if (settings.keepAsLastRender) keepAsLastRender(out);
    image = std::move(out);
    return true;
}

const DepthBuffer& lastRenderedDepth() {
    return gLastDepth;
}

bool keepPictureAsLastRender(const Bitmap& picture, const std::vector<float>& depth) {
    if (picture.Width() <= 0 || picture.Height() <= 0) return false;
    try {
        return replaceLastRender(picture.Width(), picture.Height(), picture.Data(), depth);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace host

Bitmap* Interface7::GetLastRenderedImage() {
    return host::gLastImage;
}

int Interface::GetRendWidth() {
    return host::sceneSettings().renderWidth;
}
int Interface::GetRendHeight() {
    return host::sceneSettings().renderHeight;
}
void Interface::SetRendWidth(int width) {
    if (width >= 1 && width <= host::kMaxSide) host::sceneSettings().renderWidth = width;
}
void Interface::SetRendHeight(int height) {
    if (height >= 1 && height <= host::kMaxSide) host::sceneSettings().renderHeight = height;
}
