#include "app/map_command_support.h"

#include <algorithm>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/material.h"
#include "weathermap/map_tools.h"

namespace tweather {
namespace {

void collectMaps(Texmap* t, std::vector<Texmap*>& out) {
    if (!t) return;
    if (t->ClassID() == wx::kWeatherMapClassID && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    for (int i = 0; i < t->NumSubTexmaps(); ++i) collectMaps(t->GetSubTexmap(i), out);
}

void collectMaps(Mtl* m, std::vector<Texmap*>& out) {
    if (!m) return;
    for (int i = 0; i < m->NumSubTexmaps(); ++i) collectMaps(m->GetSubTexmap(i), out);
    for (int i = 0; i < m->NumSubMtls(); ++i) collectMaps(m->GetSubMtl(i), out);
}

}  // namespace

int openMapScene(bool sessionStarted, const std::string& scenePath, FailFn fail) {
    return openSceneNeeding(sessionStarted, scenePath, L"WeatherMap", "Weather Map", fail);
}

std::vector<Texmap*> sceneWeatherMaps() {
    std::vector<Texmap*> maps;
    for (INode* n : host::currentScene().allNodes()) collectMaps(n->GetMtl(), maps);
    return maps;
}

Texmap* findWeatherMap(const std::string& name, FailFn fail) {
    const std::vector<Texmap*> maps = sceneWeatherMaps();
    for (Texmap* t : maps)
        if (host::toUtf8(t->GetName()) == name) return t;
    std::string there;
    for (Texmap* t : maps) there += (there.empty() ? "" : ", ") + ("'" + host::toUtf8(t->GetName()) + "'");
    fail("--map '" + name + "': the scene has no Weather Map of that name (" +
         (there.empty() ? std::string("it has none; make one with tweather map add") : "it has " + there) + ")");
    return nullptr;
}

bool captureShelterThrough(Texmap* map, TimeValue t) {
    auto* tools = static_cast<wx::MapTools*>(map->GetInterface(wx::kMapToolsInterfaceID));
    if (!tools) return false;
    tools->captureShelter(t);
    return true;
}

int frameTextToTicks(const std::string& text, const char* option, FailFn fail, TimeValue& t) {
    double frame = 0.0;
    if (!parseFrame(text, frame)) {
        fail(std::string(option) + " must be a frame number, not '" + text + "'");
        return kExitUsage;
    }
    return frameToTicks(frame, text, fail, t);
}

bool mapModeIsBumpMode(int mode) {
    return mode == 2 || mode == 3;
}

}  // namespace tweather
