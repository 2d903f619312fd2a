#include "app/cmd_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/distinct_files.h"
#include "app/exit_codes.h"
#include "app/weather_module.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/message_pump.h"
#include "host/module_loader.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "host/unit_scale.h"
#include "max/interface.h"
#include "max/material.h"
#include "max/timer.h"

namespace tweather {

namespace {

using Json = nlohmann::ordered_json;

bool isSceneFile(const std::string& ext) {
    return ext == ".scene" || ext == ".json";
}
bool isMeshFile(const std::string& ext) {
    return ext == ".gltf" || ext == ".glb" || ext == ".obj";
}

std::string classIdText(Class_ID id) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "(0x%X, 0x%X)", unsigned(id.PartA()), unsigned(id.PartB()));
    return buf;
}

std::string className(ReferenceTarget* t) {
    MSTR s;
    t->GetClassName(s);
    return host::toUtf8(s);
}

Json point(const Point3& p) {
    return Json::array({p.x, p.y, p.z});
}

// The value at t (keys evaluated); references by what they point at.
Json mapJson(Texmap* map, TimeValue t);

Json slotValue(IParamBlock2* pb, const ParamDef& d, const PB2Slot& s, int tab, TimeValue t) {
    switch (ValueKindOf(d.type)) {
        case PBValueKind::Float:
            return pb->GetFloat(d.ID, t, tab);
        case PBValueKind::Int: {
            int v = pb->GetInt(d.ID, t, tab);
            return (d.type & ~TYPE_TAB) == TYPE_BOOL ? Json(v != 0) : Json(v);
        }
        case PBValueKind::Point3:
            return point(pb->GetPoint3(d.ID, t, tab));
        case PBValueKind::String:
            return host::toUtf8(s.s);
        case PBValueKind::Ref: {
            if (!s.ref) return nullptr;
            if ((d.type & ~TYPE_TAB) == TYPE_INODE) {
                auto* n = static_cast<INode*>(s.ref);
                return Json{{"node", n->GetHandle()}, {"name", host::toUtf8(n->GetName())}};
            }
            if ((d.type & ~TYPE_TAB) == TYPE_TEXMAP) return mapJson(static_cast<Texmap*>(s.ref), t);
            return Json{{"class", className(s.ref)}};
        }
        default:
            return nullptr;
    }
}

Json paramsOf(ReferenceTarget* t, TimeValue time) {
    Json out = Json::object();
    for (int b = 0; b < t->NumParamBlocks(); ++b) {
        IParamBlock2* pb = t->GetParamBlock(b);
        if (!pb) continue;
        for (int i = 0; i < pb->NumParams(); ++i) {
            const ParamDef& d = pb->GetDesc()->paramdefs(i);
            const auto& slots = pb->Slots(d.ID);
            Json entry{{"id", d.ID}};
            if (IsTabType(d.type)) {
                Json values = Json::array();
                for (size_t k = 0; k < slots.size(); ++k) values.push_back(slotValue(pb, d, slots[k], int(k), time));
                entry["value"] = values;
            } else if (!slots.empty()) {
                entry["value"] = slotValue(pb, d, slots[0], 0, time);
                Json keys = Json::array();
                if (ValueKindOf(d.type) == PBValueKind::Int)
                    for (const auto& k : slots[0].i.keys) keys.push_back(Json::array({k.t, k.v}));
                else
                    for (const auto& k : slots[0].f.keys) keys.push_back(Json::array({k.t, k.v}));
                if (!keys.empty()) entry["keys"] = keys;
            }
            out[host::toUtf8(d.int_name)] = entry;
        }
    }
    return out;
}

// A map in a material's slot: its class and name, and its parameters when it has a block
// (as a plug-in map does), so a script can see what a Weather Map was set to.
Json mapJson(Texmap* map, TimeValue t) {
    Json j{{"class", className(map)}, {"name", host::toUtf8(map->GetName())}};
    if (map->NumParamBlocks() > 0) {
        j["classId"] = classIdText(map->ClassID());
        j["params"] = paramsOf(map, t);
    }
    return j;
}

Json objectJson(ReferenceTarget* t, TimeValue time) {
    return Json{{"class", className(t)},
                {"classId", classIdText(t->ClassID())},
                {"superClassId", t->SuperClassID()},
                {"params", paramsOf(t, time)}};
}

