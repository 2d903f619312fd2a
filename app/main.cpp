// tweather: runs the weather system's jobs on real files from the command line.
// Exit codes: 0 success, 1 a file could not be read or written, 2 bad usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "app/cmd_example.h"
#include "app/cmd_snow.h"
#include "app/png_test_card.h"
#include "app/render_cmd.h"
#include "app/scene_cmd.h"
#include "app/script_cmd.h"
#include "render/png_writer.h"

namespace {

constexpr int kExitIo = 1;
constexpr int kExitUsage = 2;

int runPngTest(const std::string& output, const std::string& sizeText) {
    int width = 0, height = 0;
    if (!tweather::parseSize(sizeText, width, height)) {
        std::fprintf(stderr, "tweather png-test: --size must be WxH with both between 1 and 32768, not '%s'\n",
                     sizeText.c_str());
        return kExitUsage;
    }
    std::vector<float> card = tweather::makePngTestCard(width, height);
    if (!wx::writePng16(output, card.data(), width, height)) {
        std::fprintf(stderr, "tweather png-test: could not write the image '%s' (check the folder exists and is writable)\n",
                     output.c_str());
        return kExitIo;
    }
    std::printf("wrote %s (%dx%d, 16-bit RGBA)\n", output.c_str(), width, height);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tweather - weather for 3D scenes: settled snow, falling weather, wet maps"};
    app.require_subcommand(0, 1);

    std::string pngOut, pngSize = "1024x512";
    CLI::App* pngTest = app.add_subcommand("png-test", "Write a 16-bit PNG test card (ramps, alpha, clamped values)");
    pngTest->add_option("output", pngOut, "PNG file to write")->required();
    pngTest->add_option("--size", pngSize, "Image size as WxH")->capture_default_str();

    tweather::SnowCommand snowCommand;
    CLI::App* snow = app.add_subcommand("snow", "Put snow on a scene's meshes through the host and write the result");
    snow->add_option("input", snowCommand.input, "Scene to snow: .obj, .gltf, .glb, .scene or .json")->required();
    snow->add_option("-o,--output", snowCommand.outputs, "File to write the snowed scene to (.obj, .gltf, .glb), repeatable")
        ->required()
        ->allow_extra_args(false);
    snow->add_option("--set", snowCommand.sets,
                     "Snow parameter NAME=VALUE by its internal name (depth, slopeMax, coverage, maxTris, ...), "
                     "repeatable; an unknown name lists them all")
        ->allow_extra_args(false);
    snow->add_option("--on", snowCommand.onNodes, "Snow only the mesh node with this name, repeatable (default: every mesh)")
        ->allow_extra_args(false);
    snow->add_option("--shelter", snowCommand.shelter,
                     "What keeps snow off: whole-scene (every object), this-object or nothing")
        ->capture_default_str();
    snow->add_option("--occluders", snowCommand.occluderFiles,
                     "File of meshes that shelter the scene but get no snow (a roof above), repeatable")
        ->allow_extra_args(false);
    snow->add_option("--stats", snowCommand.statsPath, "JSON file for each node's figures and status text");
    snow->add_option("--save", snowCommand.savePath, "Also save the snowed scene as a scene file (.scene or .json)");
    snow->add_flag("--render-detail", snowCommand.renderDetail,
                   "Build at render detail, as during a render (default: the modifier's viewport detail)");
    snow->add_flag("--obj-y-up", snowCommand.objYUp, "OBJ inputs are +Y up (default +Z up)");
    snow->add_option("--plugin", snowCommand.plugins, "Further plug-in module to load, repeatable")->allow_extra_args(false);
    snow->add_flag("!--keep-materials", snowCommand.snowMaterial,
                   "Leave the objects' materials as they are (default: the snow faces get a snow material)");
    snow->add_option("--preview", snowCommand.previewPath, "Also render a picture of the snowed scene (.png)");
    snow->add_option("--preview-size", snowCommand.previewSize, "The picture's size as WxH")->capture_default_str();
    snow->add_option("--preview-spp", snowCommand.previewSamples, "The picture's samples per pixel")
        ->check(CLI::Range(1, 1024))
        ->capture_default_str();

    tweather::SceneCli sceneCli(app);
    tweather::ScriptCli scriptCli(app);
    tweather::RenderCli renderCli(app);

    std::string exampleOut;
    CLI::App* example = app.add_subcommand("example", "Write the built-in example: a small town in centimetres");
    example->add_option("output", exampleOut, "File to write: .scene, .json, .obj, .gltf or .glb")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    if (*pngTest) return runPngTest(pngOut, pngSize);
    if (*snow) return tweather::runSnowCommand(snowCommand);
    if (*example) return tweather::runExampleCommand(exampleOut);
    if (sceneCli.chosen()) return sceneCli.run();
    if (scriptCli.chosen()) return scriptCli.run();
    if (renderCli.chosen()) return renderCli.run();
    std::fprintf(stderr, "%s", app.help().c_str());
    std::fprintf(stderr, "\ntweather: name a command, for example: tweather png-test card.png\n");
    return kExitUsage;
}
