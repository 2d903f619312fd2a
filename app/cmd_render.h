// tweather render: a picture of a scene through the host's preview renderer.
//   render SCENE -o OUT.png [--camera NAME] [--size WxH] [--spp N] [--time FRAME]
//                [--depth OUT.exr] [--plugin MODULE]... [--up y|z]
// SCENE is a scene file (.scene/.json) or an imported glTF/OBJ. OUT.png is a 16-bit PNG
// from our own writer (OUT.exr gives float RGBA); --depth writes the camera depth as a
// one-channel EXR. Exit codes as app/exit_codes.h says.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct RenderOptions {
    std::string scene;        // file to load (renderScene only)
    std::string output;       // .png or .exr
    std::string depthOutput;  // .exr, or empty for none
    std::string camera;       // node name; empty: the scene's first camera, else the default view
    std::string size;         // "WxH"; empty: the scene's renderer output size
    int samplesPerPixel = 1;
    double frame = 0.0;  // scene frames
    bool objYUp = false;
    std::vector<std::string> plugins;
};

// The largest picture side (pixels): a float RGBA image of 32768 x 32768 is already 16 GiB.
constexpr int kMaxImageSide = 32768;

// Parses "WxH" into picture dimensions between 1 and kMaxImageSide each.
bool parseSize(const std::string& text, int& width, int& height);

// Renders the host's open scene and writes the files; the host must be started. Messages go
// to stderr prefixed with `command` (as "tweather snow --preview" would name itself); one
// summary line goes to stdout. Returns the exit code.
int renderOpenScene(const RenderOptions& o, const std::string& command = "tweather render");

// Starts the host with the weather plug-in and o.plugins, loads o.scene, renders it, writes
// the files and shuts the host down. Returns the exit code.
int renderScene(const RenderOptions& o);

class RenderCli : public Subcommand {
public:
    explicit RenderCli(CLI::App& app);
    int run() override { return renderScene(options_); }

private:
    RenderOptions options_;
};

}  // namespace tweather
