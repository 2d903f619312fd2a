// tweather scene: look into and convert scene files through the stand-in host.
//   scene info FILE [--json]     the node tree: handle, name, class, world transform,
//                                modifier stack and every parameter by internal name
//   scene convert IN OUT         read IN, write OUT; the formats follow the extensions
//                                (.scene/.json scene files, .gltf/.glb, .obj)
// Exit codes: 0 success, 1 a file could not be read or written, 2 bad usage.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace tweather {

struct SceneOptions {
    std::string input, output;
    bool json = false;
    bool objYUp = false;
    double timeSeconds = 0.0;
    std::vector<std::string> plugins;
};

// Reads a scene file or imports a glTF/OBJ into the host's open scene.
bool loadAnyScene(const std::string& path, bool objYUp, std::string& error, std::vector<std::string>& warnings);
// The open scene's node tree as JSON text, or as indented text.
std::string describeScene(bool json, int timeTicks);

int runSceneInfo(const SceneOptions& o);
int runSceneConvert(const SceneOptions& o);

// Registers the "scene" subcommand on app; run() dispatches when it was chosen.
class SceneCli {
public:
    explicit SceneCli(CLI::App& app);
    bool chosen() const { return scene_->parsed(); }
    int run();

private:
    CLI::App* scene_;
    CLI::App* info_;
    CLI::App* convert_;
    SceneOptions options_;
};

}  // namespace tweather
