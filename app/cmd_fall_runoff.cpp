#include "app/cmd_fall_runoff.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/runoff_files.h"
#include "app/weather_module.h"
#include "fall/weather_fall_fp.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "max/units.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather fall runoff";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

// Options that need no scene: the frame, the files' kinds and folders. 0 or the exit code.
int checkOptions(const FallRunoffCommand& c, double& frame) {
    if (int rc = readFrame(c.frame, frame, fail)) return rc;
    if (!c.edges.empty())
        if (int rc = checkOutputKind(c.edges, {".obj", ".csv"}, "the edges file", "a .obj or .csv file", fail))
            return rc;
    for (const std::string* file : {&c.edges, &c.json})
        if (!file->empty())
            if (int rc = checkOutputFolder(*file, fail)) return rc;
    if (int rc = checkOutputFiles(c.scene, {{"-o", c.edges, false}, {"--json", c.json}}, fail)) return rc;
    return kExitOk;
}

int writeFiles(const FallRunoffCommand& c, const wx::FallRenderSetup& setup) {
    std::string error;
    const wx::DripEdgeList* list = setup.runoff ? setup.drips.get() : nullptr;
    if (!c.edges.empty()) {
        const bool obj = host::extensionOf(c.edges) == ".obj";
        if (!(obj ? writeDripEdgesObj(c.edges, list, error) : writeDripEdgesCsv(c.edges, list, error))) {
            fail(error);
            return kExitIo;
        }
    }
    if (!c.json.empty() && !writeRunoffJson(c.json, summarizeRunoff(setup), error)) {
        fail(error);
        return kExitIo;
    }
    return kExitOk;
}

}  // namespace

int runFallRunoff(const FallRunoffCommand& c) {
    double frame = 0.0;
    if (int rc = checkOptions(c, frame)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openFallScene(session.started(), c.scene, fail)) return rc;

    TimeValue t = 0;
    if (int rc = frameToTicks(frame, c.frame, fail, t)) return rc;

    INode* node = nullptr;
    if (int rc = pickFall(c.node, c.scene, fail, node)) return rc;

    // Inside a render's notifications, so the scene is captured at t as a render does.
    wx::FallRenderSetup setup;
    std::wstring failure;
    host::beginRender(t);
    const bool prepared = fallOf(node)->renderSetup(t, node, setup, failure);
    host::endRender();
    if (!prepared) {
        fail(host::toUtf8(failure));
        return kExitIo;
    }
    if (int rc = writeFiles(c, setup)) return rc;
    std::printf("%s\n", runoffLine(setup).c_str());
    return kExitOk;
}

CLI::App* addFallRunoff(CLI::App& fall, FallRunoffCommand& c) {
    CLI::App* cmd = fall.add_subcommand("runoff", "The run-off a render of a fall gets: drip edges and drops");
    cmd->add_option("scene", c.scene, "Scene file (.scene/.json) holding the fall")->required();
    cmd->add_option("--node", c.node, "The fall's node (needed when the scene holds several)");
    cmd->add_option("--frame", c.frame, "Frame number (default 0); fractions and negatives are fine");
    cmd->add_option("-o,--output", c.edges, "Drip edges to write: .obj (lines) or .csv");
    cmd->add_option("--json", c.json, "The run-off figures to write as JSON");
    cmd->add_option("--plugin", c.plugins, "Plug-in module to load besides the weather plug-in (repeatable)")
        ->allow_extra_args(false);
    return cmd;
}

}  // namespace tweather