// A node's own entry: transform, flags, object, modifiers and material; no children.
Json nodeEntry(INode* n, const Matrix3& tm, TimeValue t) {
    Json j{{"handle", n->GetHandle()},
           {"name", host::toUtf8(n->GetName())},
           {"transform",
            Json::array({point(tm.GetRow(0)), point(tm.GetRow(1)), point(tm.GetRow(2)), point(tm.GetRow(3))})},
           {"hidden", bool(n->IsNodeHidden())},
           {"renderable", bool(n->Renderable())}};
    j["object"] = n->GetObjectRef() ? objectJson(n->GetObjectRef(), t) : Json(nullptr);
    Json mods = Json::array();
    if (IDerivedObject* d = n->GetWSMDerivedObject())
        for (int i = 0; i < d->NumModifiers(); ++i)
            if (Modifier* m = d->GetModifier(i)) mods.push_back(objectJson(m, t));
    j["modifiers"] = mods;
    if (Mtl* m = n->GetMtl()) {
        Json mj = objectJson(m, t);
        mj["name"] = host::toUtf8(m->GetName());
        j["material"] = mj;
    }
    j["children"] = Json::array();
    return j;
}

// Nodes deeper than this are listed, in order, among the children of their ancestor at this
// depth, each naming its parent: neither the JSON nor the indented text then nests without
// bound (a chain of 100,000 nodes is a valid scene).
constexpr size_t kMaxNestedDepth = 64;

// The tree under the root as nested entries, walked with lists of our own rather than the
// call stack. Each world transform is the node's local transform times its parent's, the
// same product GetNodeTM forms, so a chain costs linear time.
Json nodeTree(INode* root, TimeValue t) {
    struct Pending {
        INode* node;
        size_t depth;  // 1 for the root's children
        Matrix3 parentWorld;
    };
    std::vector<Pending> pending;
    for (int i = root->NumberOfChildren(); i-- > 0;) pending.push_back({root->GetChildNode(i), 1, Matrix3(1)});
    Json top = Json::array();
    std::vector<Json> open;  // open[k]: the entry at nesting level k + 1 still taking children
    auto closeTo = [&](size_t level) {
        while (open.size() > level) {
            Json done = std::move(open.back());
            open.pop_back();
            (open.empty() ? top : open.back()["children"]).push_back(std::move(done));
        }
    };
    while (!pending.empty()) {
        const Pending p = pending.back();
        pending.pop_back();
        INode* n = p.node;
        const INode* reading = n;  // reading the tracks leaves the remembered transforms alone
        const Matrix3 local = ScaleMatrix(reading->ScaleTrack().At(t)) *
                              EulerXYZMatrix(reading->RotationTrack().At(t)) *
                              TransMatrix(reading->PositionTrack().At(t));
        const Matrix3 world = local * p.parentWorld;
        const size_t level = std::min(p.depth, kMaxNestedDepth + 1);
        closeTo(level - 1);
        Json entry = nodeEntry(n, world, t);
        if (level < p.depth) entry["parent"] = n->GetParentNode()->GetHandle();
        open.push_back(std::move(entry));
        for (int i = n->NumberOfChildren(); i-- > 0;) pending.push_back({n->GetChildNode(i), p.depth + 1, world});
    }
    closeTo(0);
    return top;
}

std::string valueText(const Json& v) {
    if (v.is_number_float()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v.get<double>());
        return buf;
    }
    if (v.is_array()) {
        std::string s = "[";
        for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + valueText(v[i]);
        return s + "]";
    }
    if (v.is_object() && v.contains("node"))
        return "node " + std::to_string(v["node"].get<unsigned>()) + " '" + v["name"].get<std::string>() + "'";
    if (v.is_object() && v.contains("class")) return v["class"].get<std::string>();
    return v.dump();
}

void objectText(const Json& o, const std::string& pad, const std::string& label, std::string& out) {
    out += pad + label + o["class"].get<std::string>() + " " + o["classId"].get<std::string>();
    if (o.contains("name")) out += " '" + o["name"].get<std::string>() + "'";
    out += "\n";
    for (const auto& [name, p] : o["params"].items()) {
        out += pad + "    " + name + " = " + valueText(p["value"]);
        if (p.contains("keys")) out += "  (animated, " + std::to_string(p["keys"].size()) + " keys)";
        out += "\n";
    }
}

