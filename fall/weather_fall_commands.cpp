// The fall object's render commands: the job built from the scene (camera, lamps, the
// captured triangles) and the object's parameters, rendered on the backend that
// WX_FALL_BACKEND picks, and the frame, picture and sequence commands that write PNG
// files. Every command leaves its result in the status text; nothing is thrown out.
#include <climits>
#include <exception>
#include <new>

#include "fall/frame_pattern.h"
#include "fall/weather_fall.h"
#include "fall/weather_fall_inputs.h"
#include "fall/weather_fall_rollout.h"
#include "max/bitmap.h"
#include "max/camera_light.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "max/view_exp.h"
#include "max/win_ui.h"
#include "plugin/node_walk.h"
#include "render/png_writer.h"

namespace wx {
namespace {

constexpr const wchar_t* kNotInSceneText = L"the Weather Fall object is not in the scene";
constexpr const wchar_t* kNeedsCameraText = L"needs a camera: render from a camera view, or pass a camera node";
constexpr const wchar_t* kCannotWriteText = L"could not write the image";
constexpr const wchar_t* kCannotReadBackgroundText = L"renderOver: cannot read the background image";
constexpr const wchar_t* kSequenceNeedsRunText =
    L"renderSequenceOver: the output name needs a '#' run for the frame number";
constexpr const wchar_t* kNonFiniteCameraText =
    L"the camera has a position, axis or field of view that is not a number: check the camera's transform";

V3 v3(const Point3& p) {
    return {p.x, p.y, p.z};
}

std::wstring wide(const std::string& utf8) {
    return MSTR::FromUTF8(utf8.c_str());
}

bool isCameraNode(INode* node, TimeValue t) {
    const ObjectState& os = node->EvalWorldState(t);
    return os.obj && os.obj->SuperClassID() == CAMERA_CLASS_ID;
}

CamDev cameraOfNode(INode* node, TimeValue t) {
    const Matrix3 tm = node->GetObjectTM(t);
    float fov = kDefaultCameraFov;
    const ObjectState& os = node->EvalWorldState(t);
    if (os.obj && os.obj->SuperClassID() == CAMERA_CLASS_ID) {
        CameraState cs;
        Interval valid = FOREVER;
        if (static_cast<CameraObject*>(os.obj)->EvalCameraState(t, valid, &cs) == REF_SUCCEED) fov = cs.fov;
    }
    return cameraFromMatrix(v3(tm.GetRow(0)), v3(tm.GetRow(1)), v3(tm.GetRow(2)), v3(tm.GetRow(3)), fov);
}

// Visible, switched-on, non-directional lights of non-zero intensity, depth first.
std::vector<LampCandidate> sceneLamps(TimeValue t) {
    std::vector<LampCandidate> lamps;
    visitNodesParentFirst(GetCOREInterface()->GetRootNode(), [&](INode* node) {
        if (node->IsNodeHidden()) return;
        const ObjectState& os = node->EvalWorldState(t);
        if (!os.obj || os.obj->SuperClassID() != LIGHT_CLASS_ID) return;
        LightState ls;
        Interval valid = FOREVER;
        if (static_cast<LightObject*>(os.obj)->EvalLightState(t, valid, &ls) != REF_SUCCEED) return;
        if (!ls.on || ls.type == DIRECT_LGT || ls.intens == 0.0f) return;
        lamps.push_back({v3(node->GetObjectTM(t).GetRow(3)), V3{ls.color.r, ls.color.g, ls.color.b}, ls.intens});
    });
    return lamps;
}

// The picture as one array of float RGBA, row 0 at the top.
bool readPixels(Bitmap& bmp, std::vector<float>& out) {
    const int w = bmp.Width(), h = bmp.Height();
    if (w <= 0 || h <= 0) return false;
    out.resize(size_t(w) * size_t(h) * 4);
    std::vector<BMM_Color_fl> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        if (!bmp.GetLinearPixels(0, y, w, row.data())) return false;
        float* dst = out.data() + size_t(y) * size_t(w) * 4;
        for (int x = 0; x < w; ++x) {
            dst[4 * x] = row[x].r;
            dst[4 * x + 1] = row[x].g;
            dst[4 * x + 2] = row[x].b;
            dst[4 * x + 3] = row[x].a;
        }
    }
    return true;
}

// The picture's Z channel as depths along the view axis (kSplatFarDepth where nothing was
// hit); empty when it has none.
std::vector<float> depthOf(Bitmap& bmp) {
    ULONG type = 0;
    const auto* z = static_cast<const float*>(bmp.GetChannel(BMM_CHAN_Z, type));
    if (!z || type != BMM_CHAN_TYPE_32) return {};
    std::vector<float> depth(size_t(bmp.Width()) * size_t(bmp.Height()));
    for (size_t i = 0; i < depth.size(); ++i) depth[i] = (z[i] <= kBmmZBackground || !(z[i] < 0.0f)) ? 3.0e38f : -z[i];
    return depth;
}

// The picture "Add to the last render" shows: one window, its bitmap replaced by the next.
Bitmap* gShownOverLast = nullptr;

}  // namespace

