// tweather: runs the weather system's jobs on real files from the command line. Each
// subcommand lives in its own app/cmd_X file; exit codes are those of app/exit_codes.h.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/cmd_example.h"
#include "app/cmd_fall.h"
#include "app/cmd_map.h"
#include "app/cmd_png_test.h"
#include "app/cmd_render.h"
#include "app/cmd_scene.h"
#include "app/cmd_script.h"
#include "app/cmd_snow.h"
#include "app/cmd_weather.h"
#include "app/exit_codes.h"
#include "app/interrupts.h"

int main(int argc, char** argv) {
    using namespace tweather;
    // The weather module picks the fall renderer's backend from this: a command renders on
    // the GPU when there is one and on the CPU otherwise, unless the user chose.
    ::setenv("WX_FALL_BACKEND", "auto", 0);
    CLI::App app{"tweather - weather for 3D scenes: settled snow, falling weather, wet maps"};
    app.require_subcommand(0, 1);

    // In the order the help lists them.
    std::vector<std::unique_ptr<Subcommand>> commands;
    commands.push_back(std::make_unique<PngTestCli>(app));
    commands.push_back(std::make_unique<SnowCli>(app));
    commands.push_back(std::make_unique<SceneCli>(app));
    commands.push_back(std::make_unique<ScriptCli>(app));
    commands.push_back(std::make_unique<RenderCli>(app));
    commands.push_back(std::make_unique<FallCli>(app));
    commands.push_back(std::make_unique<WeatherCli>(app));
    commands.push_back(std::make_unique<MapCli>(app));
    commands.push_back(std::make_unique<ExampleCli>(app));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    // Memory running out anywhere ends the command with one line, never an abort; the
    // writers leave no partial file behind (their temporary files go as the stack unwinds).
    for (const auto& command : commands) {
        if (!command->chosen()) continue;
        std::optional<InterruptGuard> interrupts;
        if (command->runsHost()) interrupts.emplace();
        try {
            return command->run();
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr,
                         "tweather: not enough memory: the scene, image or count asked for is too large for this "
                         "machine (ask for less)\n");
        } catch (const std::length_error& e) {
            std::fprintf(stderr, "tweather: a size asked for is too large (%s)\n", e.what());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tweather: %s\n", e.what());
        }
        return kExitIo;
    }
    std::fprintf(stderr, "%s", app.help().c_str());
    std::fprintf(stderr, "\ntweather: name a command, for example: tweather png-test card.png\n");
    return kExitUsage;
}
