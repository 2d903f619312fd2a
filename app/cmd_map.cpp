#include "app/cmd_map.h"

#include "app/exit_codes.h"

namespace tweather {

MapCli::MapCli(CLI::App& app) {
    cmd_ = app.add_subcommand("map", "Wet maps: put a Weather Map on nodes, sample it at points, bake it to a texture");
    cmd_->require_subcommand(1);

    add_ = cmd_->add_subcommand("add", "Make a Weather Map and put it on nodes' materials");
    add_->add_option("scene", addCommand_.scene, "Scene file (.scene/.json, .gltf/.glb, .obj)")->required();
    add_->add_option("--map", addCommand_.map, "The map's name (an existing map of that name is reused)")->required();
    add_->add_option("--on", addCommand_.on, "A node whose material gets the map (repeat or list)")->required();
    add_->add_option("-o,--output", addCommand_.output, "The scene with the map (.scene or .json)")->required();
    add_->add_option("--set", addCommand_.sets, "NAME=VALUE for a map parameter (repeatable)");
    add_->add_option("--slot", addCommand_.slot,
                     "diffuse, glossiness, specularLevel or bump (default: glossiness for masks, bump for bumps)");
    add_->add_option("--preview", addCommand_.preview, "Also render a picture of the result (.png or .exr)");
    add_->add_option("--glossiness", addCommand_.glossiness,
                     "Also set the glossiness (0 to 100 %) of the materials given the map");
    add_->add_option("--plugin", addCommand_.plugins, "Another plug-in module to load (repeatable)");

    sample_ = cmd_->add_subcommand("sample", "Shade a Weather Map at the points of a CSV file");
    sample_->add_option("scene", sampleCommand_.scene, "Scene file")->required();
    sample_->add_option("--map", sampleCommand_.map, "The map's name")->required();
    sample_->add_option("--points", sampleCommand_.points, "CSV: x,y,z,nx,ny,nz,u,v[,time,node,face,vx,vy,vz]")
        ->required();
    sample_->add_option("-o,--output", sampleCommand_.output, "CSV: the input columns, then the map's values")
        ->required();
    sample_->add_option("--time", sampleCommand_.frame, "Frame for rows without a time")->capture_default_str();
    sample_->add_flag("--no-capture", sampleCommand_.noCapture, "Do not capture the shelter scene first");
    sample_->add_option("--plugin", sampleCommand_.plugins, "Another plug-in module to load (repeatable)");

    bake_ = cmd_->add_subcommand("bake", "Bake a Weather Map over a node's map channel into a texture");
    bake_->add_option("scene", bakeCommand_.scene, "Scene file")->required();
    bake_->add_option("--node", bakeCommand_.node, "The node to bake")->required();
    bake_->add_option("--map", bakeCommand_.map, "The map's name")->required();
    bake_->add_option("-o", bakeCommand_.output, "The texture (.png holds the values as data, or .exr)")->required();
    bake_->add_option("--size", bakeCommand_.size, "Texture size as WxH")->capture_default_str();
    bake_->add_option("--channel", bakeCommand_.channel, "Map channel, 1 to 99")->capture_default_str();
    bake_->add_option("--output", bakeCommand_.what, "What to bake: mono or perturb")->capture_default_str();
    bake_->add_option("--time", bakeCommand_.frame, "Frame")->capture_default_str();
    bake_->add_option("--padding", bakeCommand_.padding, "Texels of padding around islands")->capture_default_str();
    bake_->add_flag("--no-capture", bakeCommand_.noCapture, "Do not capture the shelter scene first");
    bake_->add_flag("--planar", bakeCommand_.planar,
                    "A node without the channel is mapped from above over its world box (u east, v north)");
    bake_->add_option("--plugin", bakeCommand_.plugins, "Another plug-in module to load (repeatable)");
}

int MapCli::run() {
    if (add_->parsed()) return runMapAdd(addCommand_);
    if (sample_->parsed()) return runMapSample(sampleCommand_);
    if (bake_->parsed()) return runMapBake(bakeCommand_);
    return kExitUsage;
}

}  // namespace tweather
