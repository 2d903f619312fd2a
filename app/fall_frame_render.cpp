#include "app/fall_frame_render.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "app/depth_file.h"
#include "app/fall_command_support.h"
#include "fall/weather_fall_fp.h"
#include "host/frame_windows.h"
#include "host/image_files.h"
#include "host/preview_renderer.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "host/ui_model.h"
#include "host/viewport.h"
#include "max/bitmap.h"
#include "max/class_desc.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/units.h"

namespace tweather {
namespace {

// The fall's "Fall - GPU render" rollout: its "Add to the last render" button and status box.
constexpr int kRenderRollout = 7560;
constexpr int kAddToLastRender = 7561;
constexpr int kStatusBox = 7564;
constexpr const wchar_t* kOverLastRenderTitle = L"Tarnwick Weather - over the last render";

Object* baseObjectOf(INode* node) {
    Object* obj = node->GetObjectRef();
    return obj ? obj->FindBaseObject() : nullptr;
}

// The picture in a new float RGBA bitmap with alpha, or null when memory runs out.
Bitmap* pictureBitmap(const std::vector<float>& rgba, int width, int height) {
    BitmapInfo bi;
    bi.SetWidth(WORD(width));
    bi.SetHeight(WORD(height));
    bi.SetType(BMM_FLOAT_RGBA_32);
    bi.SetFlags(MAP_HAS_ALPHA);
    Bitmap* bitmap = TheManager->Create(&bi);
    if (bitmap) std::memcpy(bitmap->Data(), rgba.data(), rgba.size() * sizeof(float));
    return bitmap;
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The last window the fall opened over the last render, kept until it is saved.
const Bitmap* gShown = nullptr;

}  // namespace

FallFrameRenderer::FallFrameRenderer(INode* fallNode, INode* camera) : fallNode_(fallNode), camera_(camera) {
    host::setViewCamera(camera);
    if (Object* base = baseObjectOf(fallNode_)) base->BeginEditParams(GetCOREInterface(), 0, nullptr);
    host::setDisplaySink([](const std::wstring& title, const Bitmap& bitmap) {
        if (title == kOverLastRenderTitle) gShown = &bitmap;
    });
}

FallFrameRenderer::~FallFrameRenderer() {
    host::setDisplaySink({});
    gShown = nullptr;
    if (Object* base = baseObjectOf(fallNode_)) base->EndEditParams(GetCOREInterface(), END_EDIT_REMOVEUI, nullptr);
}

std::string FallFrameRenderer::statusText() const {
    HWND rollout = host::ui::findRollout(kRenderRollout);
    return rollout ? host::toUtf8(host::ui::controlText(rollout, kStatusBox)) : std::string();
}

FrameOutcome FallFrameRenderer::render(const FramePlan& plan, std::string& status, std::string& error) {
    times_ = {};
    if (plan.overRender) return overPreviewRender(plan, status, error);
    const bool png = host::extensionOf(plan.output) == ".png";
    if (!plan.background.empty() || !plan.depth.empty() || !png) return overPicture(plan, status, error);
    // Nothing behind the fall and a PNG asked for: the plug-in writes the file itself.
    const auto start = std::chrono::steady_clock::now();
    const bool rendered =
        fallOf(fallNode_)->renderFrame(camera_, plan.frame, host::fromUtf8(plan.output), plan.width, plan.height);
    times_.render = secondsSince(start);
    status = statusText();
    if (rendered) return FrameOutcome::written;
    if (status == "could not write the image") {
        error = "cannot write '" + plan.output + "' (check the folder and the disk)";
        return FrameOutcome::fileError;
    }
    return FrameOutcome::renderFailed;
}

FrameOutcome FallFrameRenderer::overPicture(const FramePlan& plan, std::string& status, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    host::ImageFile picture;
    if (!plan.background.empty()) {
        if (host::readImageFile(plan.background, picture, true, error) != BMMRES_SUCCESS)
            return FrameOutcome::fileError;
        if (picture.width != plan.width || picture.height != plan.height) {
            error = "--over '" + plan.background + "' is " + sizeText(picture.width, picture.height) + ", not " +
                    sizeText(plan.width, plan.height);
            return FrameOutcome::badSize;
        }
    } else {
        // A transparent picture: the fall alone, in front of whatever the depth says.
        picture.width = plan.width;
        picture.height = plan.height;
        picture.rgba.assign(size_t(plan.width) * size_t(plan.height) * 4, 0.0f);
    }
    DepthPicture depth;
    if (!plan.depth.empty()) {
        if (!readDepthExr(plan.depth, depth, error)) return FrameOutcome::fileError;
        if (depth.width != plan.width || depth.height != plan.height) {
            error = "--depth '" + plan.depth + "' is " + sizeText(depth.width, depth.height) + ", not " +
                    sizeText(plan.width, plan.height);
            return FrameOutcome::badSize;
        }
    }
    Bitmap* bitmap = pictureBitmap(picture.rgba, picture.width, picture.height);
    const bool kept = bitmap && host::keepPictureAsLastRender(*bitmap, depth.depth);
    if (bitmap) bitmap->DeleteThis();
    times_.picture = secondsSince(start);
    if (!kept) {
        status = "not enough memory to hold a " + sizeText(plan.width, plan.height) + " picture";
        return FrameOutcome::renderFailed;
    }
    return pressAddToLastRender(plan, status, error);
}

FrameOutcome FallFrameRenderer::overPreviewRender(const FramePlan& plan, std::string& status, std::string& error) {
    host::PreviewSettings settings;
    settings.width = plan.width;
    settings.height = plan.height;
    settings.samplesPerPixel = plan.samplesPerPixel;
    settings.time = TimeValue(int64_t(plan.frame) * GetTicksPerFrame());
    settings.camera = camera_;
    host::PreviewImage image;
    const auto start = std::chrono::steady_clock::now();
    const bool rendered = host::renderPreview(settings, image, status);
    times_.picture = secondsSince(start);
    if (!rendered) {
        status = "the preview render failed: " + status;
        return FrameOutcome::renderFailed;
    }
    return pressAddToLastRender(plan, status, error);
}

FrameOutcome FallFrameRenderer::pressAddToLastRender(const FramePlan& plan, std::string& status, std::string& error) {
    GetCOREInterface()->SetTime(TimeValue(int64_t(plan.frame) * GetTicksPerFrame()), FALSE);
    gShown = nullptr;
    HWND rollout = host::ui::findRollout(kRenderRollout);
    const auto pressed = std::chrono::steady_clock::now();
    if (!rollout || !host::ui::pressButton(rollout, kAddToLastRender)) {
        status = "the fall's render rollout is not open";
        return FrameOutcome::renderFailed;
    }
    times_.render = secondsSince(pressed);
    status = statusText();
    if (!gShown) return FrameOutcome::renderFailed;
    const Bitmap& shown = *gShown;
    gShown = nullptr;
    const auto writing = std::chrono::steady_clock::now();
    const bool written = host::extensionOf(plan.output) == ".png"
                             ? host::saveBitmapPng(shown, plan.output, error)
                             : host::writeExrRgba(plan.output, shown.Data(), shown.Width(), shown.Height(), error);
    times_.write = secondsSince(writing);
    return written ? FrameOutcome::written : FrameOutcome::fileError;
}

}  // namespace tweather
