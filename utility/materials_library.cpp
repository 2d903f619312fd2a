#include "utility/materials_library.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "host/class_registry.h"
#include "host/script/interpreter.h"
#include "host/script/scene_values.h"
#include "host/std_materials.h"
#include "max/interface.h"
#include "max/maxscript.h"
#include "max/object.h"

namespace wx {

namespace {

using host::script::CallArgs;
using host::script::Interpreter;
using host::script::Kind;
using host::script::runtimeError;
using host::script::Value;

constexpr const wchar_t* kSnowClass = L"TarnwickSnow";

// Materials nodes had before their first weather material, by node handle. A reference
// keeps each one alive after the node lets go of it.
class MaterialKeeper : public ReferenceMaker {
public:
    ~MaterialKeeper() override { DeleteAllRefsFromMe(); }
    int NumRefs() override { return int(kept_.size()); }
    RefTargetHandle GetReference(int i) override { return kept_[size_t(i)].mtl; }
    void SetReference(int i, RefTargetHandle t) override { kept_[size_t(i)].mtl = static_cast<Mtl*>(t); }

    bool has(ULONG handle) const { return find(handle) >= 0; }
    Mtl* original(ULONG handle) const { return kept_[size_t(find(handle))].mtl; }
    void keep(ULONG handle, Mtl* mtl) {
        kept_.push_back({handle, nullptr});
        ReplaceReference(NumRefs() - 1, mtl, FALSE);
    }
    void forget(ULONG handle) {
        int i = find(handle);
        if (i < 0) return;
        ReplaceReference(i, nullptr);  // frees the material when nothing else holds it
        kept_.erase(kept_.begin() + i);
    }
    void clear() {
        DeleteAllRefsFromMe();
        kept_.clear();
    }

private:
    struct Kept {
        ULONG handle;
        Mtl* mtl;
    };
    int find(ULONG handle) const {
        for (size_t i = 0; i < kept_.size(); ++i)
            if (kept_[i].handle == handle) return int(i);
        return -1;
    }
    std::vector<Kept> kept_;
};

// Never destroyed: at exit the host's reference bookkeeping may already be gone.
MaterialKeeper& keeper() {
    static MaterialKeeper* k = new MaterialKeeper;
    return *k;
}

std::wstring gLayerKind = L"Snow";

INode* nodeArg(const CallArgs& a, size_t k, const wchar_t* fn) {
    if (k >= a.positional.size()) runtimeError(std::wstring(fn) + L": a node is needed");
    const Value& v = a.positional[k];
    auto* nv = v.kind == Kind::Object ? dynamic_cast<host::script::NodeValue*>(v.object.get()) : nullptr;
    INode* node = nv ? nv->node() : nullptr;
    if (!node) runtimeError(std::wstring(fn) + L": not a scene node: " + host::script::toPrinted(v));
    return node;
}

int intArg(const CallArgs& a, size_t k, const wchar_t* fn) {
    if (k >= a.positional.size() || a.positional[k].kind != Kind::Int)
        runtimeError(std::wstring(fn) + L": argument " + std::to_wstring(k + 1) + L" must be an integer");
    return int(a.positional[k].i);
}

bool boolArg(const CallArgs& a, size_t k, const wchar_t* fn) {
    if (k >= a.positional.size() || a.positional[k].kind != Kind::Bool)
        runtimeError(std::wstring(fn) + L": argument " + std::to_wstring(k + 1) + L" must be true or false");
    return a.positional[k].b;
}

ClassDesc* snowClass() {
    return host::classRegistry().findByName(kSnowClass);
}

bool isSnow(Modifier* m, ClassDesc* cd) {
    return cd && m && m->ClassID() == cd->ClassID();
}

// addSnow node #(#(#name, value), ...): a new snow modifier on top of the node's
// world-space stack with the pairs set by internal name. Nothing is left on the node
// when a pair is wrong.
Value addSnow(Interpreter&, const CallArgs& a) {
    INode* node = nodeArg(a, 0, L"addSnow");
    if (a.positional.size() < 2 || a.positional[1].kind != Kind::Array)
        runtimeError(L"addSnow: the second argument must be an array of #(#name, value) pairs");
    const auto& pairs = *a.positional[1].array;
    for (const Value& p : pairs)
        if (p.kind != Kind::Array || p.array->size() != 2 || (*p.array)[0].kind != Kind::Name)
            runtimeError(L"addSnow: not a #(#name, value) pair: " + host::script::toPrinted(p));
    ClassDesc* cd = snowClass();
    if (!cd || cd->SuperClassID() != WSM_CLASS_ID)
        runtimeError(L"addSnow: the snow modifier (TarnwickSnow) is not loaded");
    auto* mod = static_cast<Modifier*>(cd->Create(FALSE));
    if (!mod) runtimeError(L"addSnow: the snow modifier could not be created");
    node->AddWSModifier(mod);
    try {
        for (const Value& p : pairs) {
            const std::wstring& name = (*p.array)[0].s;
            if (!host::script::writeParam(mod, host::script::lower(name), (*p.array)[1]))
                runtimeError(L"addSnow: the snow modifier has no parameter " + name);
        }
    } catch (...) {
        node->GetWSMDerivedObject()->DeleteModifier(0);
        throw;
    }
    return Value::string(L"Tarnwick Snow added to " + std::wstring(node->GetName()));
}

Value removeSnow(Interpreter&, const CallArgs& a) {
    INode* node = nodeArg(a, 0, L"removeSnow");
    ClassDesc* cd = snowClass();
    int removed = 0;
    if (IDerivedObject* wsm = node->GetWSMDerivedObject())
        for (int i = wsm->NumModifiers() - 1; i >= 0; --i)
            if (isSnow(wsm->GetModifier(i), cd)) {
                wsm->DeleteModifier(i);
                ++removed;
            }
    return Value::string(std::to_wstring(removed) + L" snow modifier(s) removed from " + node->GetName());
}

Mtl* weatherMaterial() {
    bool sand = gLayerKind == L"Sand";
    return host::createStdMaterial(sand ? L"Tarnwick Sand" : L"Tarnwick Snow",
                                   sand ? Color(0.80f, 0.65f, 0.45f) : Color(0.95f, 0.96f, 1.0f), sand ? 10.0f : 35.0f);
}

// applySnow node snowId highestId snowOnly: ids are 1-based, as scripts show them.
Value applySnow(Interpreter&, const CallArgs& a) {
    INode* node = nodeArg(a, 0, L"applySnow");
    int snowId = intArg(a, 1, L"applySnow");
    int highest = intArg(a, 2, L"applySnow");
    bool snowOnly = boolArg(a, 3, L"applySnow");
    if (snowId < 1 || snowId > 65535 || highest < 1 || highest > 65535)
        runtimeError(L"applySnow: material ids must be 1 to 65535");
    if (!snowOnly && snowId <= highest)
        runtimeError(L"applySnow: the snow id must be above the object's highest material id");
    ULONG h = node->GetHandle();
    if (!keeper().has(h)) keeper().keep(h, node->GetMtl());
    Mtl* original = keeper().original(h);
    Mtl* snow = weatherMaterial();
    if (snowOnly || !original) {
        node->SetMtl(snow);
    } else {
        std::vector<Mtl*> subs;
        std::vector<int> ids;
        for (int id = 0; id < highest; ++id) {
            subs.push_back(original);
            ids.push_back(id);
        }
        subs.push_back(snow);
        ids.push_back(snowId - 1);
        node->SetMtl(host::createMultiMaterial(std::wstring(node->GetName()) + L" + " + snow->GetName(), subs, ids));
    }
    return Value::string(
        std::wstring(snow->GetName()) + (snowOnly ? L" replaces the material of " : L" added at id ") +
        (snowOnly ? std::wstring(node->GetName()) : std::to_wstring(snowId) + L" on " + node->GetName()));
}

// Answers exactly "true" when the node's earlier material was put back.
Value restore(Interpreter&, const CallArgs& a) {
    INode* node = nodeArg(a, 0, L"restore");
    ULONG h = node->GetHandle();
    if (!keeper().has(h)) return Value::string(L"false");
    node->SetMtl(keeper().original(h));
    keeper().forget(h);
    return Value::string(L"true");
}

bool isWeatherMaterial(Mtl* m) {
    if (!m) return false;
    std::wstring name = m->GetName();
    return name == L"Tarnwick Snow" || name == L"Tarnwick Sand";
}

void listWeather(INode* node, std::wstring& out, int& count) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) {
        INode* child = node->GetChildNode(i);
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
        listWeather(child, out, count);
    }
}

