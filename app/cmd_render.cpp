#include "app/cmd_render.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>

#include "app/cmd_scene.h"
#include "app/distinct_files.h"
#include "app/exit_codes.h"
#include "app/weather_module.h"
#include "host/host_app.h"
#include "host/image_files.h"
#include "host/preview_renderer.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "max/units.h"
#include "render/png_writer.h"

namespace tweather {

namespace {

// One line on stderr (messages from libraries may end in their own line breaks).
void fail(const std::string& command, std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    std::fprintf(stderr, "%s: %s\n", command.c_str(), message.c_str());
}

bool folderWritable(const std::string& file) {
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK) == 0;
}

// Everything that can be checked before a scene is loaded; 0 or the exit code.
int checkOptions(const RenderOptions& o, const std::string& command, int& width, int& height) {
    const std::string ext = host::extensionOf(o.output);
    if (ext != ".png" && ext != ".exr") {
        fail(command, "the output '" + o.output + "' must be a .png (16-bit) or .exr (float) file");
        return kExitUsage;
    }
    if (!o.depthOutput.empty() && host::extensionOf(o.depthOutput) != ".exr") {
        fail(command, "--depth '" + o.depthOutput + "' must be an .exr file");
        return kExitUsage;
    }
    if (!o.size.empty() && !parseSize(o.size, width, height)) {
        fail(command, "--size must be WxH with both between 1 and 32768, not '" + o.size + "'");
        return kExitUsage;
    }
    if (o.samplesPerPixel < 1 || o.samplesPerPixel > 1024) {
        fail(command, "--spp must be between 1 and 1024, not " + std::to_string(o.samplesPerPixel));
        return kExitUsage;
    }
    if (!std::isfinite(o.frame)) {
        fail(command, "--time must be a frame number");
        return kExitUsage;
    }
    for (const std::string& file : {o.output, o.depthOutput}) {
        if (!file.empty() && !folderWritable(file)) {
            fail(command, "cannot write '" + file + "' (check the folder exists and is writable)");
            return kExitIo;
        }
    }
    return 0;
}

std::string summary(const RenderOptions& o, const host::PreviewImage& img) {
    char text[512];
    const std::string view =
        img.cameraName.empty() ? "the default view" : "camera '" + host::toUtf8(img.cameraName) + "'";
    const std::string light =
        img.defaultLight ? "the default sun" : std::to_string(img.lights) + (img.lights == 1 ? " light" : " lights");
    const double raysPerSecond = img.seconds > 0.0 ? double(img.primaryRays) / img.seconds : 0.0;
    std::snprintf(text, sizeof text,
                  "wrote %s (%dx%d, %d sample%s per pixel, %s, %lld triangles, %s; %.2f s, %.2f M primary rays/s)",
                  o.output.c_str(), img.width, img.height, o.samplesPerPixel, o.samplesPerPixel == 1 ? "" : "s",
                  view.c_str(), (long long)img.triangles, light.c_str(), img.seconds, raysPerSecond / 1e6);
    std::string out = text;
    if (!o.depthOutput.empty()) out += " and " + o.depthOutput;
    return out;
}

}  // namespace

bool parseSize(const std::string& text, int& width, int& height) {
    // Digits only, each side read whole: "99999999999x1" overflows no int on the way.
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    auto side = [](std::string_view digits, int& value) {
        if (digits.empty() || digits.size() > 5) return false;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return ec == std::errc() && end == digits.data() + digits.size() && value >= 1 && value <= kMaxImageSide;
    };
    int w = 0, h = 0;
    if (!side(std::string_view(text).substr(0, x), w) || !side(std::string_view(text).substr(x + 1), h)) return false;
    width = w;
    height = h;
    return true;
}

