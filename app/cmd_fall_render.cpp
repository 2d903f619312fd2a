#include "app/cmd_fall_render.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/cmd_render.h"
#include "app/complete_output.h"
#include "app/depth_file.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/fall_frame_render.h"
#include "app/fall_render_stats.h"
#include "app/frame_range.h"
#include "app/interrupts.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "fall/frame_pattern.h"
#include "host/image_files.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "host/viewport.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/units.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather fall render";
constexpr const char* kNoCameraText = "needs a camera: render from a camera view, or pass a camera node";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

int usage(const std::string& message) {
    fail(message);
    return kExitUsage;
}

// What the options say, checked before the host starts.
struct Plan {
    bool framesGiven = false;
    FrameRange range;
    Chunk chunk;
    int width = 0, height = 0;  // from --size; 0 until known
    std::vector<Assignment> sets;
};

int checkOptions(const FallRenderCommand& c, Plan& p) {
    if (int rc =
            checkOutputKind(c.output, {".png", ".exr"}, "the output", "a .png (16-bit) or .exr (float) file", fail))
        return rc;
    if (!c.over.empty() && c.overRender) return usage("--over and --over-render cannot go together: pick one picture");
    if (!c.depth.empty() && c.overRender)
        return usage("--depth and --over-render cannot go together: the preview render brings its own depth");
    if (!c.depth.empty() && host::extensionOf(c.depth) != ".exr")
        return usage("--depth '" + c.depth + "' must be an .exr file (tweather render --depth writes one)");
    p.framesGiven = !c.frames.empty();
    if (p.framesGiven && !parseFrames(c.frames, p.range))
        return usage("--frames must be A-B (A <= B) or A, whole frame numbers, not '" + c.frames + "'");
    if (!c.chunk.empty() && !parseChunk(c.chunk, p.chunk))
        return usage("--chunk must be I/N with 1 <= I <= N, not '" + c.chunk + "'");
    if (!c.size.empty() && !parseSize(c.size, p.width, p.height))
        return usage("--size must be WxH with both between 1 and 32768, not '" + c.size + "'");
    if (c.samplesPerPixel < 1 || c.samplesPerPixel > 1024)
        return usage("--spp must be between 1 and 1024, not " + std::to_string(c.samplesPerPixel));
    if (p.framesGiven && p.range.count() > 1 && !wx::hasFrameRun(c.output))
        return usage("-o '" + c.output + "' needs a '#' run for the frame number when it names several frames (" +
                     c.frames + "), as in out_####.png");
    if (std::string error; !splitAssignments(c.sets, p.sets, error)) return usage("--set " + error);
    for (const std::string* file : {&c.output, &c.stats})
        if (!file->empty())
            if (int rc = checkOutputFolder(*file, fail)) return rc;
    return kExitOk;
}

// --set on the fall's own block, for this run only (the scene is never saved).
int applySets(INode* fallNode, const std::vector<Assignment>& sets) {
    Object* obj = fallNode->GetObjectRef();
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    IParamBlock2* pb = base ? base->GetParamBlock(0) : nullptr;
    for (const Assignment& a : sets) {
        std::string warning, error;
        if (!pb || !assignParameter(pb, a, warning, error)) return usage("--set " + error);
        if (!warning.empty()) fail("warning: " + warning);
    }
    return kExitOk;
}

bool isCamera(INode* node, TimeValue t) {
    const ObjectState& os = node->EvalWorldState(t);
    return os.obj && os.obj->SuperClassID() == CAMERA_CLASS_ID;
}

// --camera by name (any node: one without a camera looks down its -Z at 45 degrees), else
// the view camera: the active viewport's, else the first camera of the scene, depth first.
int pickCamera(const std::string& name, TimeValue t, INode*& camera) {
    if (!name.empty()) {
        camera = nodeNamed(name);
        if (!camera) return usage("--camera '" + name + "': no node has that name");
        return kExitOk;
    }
    camera = host::activeViewport().GetViewCamera();
    for (INode* node : host::currentScene().allNodes())
        if (!camera && isCamera(node, t)) camera = node;
    if (!camera) return usage(kNoCameraText);
    return kExitOk;
}

// The picture size: --size, else the first frame's picture (or depth), else the renderer
// output size. A picture unlike --size is bad usage.
int pickSize(const FallRenderCommand& c, int firstFrame, Plan& p) {
    int pictureWidth = 0, pictureHeight = 0;
    std::string what;
    if (!c.over.empty()) {
        what = wx::expandFramePattern(c.over, firstFrame);
        host::ImageFile header;
        std::string error;
        if (host::readImageFile(what, header, false, error) != BMMRES_SUCCESS) {
            fail(error);
            return kExitIo;
        }
        pictureWidth = header.width;
        pictureHeight = header.height;
    } else if (!c.depth.empty()) {
        what = wx::expandFramePattern(c.depth, firstFrame);
        DepthPicture depth;
        std::string error;
        if (!readDepthExr(what, depth, error)) {
            fail(error);
            return kExitIo;
        }
        pictureWidth = depth.width;
        pictureHeight = depth.height;
    }
    if (pictureWidth > 0 && p.width > 0 && (pictureWidth != p.width || pictureHeight != p.height))
        return usage("--size " + c.size + " is unlike '" + what + "', which is " + std::to_string(pictureWidth) + "x" +
                     std::to_string(pictureHeight));
    if (p.width == 0) {
        p.width = pictureWidth > 0 ? pictureWidth : GetCOREInterface()->GetRendWidth();
        p.height = pictureHeight > 0 ? pictureHeight : GetCOREInterface()->GetRendHeight();
    }
    return kExitOk;
}