// coverDialog(): the scene's objects that carry a weather material, one line each.
Value coverDialog(Interpreter&, const CallArgs&) {
    std::wstring lines;
    int count = 0;
    listWeather(GetCOREInterface()->GetRootNode(), lines, count);
    if (count == 0) return Value::string(L"No weather materials in the scene.");
    return Value::string(std::to_wstring(count) + L" object(s) with weather materials:\r\n" + lines);
}

// paint #(nodes): how each node's snow reads painted weights.
Value paint(Interpreter&, const CallArgs& a) {
    if (a.positional.empty() || a.positional[0].kind != Kind::Array)
        runtimeError(L"paint: the argument must be an array of nodes");
    const auto& items = *a.positional[0].array;
    if (items.empty()) return Value::string(L"Select the objects to paint first.");
    ClassDesc* cd = snowClass();
    std::wstring text;
    for (size_t i = 0; i < items.size(); ++i) {
        CallArgs one;
        one.positional.push_back(items[i]);
        INode* node = nodeArg(one, 0, L"paint");
        Modifier* snow = nullptr;
        if (IDerivedObject* wsm = node->GetWSMDerivedObject())
            for (int k = 0; k < wsm->NumModifiers() && !snow; ++k)
                if (isSnow(wsm->GetModifier(k), cd)) snow = wsm->GetModifier(k);
        std::wstring name = node->GetName();
        if (!snow) {
            text += name + L": no Tarnwick Snow yet; add snow before painting.\r\n";
            continue;
        }
        Value use, channel;
        bool known =
            host::script::readParam(snow, L"usepaint", use) && host::script::readParam(snow, L"paintchannel", channel);
        if (!known || channel.kind != Kind::Int) {
            text += name + L": this snow modifier does not read painted weights.\r\n";
            continue;
        }
        std::wstring where =
            channel.i == 0 ? L"vertex colours (map channel 0)" : L"map channel " + std::to_wstring(channel.i);
        text += name + L": paint " + where + L"; white = snow, black = none. " +
                (use.kind == Kind::Bool && use.b ? L"Painted colour is in use."
                                                 : L"Turn on \"Use painted colour (white = snow)\" to use it.") +
                L"\r\n";
    }
    return Value::string(text);
}