int renderOpenScene(const RenderOptions& o, const std::string& command) {
    int width = 0, height = 0;
    if (int rc = checkOptions(o, command, width, height)) return rc;

    host::PreviewSettings settings;
    settings.width = width;
    settings.height = height;
    settings.samplesPerPixel = o.samplesPerPixel;
    settings.time = TimeValue(std::lround(o.frame * GetTicksPerFrame()));
    settings.cameraName = host::fromUtf8(o.camera);
    host::PreviewImage img;
    std::string error;
    bool refused = false;
    bool rendered = false;
    try {
        rendered = host::renderPreview(settings, img, error, &refused);
    } catch (const std::bad_alloc&) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "not enough memory to render %dx%d pixels (%.1f GiB of image): ask for a smaller --size",
                      settings.width, settings.height,
                      double(settings.width) * double(settings.height) * 20.0 / double(1ull << 30));
        fail(command, text);
        return kExitIo;
    }
    if (!rendered) {
        fail(command, error);
        return refused ? kExitUsage : kExitIo;
    }

    bool written = false;
    if (host::extensionOf(o.output) == ".png") {
        written = wx::writePng16(o.output, img.rgba.data(), img.width, img.height, error);
    } else {
        written = host::writeExrRgba(o.output, img.rgba.data(), img.width, img.height, error);
    }
    if (!written) {
        fail(command, error);
        return kExitIo;
    }
    if (!o.depthOutput.empty() && !host::writeExrDepth(o.depthOutput, img.depth.data(), img.width, img.height, error)) {
        fail(command, error);
        return kExitIo;
    }
    std::printf("%s\n", summary(o, img).c_str());
    return 0;
}

int renderScene(const RenderOptions& o) {
    const std::string command = "tweather render";
    int width = 0, height = 0;
    if (int rc = checkOptions(o, command, width, height)) return rc;
    std::string clash;
    if (int rc = checkOutputs({{"the scene", o.scene}}, {{"-o", o.output}, {"--depth", o.depthOutput}}, clash)) {
        fail(command, clash);
        return rc;
    }

    std::vector<std::string> errors;
    std::string missing;
    host::startUp(modulesToLoad(o.plugins, missing), errors);
    if (!missing.empty()) fail(command, "warning: " + missing);
    for (const std::string& e : errors) fail(command, e);
    std::string error;
    std::vector<std::string> warnings;
    int rc = 0;
    if (!errors.empty()) {
        rc = kExitIo;  // a --plugin that would not load: the picture would not be the one asked for
    } else if (!loadAnyScene(o.scene, o.objYUp, error, warnings)) {
        fail(command, error);
        rc = kExitIo;
    } else {
        for (const std::string& w : warnings) fail(command, "warning: " + w);
        rc = renderOpenScene(o, command);
    }
    host::shutDown();
    return rc;
}

RenderCli::RenderCli(CLI::App& app) {
    cmd_ = app.add_subcommand("render", "Render a scene file or an imported glTF/OBJ with the preview renderer");
    cmd_->add_option("scene", options_.scene, "Scene (.scene/.json), glTF (.gltf/.glb) or OBJ file")->required();
    cmd_->add_option("-o,--output", options_.output, "Image to write: .png (16-bit RGBA) or .exr (float RGBA)")
        ->required();
    cmd_->add_option("--camera", options_.camera,
                     "Camera node to render from (default: the scene's first camera, else a three-quarter view)");
    cmd_->add_option("--size", options_.size, "Image size as WxH (default: the scene's renderer output size)");
    cmd_->add_option("--spp", options_.samplesPerPixel, "Samples per pixel, 1 to 1024")->capture_default_str();
    cmd_->add_option("--time", options_.frame, "Frame to render")->capture_default_str();
    cmd_->add_option("--depth", options_.depthOutput,
                     "Also write the depth buffer: a one-channel (Z) EXR of camera depth in scene units, "
                     "infinite where nothing is hit");
    cmd_->add_option("--plugin", options_.plugins, "Plug-in module to load besides the weather plug-in (repeatable)");
    cmd_->add_option_function<std::string>(
            "--up", [this](const std::string& axis) { options_.objYUp = axis == "y"; },
            "Up axis of OBJ input: z (default) or y")
        ->check(CLI::IsMember({"y", "z"}));
}

}  // namespace tweather