void WeatherFall::setStatus(std::wstring text) {
    status_ = clipStatus(std::move(text));
    showFallRenderStatus(this);
}

INode* WeatherFall::viewCamera(TimeValue t) {
    if (INode* active = GetCOREInterface()->GetActiveViewExp().GetViewCamera()) return active;
    INode* found = nullptr;
    INode* root = GetCOREInterface()->GetRootNode();
    for (int i = 0; i < root->NumberOfChildren() && !found; ++i)
        visitNodesParentFirst(root->GetChildNode(i), [&](INode* node) {
            if (!found && isCameraNode(node, t)) found = node;
        });
    return found;
}

FallLookSettings WeatherFall::readLook(TimeValue t) {
    FallLookSettings look;
    Interval ignored = FOREVER;
    Color c;
    pblock_->GetValue(kFallColor, t, c, ignored);
    look.color = {c.r, c.g, c.b};
    pblock_->GetValue(kFallOpacity, t, look.opacity, ignored);
    pblock_->GetValue(kFallBrightness, t, look.brightness, ignored);
    pblock_->GetValue(kFallShutter, t, look.shutter, ignored);
    int hidden = 1;
    pblock_->GetValue(kFallHiddenByScene, t, hidden, ignored);
    look.hiddenByScene = hidden != 0;
    pblock_->GetValue(kFallFogDensity, t, look.fogDensity, ignored);
    pblock_->GetValue(kFallFogColor, t, c, ignored);
    look.fogColor = {c.r, c.g, c.b};
    pblock_->GetValue(kFallFogFar, t, look.fogFar, ignored);
    pblock_->GetValue(kFallLightGlow, t, look.lightGlow, ignored);
    pblock_->GetValue(kFallGlowRadius, t, look.glowRadius, ignored);
    pblock_->GetValue(kFallRainGlint, t, look.rainGlint, ignored);
    return look;
}

// The captured scene's corners, expanded once per hierarchy build.
const float* WeatherFall::sceneTriangles(const std::shared_ptr<const ShelterBVH>& scene, int64_t& count) {
    count = 0;
    if (!scene || scene->tris.empty()) return nullptr;
    if (jobSceneSerial_ != scene->buildSerial || jobSceneCorners_.size() != scene->tris.size() * 9) {
        jobSceneCorners_ = expandSceneTriangles(*scene);
        jobSceneSerial_ = scene->buildSerial;
    }
    count = int64_t(scene->tris.size());
    return jobSceneCorners_.data();
}

bool WeatherFall::buildRenderJob(INode* cameraNode, const CamDev* camera, TimeValue t, int width, int height,
                                 const float* background, FallRenderJob& job) {
    job = FallRenderJob{};
    INode* node = findNode();
    if (!node) {
        setStatus(kNotInSceneText);
        return false;
    }
    CamDev cam{};
    if (camera) {
        cam = *camera;
    } else if (cameraNode) {
        cam = cameraOfNode(cameraNode, t);
    } else {
        setStatus(kNeedsCameraText);
        return false;
    }
    completeCamera(cam, width, height);
    if (!cameraIsFinite(cam)) {
        setStatus(kNonFiniteCameraText);
        return false;
    }

    std::wstring error;
    if (!renderSetup(t, node, jobSetup_, error)) {
        setStatus(error);
        return false;
    }
    TornadoWind wind;
    if (!fetchTornadoWind(t, true, wind)) wind = TornadoWind{};
    const FallLookSettings look = readLook(t);
    const float unitsPerMetre = float(1.0 / GetSystemUnitScale(UNITS_METERS));
    const FallParams field = makeFallParams(readFallInputs(pblock_, t), FallCountMode::Render);
    fillFallRenderJob(field, jobSetup_, look, unitsPerMetre, wind, float(t) / 4800.0f, width, height, job);
    job.cam = cam;
    job.background = background;
    if (look.hiddenByScene) {
        if (!currentScene()) captureScene(t);
        job.sceneTris = sceneTriangles(currentScene(), job.sceneTriCount);
    }
    if (jobWantsLamps(job)) job.lamps = pickGlowLamps(sceneLamps(t), cam.pos, look.glowRadius);
    if (std::string why = checkFallRenderJob(job); !why.empty()) {
        setStatus(wide(why));
        return false;
    }
    return true;
}

