// tweather fall: the falling weather of a scene, through the host and the weather plug-in.
//   fall add SCENE -o OUT.scene ...          (app/cmd_fall_add.h)
//   fall mesh SCENE --frame F -o OUT.obj ...  (app/cmd_fall_mesh.h)
//   fall runoff SCENE ...                     (app/cmd_fall_runoff.h)
//   fall render SCENE -o OUT_####.png ...     (app/cmd_fall_render.h)
//   fall particles SCENE [--node NAME] --frame F -o OUT.csv|.ply [--viewport] [--exact]
// writes every particle's world state at frame F: the render count (or the viewport's
// share), the batch path the viewport uses (or the scalar reference field), with the
// tornado wind exported first as a render asks for it. Exit codes as app/exit_codes.h says.
#pragma once

#include <string>
#include <vector>

#include "app/cmd_fall_add.h"
#include "app/cmd_fall_mesh.h"
#include "app/cmd_fall_render.h"
#include "app/cmd_fall_runoff.h"
#include "app/subcommand.h"

namespace tweather {

struct FallParticlesCommand {
    std::string scene;
    std::string node;       // the fall's node; empty when the scene has only one fall
    std::string frame;      // frame number, fractional or negative
    std::string output;     // .csv or .ply
    bool viewport = false;  // the viewport's share of the count
    bool exact = false;     // the scalar reference field
    std::vector<std::string> plugins;
};

// Runs the command; messages go to stdout and stderr. Returns the exit code.
int runFallParticles(const FallParticlesCommand& command);

class FallCli : public Subcommand {
public:
    explicit FallCli(CLI::App& app);
    int run() override;

private:
    CLI::App* add_;
    CLI::App* particles_;
    FallAddCommand addCommand_;
    FallParticlesCommand particlesCommand_;
    FallMeshCli mesh_;
    CLI::App* runoff_;
    FallRunoffCommand runoffCommand_;
    CLI::App* render_;
    FallRenderCommand renderCommand_;
};

}  // namespace tweather
