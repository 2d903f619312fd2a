// `tweather example OUT`: writes the built-in example town (see demo_town.h) as a scene
// file (.scene, .json) or as a mesh export (.obj, .gltf, .glb).
#pragma once

#include <string>

#include "app/subcommand.h"

namespace tweather {

// Returns the exit code (app/exit_codes.h).
int runExampleCommand(const std::string& output);

class ExampleCli : public Subcommand {
public:
    explicit ExampleCli(CLI::App& app);
    int run() override { return runExampleCommand(output_); }

private:
    std::string output_;
};

}  // namespace tweather
