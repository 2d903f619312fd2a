// The host's preview renderer: a CPU ray caster over the open scene's render meshes
// (renderable, visible nodes, through the shelter BVH), seen from a camera node or, when the
// scene has none, from a default three-quarter view. Light: the scene's lights (omni, spot,
// directional, ambient) with hard shadows, or a default sun when the scene has no light,
// plus a sky that lights every surface from above and fills the background. Surfaces are
// Lambert with a Blinn gloss term, from the host's materials; texture slots are evaluated
// through a SampleShadeContext per sample. A render fires NOTIFY_PRE_RENDER, then
// NOTIFY_PRE_RENDERFRAME / NOTIFY_POST_RENDERFRAME around the frame, then
// NOTIFY_POST_RENDER, keeps its image as the last rendered image (Interface7) with its
// depth buffer beside it, and shows it in the rendered-frame window.
// Pixels render on the parallelFor pool; call from the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "max/bitmap.h"
#include "max/inode.h"
#include "max/point3.h"

namespace host {

struct PreviewSettings {
    int width = 0, height = 0;  // pixels; 0 takes the renderer output size (GetRendWidth/Height)
    int samplesPerPixel = 1;    // 1 to 1024, spread over the pixel on a fixed low-discrepancy pattern
    TimeValue time = 0;
    INode* camera = nullptr;  // a node whose object is a camera; else cameraName; else the first
    std::wstring cameraName;  // camera of the scene (depth first); else the default view
    // Progress in percent, called on any one worker thread at a time as it grows. Empty:
    // on a terminal, a percentage line on stderr for renders longer than about a second.
    std::function<void(int percent)> progress;
    bool keepAsLastRender = true;  // false leaves the last rendered image and the windows alone
};

struct PreviewImage {
    int width = 0, height = 0;
    // Linear RGBA, row 0 at the top. Alpha is 1 everywhere: the sky is the background.
    std::vector<float> rgba;
    // Camera depth along the view axis in scene units, per pixel the nearest of its
    // samples; +infinity where no sample hit anything.
    std::vector<float> depth;
    std::wstring cameraName;  // empty for the default view
    bool defaultLight = false;
    int64_t triangles = 0;
    int lights = 0;
    int64_t primaryRays = 0;
    double seconds = 0.0;  // the pixel loop alone
};

// False with a message (and no notifications fired, *refused set) when the size, the
// sample count or the camera is wrong; false with a message after the post-render
// notification when the render itself fails.
bool renderPreview(const PreviewSettings& settings, PreviewImage& image, std::string& error, bool* refused = nullptr);

struct DepthBuffer {
    int width = 0, height = 0;
    std::vector<float> depth;
};
// The depth buffer of the last rendered image (empty before the first render, and for a
// picture kept without one).
const DepthBuffer& lastRenderedDepth();

// Makes a copy of `picture` the last rendered image, as if a renderer had just produced it
// (nothing is displayed and no notification fires): a float RGBA bitmap with alpha and,
// when `depth` holds one value per pixel (along the view axis, +infinity where nothing
// was hit), that depth as lastRenderedDepth and as the bitmap's Z channel. A depth of any
// other size is not kept. False, with the previous last render kept, when memory runs out.
bool keepPictureAsLastRender(const Bitmap& picture, const std::vector<float>& depth = {});

// The light model, for callers that composite over or check a render (all linear RGB,
// world directions, +Z up).
Point3 previewSkyColor(const Point3& dir);                            // the background seen along unit dir
Point3 previewSkyAmbient(const Point3& normal);                       // sky light on a surface with unit normal
inline constexpr Point3 kPreviewSunToward{-0.4f, -0.55f, 0.733143f};  // unit, toward the default sun
inline constexpr Point3 kPreviewSunColor{1.0f, 0.96f, 0.9f};
inline constexpr Point3 kPreviewDefaultDiffuse{0.5f, 0.5f, 0.5f};  // nodes without a material

}  // namespace host
