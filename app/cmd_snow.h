// `tweather snow`: snows a scene through the host and the weather plug-in, as an artist
// would in the host. INPUT (OBJ, glTF or a scene file) becomes the open scene; every mesh
// node (or those named with --on) gets a snow modifier with the --set values; --occluders
// files join the scene as meshes without snow; the host's message loop runs until the
// shelter scene has been gathered and every modifier has rebuilt; the evaluated scene is
// exported to each OUTPUT (OBJ or glTF by extension).
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct SnowCommand {
    std::string input;
    std::vector<std::string> outputs;        // .obj, .gltf or .glb
    std::vector<std::string> sets;           // NAME=VALUE by internal name, applied in order
    std::vector<std::string> onNodes;        // node names; empty = every mesh node
    std::string shelter = "whole-scene";     // whole-scene, this-object or nothing
    std::vector<std::string> occluderFiles;  // meshes that shelter but get no snow
    std::string statsPath;                   // JSON: each node's figures and status text
    std::string savePath;                    // scene file of the snowed scene
    bool renderDetail = false;               // evaluate as during a render
    bool objYUp = false;                     // OBJ inputs are +Y up
    std::vector<std::string> plugins;        // further plug-in modules
    bool snowMaterial = true;                // give the snow faces the snow material
    std::string previewPath;                 // a rendered picture of the result (.png)
    std::string previewSize = "1280x720";
    int previewSamples = 4;                  // per pixel
};

// Runs the command; messages go to stdout and stderr. Returns the exit code
// (app/exit_codes.h).
int runSnowCommand(const SnowCommand& command);

class SnowCli : public Subcommand {
public:
    explicit SnowCli(CLI::App& app);
    int run() override { return runSnowCommand(command_); }

private:
    SnowCommand command_;
};

}  // namespace tweather
