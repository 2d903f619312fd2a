// tweather scene: look into and convert scene files through the stand-in host.
//   scene info FILE [--json]     the node tree: handle, name, class, world transform,
//                                modifier stack and every parameter by internal name
//   scene convert IN OUT         read IN, write OUT; the formats follow the extensions
//                                (.scene/.json scene files, .gltf/.glb, .obj)
// Exit codes as app/exit_codes.h says.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

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
// Loads a scene for a command that needs the plug-in class `className`: 0, or the exit code
// after telling `fail` why (the host did not start, the class is missing: "the weather
// plug-in did not load, so there is no " + `what`, or the scene could not be read).
// Warnings go to `fail` too, prefixed "warning: ".
int openSceneNeeding(bool sessionStarted, const std::string& scenePath, const wchar_t* className,
                     const std::string& what, void (*fail)(const std::string&));
// The open scene's node tree as JSON text, or as indented text.
std::string describeScene(bool json, int timeTicks);

int runSceneInfo(const SceneOptions& o);
int runSceneConvert(const SceneOptions& o);

class SceneCli : public Subcommand {
public:
    explicit SceneCli(CLI::App& app);
    int run() override;

private:
    CLI::App* info_;
    CLI::App* convert_;
    SceneOptions options_;
};

}  // namespace tweather
