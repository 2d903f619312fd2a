#include "app/cmd_fall.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/particle_files.h"
#include "app/weather_module.h"
#include "fall/weather_fall_fp.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/object.h"
#include "max/units.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather fall particles";
constexpr double kTicksPerSecond = 4800.0;

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

}  // namespace

int runFallParticles(const FallParticlesCommand& c) {
    double frame = 0.0;
    if (int rc = readFrame(c.frame, frame, fail)) return rc;
    if (int rc = checkOutputKind(c.output, {".csv", ".ply"}, "the output", "a .csv or .ply file", fail)) return rc;
    const std::string ext = host::extensionOf(c.output);
    if (int rc = checkOutputFolder(c.output, fail)) return rc;
    if (int rc = checkOutputFiles(c.scene, {{"-o", c.output}}, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openFallScene(session.started(), c.scene, fail)) return rc;

    TimeValue t = 0;
    if (int rc = frameToTicks(frame, c.frame, fail, t)) return rc;

    INode* node = nullptr;
    if (int rc = pickFall(c.node, c.scene, fail, node)) return rc;
    wx::WeatherFallFP* fall = fallOf(node);

    std::vector<wx::FallParticle> particles;
    std::wstring tornado;
    {
        FallProgress computing(FallProgress::kShownFrom);
        computing.say("computing the particles");
        tornado = fall->evaluateWorld(t, node, c.viewport, c.exact, true, particles);
    }
    FallProgress progress(particles.size());
    std::string error;
    const bool written = ext == ".csv" ? writeParticlesCsv(c.output, particles, progress.writing(), error)
                                       : writeParticlesPly(c.output, particles, progress.writing(), error);
    if (!written) {
        fail(error);
        return kExitIo;
    }
    std::printf("wrote %s: %zu particles of \"%s\" at frame %g (%g s)\n", c.output.c_str(), particles.size(),
                nodeNameOf(node).c_str(), frame, double(t) / kTicksPerSecond);
    // Only a tornado that is set up has anything to say.
    if (!tornado.empty() && tornado != L"no tornado" && tornado != L"tornado: no node / file")
        std::printf("%s\n", host::toUtf8(tornado).c_str());
    return kExitOk;
}

FallCli::FallCli(CLI::App& app) {
    cmd_ = app.add_subcommand(
        "fall", "Falling weather: add it to a scene; write its particles, render mesh or run-off at a frame; render it");
    cmd_->require_subcommand(1);
    FallAddCommand& a = addCommand_;
    add_ = cmd_->add_subcommand("add", "Put a fall over a scene's geometry and save the scene");
    add_->add_option("scene", a.scene, "Scene, glTF or OBJ file to add the fall to")->required();
    add_->add_option("-o,--output", a.output, "Scene file to write (.scene or .json)")->required();
    add_->add_option("--name", a.name, "The fall node's name (default: Tarnwick Weather and a number)");
    add_->add_option(
            "--set", a.sets,
            "NAME=VALUE: a fall parameter by internal name; colours R,G,B from 0 to 1, nodes by name (repeatable)")
        ->allow_extra_args(false);
    add_->add_option("--around", a.around, "Node whose box the fall covers (repeatable; default: all the geometry)")
        ->allow_extra_args(false);
    add_->add_option("--tornado-at", a.tornadoAt, "X,Y: add a storm there on the fall's base and pick it");
    add_->add_option("--plugin", a.plugins, "Plug-in module to load besides the weather plug-in (repeatable)")
        ->allow_extra_args(false);
    FallParticlesCommand& c = particlesCommand_;
    particles_ = cmd_->add_subcommand("particles", "Write a fall's particles at a frame to a CSV or PLY file");
    particles_->add_option("scene", c.scene, "Scene file (.scene/.json) holding the fall")->required();
    particles_->add_option("--node", c.node, "The fall's node (needed when the scene holds several)");
    particles_->add_option("--frame", c.frame, "Frame number; fractions and negatives are fine")->required();
    particles_->add_option("-o,--output", c.output, "File to write: .csv (text) or .ply (binary)")->required();
    particles_->add_flag("--viewport", c.viewport, "Only the viewport's share of the count");
    particles_->add_flag("--exact", c.exact, "The scalar reference field instead of the fast batch path");
    particles_->add_option("--plugin", c.plugins, "Plug-in module to load besides the weather plug-in (repeatable)")
        ->allow_extra_args(false);
    mesh_.attach(*cmd_);
    runoff_ = addFallRunoff(*cmd_, runoffCommand_);
    render_ = addFallRender(*cmd_, renderCommand_);
}

int FallCli::run() {
    if (*add_) return runFallAdd(addCommand_);
    if (*particles_) return runFallParticles(particlesCommand_);
    if (mesh_.chosen()) return mesh_.run();
    if (*runoff_) return runFallRunoff(runoffCommand_);
    if (*render_) return runFallRender(renderCommand_);
    return kExitUsage;
}

}  // namespace tweather