// Every frame's output is neither the scene nor that frame's picture or depth, and --stats
// is none of them: 0 or the exit code.
int checkFrameFiles(const FallRenderCommand& c, const FrameRange& frames) {
    for (long long f = frames.first; f <= frames.last; ++f) {
        const int frame = int(f);
        std::string error;
        const int rc = checkOutputs({{"the scene", c.scene},
                                     {"--over", wx::expandFramePattern(c.over, frame)},
                                     {"--depth", wx::expandFramePattern(c.depth, frame)}},
                                    {{"-o", wx::expandFramePattern(c.output, frame)}, {"--stats", c.stats}}, error);
        if (rc != 0) {
            fail(error);
            return rc;
        }
        // One name for every frame: the checks come out the same for the others.
        if (!wx::hasFrameRun(c.output) && !wx::hasFrameRun(c.over) && !wx::hasFrameRun(c.depth)) break;
    }
    return kExitOk;
}

// The frames fit the host's clock: frame x ticks per frame is an int.
int checkFramesInTime(const FrameRange& range) {
    const long long tpf = GetTicksPerFrame();
    for (int f : {range.first, range.last})
        if ((long long)f * tpf > INT_MAX || (long long)f * tpf < INT_MIN)
            return usage("frame " + std::to_string(f) + " lies outside the scene's time range");
    return kExitOk;
}

class TerminalProgress {
public:
    TerminalProgress() : shown_(isatty(STDERR_FILENO)) {}
    ~TerminalProgress() { clear(); }
    void frame(int frame, long long index, long long count) const {
        if (shown_) std::fprintf(stderr, "\r\033[Kfall render: frame %d (%lld of %lld)", frame, index, count);
    }
    void clear() const {
        if (shown_) std::fprintf(stderr, "\r\033[K");
    }

private:
    bool shown_;
};

std::string backendOf(const std::string& status, const std::string& chosen) {
    if (status.find("on the GPU") != std::string::npos) return "gpu";
    if (status.find("on the CPU") != std::string::npos) return "cpu";
    return chosen;
}

int exitFor(FrameOutcome outcome) {
    switch (outcome) {
        case FrameOutcome::written:
            return kExitOk;
        case FrameOutcome::badSize:
            return kExitUsage;
        case FrameOutcome::fileError:
        case FrameOutcome::renderFailed:
            break;
    }
    return kExitIo;
}

// The frames of the chunk, one after the other; stops at the first failure or after the
// frame under way when an interrupt came. The exit code.
int renderFrames(const FallRenderCommand& c, INode* fallNode, INode* camera, FallRenderStats& stats) {
    FallFrameRenderer renderer(fallNode, camera);
    const TerminalProgress progress;
    for (long long f = stats.frames.first; f <= stats.frames.last; ++f) {
        if (interrupted()) {
            stats.interrupted = true;
            return kExitInterrupted;
        }
        const auto start = std::chrono::steady_clock::now();
        FramePlan plan;
        plan.frame = int(f);
        plan.output = wx::expandFramePattern(c.output, plan.frame);
        if (!c.over.empty()) plan.background = wx::expandFramePattern(c.over, plan.frame);
        if (!c.depth.empty()) plan.depth = wx::expandFramePattern(c.depth, plan.frame);
        plan.overRender = c.overRender;
        plan.samplesPerPixel = c.samplesPerPixel;
        plan.width = stats.width;
        plan.height = stats.height;
        progress.frame(plan.frame, f - stats.frames.first + 1, stats.frames.count());

        FrameRecord record{plan.frame, plan.output, FrameResult::skipped, 0.0, "complete, skipped"};
        FrameOutcome outcome = FrameOutcome::written;
        std::string error;
        if (!(c.resume && outputComplete(plan.output, plan.width, plan.height))) {
            record.status.clear();
            outcome = renderer.render(plan, record.status, error);
            record.pictureSeconds = renderer.times().picture;
            record.renderSeconds = renderer.times().render;
            record.writeSeconds = renderer.times().write;
            record.result = outcome == FrameOutcome::written ? FrameResult::written : FrameResult::failed;
            if (record.status.empty()) record.status = error;
            if (outcome == FrameOutcome::written) stats.backend = backendOf(record.status, stats.backend);
        }
        record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress.clear();
        std::printf("%s: %s\n", plan.output.c_str(), record.status.c_str());
        std::fflush(stdout);
        stats.records.push_back(record);
        if (outcome != FrameOutcome::written) {
            fail(error.empty() ? "frame " + std::to_string(plan.frame) + ": " + record.status : error);
            return exitFor(outcome);
        }
    }
    if (interrupted()) {
        stats.interrupted = true;
        return kExitInterrupted;
    }
    return kExitOk;
}

