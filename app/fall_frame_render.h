// One frame of `tweather fall render`, driven through the host as an artist would drive the
// plug-in: the "Fall - GPU render" rollout stays open on the fall object for the whole run
// (its status box is the status each frame reports); a frame without a picture behind it
// is the mixin's renderFrame; a frame over a picture makes the picture (and its depth) the
// host's last render and presses "Add to the last render" at that frame, and the window
// that opens is saved; --over-render first renders the frame with the host's preview
// renderer, whose depth hides the particles behind what it drew. Main thread only.
#pragma once

#include <string>

class INode;

namespace tweather {

struct FramePlan {
    int frame = 0;
    std::string output;      // .png or .exr, the name as written to
    std::string background;  // picture to render over; empty: none
    std::string depth;       // depth EXR behind the picture (or a transparent one); empty: none
    bool overRender = false;
    int samplesPerPixel = 1;  // of the preview render
    int width = 0, height = 0;
};

// Where a frame's time went, in seconds. picture: reading the picture and its depth, or the
// preview render; render: the plug-in's work (for a frame without a picture, its PNG
// write too); write: saving the window's picture.
struct FrameTimes {
    double picture = 0.0, render = 0.0, write = 0.0;
};

enum class FrameOutcome {
    written,
    fileError,    // a file could not be read or written: `error` names it
    badSize,      // a picture or depth of another size than asked for
    renderFailed  // the status says why
};

class FallFrameRenderer {
public:
    // Opens the fall's rollout and looks through `camera`.
    FallFrameRenderer(INode* fallNode, INode* camera);
    // Closes the rollout and stops saving windows.
    ~FallFrameRenderer();
    FallFrameRenderer(const FallFrameRenderer&) = delete;
    FallFrameRenderer& operator=(const FallFrameRenderer&) = delete;

    // Renders and writes one frame. `status` receives the fall's status text as the rollout
    // shows it; `error` what went wrong outside the plug-in.
    FrameOutcome render(const FramePlan& plan, std::string& status, std::string& error);
    // The times of the last render call.
    const FrameTimes& times() const { return times_; }

private:
    FrameOutcome overPicture(const FramePlan& plan, std::string& status, std::string& error);
    FrameOutcome overPreviewRender(const FramePlan& plan, std::string& status, std::string& error);
    FrameOutcome pressAddToLastRender(const FramePlan& plan, std::string& status, std::string& error);
    std::string statusText() const;

    INode* fallNode_;
    INode* camera_;
    FrameTimes times_;
};

}  // namespace tweather
