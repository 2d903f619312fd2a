#include "app/cmd_weather.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>

#include "app/atomic_file.h"
#include "app/cmd_render.h"
#include "app/cmd_scene.h"
#include "app/distinct_files.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/weather_module.h"
#include "fall/fall_params.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/text.h"
#include "host/ui_model.h"
#include "host/utility_panel.h"
#include "max/interface.h"
#include "max/material.h"
#include "max/param_block2.h"
#include "plugin/scene_capture.h"
#include "utility/make_weather.h"
#include "utility/weather_presets.h"
#include "utility/weather_util.h"

namespace tweather {
namespace {

using nlohmann::json;

void fail(const std::string& message) {
    std::fprintf(stderr, "tweather weather: %s\n", message.c_str());
}

std::string utf8(const std::wstring& s) {
    return host::toUtf8(s);
}

std::string presetList() {
    std::string out;
    size_t n = 0;
    for (const wx::WeatherPreset& p : wx::weatherPresets()) out += "\n  " + std::to_string(++n) + " " + utf8(p.name);
    return out;
}

int listPresets(bool asJson) {
    json all = json::array();
    size_t n = 0;
    for (const wx::WeatherPreset& p : wx::weatherPresets()) {
        ++n;
        if (!asJson) {
            std::printf("%zu %s (%s): %s\n", n, utf8(p.name).c_str(), utf8(wx::weatherKindName(p.kind)).c_str(),
                        utf8(p.description).c_str());
            continue;
        }
        all.push_back({{"number", n},
                       {"name", utf8(p.name)},
                       {"kind", utf8(wx::weatherKindName(p.kind))},
                       {"description", utf8(p.description)},
                       {"depth", p.depth},
                       {"coverage", p.coverage},
                       {"noise", p.noise},
                       {"edge", p.edge},
                       {"slope", p.slope},
                       {"drift", p.drift},
                       {"density", p.density},
                       {"speed", p.speed},
                       {"wind", p.wind},
                       {"gust", p.gust},
                       {"turbulence", p.turbulence},
                       {"size", p.size},
                       {"streak", p.streak},
                       {"dropWidth", p.dropWidth},
                       {"wetness", p.wetness},
                       {"puddles", p.puddles},
                       {"wetFlag", p.wetFlag}});
    }
    if (asJson) std::printf("%s\n", all.dump(2).c_str());
    return kExitOk;
}

// The usage checks that need no scene. 0 or the exit code.
int checkUsage(const WeatherCommand& c, std::string& on) {
    on = c.on.empty() ? (c.select.empty() ? "scene" : "selection") : c.on;
    if (on != "selection" && on != "scene" && on != "volume") {
        fail("--on must be selection, scene or volume, not '" + c.on + "'");
        return kExitUsage;
    }
    if (!c.select.empty() && on != "selection") {
        fail("--select picks the selection: it cannot go with --on " + on);
        return kExitUsage;
    }
    if (on == "volume" && (!c.surfaces || !c.materials)) {
        fail("--on volume always weathers surfaces and materials: drop --no-surfaces and --no-materials");
        return kExitUsage;
    }
    if (c.up != "y" && c.up != "z") {
        fail("--up must be y or z, not '" + c.up + "'");
        return kExitUsage;
    }
    for (const std::string& out : c.outputs)
        if (int rc = checkOutputKind(out, {".scene", ".json", ".gltf", ".glb", ".obj"}, "-o",
                                     "a .scene, .json, .gltf, .glb or .obj file", fail))
            return rc;
    if (!c.previewPath.empty())
        if (int rc = checkOutputKind(c.previewPath, {".png"}, "--preview", "a .png file", fail)) return rc;
    if (!c.reportPath.empty())
        if (int rc = checkOutputKind(c.reportPath, {".json"}, "--report", "a .json file", fail)) return rc;
    return 0;
}

// Selects every node of each --select name, in the order given. 0 or the exit code.
int selectNodes(const std::vector<std::string>& names) {
    Interface* ip = GetCOREInterface();
    ip->ClearNodeSelection(FALSE);
    const std::vector<INode*> nodes = host::currentScene().allNodes();
    for (const std::string& name : names) {
        bool found = false;
        for (INode* node : nodes)
            if (node->GetName() && utf8(node->GetName()) == name) {
                ip->SelectNode(node, 0);
                found = true;
            }
        if (!found) {
            std::string known;
            for (INode* node : nodes) known += "\n  " + nodeNameOf(node);
            fail("--select '" + name + "': no node has that name; the scene's nodes are:" + known);
            return kExitUsage;
        }
    }
    return 0;
}

std::wstring runText(const std::wstring& expression) {
    try {
        const host::script::Value v = host::scriptEngine().run(expression);
        return v.s;
    } catch (const host::script::ScriptError& e) {
        return L"ERROR: " + e.message;
    }
}

bool isFallNode(INode* node) {
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    return base && base->ClassID() == wx::kWeatherFallClassID;
}

IParamBlock2* baseBlock(Object* obj) {
    return obj ? obj->GetParamBlock(0) : nullptr;
}

json blockByName(IParamBlock2* pb) {
    json out = json::object();
    if (!pb) return out;
    ParamBlockDesc2* d = pb->GetDesc();
    for (int i = 0; i < d->Count(); ++i) {
        const ParamDef& def = d->paramdefs(i);
        const std::string name = utf8(def.int_name);
        switch (def.type) {
            case TYPE_INT:
            case TYPE_BOOL:
                out[name] = pb->GetInt(def.ID);
                break;
            case TYPE_FLOAT:
            case TYPE_WORLD:
            case TYPE_ANGLE:
            case TYPE_PCNT_FRAC:
                out[name] = pb->GetFloat(def.ID);
                break;
            case TYPE_STRING:
                out[name] = pb->GetStr(def.ID) ? utf8(pb->GetStr(def.ID)) : "";
                break;
            default:
                break;  // node lists and colours say nothing a report needs
        }
    }
    return out;
}

Modifier* snowModifierOf(INode* node) {
    IDerivedObject* stack = node->GetWSMDerivedObject();
    for (int i = 0; stack && i < stack->NumModifiers(); ++i) {
        MSTR name;
        stack->GetModifier(i)->GetClassName(name);
        if (name == L"TarnwickSnow") return stack->GetModifier(i);
    }
    return nullptr;
}

// The report's figures, read back from its fixed text.
json reportFigures(const std::string& report) {
    json out;
    const size_t on = report.find(" on ");
    int objects = 0, snowed = 0, wet = 0, glass = 0;
    if (on != std::string::npos) {
        const char* at = report.c_str() + on + 4;
        if (std::sscanf(at, "%d objects: %d snowed, %d wet, %d glass", &objects, &snowed, &wet, &glass) == 4 ||
            std::sscanf(at, "%d object: %d snowed, %d wet, %d glass", &objects, &snowed, &wet, &glass) == 4) {
            out["objects"] = objects;
            out["snowed"] = snowed;
            out["wet"] = wet;
            out["glass"] = glass;
        }
    }
    const size_t shelterAt = report.find("\nShelter: ");
    long long triangles = 0, ms = 0;
    out["shelter"] = shelterAt != std::string::npos &&
                             std::sscanf(report.c_str() + shelterAt,
                                         "\nShelter: %lld scene triangles gathered in %lld ms.", &triangles, &ms) == 2
                         ? json{{"triangles", triangles}, {"ms", ms}}
                         : json(nullptr);
    json errors = json::array();
    size_t start = report.find('\n');
    while (start != std::string::npos && start + 1 < report.size()) {
        const size_t end = report.find('\n', start + 1);
        const std::string line = report.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        if (!line.empty() && line.rfind("Shelter: ", 0) != 0) errors.push_back(line);
        start = end;
    }
    out["errors"] = errors;
    return out;
}

// The report's CR LF line ends as LF.
std::string withLineFeeds(const std::wstring& text) {
    const std::string in = utf8(text);
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        if (!(in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n')) out += in[i];
    return out;
}

bool nothingGathered(const std::string& report) {
    return report.rfind("Select the objects first", 0) == 0 || report.rfind("No visible, renderable", 0) == 0 ||
           report.rfind("Nothing inside a Tarnwick Weather volume", 0) == 0;
}

// The panel opened as a user opens it from the Utilities tab; null when it cannot be.
HWND openWeatherPanel() {
    ClassDesc* util = host::classRegistry().findByName(L"TarnwickWeather");
    std::wstring error;
    if (!util || !host::openUtility(util, error)) {
        fail("the weather panel did not open" + (error.empty() ? std::string() : ": " + utf8(error)));
        return nullptr;
    }
    return host::ui::findRollout(wx::kUtilDialog);
}

// Hands `target` to xdg-open and waits for it. False when it could not be run or failed.
bool openOnDesktop(const std::string& target) {
    pid_t pid = 0;
    char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// --guide: About's "User guide / Help" pressed as a user would; what the host was asked to
// open is printed, and with --open handed to the desktop when there is one.
int showGuide(const WeatherCommand& c) {
    if (!c.scene.empty() || !c.outputs.empty() || !c.reportPath.empty()) {
        fail("--guide takes no scene, -o or --report");
        return kExitUsage;
    }
    const WeatherHost session(c.plugins, fail);
    if (!session.started()) return kExitIo;
    if (!openWeatherPanel()) return kExitIo;
    const HWND about = host::ui::findRollout(wx::kAboutDialog);
    const size_t before = host::ui::shellCalls().size();
    if (!about || !host::ui::pressButton(about, wx::kAboutGuide) || host::ui::shellCalls().size() == before) {
        fail("the panel's User guide / Help button did not answer");
        host::closeUtility();
        return kExitIo;
    }
    const std::string target = utf8(host::ui::shellCalls().back().file);
    host::closeUtility();
    std::printf("%s\n", target.c_str());
    if (!c.open) return kExitOk;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        std::printf("no display (neither DISPLAY nor WAYLAND_DISPLAY is set): open it yourself\n");
        return kExitOk;
    }
    if (!openOnDesktop(target)) std::printf("xdg-open could not open it: open it yourself\n");
    return kExitOk;
}

// Writes every output; prints the report and what was written. 0 or the exit code.
int writeOutputs(const WeatherCommand& c, const std::string& report) {
    std::string error;
    for (const std::string& out : c.outputs) {
        const std::string ext = host::extensionOf(out);
        const bool saved =
            ext == ".scene" || ext == ".json" ? host::saveScene(out, error) : host::exportScene(out, 0, error);
        if (!saved) {
            std::printf("%s\n", report.c_str());
            fail(error);
            return kExitIo;
        }
    }
    std::printf("%s", report.c_str());
    if (!report.empty() && report.back() != '\n') std::printf("\n");
    for (const std::string& out : c.outputs) std::printf("wrote %s\n", out.c_str());
    return kExitOk;
}

int writeReport(const std::string& path, const json& r) {
    if (path.empty()) return kExitOk;
    std::string error;
    AtomicFile file(path);
    if (file.open(error)) file.write(r.dump(2) + "\n");
    if (!file.commit(error)) {
        fail(error);
        return kExitIo;
    }
    std::printf("wrote %s\n", path.c_str());
    return kExitOk;
}

// --remove: the panel's apply-to list and Remove pressed as a user would.
int removeFromPanel(const std::string& on, json& r) {
    const HWND panel = openWeatherPanel();
    if (!panel) return kExitIo;
    const int applyTo = on == "selection" ? wx::kApplySelection
                        : on == "scene"   ? wx::kApplyScene
                                          : wx::kApplyInsideVolumes;
    const bool pressed =
        host::ui::selectItem(panel, wx::kUtilApplyTo, applyTo) && host::ui::pressButton(panel, wx::kUtilRemove);
    const std::string report = withLineFeeds(host::ui::controlText(panel, wx::kUtilStatus));
    host::closeUtility();
    if (!pressed) {
        fail("the panel's Remove button did not answer");
        return kExitIo;
    }
    int objects = 0, restored = 0, falls = 0;
    const bool read = std::sscanf(report.c_str(), "Removed the weather from %d objects (%d materials restored) and %d",
                                  &objects, &restored, &falls) == 3;
    r["report"] = report;
    r["objects"] = read ? json(objects) : json(nullptr);
    r["restored"] = read ? json(restored) : json(nullptr);
    r["falls"] = read ? json(falls) : json(nullptr);
    return kExitOk;
}

// --bake: TWeather's bake; the baked nodes are those that carried snow and carry none now.
int bakeThroughScript(json& r) {
    std::vector<ULONG> snowed;
    for (INode* node : host::currentScene().allNodes())
        if (snowModifierOf(node)) snowed.push_back(node->GetHandle());
    const std::string report = withLineFeeds(runText(L"TWeather.bake()"));
    json baked = json::array();
    for (ULONG handle : snowed)
        if (INode* node = GetCOREInterface()->GetINodeByHandle(handle); node && !snowModifierOf(node))
            baked.push_back(nodeNameOf(node));
    r["report"] = report;
    r["baked"] = baked;
    if (report.rfind("Baked ", 0) != 0) {
        fail(report);
        return kExitIo;
    }
    return kExitOk;
}

// The usage and output checks every scene mode shares: at least one -o, the --on/--select
// rules (`on` gets the apply-to name), folders that exist, and no output that is the scene
// or another output; 0, or the exit code after saying why.
int checkUsageAndOutputs(const WeatherCommand& c, std::string& on) {
    if (c.outputs.empty()) {
        fail("name at least one output with -o");
        return kExitUsage;
    }
    if (int rc = checkUsage(c, on)) return rc;
    for (const std::string& out : c.outputs)
        if (int rc = checkOutputFolder(out, fail)) return rc;
    std::vector<NamedFile> outputs;
    for (const std::string& out : c.outputs) outputs.push_back({"-o", out});
    outputs.push_back({"--report", c.reportPath});
    outputs.push_back({"--preview", c.previewPath});
    std::string clash;
    if (int rc = checkOutputs({{"the scene", c.scene}}, outputs, clash)) {
        fail(clash);
        return rc;
    }
    return 0;
}

// With the host started: checks that the weather plug-in answers, opens the scene (its
// warnings on stderr) and selects the nodes named; 0, or the exit code after saying why.
int openSceneWithWeather(const WeatherCommand& c) {
    if (runText(L"TWeather.version()") != L"1.5.1") {
        fail("the weather plug-in did not load, so there is no TWeather interface");
        return kExitIo;
    }
    std::string error;
    std::vector<std::string> warnings;
    if (!loadAnyScene(c.scene, c.up == "y", error, warnings)) {
        fail(error);
        return kExitIo;
    }
    for (const std::string& w : warnings) fail("warning: " + w);
    if (!c.select.empty())
        if (int rc = selectNodes(c.select)) return rc;
    return 0;
}

int runSceneCommand(const WeatherCommand& c) {
    if (c.bake && (!c.on.empty() || !c.select.empty())) {
        fail("--bake bakes every snowed object: it takes no --on or --select");
        return kExitUsage;
    }
    if (!c.surfaces || !c.falling || !c.materials || c.renderDetail || !c.previewPath.empty()) {
        fail("--no-surfaces, --no-falling, --no-materials, --render-detail and --preview go with --preset only");
        return kExitUsage;
    }
    std::string on;
    if (int rc = checkUsageAndOutputs(c, on)) return rc;
    const WeatherHost session(c.plugins, fail);
    if (!session.started()) return kExitIo;
    if (int rc = openSceneWithWeather(c)) return rc;
    json r;
    if (int rc = c.remove ? removeFromPanel(on, r) : bakeThroughScript(r)) return rc;
    if (int rc = writeOutputs(c, r["report"].get<std::string>())) return rc;
    return writeReport(c.reportPath, r);
}

}  // namespace

int runWeather(const WeatherCommand& c) {
    const int modes = int(!c.preset.empty()) + int(c.remove) + int(c.bake) + int(c.listPresets) + int(c.guide);
    if (modes != 1) {
        fail("give exactly one of --preset, --remove, --bake, --list-presets and --guide");
        return kExitUsage;
    }
    if (c.listPresets) return listPresets(c.json);
    if (c.guide) return showGuide(c);
    if (c.open) {
        fail("--open goes with --guide only");
        return kExitUsage;
    }
    if (c.scene.empty()) {
        fail("give the scene to weather (or --list-presets)");
        return kExitUsage;
    }
    if (c.remove || c.bake) return runSceneCommand(c);
    const auto index = wx::findWeatherPreset(host::fromUtf8(c.preset));
    if (!index) {
        fail("--preset '" + c.preset + "' is none of the seven:" + presetList());
        return kExitUsage;
    }
    std::string on;
    if (int rc = checkUsageAndOutputs(c, on)) return rc;
    const wx::WeatherPreset& preset = wx::weatherPresets()[*index];
    const int number = int(*index) + 1;

    const WeatherHost session(c.plugins, fail);
    if (!session.started()) return kExitIo;
    if (int rc = openSceneWithWeather(c)) return rc;

    const std::vector<INode*> before = host::currentScene().allNodes();
    std::vector<Mtl*> materialsBefore;
    for (INode* node : before) materialsBefore.push_back(node->GetMtl());
    auto flag = [](bool b) { return b ? std::wstring(L"true") : std::wstring(L"false"); };
    const std::wstring call = on == "volume"
                                  ? L"TWeather.makeInside " + std::to_wstring(number)
                                  : L"TWeather.makeEx " + std::to_wstring(number) + L" " + flag(on == "scene") + L" " +
                                        flag(c.surfaces) + L" " + flag(c.falling) + L" " + flag(c.materials);
    const std::string report = withLineFeeds(runText(call));
    if (nothingGathered(report) || report.rfind("ERROR", 0) == 0) {
        fail(report);
        return kExitIo;
    }

    if (c.renderDetail) host::beginRender(0);
    std::string error;
    int rc = kExitOk;
    for (const std::string& out : c.outputs) {
        const std::string ext = host::extensionOf(out);
        const bool saved =
            ext == ".scene" || ext == ".json" ? host::saveScene(out, error) : host::exportScene(out, 0, error);
        if (!saved) {
            fail(error);
            rc = kExitIo;
            break;
        }
    }
    json nodes = json::array();
    json fall = nullptr;
    for (INode* node : host::currentScene().allNodes()) {
        const auto it = std::find(before.begin(), before.end(), node);
        if (isFallNode(node)) {
            if (it != before.end()) continue;
            IParamBlock2* pb = baseBlock(node->GetObjectRef()->FindBaseObject());
            fall = {{"name", nodeNameOf(node)},
                    {"handle", node->GetHandle()},
                    {"count", pb->GetInt(wx::kFallCount)},
                    {"width", pb->GetFloat(wx::kFallWidth)},
                    {"length", pb->GetFloat(wx::kFallLength)},
                    {"height", pb->GetFloat(wx::kFallHeight)}};
            continue;
        }
        Modifier* snow = snowModifierOf(node);
        const bool newMaterial = it == before.end() || node->GetMtl() != materialsBefore[size_t(it - before.begin())];
        if (!snow && !newMaterial) continue;
        Mtl* mtl = node->GetMtl();
        json entry = json::object();
        entry["name"] = nodeNameOf(node);
        entry["handle"] = node->GetHandle();
        entry["snow"] = snow ? blockByName(snow->GetParamBlock(0)) : json(nullptr);
        entry["status"] = snow ? withLineFeeds(runText(L"TWeather.status (maxOps.getNodeByHandle " +
                                                       std::to_wstring(node->GetHandle()) + L")"))
                               : std::string();
        entry["material"] = mtl ? json(utf8(mtl->GetName())) : json(nullptr);
        nodes.push_back(entry);
    }
    if (c.renderDetail) host::endRender();

    std::printf("%s", report.c_str());
    if (!report.empty() && report.back() != '\n') std::printf("\n");
    if (rc != kExitOk) return rc;
    for (const std::string& out : c.outputs) std::printf("wrote %s\n", out.c_str());

    if (!c.reportPath.empty()) {
        json r = reportFigures(report);
        r["report"] = report;
        r["preset"] = utf8(preset.name);
        r["number"] = number;
        r["kind"] = utf8(wx::weatherKindName(preset.kind));
        r["on"] = on;
        r["fall"] = fall;
        r["nodes"] = nodes;
        AtomicFile file(c.reportPath);
        if (file.open(error)) file.write(r.dump(2) + "\n");
        if (!file.commit(error)) {
            fail(error);
            return kExitIo;
        }
        std::printf("wrote %s\n", c.reportPath.c_str());
    }
    if (!c.previewPath.empty()) {
        RenderOptions preview;
        preview.output = c.previewPath;
        preview.size = c.previewSize;
        preview.samplesPerPixel = c.previewSamples;
        return renderOpenScene(preview, "tweather weather --preview");
    }
    return kExitOk;
}

WeatherCli::WeatherCli(CLI::App& app) {
    WeatherCommand& c = command_;
    cmd_ = app.add_subcommand("weather",
                              "Make one of the seven weather presets on a scene (MAKE WEATHER), remove or bake it");
    cmd_->add_option("scene", c.scene, "Scene to weather: .scene, .json, .gltf, .glb or .obj");
    cmd_->add_option("--preset", c.preset, "Preset by name (any case) or number 1-7; --list-presets lists them");
    cmd_->add_option("--on", c.on, "selection (with --select), scene (the default) or volume (inside fall volumes)");
    cmd_->add_option("--select", c.select, "Select every node of this name, repeatable, in order")
        ->allow_extra_args(false);
    cmd_->add_flag("!--no-surfaces", c.surfaces, "Put no snow or sand on the objects");
    cmd_->add_flag("!--no-falling", c.falling, "Make no falling volume");
    cmd_->add_flag("!--no-materials", c.materials, "Leave the materials alone (no snow, wet or glass materials)");
    cmd_->add_option("-o,--output", c.outputs, "File to write: .scene/.json (the scene) or .gltf/.glb/.obj (export)")
        ->allow_extra_args(false);
    cmd_->add_option("--report", c.reportPath, "JSON file with the report, its figures and each changed node");
    cmd_->add_option("--preview", c.previewPath, "Also render a picture of the result (.png)");
    cmd_->add_option("--preview-size", c.previewSize, "The picture's size as WxH")->capture_default_str();
    cmd_->add_option("--preview-spp", c.previewSamples, "The picture's samples per pixel")
        ->check(CLI::Range(1, 1024))
        ->capture_default_str();
    cmd_->add_flag("--render-detail", c.renderDetail, "Build the snow at render detail for the outputs");
    cmd_->add_option("--up", c.up, "The up axis of OBJ inputs: y or z")->capture_default_str();
    cmd_->add_option("--plugin", c.plugins, "Further plug-in module to load, repeatable")->allow_extra_args(false);
    cmd_->add_flag("--remove", c.remove, "Remove the weather (--on, --select) as the panel's Remove does");
    cmd_->add_flag("--bake", c.bake, "Bake every snowed object in place into a plain mesh");
    cmd_->add_flag("--guide", c.guide, "Print the user guide the panel's Help opens");
    cmd_->add_flag("--open", c.open, "With --guide: open it with xdg-open when there is a display");
    cmd_->add_flag("--list-presets", c.listPresets, "List the seven presets and exit");
    cmd_->add_flag("--json", c.json, "With --list-presets: as JSON");
}

}  // namespace tweather