void snowCarriers(INode* node, std::vector<INode*>& out, ClassDesc* cd) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) {
        INode* child = node->GetChildNode(i);
        if (IDerivedObject* wsm = child->GetWSMDerivedObject())
            for (int k = 0; k < wsm->NumModifiers(); ++k)
                if (isSnow(wsm->GetModifier(k), cd)) {
                    out.push_back(child);
                    break;
                }
        snowCarriers(child, out, cd);
    }
}

// bake(): each object carrying snow becomes a new mesh node holding its evaluated world
// state (snow included), and the object loses its snow modifiers.
Value bake(Interpreter&, const CallArgs&) {
    ClassDesc* cd = snowClass();
    std::vector<INode*> nodes;
    Interface* ip = GetCOREInterface();
    snowCarriers(ip->GetRootNode(), nodes, cd);
    if (nodes.empty()) return Value::string(L"Nothing to bake: no object carries Tarnwick Snow.");
    TimeValue t = ip->GetTime();
    std::wstring names, skipped;
    int baked = 0;
    for (INode* node : nodes) {
        const ObjectState& os = node->EvalWorldState(t);
        Object* obj = os.obj;
        if (!obj || !obj->CanConvertToType(triObjectClassID)) {
            skipped += (skipped.empty() ? L"" : L", ") + std::wstring(node->GetName());
            continue;
        }
        Object* converted = obj->ConvertToType(t, triObjectClassID);
        auto* source = static_cast<TriObject*>(converted);
        TriObject* copy = CreateNewTriObject();
        copy->GetMesh() = source->GetMesh();
        if (converted != obj) converted->DeleteThis();
        Matrix3 worldFromObject = node->GetObjTMAfterWSM(t);
        Mesh& mesh = copy->GetMesh();
        for (int v = 0; v < mesh.numVerts; ++v) mesh.verts[v] = mesh.verts[v] * worldFromObject;
        mesh.InvalidateGeomCache();
        INode* result = ip->CreateObjectNode(copy);
        result->SetName((std::wstring(node->GetName()) + L" (baked)").c_str());
        result->SetMtl(node->GetMtl());
        IDerivedObject* wsm = node->GetWSMDerivedObject();
        for (int k = wsm->NumModifiers() - 1; k >= 0; --k)
            if (isSnow(wsm->GetModifier(k), cd)) wsm->DeleteModifier(k);
        names += (names.empty() ? L"" : L", ") + std::wstring(node->GetName());
        ++baked;
    }
    std::wstring text = L"Baked " + std::to_wstring(baked) + L" object(s) into meshes";
    if (baked) text += L": " + names;
    if (!skipped.empty()) text += L"; not a mesh, left as it was: " + skipped;
    return Value::string(text + L".");
}

class Library : public host::script::StructObject {
public:
    Library() : StructObject(L"TWeatherMtl") {
        set(L"addSnow", Value::function(L"addSnow", addSnow));
        set(L"removeSnow", Value::function(L"removeSnow", removeSnow));
        set(L"applySnow", Value::function(L"applySnow", applySnow));
        set(L"restore", Value::function(L"restore", restore));
        set(L"coverDialog", Value::function(L"coverDialog", coverDialog));
        set(L"paint", Value::function(L"paint", paint));
        set(L"bake", Value::function(L"bake", bake));
    }
    bool getProperty(Interpreter& in, const std::wstring& name, Value& out) override {
        if (name == L"layerkind") {
            out = Value::string(gLayerKind);
            return true;
        }
        return StructObject::getProperty(in, name, out);
    }
    bool setProperty(Interpreter& in, const std::wstring& name, const Value& v) override {
        if (name != L"layerkind") return StructObject::setProperty(in, name, v);
        if (v.kind != Kind::String || (v.s != L"Snow" && v.s != L"Sand"))
            runtimeError(L"layerKind is \"Snow\" or \"Sand\", not " + host::script::toPrinted(v));
        gLayerKind = v.s;
        return true;
    }
};

}  // namespace

void installMaterialsLibrary() {
    host::scriptEngine().setGlobal(L"TWeatherMtl", Value::of(std::make_shared<Library>()));
}

void resetMaterialsLibrary() {
    keeper().clear();
    gLayerKind = L"Snow";
}

void uninstallMaterialsLibrary() {
    host::scriptEngine().setGlobal(L"TWeatherMtl", Value());
    resetMaterialsLibrary();
}

}  // namespace wx
