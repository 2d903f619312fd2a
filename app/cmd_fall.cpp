#include "app/cmd_fall.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
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
constexpr size_t kProgressFrom = 1000000;  // particles: fewer are written before anyone looks

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

// The host runs from the first call to the end of the command.

// A frame number: the whole text, finite (fractions and negatives are fine).
bool parseFrame(const std::string& text, double& frame) {
    if (text.empty()) return false;
    char* end = nullptr;
    frame = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(frame);
}

bool folderWritable(const std::string& file) {
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK) == 0;
}

// The fall mixin of the node's base object, or null when the node holds no fall.
wx::WeatherFallFP* fallOf(INode* node) {
    Object* obj = node->GetObjectRef();
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    if (!base) return nullptr;
    return static_cast<wx::WeatherFallFP*>(base->GetInterface(wx::kWeatherFallFPInterfaceID));
}

std::string nameOf(INode* node) {
    return host::toUtf8(node->GetName());
}

// The fall the command writes: the one named with --node, else the scene's only one.
// 0 or the exit code.
int pickFall(const FallParticlesCommand& c, INode*& picked) {
    std::vector<INode*> falls;
    for (INode* node : host::currentScene().allNodes())
        if (fallOf(node)) falls.push_back(node);
    std::string names;
    for (INode* node : falls) names += (names.empty() ? "" : ", ") + nameOf(node);
    if (!c.node.empty()) {
        INode* named = nullptr;
        for (INode* node : host::currentScene().allNodes())
            if (nameOf(node) == c.node && (!named || fallOf(node))) named = node;
        if (!named || !fallOf(named)) {
            fail("--node '" + c.node +
                 "': " + (named ? "that node holds no falling weather" : "no node has that name") +
                 "; the falling-weather nodes are: " + (names.empty() ? "(none)" : names));
            return kExitUsage;
        }
        picked = named;
        return 0;
    }
    if (falls.empty()) {
        fail("'" + c.scene + "' holds no falling weather (no Tarnwick Weather object)");
        return kExitIo;
    }
    if (falls.size() > 1) {
        fail("'" + c.scene + "' holds several falls; name one with --node: " + names);
        return kExitUsage;
    }
    picked = falls.front();
    return 0;
}

// What the command is doing, on a terminal only, for counts large enough to wait for;
// the count is unknown until the evaluation, so that step is shown whatever the count.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), shown_(total >= kProgressFrom && isatty(STDERR_FILENO)) {}
    ~Progress() {
        if (shown_) std::fprintf(stderr, "\r\033[K");
    }
    void computing() const {
        if (shown_) std::fprintf(stderr, "\r\033[Kfall: computing the particles");
    }
    WriteProgress writing() const {
        if (!shown_) return {};
        return [total = total_](size_t done) {
            std::fprintf(stderr, "\r\033[Kfall: writing %zu particles: %zu%%", total, done * 100 / total);
        };
    }

private:
    size_t total_;
    bool shown_;
};

}  // namespace

int runFallParticles(const FallParticlesCommand& c) {
    double frame = 0.0;
    if (!parseFrame(c.frame, frame)) {
        fail("--frame must be a frame number, not '" + c.frame + "'");
        return kExitUsage;
    }
    const std::string ext = host::extensionOf(c.output);
    if (ext != ".csv" && ext != ".ply") {
        fail("the output '" + c.output + "' must be a .csv or .ply file");
        return kExitUsage;
    }
    if (!folderWritable(c.output)) {
        fail("cannot write '" + c.output + "' (check the folder exists and is writable)");
        return kExitIo;
    }

    const WeatherHost session(c.plugins, fail);
    if (!session.started()) return kExitIo;
    if (!host::classRegistry().findByName(L"WeatherFall")) {
        fail("the weather plug-in did not load, so there is no falling weather");
        return kExitIo;
    }
    std::string error;
    std::vector<std::string> warnings;
    if (!loadAnyScene(c.scene, false, error, warnings)) {
        fail(error);
        return kExitIo;
    }
    for (const std::string& w : warnings) fail("warning: " + w);

    // The frame to a whole tick at the scene's frame rate.
    const double ticks = std::round(frame * double(GetTicksPerFrame()));
    if (!(ticks >= double(INT_MIN) && ticks <= double(INT_MAX))) {
        fail("--frame " + c.frame + " lies outside the scene's time range");
        return kExitUsage;
    }
    const TimeValue t = TimeValue(ticks);

    INode* node = nullptr;
    if (int rc = pickFall(c, node)) return rc;
    wx::WeatherFallFP* fall = fallOf(node);

    std::vector<wx::FallParticle> particles;
    std::wstring tornado;
    {
        Progress computing(kProgressFrom);
        computing.computing();
        tornado = fall->evaluateWorld(t, node, c.viewport, c.exact, true, particles);
    }
    Progress progress(particles.size());
    const bool written = ext == ".csv" ? writeParticlesCsv(c.output, particles, progress.writing(), error)
                                       : writeParticlesPly(c.output, particles, progress.writing(), error);
    if (!written) {
        fail(error);
        return kExitIo;
    }
    std::printf("wrote %s: %zu particles of \"%s\" at frame %g (%g s)\n", c.output.c_str(), particles.size(),
                nameOf(node).c_str(), frame, double(t) / kTicksPerSecond);
    // Only a tornado that is set up has anything to say.
    if (!tornado.empty() && tornado != L"no tornado" && tornado != L"tornado: no node / file")
        std::printf("%s\n", host::toUtf8(tornado).c_str());
    return kExitOk;
}

FallCli::FallCli(CLI::App& app) {
    cmd_ = app.add_subcommand("fall", "Falling weather of a scene: its particles at a frame");
    cmd_->require_subcommand(1);
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
}

int FallCli::run() {
    if (*particles_) return runFallParticles(particlesCommand_);
    return kExitUsage;
}

}  // namespace tweather
