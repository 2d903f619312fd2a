#include <cmath>
#include <numbers>

#include "host/script/interpreter.h"
#include "host/script/published.h"
#include "host/script/scene_values.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_block2.h"

namespace host::script {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

std::wstring nodeText(INode* node) {
    std::wstring name = node->GetName();
    return isIdentifier(name) ? L"$" + name : L"$'" + name + L"'";
}

Object* baseObjectOf(INode* node) {
    Object* obj = node->GetObjectRef();
    return obj ? obj->FindBaseObject() : nullptr;
}

std::vector<Modifier*> modifiersOf(INode* node) {
    std::vector<Modifier*> mods;
    if (IDerivedObject* wsm = node->GetWSMDerivedObject())
        for (int k = 0; k < wsm->NumModifiers(); ++k) mods.push_back(wsm->GetModifier(k));
    return mods;
}

struct ParamRef {
    IParamBlock2* block = nullptr;
    const ParamDef* def = nullptr;
};

ParamRef findParam(Animatable* holder, const std::wstring& lowerName) {
    for (int b = 0; b < holder->NumParamBlocks(); ++b) {
        IParamBlock2* pb = holder->GetParamBlock(b);
        if (!pb) continue;
        ParamBlockDesc2* desc = pb->GetDesc();
        for (int k = 0; k < desc->Count(); ++k)
            if (lower(desc->paramdefs(k).int_name) == lowerName) return {pb, &desc->paramdefs(k)};
    }
    return {};
}

Value readSlot(IParamBlock2* pb, const ParamDef& def, int tab, TimeValue t) {
    int base = def.type & ~TYPE_TAB;
    switch (base) {
        case TYPE_FLOAT:
        case TYPE_WORLD:
        case TYPE_COLOR_CHANNEL:
            return Value::number(pb->GetFloat(def.ID, t, tab));
        case TYPE_ANGLE:
            return Value::number(pb->GetFloat(def.ID, t, tab) * kDegreesPerRadian);
        case TYPE_PCNT_FRAC:
            return Value::number(pb->GetFloat(def.ID, t, tab) * 100.0);
        case TYPE_INT:
        case TYPE_TIMEVALUE:
        case TYPE_RADIOBTN_INDEX:
            return Value::integer(pb->GetInt(def.ID, t, tab));
        case TYPE_INDEX:
            return Value::integer(int64_t(pb->GetInt(def.ID, t, tab)) + 1);
        case TYPE_BOOL:
            return Value::boolean(pb->GetInt(def.ID, t, tab) != 0);
        case TYPE_RGBA: {
            Point3 c = pb->GetPoint3(def.ID, t, tab);
            return Value::color(c.x * 255.0, c.y * 255.0, c.z * 255.0);
        }
        case TYPE_POINT3: {
            Point3 p = pb->GetPoint3(def.ID, t, tab);
            double c[3] = {p.x, p.y, p.z};
            return Value::point(c, 3);
        }
        case TYPE_STRING:
        case TYPE_FILENAME: {
            const MCHAR* s = pb->GetStr(def.ID, t, tab);
            return Value::string(s ? s : L"");
        }
        case TYPE_INODE:
            return nodeValue(pb->GetINode(def.ID, t, tab));
        default:
            return Value::undefined();  // materials and maps have no script wrapper here
    }
}

double number(const Value& v, const wchar_t* type) {
    if (!v.isNumber()) conversionError(v, type);
    return v.asDouble();
}

int integer(const Value& v) {
    double d = number(v, L"Integer");
    if (!std::isfinite(d) || std::fabs(d) >= 2147483648.0) conversionError(v, L"Integer");
    return int(d);
}

void writeSlot(IParamBlock2* pb, const ParamDef& def, const Value& v, TimeValue t) {
    int base = def.type & ~TYPE_TAB;
    switch (base) {
        case TYPE_FLOAT:
        case TYPE_WORLD:
        case TYPE_COLOR_CHANNEL:
            pb->SetValue(def.ID, t, float(number(v, L"Float")));
            return;
        case TYPE_ANGLE:
            pb->SetValue(def.ID, t, float(number(v, L"Float") / kDegreesPerRadian));
            return;
        case TYPE_PCNT_FRAC:
            pb->SetValue(def.ID, t, float(number(v, L"Float") / 100.0));
            return;
        case TYPE_INT:
        case TYPE_TIMEVALUE:
        case TYPE_RADIOBTN_INDEX:
            pb->SetValue(def.ID, t, integer(v));
            return;
        case TYPE_INDEX:
            pb->SetValue(def.ID, t, integer(v) - 1);
            return;
        case TYPE_BOOL:
            if (v.kind == Kind::Bool)
                pb->SetValue(def.ID, t, v.b ? 1 : 0);
            else if (v.kind == Kind::Int)
                pb->SetValue(def.ID, t, v.i != 0 ? 1 : 0);
            else
                conversionError(v, L"BooleanClass");
            return;
        case TYPE_RGBA:
            if (v.kind != Kind::Color) conversionError(v, L"Color");
            pb->SetValue(def.ID, t, Point3(float(v.v[0] / 255.0), float(v.v[1] / 255.0), float(v.v[2] / 255.0)));
            return;
        case TYPE_POINT3:
            if (v.kind != Kind::Point || v.dims != 3) conversionError(v, L"Point3");
            pb->SetValue(def.ID, t, Point3(float(v.v[0]), float(v.v[1]), float(v.v[2])));
            return;
        case TYPE_STRING:
        case TYPE_FILENAME:
            if (v.kind != Kind::String) conversionError(v, L"String");
            pb->SetValue(def.ID, t, v.s.c_str());
            return;
        case TYPE_INODE: {
            if (v.kind == Kind::Undefined) {
                pb->SetValue(def.ID, t, static_cast<INode*>(nullptr));
                return;
            }
            auto* nv = v.kind == Kind::Object ? dynamic_cast<NodeValue*>(v.object.get()) : nullptr;
            INode* node = nv ? nv->node() : nullptr;
            if (!node) conversionError(v, L"node");
            pb->SetValue(def.ID, t, node);
            return;
        }
        default:
            runtimeError(L"parameter \"" + def.int_name + L"\" cannot be set from a script");
    }
}

// Finds the mixin interface of the object again at each call.
InterfaceResolver mixinResolver(ULONG handle, const Animatable* target) {
    return [handle, target]() -> FPInterface* {
        Animatable* a = ParamHolderValue(handle, target).resolve();
        return a ? dynamic_cast<FPMixinInterface*>(a) : nullptr;
    };
}

[[noreturn]] void deleted() {
    runtimeError(L"Attempt to access deleted scene object");
}

}  // namespace