void nodeText(const Json& n, int depth, std::string& out) {
    std::string pad(size_t(depth) * 2, ' ');
    out += pad + "#" + std::to_string(n["handle"].get<unsigned>()) + " " + n["name"].get<std::string>();
    if (n.contains("parent")) out += " (under #" + std::to_string(n["parent"].get<unsigned>()) + ")";
    if (n["hidden"].get<bool>()) out += " (hidden)";
    if (!n["renderable"].get<bool>()) out += " (not renderable)";
    out += "\n" + pad + "  world: " + valueText(n["transform"]) + "\n";
    if (!n["object"].is_null()) objectText(n["object"], pad + "  ", "object: ", out);
    for (const Json& m : n["modifiers"]) objectText(m, pad + "  ", "modifier: ", out);
    if (n.contains("material")) objectText(n["material"], pad + "  ", "material: ", out);
    for (const Json& c : n["children"]) nodeText(c, depth + 1, out);
}

// Starts the host with the given plug-in modules; their failures are reported, not fatal.
// False (the host shut down again) when a --plugin would not load.
bool startHost(const std::vector<std::string>& plugins) {
    std::vector<std::string> errors;
    std::string missing;
    host::startUp(modulesToLoad(plugins, missing), errors);
    if (!missing.empty()) std::fprintf(stderr, "tweather scene: warning: %s\n", missing.c_str());
    for (const std::string& e : errors) std::fprintf(stderr, "tweather scene: %s\n", e.c_str());
    if (errors.empty()) return true;
    host::shutDown();
    return false;
}

}  // namespace

// Plug-ins may react to a load with a short timer (a scene capture 30 ms later); the command
// gives them up to a second, as the host's message loop would while the user looks.
constexpr uint64_t kSettleMs = 1000;

static bool loadAnySceneNow(const std::string& path, bool objYUp, std::string& error,
                            std::vector<std::string>& warnings);

bool loadAnyScene(const std::string& path, bool objYUp, std::string& error, std::vector<std::string>& warnings) {
    bool ok = loadAnySceneNow(path, objYUp, error, warnings);
    if (ok) host::pumpUntilIdle(kSettleMs);
    return ok;
}

static bool loadAnySceneNow(const std::string& path, bool objYUp, std::string& error,
                            std::vector<std::string>& warnings) {
    std::string ext = host::extensionOf(path);
    if (isSceneFile(ext)) {
        host::SceneFileReport report;
        bool ok = host::loadScene(path, error, &report);
        warnings = report.warnings;
        return ok;
    }
    if (isMeshFile(ext)) {
        host::ImportReport report;
        bool ok = host::importScene(path, error, &report, objYUp);
        warnings = report.warnings;
        return ok;
    }
    error = "'" + path + "': unknown file type (use .scene, .json, .gltf, .glb or .obj)";
    return false;
}

std::string describeScene(bool json, int timeTicks) {
    const Json nodes = nodeTree(GetCOREInterface()->GetRootNode(), timeTicks);
    int unitType = 0;
    float unitScale = 1.0f;
    GetSystemUnitInfo(&unitType, &unitScale);
    static const char* kUnits[] = {"inches", "feet", "miles", "millimetres", "centimetres", "metres", "kilometres"};
    char unit[64];
    std::snprintf(unit, sizeof unit, "%g %s", unitScale, kUnits[unitType]);
    Json doc{{"unit", unit},
             {"metresPerUnit", GetSystemUnitScale(UNITS_METERS)},
             {"framesPerSecond", GetFrameRate()},
             {"nodes", nodes}};
    if (json) return doc.dump(2) + "\n";
    char head[128];
    std::snprintf(head, sizeof head, "system unit: %g m, %d fps\n", GetSystemUnitScale(UNITS_METERS), GetFrameRate());
    std::string out = head;
    for (const Json& n : nodes) nodeText(n, 0, out);
    return out;
}

int runSceneInfo(const SceneOptions& o) {
    if (!startHost(o.plugins)) return kExitIo;
    std::string error;
    std::vector<std::string> warnings;
    if (!loadAnyScene(o.input, o.objYUp, error, warnings)) {
        std::fprintf(stderr, "tweather scene info: %s\n", error.c_str());
        host::shutDown();
        return kExitIo;
    }
    for (const std::string& w : warnings) std::fprintf(stderr, "tweather scene info: warning: %s\n", w.c_str());
    std::string text = describeScene(o.json, SecToTicks(o.timeSeconds));
    std::fwrite(text.data(), 1, text.size(), stdout);
    host::shutDown();
    return 0;
}