int finish(const FallRenderCommand& c, FallRenderStats& stats, int rc, double seconds) {
    std::printf("%s\n", summaryLine(stats, seconds).c_str());
    std::string error;
    if (!c.stats.empty() && !writeStatsJson(c.stats, stats, error)) {
        fail(error);
        if (rc == kExitOk) rc = kExitIo;
    }
    return rc;
}

}  // namespace

int runFallRender(const FallRenderCommand& c) {
    const auto start = std::chrono::steady_clock::now();
    Plan p;
    if (int rc = checkOptions(c, p)) return rc;
    if (!c.backend.empty()) ::setenv("WX_FALL_BACKEND", c.backend.c_str(), 1);

    const WeatherHost session(c.plugins, fail);
    if (int rc = openFallScene(session.started(), c.scene, fail)) return rc;
    INode* fallNode = nullptr;
    if (int rc = pickFall(c.node, c.scene, fail, fallNode)) return rc;
    if (int rc = applySets(fallNode, p.sets)) return rc;

    const int tpf = GetTicksPerFrame();
    if (!p.framesGiven) {
        const TimeValue now = GetCOREInterface()->GetTime();
        const int current = now >= 0 ? now / tpf : -((-now + tpf - 1) / tpf);
        p.range = {current, current};
    }
    if (int rc = checkFramesInTime(p.range)) return rc;
    INode* camera = nullptr;
    if (int rc = pickCamera(c.camera, TimeValue(p.range.first * tpf), camera)) return rc;
    // The preview renderer looks through cameras only: anything else would render another view.
    if (c.overRender && !isCamera(camera, TimeValue(p.range.first * tpf)))
        return usage("--camera '" + c.camera + "' holds no camera, and --over-render renders through a camera");

    FallRenderStats stats;
    stats.scene = c.scene;
    stats.node = nodeNameOf(fallNode);
    stats.camera = nodeNameOf(camera);
    stats.backend = c.backend == "gpu" ? "gpu" : "cpu";
    stats.chunk = p.chunk;
    stats.frames = chunkOf(p.range, p.chunk);
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    if (stats.frames.empty()) {
        std::printf("chunk %d/%d has no frames: frames %d-%d are %lld, fewer than the %d chunks\n", p.chunk.index,
                    p.chunk.count, p.range.first, p.range.last, p.range.count(), p.chunk.count);
        return finish(c, stats, kExitOk, seconds());
    }
    if (int rc = checkFrameFiles(c, stats.frames)) return rc;
    if (int rc = pickSize(c, stats.frames.first, p)) return rc;
    stats.width = p.width;
    stats.height = p.height;

    const int rc = renderFrames(c, fallNode, camera, stats);
    return finish(c, stats, rc, seconds());
}

CLI::App* addFallRender(CLI::App& fall, FallRenderCommand& c) {
    CLI::App* cmd = fall.add_subcommand("render", "Render a fall as splats, alone or over pictures, frame by frame");
    cmd->add_option("scene", c.scene, "Scene file (.scene/.json) holding the fall")->required();
    cmd->add_option("--node", c.node, "The fall's node (needed when the scene holds several)");
    cmd->add_option("--camera", c.camera, "Camera node to render from (default: the view camera)");
    cmd->add_option("--frames", c.frames, "A-B or A: the frames to render (default: the current frame)");
    cmd->add_option("--chunk", c.chunk,
                    "I/N: only the I-th of N near-equal parts of the frames (a job array: --chunk "
                    "$SLURM_ARRAY_TASK_ID/N)");
    cmd->add_option("--size", c.size, "Image size as WxH (default: the picture's, else the renderer output size)");
    cmd->add_option("-o,--output", c.output, "Images to write: .png (16-bit RGBA) or .exr; '#'s for the frame number")
        ->required();
    cmd->add_option("--over", c.over, "Pictures to render over ('#'s for the frame number)");
    cmd->add_flag("--over-render", c.overRender,
                  "Render each frame with the preview renderer first and render over it (its depth hides flakes)");
    cmd->add_option("--spp", c.samplesPerPixel, "Samples per pixel of --over-render, 1 to 1024")->capture_default_str();
    cmd->add_option("--depth", c.depth,
                    "Depth EXR (tweather render --depth) behind the picture, or behind a transparent one");
    cmd->add_flag("--resume", c.resume, "Skip frames whose output is already complete");
    cmd->add_option("--backend", c.backend, "auto, gpu or cpu (default: WX_FALL_BACKEND, else auto)")
        ->check(CLI::IsMember({"auto", "gpu", "cpu"}));
    cmd->add_option("--set", c.sets, "NAME=VALUE: a fall parameter for this render only (repeatable)")
        ->allow_extra_args(false);
    cmd->add_option("--stats", c.stats, "JSON file: what each frame did");
    cmd->add_option("--plugin", c.plugins, "Plug-in module to load besides the weather plug-in (repeatable)")
        ->allow_extra_args(false);
    return cmd;
}

}  // namespace tweather
