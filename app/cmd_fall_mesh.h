// tweather fall mesh: a fall's particles as the geometry a renderer gets, in world space.
//   fall mesh SCENE [--node NAME] --frame F -o OUT.obj|.gltf|.glb
// Every particle (the render count) as a rain drop or snow/sand flake, whatever the fall's
// `renderMode` says. OBJ: one `v` per mesh vertex (%.9g), one `f` per face in the mesh's
// order, a `usemtl` line where the material index changes; glTF through the host's
// exporter. Exit codes and messages as `fall particles`.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tweather {

struct FallMeshCommand {
    std::string scene;
    std::string node;    // the fall's node; empty when the scene has only one fall
    std::string frame;   // frame number, fractional or negative
    std::string output;  // .obj, .gltf or .glb
    std::vector<std::string> plugins;
};

int runFallMesh(const FallMeshCommand& command);

// The `mesh` subcommand under `fall`.
class FallMeshCli {
public:
    void attach(CLI::App& fall);
    bool chosen() const;
    int run() const { return runFallMesh(command_); }

private:
    CLI::App* cmd_ = nullptr;
    FallMeshCommand command_;
};

}  // namespace tweather
