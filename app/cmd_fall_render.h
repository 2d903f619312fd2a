// tweather fall render SCENE [--node NAME] [--camera CAM] [--frames A-B] [--chunk I/N]
//     [--size WxH] -o OUT_####.png|.exr [--over BG.png|.exr | --over-render [--spp N]]
//     [--depth DEPTH.exr] [--resume] [--backend auto|gpu|cpu] [--set NAME=VALUE]...
//     [--stats STATS.json]
// renders a fall as splats, frame by frame, through the host and the plug-in
// (app/fall_frame_render.h): alone on a transparent background, over pictures, or over the
// preview renderer's picture of each frame. A '#' run in -o, --over and --depth stands for
// the frame number. Each frame prints "FILE: status text" (or "FILE: complete, skipped"
// under --resume), then a summary. Exit codes: 0 done, 1 a file or render failure
// (stopping there), 2 bad usage, 130 interrupted after the frame under way was written.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct FallRenderCommand {
    std::string scene;
    std::string node;    // the fall's node; empty: the scene's only fall
    std::string camera;  // empty: the view camera
    std::string frames;  // "A-B" or "A"; empty: the scene's current frame
    std::string chunk;   // "I/N"; empty: the whole range
    std::string size;    // "WxH"; empty: the picture's size, else the renderer output size
    std::string output;  // .png or .exr
    std::string over;    // picture to render over
    bool overRender = false;
    int samplesPerPixel = 1;
    std::string depth;  // depth EXR behind the picture
    bool resume = false;
    std::string backend;  // auto, gpu or cpu; empty: WX_FALL_BACKEND as it is
    std::vector<std::string> sets;
    std::string stats;
    std::vector<std::string> plugins;
};

// Runs the command; messages go to stdout and stderr. Returns the exit code.
int runFallRender(const FallRenderCommand& command);

// Adds "render" to the fall command, filling `command` from the command line.
CLI::App* addFallRender(CLI::App& fall, FallRenderCommand& command);

}  // namespace tweather