bool readParam(Animatable* holder, const std::wstring& lowerName, Value& out) {
    ParamRef ref = findParam(holder, lowerName);
    if (!ref.block) return false;
    TimeValue t = GetCOREInterface()->GetTime();
    if (IsTabType(ref.def->type)) {
        std::vector<Value> items;
        for (int k = 0; k < ref.block->Count(ref.def->ID); ++k) items.push_back(readSlot(ref.block, *ref.def, k, t));
        out = Value::newArray(std::move(items));
    } else {
        out = readSlot(ref.block, *ref.def, 0, t);
    }
    return true;
}

bool writeParam(Animatable* holder, const std::wstring& lowerName, const Value& v) {
    ParamRef ref = findParam(holder, lowerName);
    if (!ref.block) return false;
    if (IsTabType(ref.def->type)) runtimeError(L"table parameter \"" + ref.def->int_name + L"\" cannot be set whole");
    writeSlot(ref.block, *ref.def, v, GetCOREInterface()->GetTime());
    return true;
}

Value nodeValue(INode* node) {
    return node ? Value::of(std::make_shared<NodeValue>(node->GetHandle())) : Value::undefined();
}

INode* NodeValue::node() const {
    return GetCOREInterface()->GetINodeByHandle(handle_);
}

std::wstring NodeValue::printed() const {
    INode* n = node();
    return n ? nodeText(n) : L"<Deleted scene node>";
}

bool NodeValue::getProperty(Interpreter& in, const std::wstring& name, Value& out) {
    INode* n = node();
    if (!n) deleted();
    if (name == L"name")
        out = Value::string(n->GetName());
    else if (name == L"handle")
        out = Value::integer(int64_t(n->GetHandle()));
    else if (name == L"inode")
        out = nodeValue(n);  // node.inode.handle reaches the node's own handle
    else if (name == L"isselected")
        out = Value::boolean(n->Selected() != 0);
    else if (name == L"ishidden")
        out = Value::boolean(n->IsNodeHidden() != 0);
    else if (name == L"baseobject") {
        Object* base = baseObjectOf(n);
        out = base ? Value::of(std::make_shared<ParamHolderValue>(handle_, base)) : Value::undefined();
    } else if (name == L"modifiers") {
        std::vector<Value> mods;
        for (Modifier* m : modifiersOf(n)) mods.push_back(Value::of(std::make_shared<ParamHolderValue>(handle_, m)));
        out = Value::newArray(std::move(mods));
    } else {
        // Like the host, a node answers for its base object's parameters.
        Object* base = baseObjectOf(n);
        return base && (readParam(base, name, out) || mixinMember(in, base, mixinResolver(handle_, base), name, out));
    }
    return true;
}

bool NodeValue::setProperty(Interpreter& in, const std::wstring& name, const Value& v) {
    INode* n = node();
    if (!n) deleted();
    if (name == L"name") {
        if (v.kind != Kind::String) conversionError(v, L"String");
        n->SetName(v.s.c_str());
        return true;
    }
    if (name == L"ishidden") {
        n->Hide(truth(v) ? TRUE : FALSE);
        return true;
    }
    Object* base = baseObjectOf(n);
    return base && (writeParam(base, name, v) || setMixinProperty(in, base, name, v));
}

bool NodeValue::sameAs(const ScriptObject& other) const {
    auto* o = dynamic_cast<const NodeValue*>(&other);
    return o && o->handle_ == handle_;
}

Animatable* ParamHolderValue::resolve() const {
    INode* n = GetCOREInterface()->GetINodeByHandle(handle_);
    if (!n) return nullptr;
    if (Object* base = baseObjectOf(n); base == target_) return base;
    for (Modifier* m : modifiersOf(n))
        if (m == target_) return m;
    return nullptr;
}

std::wstring ParamHolderValue::printed() const {
    Animatable* a = resolve();
    if (!a) return L"<Deleted scene object>";
    MSTR name;
    a->GetClassName(name, false);
    return name + L":" + name;
}

bool ParamHolderValue::getProperty(Interpreter& in, const std::wstring& name, Value& out) {
    Animatable* a = resolve();
    if (!a) deleted();
    return readParam(a, name, out) || mixinMember(in, a, mixinResolver(handle_, target_), name, out);
}

bool ParamHolderValue::setProperty(Interpreter& in, const std::wstring& name, const Value& v) {
    Animatable* a = resolve();
    if (!a) deleted();
    return writeParam(a, name, v) || setMixinProperty(in, a, name, v);
}

bool ParamHolderValue::sameAs(const ScriptObject& other) const {
    auto* o = dynamic_cast<const ParamHolderValue*>(&other);
    return o && o->handle_ == handle_ && o->target_ == target_;
}

}  // namespace host::script
