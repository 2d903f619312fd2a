// tweather map: the Weather Map of a scene, through the host and the weather plug-in.
//   map add SCENE --map NAME --on NODE... -o OUT.scene [--set NAME=VALUE]... [--slot S]
//       [--preview OUT.png] [--glossiness PERCENT]
//     makes the map (or reuses the one so named) and puts it in a slot of each node's
//     standard material (or of each standard sub-material, or of a new grey one);
//     --glossiness also sets those materials' glossiness (with a mask in the glossiness
//     slot: the gloss where the mask is 1).
//   map sample SCENE --map NAME --points IN.csv -o OUT.csv [--time FRAME] [--no-capture]
//     shades each row of IN (app/map_points.h) and writes the values beside it.
//   map bake SCENE --node OBJ --map NAME -o OUT.png|.exr [--size WxH] [--channel N]
//       [--output mono|perturb] [--time FRAME] [--padding N] [--no-capture] [--planar]
//     shades each texel of the node's map channel at its surface point (--planar: a node
//     without that channel is mapped from above over its world box first).
// Exit codes: 0 done, 1 a file unreadable or unwritable or a bad data row, 2 bad usage.
#pragma once

#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct MapAddCommand {
    std::string scene, map, output, slot, preview;
    double glossiness = -1.0;  // percent for the materials given the map; negative: leave them
    std::vector<std::string> on, sets, plugins;
};

struct MapSampleCommand {
    std::string scene, map, points, output;
    std::string frame = "0";
    bool noCapture = false;
    std::vector<std::string> plugins;
};

struct MapBakeCommand {
    std::string scene, node, map, output;
    std::string size = "1024x1024";
    int channel = 1;
    std::string what = "mono";  // mono or perturb
    std::string frame = "0";
    int padding = 2;
    bool noCapture = false;
    bool planar = false;  // a node without the channel gets planar map coordinates from above
    std::vector<std::string> plugins;
};

int runMapAdd(const MapAddCommand& c);
int runMapSample(const MapSampleCommand& c);
int runMapBake(const MapBakeCommand& c);

class MapCli : public Subcommand {
public:
    explicit MapCli(CLI::App& app);
    int run() override;

private:
    CLI::App* add_;
    CLI::App* sample_;
    CLI::App* bake_;
    MapAddCommand addCommand_;
    MapSampleCommand sampleCommand_;
    MapBakeCommand bakeCommand_;
};

}  // namespace tweather
