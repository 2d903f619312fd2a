#include "utility/weather_materials.h"

#include <vector>

#include "max/interface.h"
#include "max/ms_exceptions.h"
#include "max/stdmat.h"
#include "utility/original_materials.h"
#include "utility/published_args.h"

namespace wx {

namespace {

std::wstring gLayerKind = L"Snow";

constexpr Class_ID kStandardMaterial{DMTL_CLASS_ID, 0};
constexpr Class_ID kMultiMaterial{MULTI_CLASS_ID, 0};

Mtl* createMaterial(Class_ID id) {
    auto* mtl = static_cast<Mtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, id));
    if (!mtl) throw RuntimeError(L"applySnow: the host's materials are not available");
    return mtl;
}

// A new material's colours are its rest values, set at frame 0.
Mtl* weatherMaterial() {
    const bool sand = gLayerKind == L"Sand";
    auto* mtl = static_cast<StdMat2*>(createMaterial(kStandardMaterial));
    mtl->SetName(sand ? L"Tarnwick Sand" : L"Tarnwick Snow");
    mtl->SetDiffuse(sand ? Color(0.80f, 0.65f, 0.45f) : Color(0.95f, 0.96f, 1.0f), 0);
    mtl->SetShininess(sand ? 0.10f : 0.35f, 0);  // glossiness 10 % and 35 %
    return mtl;
}

// The node's own material serves ids 1..highest, the weather material snowId.
Mtl* withWeatherAt(INode* node, Mtl* original, Mtl* weather, int snowId, int highest) {
    auto* multi = static_cast<MultiMtl*>(createMaterial(kMultiMaterial));
    multi->SetName((std::wstring(node->GetName()) + L" + " + weather->GetName()).c_str());
    for (int id = 0; id < highest; ++id) multi->AddMtl(original, id, L"");
    multi->AddMtl(weather, snowId - 1, L"");
    return multi;
}

bool isWeatherMaterial(Mtl* m) {
    return isSnowLayerMaterial(m);
}

void listWeather(INode* node, std::wstring& out, int& count) {
    // Each node before its children, in order, with a list of our own: a scene's chain of
    // nodes can be deeper than the call stack.
    std::vector<INode*> pending;
    for (int i = node->NumberOfChildren(); i-- > 0;) pending.push_back(node->GetChildNode(i));
    while (!pending.empty()) {
        INode* child = pending.back();
        pending.pop_back();
        for (int i = child->NumberOfChildren(); i-- > 0;) pending.push_back(child->GetChildNode(i));
        Mtl* m = child->GetMtl();
        std::wstring found;
        if (isWeatherMaterial(m)) found = m->GetName();
        for (int k = 0; m && k < m->NumSubMtls(); ++k)
            if (isWeatherMaterial(m->GetSubMtl(k)))
                found +=
                    (found.empty() ? L"" : L", ") + std::wstring(m->GetSubMtl(k)->GetName()) + L" in " + m->GetName();
        if (!found.empty()) {
            out += std::wstring(child->GetName()) + L": " + found + L"\r\n";
            ++count;
        }
    }
}

// What a weather material that applySnow made leaves of the node's own material: the
// material of the node's ids when the weather sits above them (sub-material 0 of
// "NODE + Tarnwick Snow"), no material when the weather material replaced nothing or all.
// False when `mtl` is none of these, so a user's own material is never taken off.
bool originalInside(Mtl* mtl, Mtl*& original) {
    if (!mtl) return false;
    if (isWeatherMaterial(mtl)) {
        original = nullptr;
        return true;
    }
    if (mtl->ClassID() != kMultiMaterial || mtl->NumSubMtls() < 2) return false;
    const std::wstring name = mtl->GetName();
    bool weather = false;
    for (int k = 1; k < mtl->NumSubMtls(); ++k) weather = weather || isWeatherMaterial(mtl->GetSubMtl(k));
    const bool named = name.size() > 15 && (name.ends_with(L" + Tarnwick Snow") || name.ends_with(L" + Tarnwick Sand"));
    if (!weather || !named || isWeatherMaterial(mtl->GetSubMtl(0))) return false;
    original = mtl->GetSubMtl(0);
    return true;
}

}  // namespace

Mtl* currentOriginal(INode* node) {
    Mtl* original = nullptr;
    if (originalMaterial(node, original)) return original;
    if (originalInside(node->GetMtl(), original)) return original;
    return node->GetMtl();
}

bool isSnowLayerMaterial(Mtl* m) {
    if (!m) return false;
    std::wstring name = m->GetName();
    return name == L"Tarnwick Snow" || name == L"Tarnwick Sand";
}

const std::wstring& layerKind() {
    return gLayerKind;
}

void setLayerKind(const FPValue& kind) {
    if (kind.type != TYPE_STRING || (std::wstring(kind.s) != L"Snow" && std::wstring(kind.s) != L"Sand"))
        throw RuntimeError(L"layerKind is \"Snow\" or \"Sand\", not ", kind);
    gLayerKind = kind.s;
}

std::wstring applyWeatherMaterial(FPParams& p) {
    INode* node = nodeArg(p, 0, L"applySnow");
    const int snowId = intArg(p, 1, L"applySnow");
    const int highest = intArg(p, 2, L"applySnow");
    const bool snowOnly = boolArg(p, 3, L"applySnow");
    if (snowId < 1 || snowId > 65535 || highest < 1 || highest > 65535)
        throw RuntimeError(L"applySnow: material ids must be 1 to 65535");
    if (!snowOnly && snowId <= highest)
        throw RuntimeError(L"applySnow: the snow id must be above the object's highest material id");
    Mtl* original = currentOriginal(node);
    Mtl* weather = weatherMaterial();
    // Snow above the object's ids holds the original itself as its first sub-material, and
    // restore finds it there; snow over the whole object hides it, so it is kept.
    const bool wraps = !snowOnly && original;
    if (original && !wraps) keepOriginalMaterial(node, original);
    node->SetMtl(wraps ? withWeatherAt(node, original, weather, snowId, highest) : weather);
    return std::wstring(weather->GetName()) + (snowOnly ? L" replaces the material of " : L" added at id ") +
           (snowOnly ? std::wstring(node->GetName()) : std::to_wstring(snowId) + L" on " + node->GetName());
}

std::wstring restoreMaterial(FPParams& p) {
    INode* node = nodeArg(p, 0, L"restore");
    Mtl* kept = nullptr;
    if (originalMaterial(node, kept)) {
        node->SetMtl(kept);
        forgetOriginalMaterial(node);
        return L"true";
    }
    if (hasOriginalMaterial(node)) return L"false";  // a record this host cannot make again
    // A scene saved with its weather by an earlier version, without the record: the
    // material says what the node had.
    Mtl* original = nullptr;
    if (!originalInside(node->GetMtl(), original)) return L"false";
    node->SetMtl(original);
    return L"true";
}

std::wstring listWeatherMaterials() {
    std::wstring lines;
    int count = 0;
    listWeather(GetCOREInterface()->GetRootNode(), lines, count);
    if (count == 0) return L"No weather materials in the scene.";
    return std::to_wstring(count) + L" object(s) with weather materials:\r\n" + lines;
}

void resetWeatherMaterials() {
    releaseHeldOriginals();
    gLayerKind = L"Snow";
}

}  // namespace wx