int runSceneConvert(const SceneOptions& o) {
    std::string outExt = host::extensionOf(o.output);
    if (!isSceneFile(outExt) && !isMeshFile(outExt)) {
        std::fprintf(stderr,
                     "tweather scene convert: '%s': unknown output type (use .scene, .json, .gltf, .glb or .obj)\n",
                     o.output.c_str());
        return kExitUsage;
    }
    std::string error;
    if (int rc = checkOutputs({{"IN", o.input}}, {{"OUT", o.output}}, error)) {
        std::fprintf(stderr, "tweather scene convert: %s\n", error.c_str());
        return rc;
    }
    if (!startHost(o.plugins)) return kExitIo;
    std::vector<std::string> warnings;
    int rc = 0;
    if (!loadAnyScene(o.input, o.objYUp, error, warnings)) {
        std::fprintf(stderr, "tweather scene convert: %s\n", error.c_str());
        rc = kExitIo;
    } else {
        for (const std::string& w : warnings) std::fprintf(stderr, "tweather scene convert: warning: %s\n", w.c_str());
        bool ok = isSceneFile(outExt) ? host::saveScene(o.output, error)
                                      : host::exportScene(o.output, SecToTicks(o.timeSeconds), error);
        if (!ok) {
            std::fprintf(stderr, "tweather scene convert: %s\n", error.c_str());
            rc = kExitIo;
        } else {
            std::printf("wrote %s (%zu nodes)\n", o.output.c_str(), host::currentScene().allNodes().size());
        }
    }
    host::shutDown();
    return rc;
}

SceneCli::SceneCli(CLI::App& app) {
    cmd_ = app.add_subcommand("scene", "Show or convert scene files (.scene/.json, .gltf/.glb, .obj)");
    cmd_->require_subcommand(1);
    cmd_->add_option("--plugin", options_.plugins, "Plug-in module to load first (repeatable)");
    cmd_->add_option_function<std::string>(
            "--up", [this](const std::string& axis) { options_.objYUp = axis == "y"; },
            "Up axis of OBJ input: z (default) or y")
        ->check(CLI::IsMember({"y", "z"}));
    cmd_->add_option("--time", options_.timeSeconds, "Scene time in seconds for transforms and export");
    info_ = cmd_->add_subcommand("info", "Print the node tree with classes, transforms, modifiers and parameters");
    info_->add_option("file", options_.input, "Scene, glTF or OBJ file")->required();
    info_->add_flag("--json", options_.json, "Print JSON instead of text");
    // `scene info FILE --time S`: the scene's own options may follow the subcommand.
    info_->fallthrough();
    convert_ = cmd_->add_subcommand("convert", "Read IN and write OUT, formats by extension");
    convert_->add_option("in", options_.input, "Scene, glTF or OBJ file to read")->required();
    convert_->add_option("out", options_.output, "Scene, glTF or OBJ file to write")->required();
    convert_->fallthrough();
}

int SceneCli::run() {
    // Ticks are an int at 4800 a second: about 447,000 seconds either way.
    if (!std::isfinite(options_.timeSeconds) || std::fabs(options_.timeSeconds) * 4800.0 > 2147483647.0) {
        std::fprintf(stderr, "tweather scene: --time must be a finite number of seconds within +-447000, not %g\n",
                     options_.timeSeconds);
        return kExitUsage;
    }
    if (*info_) return runSceneInfo(options_);
    if (*convert_) return runSceneConvert(options_);
    return kExitUsage;
}

int openSceneNeeding(bool sessionStarted, const std::string& scenePath, const wchar_t* className,
                     const std::string& what, void (*fail)(const std::string&)) {
    if (!sessionStarted) return kExitIo;
    if (!host::classRegistry().findByName(className)) {
        fail("the weather plug-in did not load, so there is no " + what);
        return kExitIo;
    }
    std::string error;
    std::vector<std::string> warnings;
    if (!loadAnyScene(scenePath, false, error, warnings)) {
        fail(error);
        return kExitIo;
    }
    for (const std::string& w : warnings) fail("warning: " + w);
    return 0;
}

}  // namespace tweather
