#include "utility/make_weather.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include "fall/fall_params.h"
#include "max/hold.h"
#include "max/interface.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "plugin/live_modifiers.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"
#include "plugin/weather_targets.h"
#include "snow/snow_mod.h"
#include "utility/script_bridge.h"
#include "utility/weather_presets.h"

namespace wx {
namespace {

std::wstring& report() {
    static std::wstring text;
    return text;
}

std::function<void(const std::wstring&)>& reportHook() {
    static std::function<void(const std::wstring&)> hook;
    return hook;
}

bool isShownFall(INode* node) {
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    return base && base->ClassID() == kWeatherFallClassID && !node->IsNodeHidden(TRUE);
}

// A fall volume as the overlap test reads it: its box in its own space (pivot at the base
// centre) and the matrix from world space into it.
struct Volume {
    float width, length, height;
    Matrix3 objectFromWorld;
    Point3 axisStretch;  // how far one world unit can reach along each of the volume's axes
};

Volume volumeOf(INode* fall, TimeValue t) {
    Volume v{0, 0, 0, Inverse(fall->GetObjectTM(t)), {}};
    for (int axis = 0; axis < 3; ++axis) {
        const Matrix3& m = v.objectFromWorld;
        v.axisStretch[axis] = std::sqrt(m[0][axis] * m[0][axis] + m[1][axis] * m[1][axis] + m[2][axis] * m[2][axis]);
    }
    Object* base = fall->GetObjectRef()->FindBaseObject();
    if (IParamBlock2* pb = base->GetParamBlock(0)) {
        v.width = pb->GetFloat(kFallWidth, t);
        v.length = pb->GetFloat(kFallLength, t);
        v.height = pb->GetFloat(kFallHeight, t);
    }
    return v;
}

// The first, cheapest rejection, in world space, a few instructions per volume and node. For
// a volume that is not rotated, the box the exact test builds around a node box's corners in
// the volume's space is, back in world space, the node box itself (grown by rounding): when
// the two world boxes are apart by more than a thousandth of slack, so are those. A rotated
// volume is never rejected here (its reach is infinite); the exact test decides.
struct WorldBounds {
    Point3 centre;
    Point3 grow;   // a node's half size times this, plus `reach`, is as far as it may lie
    Point3 reach;  // the volume's half size and the slack

    WorldBounds(INode* fall, const Volume& v, TimeValue t) {
        const Matrix3 worldFromObject = fall->GetObjectTM(t);
        bool rotated = false;
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                if (j != k && (worldFromObject[j][k] != 0 || v.objectFromWorld[j][k] != 0)) rotated = true;
        const Box3 local(Point3(-v.width / 2, -v.length / 2, 0), Point3(v.width / 2, v.length / 2, v.height));
        Box3 world;
        for (int corner = 0; corner < 8; ++corner) world += local[corner] * worldFromObject;
        centre = world.Center();
        const Point3 half = world.Width() * 0.5f;
        for (int k = 0; k < 3; ++k) {
            grow[k] = std::fabs(v.objectFromWorld[k][k]) * std::fabs(worldFromObject[k][k]) * 1.001f;
            reach[k] = rotated ? std::numeric_limits<float>::infinity()
                               : half[k] * 1.001f + 1e-3f * std::fabs(centre[k]) + 1e-6f;
        }
    }

