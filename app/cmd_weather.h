// tweather weather: one of the seven presets made on a scene, through the plug-in's
// TWeather interface, as MAKE WEATHER makes it from the panel.
//   weather SCENE --preset NAME|N [--on selection|scene|volume] [--select NODE]...
//           [--no-surfaces] [--no-falling] [--no-materials] -o OUT... [--report R.json]
//           [--preview P.png [--preview-size WxH] [--preview-spp N]] [--render-detail]
//           [--up y|z] [--plugin M]...
//   weather SCENE --remove [--on selection|scene|volume] [--select NODE]... -o OUT... [--report R.json]
//   weather SCENE --bake -o OUT... [--report R.json]
//   weather --list-presets [--json]
//   weather --guide [--open]
// Exactly one of --preset, --remove, --bake, --list-presets and --guide. Exit codes as
// app/exit_codes.h says; nothing gathered (or nothing to bake) is a failure (1), nothing to
// remove is not.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct WeatherCommand {
    std::string scene;
    std::string preset;
    std::string on;  // empty: selection with --select, else scene
    std::vector<std::string> select;
    bool surfaces = true, falling = true, materials = true;
    std::vector<std::string> outputs;
    std::string reportPath;
    std::string previewPath;
    std::string previewSize = "1280x720";
    int previewSamples = 4;
    bool renderDetail = false;
    std::string up = "z";
    std::vector<std::string> plugins;
    bool listPresets = false;
    bool json = false;
    bool remove = false, bake = false, guide = false, open = false;
};

int runWeather(const WeatherCommand& c);

class WeatherCli : public Subcommand {
public:
    explicit WeatherCli(CLI::App& app);
    int run() override { return runWeather(command_); }

private:
    WeatherCommand command_;
};

}  // namespace tweather
