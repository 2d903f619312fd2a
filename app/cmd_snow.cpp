#include "app/cmd_snow.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/cmd_render.h"
#include "app/cmd_scene.h"
#include "app/distinct_files.h"
#include "app/exit_codes.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "host/message_pump.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "host/ui_model.h"
#include "max/interface.h"
#include "max/timer.h"
#include "max/units.h"
#include "snow/snow_mod_ids.h"
#include "snow/snow_params.h"
#include "snow/snow_stats_source.h"

namespace tweather {
namespace {

constexpr const wchar_t* kSnowClass = L"TarnwickSnow";
using wx::kSnowToolsDialog, wx::kSnowToolsSnowMaterial, wx::kSnowToolsStatus;
constexpr uint64_t kCaptureWaitMs = 10000;  // the capture timer is due after 30 ms

void fail(const std::string& message) { std::fprintf(stderr, "tweather snow: %s\n", message.c_str()); }

// The host runs from the first call to the end of the command.

bool isMeshNode(INode* node) {
    Object* obj = node->GetObjectRef();
    return obj && obj->SuperClassID() == GEOMOBJECT_CLASS_ID && obj->CanConvertToType(triObjectClassID);
}

int faceCount(const ObjectState& os) {
    if (!os.obj || !os.obj->CanConvertToType(triObjectClassID)) return 0;
    auto* tri = static_cast<TriObject*>(os.obj->ConvertToType(0, triObjectClassID));
    const int faces = tri ? tri->GetMesh().numFaces : 0;
    if (tri && tri != os.obj) tri->MaybeAutoDelete();
    return faces;
}

// A mesh that shelters without snow: its world-space triangles, kept across the import
// of the input, which replaces the scene.
struct Occluder {
    std::wstring name;
    Mesh mesh;
};

bool readOccluders(const SnowCommand& c, std::vector<Occluder>& out) {
    for (const std::string& file : c.occluderFiles) {
        std::string error;
        std::vector<std::string> warnings;
        if (!loadAnyScene(file, c.objYUp, error, warnings)) {
            fail(error);
            return false;
        }
        for (INode* node : host::currentScene().allNodes()) {
            if (!isMeshNode(node)) continue;
            const ObjectState& os = node->EvalWorldState(0);
            auto* tri = static_cast<TriObject*>(os.obj->ConvertToType(0, triObjectClassID));
            if (!tri) continue;
            Occluder o{node->GetName(), tri->GetMesh()};
            const Matrix3 tm = node->GetObjTMAfterWSM(0);
            for (int v = 0; v < o.mesh.numVerts; ++v) o.mesh.verts[v] = o.mesh.verts[v] * tm;
            if (tri != os.obj) tri->MaybeAutoDelete();
            out.push_back(std::move(o));
        }
    }
    return true;
}

void addOccluders(std::vector<Occluder>& occluders) {
    for (Occluder& o : occluders) {
        TriObject* tri = CreateNewTriObject();
        tri->GetMesh() = o.mesh;
        INode* node = GetCOREInterface()->CreateObjectNode(tri);
        node->SetName((o.name + L" (occluder)").c_str());
    }
}

// The node names a user gave with --on, or every mesh node.
bool pickTargets(const SnowCommand& c, std::vector<INode*>& targets) {
    std::vector<INode*> meshes;
    for (INode* node : host::currentScene().allNodes())
        if (isMeshNode(node) && std::wstring(node->GetName()).find(L" (occluder)") == std::wstring::npos)
            meshes.push_back(node);
    if (c.onNodes.empty()) {
        targets = meshes;
        return true;
    }
    for (const std::string& name : c.onNodes) {
        INode* found = nullptr;
        for (INode* node : meshes)
            if (host::toUtf8(node->GetName()) == name) found = node;
        if (!found) {
            std::string names;
            for (INode* node : meshes) names += (names.empty() ? "" : ", ") + host::toUtf8(node->GetName());
            fail("--on '" + name + "': no mesh node has that name; the mesh nodes are: " +
                 (names.empty() ? "(none)" : names));
            return false;
        }
        targets.push_back(found);
    }
    return true;
}

// The modifier's status text, read from its tools rollout as a user would see it.
std::wstring statusOf(Modifier* mod) {
    Interface* ip = GetCOREInterface();
    mod->BeginEditParams(ip, 0, nullptr);
    HWND tools = host::ui::findRollout(kSnowToolsDialog);
    std::wstring text = tools ? host::ui::controlText(tools, kSnowToolsStatus) : L"";
    mod->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    return text;
}

// Presses the modifier's "Snow material" button, as an artist would: the snow faces get the
// weather's snow material at an id above the object's own. Returns what the button said.
std::wstring applySnowMaterial(Modifier* mod) {
    Interface* ip = GetCOREInterface();
    mod->BeginEditParams(ip, 0, nullptr);
    HWND tools = host::ui::findRollout(kSnowToolsDialog);
    std::wstring said;
    if (tools && host::ui::pressButton(tools, kSnowToolsSnowMaterial)) said = host::ui::controlText(tools, kSnowToolsStatus);
    mod->EndEditParams(ip, END_EDIT_REMOVEUI, nullptr);
    return said;
}

void evaluateAll(const std::vector<INode*>& nodes, const char* pass) {
    const bool terminal = isatty(STDERR_FILENO);
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (terminal)
            std::fprintf(stderr, "\r\033[Ksnow: %s %zu/%zu %s", pass, i + 1, nodes.size(),
                         host::toUtf8(nodes[i]->GetName()).c_str());
        nodes[i]->EvalWorldState(0);
    }
    if (terminal) std::fprintf(stderr, "\r\033[K");
}

// A single-precision figure as the double that prints its shortest digits (0.7232294,
// not 0.7232294082641602).
double floatFigure(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double shown = 0.0;
    std::from_chars(text, end, shown);
    return shown;
}

// Each builder statistic of the modifier's last build, by its own name; empty when the
// modifier does not answer them.
nlohmann::json buildFigures(Modifier* mod) {
    auto* source = static_cast<wx::SnowStatsSource*>(mod->GetInterface(wx::kSnowStatsInterfaceID));
    if (!source) return nlohmann::json::object();
    const wx::SnowStats s = source->lastStats();
    return {{"facesIn", s.facesIn},
            {"upFacing", s.upFacing},
            {"trianglesOut", s.trianglesOut},
            {"verticesOut", s.verticesOut},
            {"sceneTriangles", s.sceneTriangles},
            {"detail", floatFigure(s.detail)},
            {"buildMs", s.buildMs},
            {"refineMs", s.refineMs},
            {"shelterMs", s.shelterMs},
            {"usedGPU", s.usedGPU},
            {"openSky", floatFigure(s.openSky)},
            {"meanAmount", floatFigure(s.meanAmount)},
            {"thickest", floatFigure(s.thickest)}};
}

bool writeText(const std::string& path, const std::string& text) {
    std::string error;
    if (host::writeFileAtomically(path, text, error)) return true;
    fail(error);
    return false;
}

bool checkExtensions(const SnowCommand& c) {
    if (c.outputs.empty()) {
        fail("name an output with -o (.obj, .gltf or .glb)");
        return false;
    }
    for (const std::string& out : c.outputs) {
        const std::string ext = host::extensionOf(out);
        if (ext != ".obj" && ext != ".gltf" && ext != ".glb") {
            fail("'" + out + "': the output must be .obj, .gltf or .glb");
            return false;
        }
    }
    if (!c.previewPath.empty() && host::extensionOf(c.previewPath) != ".png" &&
        host::extensionOf(c.previewPath) != ".exr") {
        fail("'" + c.previewPath + "': --preview writes a .png or .exr picture");
        return false;
    }
    const std::string saveExt = host::extensionOf(c.savePath);
    if (!c.savePath.empty() && saveExt != ".scene" && saveExt != ".json") {
        fail("'" + c.savePath + "': --save writes a scene file (.scene or .json)");
        return false;
    }
    int width = 0, height = 0;
    if (!c.previewPath.empty() && !parseSize(c.previewSize, width, height)) {
        fail("--preview-size must be WxH with both between 1 and 32768, not '" + c.previewSize + "'");
        return false;
    }
    if (c.shelter != "whole-scene" && c.shelter != "this-object" && c.shelter != "nothing") {
        fail("--shelter must be whole-scene, this-object or nothing, not '" + c.shelter + "'");
        return false;
    }
    return true;
}

// A missing output folder fails at once, not after the build.
bool checkOutputFolders(const SnowCommand& c) {
    std::vector<std::string> files = c.outputs;
    for (const std::string* extra : {&c.statsPath, &c.savePath, &c.previewPath})
        if (!extra->empty()) files.push_back(*extra);
    for (const std::string& file : files) {
        const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) {
            fail("cannot write '" + file + "': the folder '" + folder.string() + "' does not exist");
            return false;
        }
    }
    return true;
}

}  // namespace