    // Whether a node box (centre c, half size h, slack 1e-3 x |c| per axis) is clearly apart.
    bool apart(const Point3& c, const Point3& h, const Point3& nodeSlack) const {
        return std::fabs(c.x - centre.x) > grow.x * h.x + reach.x + nodeSlack.x ||
               std::fabs(c.y - centre.y) > grow.y * h.y + reach.y + nodeSlack.y ||
               std::fabs(c.z - centre.z) > grow.z * h.z + reach.z + nodeSlack.z;
    }
};

// True when the box's corners, taken into the volume's space, cannot reach its box: the
// ball around the world box reaches at most radius x axisStretch along each axis from its
// centre. A thousandth of slack keeps rounding from rejecting what the corners would touch.
bool clearlyApart(const Box3& world, const Volume& v) {
    const Point3 centre = world.Center() * v.objectFromWorld;
    const float radius = Length(world.pmax - world.pmin) * 0.5f;
    float reach[3];
    for (int axis = 0; axis < 3; ++axis)
        reach[axis] = radius * v.axisStretch[axis] * 1.001f + 1e-3f * std::fabs(centre[axis]);
    return centre.x - reach[0] >= v.width / 2 || centre.x + reach[0] <= -v.width / 2 ||
           centre.y - reach[1] >= v.length / 2 || centre.y + reach[1] <= -v.length / 2 ||
           centre.z - reach[2] >= v.height || centre.z + reach[2] <= 0;
}

bool overlaps(const Box3& world, const Volume& v) {
    if (clearlyApart(world, v)) return false;
    Box3 local;
    for (int corner = 0; corner < 8; ++corner) local += world[corner] * v.objectFromWorld;
    return local.pmax.x > -v.width / 2 && v.width / 2 > local.pmin.x && local.pmax.y > -v.length / 2 &&
           v.length / 2 > local.pmin.y && local.pmax.z > 0 && v.height > local.pmin.z;
}

// The scene units in one centimetre.
double centimetre() {
    return 1.0 / GetSystemUnitScale(UNITS_CENTIMETERS);
}

TargetBox targetBox(INode* node, TimeValue t) {
    const Box3 b = worldBox(node, t);
    if (b.IsEmpty()) return {};
    return {V3{b.pmax.x - b.pmin.x, b.pmax.y - b.pmin.y, b.pmax.z - b.pmin.z}, false};
}

std::wstring nodeName(INode* node) {
    return node->GetName() ? std::wstring(node->GetName()) : std::wstring();
}

// The first scene node that uses mod, or null.
INode* firstNodeOf(Modifier* mod) {
    INode* found = nullptr;
    visitNodesParentFirst(GetCOREInterface()->GetRootNode(), [&](INode* node) {
        if (!found && nodeUses(node, mod)) found = node;
    });
    return found;
}

// The snow material on the targets' new snow: every live snow modifier whose first node is
// one of them.
void applySnowMaterials(const std::vector<INode*>& targets, TimeValue t) {
    const std::vector<LiveSnowMod*> mods = liveSnowMods();  // a copy: the step may add none, but be safe
    for (LiveSnowMod* live : mods) {
        auto* mod = dynamic_cast<SnowMod*>(live);
        INode* node = mod ? firstNodeOf(mod) : nullptr;
        if (!node || std::find(targets.begin(), targets.end(), node) == targets.end()) continue;
        node->EvalWorldState(t);
        mod->snowMaterialCommand();
    }
}

}  // namespace

std::vector<INode*> gatherTargets(int applyTo, TimeValue t, INode* volume) {
    Interface* ip = GetCOREInterface();
    std::vector<INode*> targets;
    if (applyTo == kApplySelection) {
        for (int i = 0; i < ip->GetSelNodeCount(); ++i)
            if (INode* node = ip->GetSelNode(i); isWeatherTarget(node, t)) targets.push_back(node);
        return targets;
    }
    if (applyTo != kApplyInsideVolumes) return sceneTargets(ip->GetRootNode(), t);
    // One walk: the volumes (once per call, not once per node) and the targets with their
    // boxes, which the node remembers; then each target against the volumes near it.
    std::vector<Volume> volumes;
    std::vector<WorldBounds> bounds;
    auto addVolume = [&](INode* fall) {
        volumes.push_back(volumeOf(fall, t));
        bounds.emplace_back(fall, volumes.back(), t);
    };
    if (volume) addVolume(volume);
    struct Candidate {
        INode* node;
        Box3 box;
    };
    // Kept between calls so that its room is not grown again each time (main thread only).
    static std::vector<Candidate> candidates;
    candidates.clear();
    visitNodesParentFirst(ip->GetRootNode(), [&](INode* node) {
        if (isWeatherTarget(node, t)) {
            const Box3 box = worldBox(node, t);
            if (!box.IsEmpty()) candidates.push_back({node, box});
        } else if (!volume && isShownFall(node)) {
            addVolume(node);
        }
    });
    for (const Candidate& c : candidates) {
        const Point3 centre = c.box.Center(), half = c.box.Width() * 0.5f;
        const Point3 nodeSlack(1e-3f * std::fabs(centre.x), 1e-3f * std::fabs(centre.y), 1e-3f * std::fabs(centre.z));
        for (size_t i = 0; i < volumes.size(); ++i)
            if (!bounds[i].apart(centre, half, nodeSlack) && overlaps(c.box, volumes[i])) {
                targets.push_back(c.node);
                break;
            }
    }
    return targets;
}

void makeWeather(int presetIndex, int applyTo, bool surfaces, bool falling, bool materials, INode* volume) {
    const auto presets = weatherPresets();
    if (presetIndex < 0 || size_t(presetIndex) >= presets.size()) return;
    const WeatherPreset& p = presets[size_t(presetIndex)];
    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    const std::vector<INode*> targets = gatherTargets(applyTo, t, volume);
    if (targets.empty()) {
        setLastWeatherReport(applyTo == kApplyScene ? L"No visible, renderable geometry in the scene."
                             : applyTo == kApplyInsideVolumes
                                 ? L"Nothing inside a Tarnwick Weather volume. Make one (or MAKE WEATHER) and put the "
                                   L"objects inside it."
                                 : L"Select the objects first, or set Apply to: Whole scene.");
        return;
    }
    const double cm = centimetre();
    const bool wn = isWinterNight(p);
    // The boxes before anything is added: snow and falls change no size that Make reads.
    std::vector<TargetBox> boxes;
    Box3 all;
    for (INode* node : targets) {
        boxes.push_back(targetBox(node, t));
        all += worldBox(node, t);
    }
    theHold.Begin();
    ip->ProgressStart(L"Tarnwick Weather", TRUE, nullptr, nullptr);
    size_t done = 0;
    auto step = [&] { ip->ProgressUpdate(int(100 * ++done / targets.size())); };
    MakeCounts counts;
    counts.targets = targets.size();
    std::wstring errors;
    if (surfaces) {
        if (p.kind == kWeatherSnow) {
            std::vector<INode*> gloss;
            for (size_t i = 0; i < targets.size(); ++i) {
                const SnowTargetPlan plan = planSnowTarget(p, boxes[i], cm);
                if (plan.gloss) gloss.push_back(targets[i]);
                std::wstring result;
                if (runScript(L"TWeatherMtl.addSnow " + nodeRef(targets[i]) + L" " + snowPairs(plan), &result))
                    ++counts.snowed;
                else
                    errors += L"Snow on " + nodeName(targets[i]) + L": " + result + L"\r\n";
                step();
            }
            captureScene(t);
            if (materials) applySnowMaterials(targets, t);
            if (wn && materials)
                for (INode* node : gloss)
                    if (runScript(L"TWeatherMtl.glossWet " + nodeRef(node))) ++counts.wet;
        } else if (p.kind == kWeatherSand) {
            runScript(L"TWeatherMtl.layerKind = \"Sand\"");
            const std::wstring pairs = sandPairs(cm);
            for (INode* node : targets) {
                if (runScript(L"TWeatherMtl.addSnow " + nodeRef(node) + L" " + pairs)) ++counts.snowed;
                step();
            }
            captureScene(t);
            if (materials) applySnowMaterials(targets, t);
            runScript(L"TWeatherMtl.layerKind = \"Snow\"");
        } else if (materials) {
            for (INode* node : targets) {
                std::wstring glass;
                const bool ran = runScript(L"TWeatherMtl.applyGlass " + nodeRef(node), &glass);
                const size_t at = glass.substr(0, 10).find(L"Drops");
                const bool drops = ran && glass.size() >= 5 && (at == 0 || at == 1);
                step();
                if (drops) {
                    ++counts.glass;
                    if (!(glass.size() > 10 && glass.find(L"glass slots") != std::wstring::npos)) continue;
                }
                std::wstring result;
                if (runScript(L"TWeatherMtl.applyWet " + nodeRef(node) + wetArguments(p), &result))
                    ++counts.wet;
                else
                    errors += L"Wet " + nodeName(node) + L": " + result + L"\r\n";
            }
            captureScene(t);
        }
    }
    std::wstring fallingText;
    if (falling && !all.IsEmpty()) {
        const FallPlan plan =
            planFall(p, V3{all.pmin.x, all.pmin.y, all.pmin.z}, V3{all.pmax.x, all.pmax.y, all.pmax.z}, cm);
        runScript(makeFallCall(p, plan, cm), &fallingText);
    }
    ip->ProgressEnd();
    theHold.Accept(L"Tarnwick Weather");
    setLastWeatherReport(makeReport(p, counts, fallingText, capturedTriangles(), captureMs(), errors));
    ip->RedrawViews(t);
}

const std::wstring& lastWeatherReport() {
    return report();
}

void setLastWeatherReport(const std::wstring& text) {
    report() = text;
    if (reportHook()) reportHook()(text);
}

void setWeatherReportHook(std::function<void(const std::wstring&)> show) {
    reportHook() = std::move(show);
}

}  // namespace wx
