#include "utility/wet_materials.h"

#include <algorithm>
#include <cwctype>
#include <map>

#include "max/inode.h"
#include "max/interface.h"
#include "max/ms_exceptions.h"
#include "max/param_block2.h"
#include "max/stdmat.h"
#include "utility/original_materials.h"
#include "utility/published_args.h"
#include "utility/weather_materials.h"
#include "weathermap/map_params.h"
#include "weathermap/map_tools.h"

namespace wx {

namespace {

constexpr Class_ID kStandardMaterial{DMTL_CLASS_ID, 0};
constexpr Class_ID kMultiMaterial{MULTI_CLASS_ID, 0};

enum MapMode : int { kWetnessMode = 0, kPuddleMode = 1, kRingMode = 2, kDropMode = 3 };

// How wet a surface looks: its diffuse colour loses up to 40 % (water darkens what it
// soaks) and its glossiness closes up to 70 % of the gap to a mirror, both in proportion
// to the wetness.
constexpr float kWetDarkening = 0.4f;
constexpr float kWetGloss = 0.7f;

struct WetLook {
    float wetness;
    float puddles;
    bool rings;
    bool keepDrops;  // glass that carries drops keeps them instead of getting wet
};

bool isStandard(Mtl* m) {
    return m && m->ClassID() == kStandardMaterial;
}

bool isMulti(Mtl* m) {
    return m && m->ClassID() == kMultiMaterial;
}

bool isGlass(Mtl* m) {
    if (!isStandard(m)) return false;
    std::wstring name = m->GetName();
    for (wchar_t& c : name) c = wchar_t(std::towlower(wint_t(c)));
    return name.find(L"glass") != std::wstring::npos || static_cast<StdMat2*>(m)->GetOpacity(0) < 1.0f;
}

bool isWeatherMap(Texmap* map, int mode) {
    return map && map->ClassID() == kWeatherMapClassID && map->GetParamBlock(0) &&
           map->GetParamBlock(0)->GetInt(kMapMode) == mode;
}

bool containsGlass(Mtl* m, int depth = 0) {
    if (isGlass(m)) return true;
    for (int i = 0; m && depth < 32 && i < m->NumSubMtls(); ++i)
        if (containsGlass(m->GetSubMtl(i), depth + 1)) return true;
    return false;
}

// True when some standard material in `m` carries drops in its bump slot.
bool carriesDrops(Mtl* m, int depth = 0) {
    if (!m || depth > 32) return false;
    if (isStandard(m)) return isWeatherMap(m->GetSubTexmap(ID_BU), kDropMode);
    for (int i = 0; i < m->NumSubMtls(); ++i)
        if (carriesDrops(m->GetSubMtl(i), depth + 1)) return true;
    return false;
}

Texmap* weatherMap(int mode, const wchar_t* fn) {
    auto* map = static_cast<Texmap*>(GetCOREInterface()->CreateInstance(TEXMAP_CLASS_ID, kWeatherMapClassID));
    if (!map || !map->GetParamBlock(0))
        throw RuntimeError((std::wstring(fn) + L": the Weather Map (WeatherMap) is not loaded").c_str());
    map->GetParamBlock(0)->SetValue(kMapMode, 0, mode);
    return map;
}

Mtl* copyOf(Mtl* m, const std::wstring& suffix) {
    RemapDir remap;
    auto* copy = static_cast<Mtl*>(remap.CloneRef(m));
    copy->SetName((std::wstring(m->GetName()) + suffix).c_str());
    return copy;
}

Mtl* withDrops(Mtl* glass, const wchar_t* fn) {
    Mtl* copy = copyOf(glass, L" (drops)");
    copy->SetSubTexmap(ID_BU, weatherMap(kDropMode, fn));
    return copy;
}

Mtl* wetCopy(Mtl* m, const WetLook& look, const wchar_t* fn) {
    auto* wet = static_cast<StdMat2*>(copyOf(m, L" (wet)"));
    const Color dry = m->GetDiffuse();
    const float keep = 1.0f - kWetDarkening * look.wetness;
    wet->SetDiffuse(Color(dry.r * keep, dry.g * keep, dry.b * keep), 0);
    const float gloss = m->GetShininess();
    wet->SetShininess(gloss + (1.0f - gloss) * kWetGloss * look.wetness, 0);
    Texmap* wetness = weatherMap(kWetnessMode, fn);
    wetness->GetParamBlock(0)->SetValue(kMapWetness, 0, look.wetness);
    wet->SetSubTexmap(ID_SH, wetness);
    if (look.puddles > 0) {
        Texmap* puddles = weatherMap(kPuddleMode, fn);
        puddles->GetParamBlock(0)->SetValue(kMapPuddleAmount, 0, look.puddles);
        wet->SetSubTexmap(ID_SS, puddles);
    }
    if (look.rings) wet->SetSubTexmap(ID_BU, weatherMap(kRingMode, fn));
    return wet;
}

// Rebuilds `m` with every material in it made over by `change`; a material shared by
// several slots is made over once, so the copies stay shared. Materials that are neither
// standard nor multi/sub-object are left as they are.
template <typename Change>
Mtl* madeOver(Mtl* m, Change& change, std::map<Mtl*, Mtl*>& done, int depth = 0) {
    if (auto it = done.find(m); it != done.end()) return it->second;
    Mtl* out = m;
    if (isStandard(m)) {
        out = change(m);
    } else if (isMulti(m) && depth < 32) {
        std::vector<Mtl*> subs;
        bool changed = false;
        for (int i = 0; i < m->NumSubMtls(); ++i) {
            Mtl* sub = m->GetSubMtl(i);
            subs.push_back(sub ? madeOver(sub, change, done, depth + 1) : nullptr);
            changed = changed || subs.back() != sub;
        }
        if (changed) {
            RemapDir remap;
            out = static_cast<Mtl*>(remap.CloneRef(m));
            for (int i = 0; i < int(subs.size()); ++i) out->SetSubMtl(i, subs[size_t(i)]);
        }
    }
    done[m] = out;
    return out;
}

Mtl* wetMaterial(Mtl* original, const WetLook& look, const wchar_t* fn) {
    if (!original) {
        auto* grey = static_cast<Mtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, kStandardMaterial));
        if (!grey) throw RuntimeError((std::wstring(fn) + L": the host's materials are not available").c_str());
        grey->SetName(L"Tarnwick Wet");
        Mtl* wet = wetCopy(grey, look, fn);
        grey->MaybeAutoDelete();
        return wet;
    }
    auto change = [&](Mtl* m) -> Mtl* {
        if (isSnowLayerMaterial(m)) return m;
        if (isGlass(m) && look.keepDrops) return withDrops(m, fn);
        return wetCopy(m, look, fn);
    };
    std::map<Mtl*, Mtl*> done;
    return madeOver(original, change, done);
}