int runSnowCommand(const SnowCommand& c) {
    if (!checkExtensions(c)) return kExitUsage;
    if (!checkOutputFolders(c)) return kExitIo;
    std::vector<NamedFile> inputs{{"the input", c.input}}, outputs;
    for (const std::string& file : c.occluderFiles) inputs.push_back({"--occluders", file});
    for (const std::string& file : c.outputs) outputs.push_back({"-o", file});
    outputs.push_back({"--stats", c.statsPath});
    outputs.push_back({"--save", c.savePath});
    outputs.push_back({"--preview", c.previewPath});
    std::string clash;
    if (int rc = checkOutputs(inputs, outputs, clash)) {
        fail(clash);
        return rc;
    }
    std::vector<Assignment> sets;
    if (std::string error; !splitAssignments(c.sets, sets, error)) {
        fail(error);
        return kExitUsage;
    }

    const WeatherHost session(c.plugins, fail);
    if (!session.started()) return kExitIo;
    ClassDesc* snowClass = host::classRegistry().findByName(kSnowClass);
    if (!snowClass) {
        fail("the weather plug-in did not load, so there is no snow modifier");
        return kExitIo;
    }

    std::vector<Occluder> occluders;
    if (!readOccluders(c, occluders)) return kExitIo;
    std::string error;
    std::vector<std::string> warnings;
    if (!loadAnyScene(c.input, c.objYUp, error, warnings)) {
        fail(error);
        return kExitIo;
    }
    for (const std::string& w : warnings) fail("warning: " + w);
    addOccluders(occluders);

    std::vector<INode*> targets;
    if (!pickTargets(c, targets)) return kExitUsage;
    if (targets.empty()) {
        fail("'" + c.input + "' holds no mesh to put snow on");
        return kExitIo;
    }

    const double unitsPerCentimetre = 0.01 / GetSystemUnitScale(UNITS_METERS);
    const int shelterFrom = c.shelter == "whole-scene"   ? wx::kShelterWholeScene
                            : c.shelter == "this-object" ? wx::kShelterThisObject
                                                         : wx::kShelterNothing;
    std::vector<Modifier*> mods;
    for (INode* node : targets) {
        auto* mod = static_cast<Modifier*>(snowClass->Create(FALSE));
        node->AddWSModifier(mod);
        IParamBlock2* pb = mod->GetParamBlock(0);
        if (unitsPerCentimetre != 1.0) scaleLengthDefaults(pb, sets, unitsPerCentimetre);
        pb->SetValue(wx::kSnowOccluders, 0, shelterFrom);
        for (const Assignment& a : sets) {
            std::string setWarning, setError;
            if (!assignParameter(pb, a, setWarning, setError)) {
                fail(setError);
                return kExitUsage;
            }
            if (!setWarning.empty() && node == targets.front()) fail("warning: " + setWarning);
        }
        mods.push_back(mod);
    }
    if (unitsPerCentimetre != 1.0)
        std::printf("scene units are %g m: the snow's lengths keep their centimetre sizes (depth %g units)\n",
                    GetSystemUnitScale(UNITS_METERS), wx::snowParamRow(wx::kSnowDepth).def * unitsPerCentimetre);

    // The modifiers gather the shelter scene through the host's message loop; a render
    // captures it itself on the way in.
    if (c.renderDetail) {
        host::beginRender(0);
    } else {
        evaluateAll(targets, "building");
        host::pumpUntilIdle(kCaptureWaitMs);
    }
    evaluateAll(targets, c.renderDetail ? "rendering" : "rebuilding");
    if (c.snowMaterial)
        for (size_t i = 0; i < mods.size(); ++i) {
            const std::wstring said = applySnowMaterial(mods[i]);
            if (said.find(L"ERROR") != std::wstring::npos)
                fail("warning: the snow material of " + host::toUtf8(targets[i]->GetName()) + ": " + host::toUtf8(said));
        }

    int rc = 0;
    for (const std::string& out : c.outputs) {
        if (!host::exportScene(out, 0, error)) {
            fail(error);
            rc = kExitIo;
        }
    }
    nlohmann::json stats = nlohmann::json::object();
    stats["detail"] = c.renderDetail ? "render" : "viewport";
    nlohmann::json nodes = nlohmann::json::object();
    for (size_t i = 0; i < targets.size(); ++i) {
        INode* node = targets[i];
        const std::wstring status = statusOf(mods[i]);
        const int in = faceCount(node->GetObjectRef()->Eval(0)), out = faceCount(node->EvalWorldState(0));
        std::string name = host::toUtf8(node->GetName());
        if (nodes.contains(name)) name += " #" + std::to_string(node->GetHandle());
        nlohmann::json entry = buildFigures(mods[i]);
        entry.update({{"handle", node->GetHandle()},
                      {"status", host::toUtf8(status)},
                      {"inputFaces", in},
                      {"outputFaces", out}});
        nodes[name] = entry;
        std::string shown = host::toUtf8(status);
        for (size_t p; (p = shown.find("\r\n")) != std::string::npos;) shown.replace(p, 2, "\n    ");
        std::printf("%s: %s\n", name.c_str(), shown.c_str());
    }
    stats["nodes"] = nodes;
    if (c.renderDetail) host::endRender();

    // Once one output has failed nothing more is written, and the figures come last: a
    // stats file is there only when the whole command succeeded.
    if (rc == 0 && !c.savePath.empty() && !host::saveScene(c.savePath, error)) {
        fail(error);
        rc = kExitIo;
    }
    if (rc == 0)
        for (const std::string& out : c.outputs) std::printf("wrote %s\n", out.c_str());
    if (rc == 0 && !c.previewPath.empty()) {
        // The render brackets itself with the render notifications, so the snow is rebuilt
        // at render detail for the picture whatever detail the export used.
        RenderOptions preview;
        preview.output = c.previewPath;
        preview.size = c.previewSize;
        preview.samplesPerPixel = c.previewSamples;
        rc = renderOpenScene(preview, "tweather snow --preview");
    }
    if (rc == 0 && !c.statsPath.empty() && !writeText(c.statsPath, stats.dump(2) + "\n")) rc = kExitIo;
    return rc;
}

