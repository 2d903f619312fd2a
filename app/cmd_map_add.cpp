// tweather map add: makes a Weather Map (or reuses the one so named), sets its parameters
// as `snow --set` does, and puts it in a slot of each named node's standard material, of
// each standard sub-material of a multi, or of a new grey material. A material the command
// would change that nodes not named also use is copied first, so they keep their look.
#include <algorithm>
#include <cstdio>
#include <map>

#include "app/cmd_map.h"
#include "app/cmd_render.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/map_command_support.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/std_materials.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "weathermap/map_tools.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather map add";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

struct SlotName {
    const char* name;
    int slot;
};
constexpr SlotName kSlots[] = {{"diffuse", ID_DI}, {"glossiness", ID_SH}, {"specularLevel", ID_SS}, {"bump", ID_BU}};

// The slot --slot names (any letter case), or -1.
int slotNamed(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const SlotName& s : kSlots) {
        std::string n = s.name;
        std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (n == lower) return s.slot;
    }
    return -1;
}

const char* slotText(int slot) {
    for (const SlotName& s : kSlots)
        if (s.slot == slot) return s.name;
    return "?";
}

// The nodes --on names (each may be a comma-separated list). 0 or the usage code.
int pickNodes(const std::vector<std::string>& names, std::vector<INode*>& nodes) {
    for (const std::string& list : names) {
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            const std::string name = list.substr(start, comma - start);
            start = comma + 1;
            if (name.empty()) continue;
            INode* node = nodeNamed(name);
            if (!node) {
                fail("--on '" + name + "': no node has that name");
                return kExitUsage;
            }
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
        }
    }
    if (nodes.empty()) {
        fail("--on names no node");
        return kExitUsage;
    }
    return 0;
}

// The map named `name`, or a new one under that name whose world lengths left alone by
// `sets` are its centimetre defaults in the scene's unit.
Texmap* mapToUse(const std::string& name, const std::vector<Assignment>& sets, bool& made) {
    for (Texmap* t : sceneWeatherMaps())
        if (host::toUtf8(t->GetName()) == name) {
            made = false;
            return t;
        }
    ClassDesc* cd = host::classRegistry().findByName(L"WeatherMap");
    auto* map = static_cast<Texmap*>(cd->Create(FALSE));
    map->SetName(host::fromUtf8(name).c_str());
    scaleLengthDefaults(map->GetParamBlock(0), sets, 0.01 / GetSystemUnitScale(UNITS_METERS));
    made = true;
    return map;
}

// Whether a node not in `named` uses the material.
bool sharedBeyond(Mtl* mtl, const std::vector<INode*>& named) {
    for (INode* n : host::currentScene().allNodes())
        if (n->GetMtl() == mtl && std::find(named.begin(), named.end(), n) == named.end()) return true;
    return false;
}

// Puts the map in the slot of a standard material (and sets its glossiness when asked).
void placeOnStandard(Mtl* mtl, Texmap* map, int slot, double glossiness) {
    mtl->SetSubTexmap(slot, map);
    if (glossiness >= 0.0) mtl->GetParamBlock(0)->SetValue(host::kStdGlossiness, 0, float(glossiness));
}

// Puts the map in the slot of the material and of its standard sub-materials; how many.
int placeMap(Mtl* mtl, Texmap* map, int slot, double glossiness) {
    if (mtl->ClassID() == kStdMtlClassID) {
        placeOnStandard(mtl, map, slot, glossiness);
        return 1;
    }
    int placed = 0;
    if (mtl->ClassID() == kMultiMtlClassID)
        for (int i = 0; i < mtl->NumSubMtls(); ++i)
            if (Mtl* sub = mtl->GetSubMtl(i); sub && sub->ClassID() == kStdMtlClassID) {
                placeOnStandard(sub, map, slot, glossiness);
                ++placed;
            }
    return placed;
}

}  // namespace

