#include "app/cmd_example.h"

#include <cstdio>
#include <vector>

#include "app/demo_town.h"
#include "app/exit_codes.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"

namespace tweather {

int runExampleCommand(const std::string& output) {
    const std::string ext = host::extensionOf(output);
    const bool sceneFile = ext == ".scene" || ext == ".json";
    if (!sceneFile && ext != ".obj" && ext != ".gltf" && ext != ".glb") {
        std::fprintf(stderr, "tweather example: '%s': write a .scene, .json, .obj, .gltf or .glb file\n",
                     output.c_str());
        return kExitUsage;
    }
    std::vector<std::string> errors;
    host::startUp({}, errors);
    buildDemoTown();
    std::string error;
    const bool ok = sceneFile ? host::saveScene(output, error) : host::exportScene(output, 0, error);
    const size_t nodes = host::currentScene().allNodes().size();
    host::shutDown();
    if (!ok) {
        std::fprintf(stderr, "tweather example: %s\n", error.c_str());
        return kExitIo;
    }
    std::printf("wrote %s (the example town: %zu nodes)\n", output.c_str(), nodes);
    return kExitOk;
}

ExampleCli::ExampleCli(CLI::App& app) {
    cmd_ = app.add_subcommand("example", "Write the built-in example: a small town in centimetres");
    cmd_->add_option("output", output_, "File to write: .scene, .json, .obj, .gltf or .glb")->required();
}

}  // namespace tweather
