#include "app/cmd_fall_add.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "fall/fall_params.h"
#include "host/class_registry.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/storm_helper.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "plugin/weather_targets.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather fall add";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

std::string number(double v, const char* format = "%g") {
    char text[40];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// "X,Y": two finite numbers.
bool parsePlace(const std::string& text, double& x, double& y) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    return parseFrame(text.substr(0, comma), x) && parseFrame(text.substr(comma + 1), y);
}

std::string lowerAscii(std::string s) {
    for (char& ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string quoted(const std::wstring& text) {
    std::string out = "\"";
    for (char c : host::toUtf8(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// One #(#name, value) pair for makeFall, from a parameter of a block the command line set.
std::string scriptPair(IParamBlock2* pb, const ParamDef& def) {
    const std::string name = host::toUtf8(def.int_name);
    std::string value;
    switch (def.type) {
        case TYPE_BOOL:
            value = pb->GetInt(def.ID) ? "true" : "false";
            break;
        case TYPE_INT:
            value = std::to_string(pb->GetInt(def.ID));
            break;
        case TYPE_STRING:
        case TYPE_FILENAME: {
            const MCHAR* s = pb->GetStr(def.ID);
            value = quoted(s ? s : L"");
            break;
        }
        case TYPE_RGBA:
        case TYPE_POINT3: {
            // Script colours count 0 to 255.
            const Point3 c = pb->GetPoint3(def.ID);
            value = "(color " + number(c.x * 255.0, "%.9g") + " " + number(c.y * 255.0, "%.9g") + " " +
                    number(c.z * 255.0, "%.9g") + ")";
            break;
        }
        case TYPE_INODE: {
            INode* node = pb->GetINode(def.ID);
            value = node ? "(maxOps.getNodeByHandle " + std::to_string(node->GetHandle()) + ")" : "undefined";
            break;
        }
        default:
            value = number(pb->GetFloat(def.ID), "%.9g");
    }
    return "#(#" + name + "," + value + ")";
}

// The box the fall covers: the nodes' world boxes together, widened by 5% of the width and
// the length on each side, from the lowest point to 2 m above the highest (6 m at least).
Box3 fallBox(const std::vector<INode*>& nodes, TimeValue t) {
    Box3 u;
    for (INode* node : nodes) u += wx::worldBox(node, t);
    if (u.IsEmpty()) return u;
    const float cm = float(0.01 / GetSystemUnitScale(UNITS_METERS));
    const Point3 size = u.pmax - u.pmin;
    Box3 box;
    box.pmin = Point3(u.pmin.x - 0.05f * size.x, u.pmin.y - 0.05f * size.y, u.pmin.z);
    box.pmax = Point3(u.pmax.x + 0.05f * size.x, u.pmax.y + 0.05f * size.y,
                      std::max(u.pmin.z + 600.0f * cm, u.pmax.z + 200.0f * cm));
    return box;
}

// The nodes --around names, or every node weather would go on. 0 or the exit code.
int pickAround(const FallAddCommand& c, TimeValue t, std::vector<INode*>& nodes) {
    if (c.around.empty()) {
        nodes = wx::sceneTargets(GetCOREInterface()->GetRootNode(), t);
        return 0;
    }
    for (const std::string& name : c.around) {
        INode* node = nodeNamed(name);
        if (!node) {
            fail("--around '" + name + "': no node has that name");
            return kExitUsage;
        }
        nodes.push_back(node);
    }
    return 0;
}

// Checks the --set values on a fall that is not in the scene and turns each into the pair
// makeFall takes; world lengths left at their defaults are scaled to the scene's unit.
int settingsAsPairs(const FallAddCommand& c, ClassDesc* fallClass, bool& rain, std::string& pairs) {
    std::vector<Assignment> sets;
    if (std::string error; !splitAssignments(c.sets, sets, error)) {
        fail("--set " + error);
        return kExitUsage;
    }
    auto* scratch = static_cast<Object*>(fallClass->Create(FALSE));
    IParamBlock2* pb = scratch->GetParamBlock(0);
    const double unitsPerCentimetre = 0.01 / GetSystemUnitScale(UNITS_METERS);
    scaleLengthDefaults(pb, sets, unitsPerCentimetre);
    std::vector<int> chosen;
    int rc = 0;
    for (const Assignment& a : sets) {
        std::string warning, error;
        if (!assignParameter(pb, a, warning, error)) {
            fail("--set " + error);
            rc = kExitUsage;
            break;
        }
        if (!warning.empty()) fail("warning: " + warning);
        chosen.push_back(findParameter(pb, a.name));
    }
    if (rc == 0) {
        // The box sets the size; everything else the command line or the unit changed.
        for (int i = 0; i < pb->NumParams(); ++i) {
            const ParamDef& def = pb->GetDesc()->paramdefs(i);
            if (def.ID == wx::kFallWidth || def.ID == wx::kFallLength || def.ID == wx::kFallHeight) continue;
            const bool scaled = def.type == TYPE_WORLD && unitsPerCentimetre != 1.0;
            if (!scaled && std::find(chosen.begin(), chosen.end(), i) == chosen.end()) continue;
            pairs += (pairs.empty() ? "" : ",") + scriptPair(pb, def);
        }
        rain = pb->GetInt(wx::kFallType) == wx::kFallRain;
    }
    scratch->DeleteThis();
    return rc;
}

}  // namespace

int runFallAdd(const FallAddCommand& c) {
    if (int rc = checkOutputKind(c.output, {".scene", ".json"}, "the output", "a scene file (.scene or .json)", fail))
        return rc;
    double stormX = 0.0, stormY = 0.0;
    if (!c.tornadoAt.empty() && !parsePlace(c.tornadoAt, stormX, stormY)) {
        fail("--tornado-at takes X,Y in scene units, not '" + c.tornadoAt + "'");
        return kExitUsage;
    }
    for (const std::string& text : c.sets)
        if (!c.tornadoAt.empty() && text.size() > 12 && lowerAscii(text.substr(0, 12)) == "tornadonode=") {
            fail("--tornado-at picks the storm it adds; leave out --set tornadoNode");
            return kExitUsage;
        }
    if (int rc = checkOutputFolder(c.output, fail)) return rc;
    if (int rc = checkOutputFiles(c.scene, {{"-o", c.output}}, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openFallScene(session.started(), c.scene, fail)) return rc;
    ClassDesc* fallClass = host::classRegistry().findByName(L"WeatherFall");
    std::string error;

    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    std::vector<INode*> around;
    if (int rc = pickAround(c, t, around)) return rc;
    bool rain = false;
    std::string pairs;
    if (int rc = settingsAsPairs(c, fallClass, rain, pairs)) return rc;

    Box3 box = fallBox(around, t);
    if (box.IsEmpty()) {
        fail(std::string("warning: ") +
             (c.around.empty() ? "the scene has no geometry" : "those nodes have no geometry") +
             "; the fall takes its default size at the origin");
        auto* scratch = static_cast<Object*>(fallClass->Create(FALSE));
        IParamBlock2* pb = scratch->GetParamBlock(0);
        scaleLengthDefaults(pb, {}, 0.01 / GetSystemUnitScale(UNITS_METERS));
        const float w = pb->GetFloat(wx::kFallWidth), l = pb->GetFloat(wx::kFallLength),
                    h = pb->GetFloat(wx::kFallHeight);
        scratch->DeleteThis();
        box.pmin = Point3(-w / 2, -l / 2, 0.0f);
        box.pmax = Point3(w / 2, l / 2, h);
    }
    if (!c.tornadoAt.empty()) {
        INode* storm = ip->CreateObjectNode(host::createStormHelper());
        storm->SetPosition(t, Point3(float(stormX), float(stormY), box.pmin.z));
        pairs += std::string(pairs.empty() ? "" : ",") + "#(#tornadoNode,(maxOps.getNodeByHandle " +
                 std::to_string(storm->GetHandle()) + "))";
    }

    std::vector<INode*> fallsBefore;
    for (INode* n : host::currentScene().allNodes())
        if (fallOf(n)) fallsBefore.push_back(n);
    const std::string call = "TWeatherMtl.makeFall [" + number(box.pmin.x, "%.9g") + "," + number(box.pmin.y, "%.9g") +
                             "," + number(box.pmin.z, "%.9g") + "] [" + number(box.pmax.x, "%.9g") + "," +
                             number(box.pmax.y, "%.9g") + "," + number(box.pmax.z, "%.9g") + "] #(" + pairs + ") " +
                             (rain ? "true" : "false");
    try {
        host::scriptEngine().run(host::fromUtf8(call));
    } catch (const host::script::ScriptError& e) {
        fail("the fall could not be made: " + host::toUtf8(e.message));
        return kExitIo;
    }
    INode* node = nullptr;
    for (INode* n : host::currentScene().allNodes())
        if (fallOf(n) && std::find(fallsBefore.begin(), fallsBefore.end(), n) == fallsBefore.end()) node = n;
    if (!node) {
        fail("the fall could not be made");
        return kExitIo;
    }
    if (!c.name.empty()) node->SetName(host::fromUtf8(c.name).c_str());

    if (!host::saveScene(c.output, error)) {
        fail(error);
        return kExitIo;
    }
    IParamBlock2* pb = node->GetObjectRef()->FindBaseObject()->GetParamBlock(0);
    static const char* const kKinds[] = {"snow", "rain", "sand"};
    const Point3 at = node->GetNodeTM(t).GetTrans();
    std::printf("added \"%s\" (handle %lu): %s, %d particles, %g x %g x %g at [%g, %g, %g]\n", nodeNameOf(node).c_str(),
                static_cast<unsigned long>(node->GetHandle()), kKinds[std::clamp(pb->GetInt(wx::kFallType, t), 0, 2)],
                pb->GetInt(wx::kFallCount, t), double(pb->GetFloat(wx::kFallWidth, t)),
                double(pb->GetFloat(wx::kFallLength, t)), double(pb->GetFloat(wx::kFallHeight, t)), double(at.x),
                double(at.y), double(at.z));
    return kExitOk;
}

}  // namespace tweather