int runMapAdd(const MapAddCommand& c) {
    if (int rc = checkOutputKind(c.output, {".scene", ".json"}, "the output", "a scene file (.scene or .json)", fail))
        return rc;
    int slot = -1;
    if (!c.slot.empty() && (slot = slotNamed(c.slot)) < 0) {
        fail("--slot '" + c.slot + "': use diffuse, glossiness, specularLevel or bump");
        return kExitUsage;
    }
    if (c.glossiness > 100.0) {
        fail("--glossiness is a percentage from 0 to 100");
        return kExitUsage;
    }
    if (!c.preview.empty())
        if (int rc = checkOutputKind(c.preview, {".png", ".exr"}, "--preview", "a .png or .exr picture", fail))
            return rc;
    std::vector<Assignment> sets;
    if (std::string error; !splitAssignments(c.sets, sets, error)) {
        fail("--set " + error);
        return kExitUsage;
    }
    if (int rc = checkOutputFolder(c.output, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openMapScene(session.started(), c.scene, fail)) return rc;
    std::vector<INode*> nodes;
    if (int rc = pickNodes(c.on, nodes)) return rc;

    bool made = false;
    Texmap* map = mapToUse(c.map, sets, made);
    IParamBlock2* pb = map->GetParamBlock(0);
    for (const Assignment& a : sets) {
        std::string warning, error;
        if (!assignParameter(pb, a, warning, error)) {
            fail("--set " + error);
            if (made) map->DeleteThis();
            return kExitUsage;
        }
        if (!warning.empty()) fail("warning: " + warning);
    }
    const int mode = pb->GetInt(0);
    if (slot < 0) slot = mapModeIsBumpMode(mode) ? ID_BU : ID_SH;

    std::map<Mtl*, Mtl*> copies;  // a shared material and the copy the named nodes share now
    for (INode* node : nodes) {
        const std::string nodeName = nodeNameOf(node);
        Mtl* mtl = node->GetMtl();
        std::string how;
        if (!mtl) {
            // A mid grey that shows a gloss mask: glossy where the mask is 1.
            mtl = host::createStdMaterial(host::fromUtf8(nodeName + " weather"), Color(0.5f, 0.5f, 0.5f), 80.0f);
            node->SetMtl(mtl);
            how = " (a new grey material)";
        } else if (auto it = copies.find(mtl); it != copies.end()) {
            mtl = it->second;
            node->SetMtl(mtl);
            how = " (the copy made above)";
        } else if (sharedBeyond(mtl, nodes)) {
            RemapDir remap;
            Mtl* copy = static_cast<Mtl*>(remap.CloneRef(mtl));
            copy->SetName((std::wstring(mtl->GetName()) + L" (" + host::fromUtf8(c.map) + L")").c_str());
            copies[mtl] = copy;
            node->SetMtl(copy);
            how = " (a copy: other nodes keep \"" + host::toUtf8(mtl->GetName()) + "\")";
            mtl = copy;
        }
        const int placed = placeMap(mtl, map, slot, c.glossiness);
        if (placed == 0) {
            std::printf("\"%s\": material \"%s\" is no standard or multi material with standard ones; left as it is\n",
                        nodeName.c_str(), host::toUtf8(mtl->GetName()).c_str());
            continue;
        }
        std::printf("\"%s\": Weather Map \"%s\" in the %s slot of \"%s\"%s%s\n", nodeName.c_str(), c.map.c_str(),
                    slotText(slot), host::toUtf8(mtl->GetName()).c_str(),
                    placed > 1 ? (" and " + std::to_string(placed - 1) + " more sub-materials").c_str() : "",
                    how.c_str());
    }

    std::string error;
    if (!host::saveScene(c.output, error)) {
        fail(error);
        return kExitIo;
    }
    if (c.preview.empty()) return kExitOk;
    captureShelterThrough(map, GetCOREInterface()->GetTime());
    RenderOptions preview;
    preview.output = c.preview;
    return renderOpenScene(preview, std::string(kCommand) + " --preview");
}

}  // namespace tweather