// The original the functions build from; kept first, so that restore can put it back.
Mtl* originalOf(INode* node, const wchar_t* fn) {
    if (hasOriginalMaterial(node)) {
        Mtl* original = nullptr;
        if (!originalMaterial(node, original))
            throw RuntimeError((std::wstring(fn) + L": the object's own material cannot be read back").c_str());
        return original;
    }
    Mtl* original = currentOriginal(node);
    keepOriginalMaterial(node, original);
    return original;
}

std::wstring nodeName(INode* node) {
    return node->GetName() ? std::wstring(node->GetName()) : std::wstring();
}

}  // namespace

std::wstring applyWetMaterial(FPParams& p) {
    INode* node = nodeArg(p, 0, L"applyWet");
    const float wetness = floatArg(p, 1, L"applyWet");
    const float puddles = floatArg(p, 2, L"applyWet");
    const bool rings = boolArg(p, 3, L"applyWet");
    const WetLook look{std::clamp(wetness, 0.0f, 1.0f), std::clamp(puddles, 0.0f, 1.0f), rings,
                       carriesDrops(node->GetMtl())};
    node->SetMtl(wetMaterial(originalOf(node, L"applyWet"), look, L"applyWet"));
    return L"Wet material on " + nodeName(node);
}

std::wstring glossWetMaterial(FPParams& p) {
    INode* node = nodeArg(p, 0, L"glossWet");
    Mtl* current = node->GetMtl();
    if (isSnowLayerMaterial(current))
        throw RuntimeError((L"glossWet: " + nodeName(node) + L" wears only the snow layer; nothing to wet").c_str());
    const WetLook look{1.0f, 0.25f, false, carriesDrops(current)};
    Mtl* wet = wetMaterial(originalOf(node, L"glossWet"), look, L"glossWet");
    // Snow above the object's own ids (a multi/sub-object material with a snow slot): the
    // snow stays, the slots of the object's own material get wet.
    bool snowSlots = false;
    for (int i = 0; isMulti(current) && i < current->NumSubMtls(); ++i)
        snowSlots = snowSlots || isSnowLayerMaterial(current->GetSubMtl(i));
    if (!snowSlots) {
        node->SetMtl(wet);
        return L"Wet gloss on " + nodeName(node);
    }
    for (int i = 0; i < current->NumSubMtls(); ++i)
        if (!isSnowLayerMaterial(current->GetSubMtl(i))) current->SetSubMtl(i, wet);
    return L"Wet gloss beside the snow on " + nodeName(node);
}

std::wstring applyGlassMaterial(FPParams& p) {
    INode* node = nodeArg(p, 0, L"applyGlass");
    const std::wstring name = nodeName(node);
    Mtl* original = hasOriginalMaterial(node) ? originalOf(node, L"applyGlass") : currentOriginal(node);
    int slots = 1, glassSlots = isGlass(original) ? 1 : 0;
    if (isMulti(original)) {
        slots = original->NumSubMtls();
        glassSlots = 0;
        for (int i = 0; i < slots; ++i) glassSlots += containsGlass(original->GetSubMtl(i)) ? 1 : 0;
    }
    if (glassSlots == 0) return L"No glass in " + name;
    keepOriginalMaterial(node, original);
    auto change = [&](Mtl* m) -> Mtl* { return isGlass(m) ? withDrops(m, L"applyGlass") : m; };
    std::map<Mtl*, Mtl*> done;
    node->SetMtl(madeOver(original, change, done));
    if (glassSlots == slots) return L"Drops on glass: " + name;
    return L"Drops on the glass slots of " + name + L" (" + std::to_wstring(glassSlots) + L" of " +
           std::to_wstring(slots) + L")";
}

}  // namespace wx
