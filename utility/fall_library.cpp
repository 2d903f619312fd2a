#include "utility/fall_library.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "fall/fall_params.h"
#include "max/class_directory.h"
#include "max/interface.h"
#include "max/ms_exceptions.h"
#include "max/stdmat.h"
#include "plugin/node_walk.h"
#include "plugin/scene_capture.h"
#include "utility/published_args.h"

namespace wx {

namespace {

constexpr const wchar_t* kFallBaseName = L"Tarnwick Weather";

ClassDesc* fallClass() {
    SubClassList* list = GetCOREInterface()->GetDllDir().ClassDir().GetClassList(GEOMOBJECT_CLASS_ID);
    for (int i = 0; i < list->Count(ACC_ALL); ++i) {
        ClassDesc* cd = (*list)[i].CD();
        if (cd->ClassID() == kWeatherFallClassID) return cd;
    }
    return nullptr;
}

bool isFallNode(INode* node) {
    Object* obj = node->GetObjectRef() ? node->GetObjectRef()->FindBaseObject() : nullptr;
    return obj && obj->ClassID() == kWeatherFallClassID;
}

Point3 pointArg(FPParams& p, int k) {
    if (p.Count() <= k) throw RuntimeError(L"makeFall: the box needs a minimum and a maximum corner");
    if (p.params[k].type != TYPE_POINT3) throw ConversionError(p.params[k], L"Point3");
    return *p.params[k].p;
}

// "Tarnwick Weather" and the first three-digit number no other node uses yet, as the host
// numbers new objects.
std::wstring unusedFallName(INode* self) {
    std::set<std::wstring> names;
    visitNodesParentFirst(GetCOREInterface()->GetRootNode(), [&](INode* n) {
        if (n != self) names.insert(n->GetName());
    });
    for (int n = 1;; ++n) {
        wchar_t number[16];
        std::swprintf(number, 16, L"%03d", n);
        std::wstring name = std::wstring(kFallBaseName) + number;
        if (!names.count(name)) return name;
    }
}

// Rain renders as clear drops; snow and sand take the fall's colour.
Mtl* fallMaterial(bool rain, const Point3& colour) {
    auto* mtl =
        static_cast<StdMat2*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, Class_ID(DMTL_CLASS_ID, 0)));
    if (!mtl) throw RuntimeError(L"makeFall: the host's materials are not available");
    mtl->SetName(rain ? L"Tarnwick Rain" : L"Tarnwick Flakes");
    mtl->SetDiffuse(rain ? Color(0.75f, 0.8f, 0.85f) : Color(colour), 0);
    mtl->SetShininess(rain ? 0.9f : 0.1f, 0);
    return mtl;
}

std::wstring shortNumber(float v) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(v));
    return text;
}

bool isPair(const FPValue& p) {
    return isArray(p) && p.fpv_tab->size() == 2 && (*p.fpv_tab)[0].type == TYPE_NAME;
}

}  // namespace

std::wstring makeFallObject(FPParams& p, TimeValue t) {
    const Point3 lo = pointArg(p, 0), hi = pointArg(p, 1);
    if (p.Count() < 3 || !isArray(p.params[2]))
        throw RuntimeError(L"makeFall: the third argument must be an array of #(#name, value) pairs");
    const std::vector<FPValue>& pairs = *p.params[2].fpv_tab;
    for (const FPValue& pair : pairs)
        if (!isPair(pair)) throw RuntimeError(L"makeFall: not a #(#name, value) pair: ", pair);
    const bool rain = boolArg(p, 3, L"makeFall");
    ClassDesc* cd = fallClass();
    if (!cd) throw RuntimeError(L"makeFall: the fall object (WeatherFall) is not loaded");
    auto* fall = static_cast<Object*>(cd->Create(FALSE));
    if (!fall) throw RuntimeError(L"makeFall: the fall object could not be created");

    Interface* ip = GetCOREInterface();
    INode* node = ip->CreateObjectNode(fall);
    try {
        IParamBlock2* pb = fall->GetParamBlock(0);
        pb->SetValue(kFallWidth, t, std::max(hi.x - lo.x, 0.0f));
        pb->SetValue(kFallLength, t, std::max(hi.y - lo.y, 0.0f));
        pb->SetValue(kFallHeight, t, std::max(hi.z - lo.z, 0.0f));
        for (const FPValue& pair : pairs) {
            const std::wstring name = (*pair.fpv_tab)[0].s;
            if (!writeParamByName(fall, name, (*pair.fpv_tab)[1], t))
                throw RuntimeError((L"makeFall: the fall object has no parameter " + name).c_str());
        }
        node->SetName(unusedFallName(node).c_str());
        Matrix3 tm(1);
        tm.SetTrans(Point3((lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, lo.z));  // the pivot is the base centre
        node->SetNodeTM(t, tm);
        node->SetMtl(fallMaterial(rain, pb->GetPoint3(kFallColor, t)));

        static const wchar_t* const kWhat[] = {L"flakes", L"drops", L"grains"};
        const int type = std::clamp(pb->GetInt(kFallType, t), 0, 2);
        return std::wstring(node->GetName()) + L": " + std::to_wstring(pb->GetInt(kFallCount, t)) + L" " + kWhat[type] +
               L" in a " + shortNumber(pb->GetFloat(kFallWidth, t)) + L" x " +
               shortNumber(pb->GetFloat(kFallLength, t)) + L" x " + shortNumber(pb->GetFloat(kFallHeight, t)) +
               L" volume";
    } catch (...) {
        ip->DeleteNode(node);
        throw;
    }
}

std::wstring removeFallObjects() {
    Interface* ip = GetCOREInterface();
    std::vector<INode*> falls;
    visitNodesParentFirst(ip->GetRootNode(), [&](INode* n) {
        if (isFallNode(n)) falls.push_back(n);
    });
    for (INode* node : falls) ip->DeleteNode(node);
    return std::to_wstring(falls.size());
}

}  // namespace wx