bool WeatherFall::renderJob(INode* cameraNode, const CamDev* camera, TimeValue t, int width, int height,
                            const float* background, std::vector<float>& outImage, const float* depth) {
    try {
        FallBackend backend = FallBackend::Gpu;
        std::string error;
        if (!fallBackendFromEnvironment(backend, error)) {
            setStatus(wide(error));
            return false;
        }
        FallRenderJob job;
        if (!buildRenderJob(cameraNode, camera, t, width, height, background, job)) return false;
        job.depth = depth;
        double seconds = 0.0;
        bool onGpu = false;
        if (!renderFallJob(job, backend, outImage, seconds, onGpu, error)) {
            setStatus(wide(error));
            return false;
        }
        setStatus(fallRenderSummary(job, seconds, onGpu));
        return true;
    } catch (const std::bad_alloc&) {
        setStatus(L"the render needs more memory than there is: render a smaller image or fewer particles");
    } catch (const std::exception& e) {
        setStatus(L"the render failed: " + wide(e.what()));
    }
    return false;
}

bool WeatherFall::renderFrame(INode* camera, int frame, const std::wstring& file, int width, int height) {
    std::vector<float> image;
    const TimeValue t = TimeValue(int64_t(frame) * GetTicksPerFrame());
    if (!renderJob(camera, nullptr, t, width, height, nullptr, image)) return false;
    if (!writePng16(MSTR(file).ToUTF8(), image.data(), width, height)) {
        setStatus(kCannotWriteText);
        return false;
    }
    return true;
}

bool WeatherFall::renderOver(INode* camera, int frame, const std::wstring& background, const std::wstring& file) {
    if (background.empty()) {
        setStatus(kCannotReadBackgroundText);
        return false;
    }
    BitmapInfo bi(background.c_str());
    BMMRES res = BMMRES_SUCCESS;
    Bitmap* bmp = TheManager->Load(&bi, &res);
    std::vector<float> pixels;
    const bool read = bmp && res == BMMRES_SUCCESS && readPixels(*bmp, pixels);
    const int width = bmp ? bmp->Width() : 0, height = bmp ? bmp->Height() : 0;
    if (bmp) bmp->DeleteThis();
    if (!read) {
        setStatus(kCannotReadBackgroundText);
        return false;
    }
    std::vector<float> image;
    const TimeValue t = TimeValue(int64_t(frame) * GetTicksPerFrame());
    if (!renderJob(camera, nullptr, t, width, height, pixels.data(), image)) return false;
    if (!writePng16(MSTR(file).ToUTF8(), image.data(), width, height)) {
        setStatus(kCannotWriteText);
        return false;
    }
    return true;
}

int WeatherFall::renderSequenceOver(INode* camera, int start, int end, const std::wstring& backgroundPattern,
                                    const std::wstring& outputPattern) {
    // Without a '#' run every frame would overwrite the one file, yet count as written.
    if (end > start && !hasFrameRun(outputPattern)) {
        setStatus(kSequenceNeedsRunText);
        return 0;
    }
    int written = 0;
    for (int frame = start; frame <= end; ++frame) {
        if (!renderOver(camera, frame, expandFramePattern(backgroundPattern, frame),
                        expandFramePattern(outputPattern, frame)))
            break;
        ++written;
        if (GetAsyncKeyState(VK_ESCAPE) & 0x8000) break;
        if (frame == INT_MAX) break;
    }
    return written;
}

bool WeatherFall::addToLastRender() {
    Bitmap* last = GetCOREInterface7()->GetLastRenderedImage();
    if (!last || last->Width() <= 0 || last->Height() <= 0) {
        setStatus(L"Render the frame first (any renderer, from a camera view), then press this.");
        return false;
    }
    const TimeValue t = GetCOREInterface()->GetTime();
    std::vector<float> pixels;
    if (!readPixels(*last, pixels)) {
        setStatus(L"Render the frame first (any renderer, from a camera view), then press this.");
        return false;
    }
    const int width = last->Width(), height = last->Height();
    // The render's own depth hides flakes behind what it drew, unless the scene is to
    // hide nothing.
    std::vector<float> depth;
    if (pblock_->GetInt(kFallHiddenByScene, t) != 0) depth = depthOf(*last);
    std::vector<float> image;
    if (!renderJob(viewCamera(t), nullptr, t, width, height, pixels.data(), image,
                   depth.empty() ? nullptr : depth.data()))
        return false;
    BitmapInfo bi;
    bi.SetWidth(WORD(width));
    bi.SetHeight(WORD(height));
    bi.SetType(BMM_FLOAT_RGBA_32);
    bi.SetFlags(MAP_HAS_ALPHA);
    Bitmap* shown = TheManager->Create(&bi);
    if (!shown) {
        setStatus(L"the render needs more memory than there is: render a smaller image or fewer particles");
        return false;
    }
    std::vector<BMM_Color_fl> row(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const float* src = image.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x) row[x] = {src[4 * x], src[4 * x + 1], src[4 * x + 2], src[4 * x + 3]};
        shown->PutPixels(0, y, width, row.data());
    }
    shown->Display(L"Tarnwick Weather - over the last render");
    if (gShownOverLast) gShownOverLast->DeleteThis();
    gShownOverLast = shown;
    return true;
}

}  // namespace wx