SnowCli::SnowCli(CLI::App& app) {
    SnowCommand& c = command_;
    cmd_ = app.add_subcommand("snow", "Put snow on a scene's meshes through the host and write the result");
    cmd_->add_option("input", c.input, "Scene to snow: .obj, .gltf, .glb, .scene or .json")->required();
    cmd_->add_option("-o,--output", c.outputs, "File to write the snowed scene to (.obj, .gltf, .glb), repeatable")
        ->required()
        ->allow_extra_args(false);
    cmd_->add_option("--set", c.sets,
                     "Snow parameter NAME=VALUE by its internal name (depth, slopeMax, coverage, maxTris, ...), "
                     "repeatable; an unknown name lists them all")
        ->allow_extra_args(false);
    cmd_->add_option("--on", c.onNodes, "Snow only the mesh node with this name, repeatable (default: every mesh)")
        ->allow_extra_args(false);
    cmd_->add_option("--shelter", c.shelter, "What keeps snow off: whole-scene (every object), this-object or nothing")
        ->capture_default_str();
    cmd_->add_option("--occluders", c.occluderFiles,
                     "File of meshes that shelter the scene but get no snow (a roof above), repeatable")
        ->allow_extra_args(false);
    cmd_->add_option("--stats", c.statsPath, "JSON file for each node's figures and status text");
    cmd_->add_option("--save", c.savePath, "Also save the snowed scene as a scene file (.scene or .json)");
    cmd_->add_flag("--render-detail", c.renderDetail,
                   "Build at render detail, as during a render (default: the modifier's viewport detail)");
    cmd_->add_flag("--obj-y-up", c.objYUp, "OBJ inputs are +Y up (default +Z up)");
    cmd_->add_option("--plugin", c.plugins, "Further plug-in module to load, repeatable")->allow_extra_args(false);
    cmd_->add_flag("!--keep-materials", c.snowMaterial,
                   "Leave the objects' materials as they are (default: the snow faces get a snow material)");
    cmd_->add_option("--preview", c.previewPath, "Also render a picture of the snowed scene (.png)");
    cmd_->add_option("--preview-size", c.previewSize, "The picture's size as WxH")->capture_default_str();
    cmd_->add_option("--preview-spp", c.previewSamples, "The picture's samples per pixel")
        ->check(CLI::Range(1, 1024))
        ->capture_default_str();
}

}  // namespace tweather
