#include <cmath>
#include <cstring>

#include "host/core_interfaces.h"
#include "host/script/interpreter.h"
#include "host/script/published.h"
#include "host/script/scene_values.h"
#include "max/ms_exceptions.h"

namespace host::script {

namespace {

class InterfaceValue : public ScriptObject {
public:
    InterfaceValue(InterfaceResolver resolve, std::wstring name)
        : resolve_(std::move(resolve)), name_(std::move(name)) {}
    std::wstring printed() const override { return L"<Interface:" + name_ + L">"; }
    bool getProperty(Interpreter&, const std::wstring& name, Value& out) override {
        FPInterface* iface = live();
        const FPInterfaceDesc* desc = iface->GetDesc();
        if (const FPFunctionDef* fn = desc->FindFn(name)) {
            InterfaceResolver resolve = resolve_;
            FunctionID fid = fn->ID;
            out = Value::function(fn->internal_name, [resolve, fid](Interpreter&, const CallArgs& a) {
                return callPublished(resolve, fid, a);
            });
            return true;
        }
        if (const FPPropDef* prop = desc->FindProp(name)) {
            out = callPublished(resolve_, prop->getter_ID, CallArgs{});
            return true;
        }
        return false;
    }
    bool setProperty(Interpreter&, const std::wstring& name, const Value& v) override {
        const FPPropDef* prop = live()->GetDesc()->FindProp(name);
        if (!prop) return false;
        if (prop->setter_ID == FP_NO_FUNCTION) runtimeError(L"property " + prop->internal_name + L" is read-only");
        CallArgs args;
        args.positional.push_back(v);
        callPublished(resolve_, prop->setter_ID, args);
        return true;
    }

private:
    FPInterface* live() const {
        FPInterface* iface = resolve_();
        if (!iface) runtimeError(L"interface " + name_ + L" is no longer available");
        return iface;
    }
    InterfaceResolver resolve_;
    std::wstring name_;
};

// Deeper arrays (a self-holding one, say) reach the function as their printed text.
constexpr int kMaxAnyDepth = 32;

void toAnyFPValue(const Value& v, FPValue& out, int depth) {
    switch (v.kind) {
        case Kind::Undefined:
            out.LoadNode(nullptr);
            return;
        case Kind::Bool:
            out.LoadBool(v.b);
            return;
        case Kind::Int:
            out.LoadInt64(v.i);
            return;
        case Kind::Float:
            out.LoadDouble(v.f);
            return;
        case Kind::String:
            out.LoadString(v.s);
            return;
        case Kind::Name:
            out.LoadName(v.s);
            return;
        case Kind::Array:
            if (depth < kMaxAnyDepth) {
                std::vector<FPValue> items(v.array->size());
                for (size_t k = 0; k < items.size(); ++k) toAnyFPValue((*v.array)[k], items[k], depth + 1);
                out.LoadFPValueTab(std::move(items));
                return;
            }
            break;
        case Kind::Point:
            if (v.dims == 3) {
                out.LoadPoint3(Point3(float(v.v[0]), float(v.v[1]), float(v.v[2])));
                return;
            }
            break;
        case Kind::Color:
            out.LoadColor(Color(float(v.v[0] / 255.0), float(v.v[1] / 255.0), float(v.v[2] / 255.0)));
            return;
        case Kind::Object:
            if (auto* node = dynamic_cast<NodeValue*>(v.object.get()); node && node->node()) {
                out.LoadNode(node->node());
                return;
            }
            break;
        default:
            break;
    }
    out.LoadValueText(toPrinted(v));
}

// Prints as its own text: a value that reached a function without a C++ type.
class PrintedValue : public ScriptObject {
public:
    explicit PrintedValue(std::wstring text) : text_(std::move(text)) {}
    std::wstring printed() const override { return text_; }

private:
    std::wstring text_;
};

// The script value an FPValue came from, for printing it in an error text.
Value printable(const FPValue& v) {
    if (v.type == TYPE_VALUE) return Value::of(std::make_shared<PrintedValue>(v.ValueText()));
    if (v.type != TYPE_FPVALUE_TAB_BV) return fromFPValue(v);
    std::vector<Value> items;
    for (const FPValue& item : *v.fpv_tab) items.push_back(printable(item));
    return Value::newArray(std::move(items));
}

int toInt(const Value& v) {
    if (!v.isNumber()) conversionError(v, L"Integer");
    double d = v.asDouble();
    if (!std::isfinite(d) || std::fabs(d) >= 2147483648.0) conversionError(v, L"Integer");
    return int(d);
}

}  // namespace

void toFPValue(const Value& v, ParamType2 type, FPValue& out) {
    switch (int(type)) {
        case TYPE_INT:
            out.LoadInt(toInt(v));
            return;
        case TYPE_INDEX:
            out.LoadInt(toInt(v) - 1);
            out.type = TYPE_INDEX;
            return;
        case TYPE_FLOAT:
        case TYPE_WORLD:
            if (!v.isNumber()) conversionError(v, L"Float");
            out.LoadFloat(float(v.asDouble()));
            out.type = type;
            return;
        case TYPE_BOOL:
            if (v.kind == Kind::Bool)
                out.LoadBool(v.b);
            else if (v.kind == Kind::Int)
                out.LoadBool(v.i != 0);
            else
                conversionError(v, L"BooleanClass");
            return;
        case TYPE_STRING:
        case TYPE_TSTR:
            if (v.kind != Kind::String) conversionError(v, L"String");
            if (type == TYPE_STRING)
                out.LoadString(v.s);
            else
                out.LoadTSTR(v.s);
            return;
        case TYPE_INODE: {
            if (v.kind == Kind::Undefined) {
                out.LoadNode(nullptr);
                return;
            }
            auto* node = v.kind == Kind::Object ? dynamic_cast<NodeValue*>(v.object.get()) : nullptr;
            if (!node || !node->node()) conversionError(v, L"node");
            out.LoadNode(node->node());
            return;
        }
        case TYPE_POINT3:
            if (v.kind != Kind::Point || v.dims != 3) conversionError(v, L"Point3");
            out.LoadPoint3(Point3(float(v.v[0]), float(v.v[1]), float(v.v[2])));
            return;
        case TYPE_VALUE:
            out.LoadValueText(toPrinted(v));
            return;
        case TYPE_FPVALUE_BV:
            toAnyFPValue(v, out, 0);
            return;
        case TYPE_FPVALUE_TAB_BV:
            if (v.kind != Kind::Array) conversionError(v, L"Array");
            toAnyFPValue(v, out, 0);
            return;
        default:
            runtimeError(L"published functions taking type " + std::to_wstring(int(type)) +
                         L" cannot be called from scripts here");
    }
}

Value fromFPValue(const FPValue& v) {
    switch (int(v.type)) {
        case TYPE_STRING:
            return Value::string(v.s ? v.s : L"");
        case TYPE_TSTR:
            return Value::string(*v.tstr);
        case TYPE_INT:
            return Value::integer(v.i);
        case TYPE_INDEX:
            return Value::integer(int64_t(v.i) + 1);
        case TYPE_FLOAT:
        case TYPE_WORLD:
            return Value::number(v.f);
        case TYPE_BOOL:
            return Value::boolean(v.i != 0);
        case TYPE_INODE:
            return nodeValue(v.n);
        case TYPE_POINT3: {
            double c[3] = {v.p->x, v.p->y, v.p->z};
            return Value::point(c, 3);
        }
        case TYPE_COLOR:
            return Value::color(v.clr->r * 255.0, v.clr->g * 255.0, v.clr->b * 255.0);
        case TYPE_NAME:
            return Value::name(v.s ? v.s : L"");
        case TYPE_INT64:
            return Value::integer(v.i64);
        case TYPE_DOUBLE:
            return Value::number(v.dbl);
        case TYPE_FPVALUE_TAB_BV: {
            std::vector<Value> items;
            for (const FPValue& item : *v.fpv_tab) items.push_back(fromFPValue(item));
            return Value::newArray(std::move(items));
        }
        case TYPE_VOID:
            return Value::ok();
        default:
            return Value::undefined();
    }
}

Value callPublished(const InterfaceResolver& resolve, FunctionID fid, const CallArgs& args) {
    FPInterface* iface = resolve();
    if (!iface) runtimeError(L"the published interface is no longer available");
    const FPInterfaceDesc* desc = iface->GetDesc();
    const FPFunctionDef* def = desc->GetFnDef(fid);
    FPFunctionDef accessor;  // property getters and setters have no function entry of their own
    if (!def) {
        for (const FPPropDef& prop : desc->props) {
            if (prop.getter_ID == fid) {
                accessor.internal_name = prop.internal_name;
                accessor.result_type = prop.prop_type;
            } else if (prop.setter_ID == fid && fid != FP_NO_FUNCTION) {
                accessor.internal_name = prop.internal_name;
                accessor.params.push_back({prop.internal_name, prop.prop_type});
            } else {
                continue;
            }
            accessor.ID = fid;
            def = &accessor;
            break;
        }
    }
    if (!def) runtimeError(L"no published function with id " + std::to_wstring(fid));
    if (!args.keywords.empty())
        runtimeError(def->internal_name + L" takes no keyword argument " + args.keywords.front().first + L":");
    if (args.positional.size() > def->params.size())
        throw ScriptError(L"-- Argument count error: " + def->internal_name + L" wanted " +
                          std::to_wstring(def->params.size()) + L", got " + std::to_wstring(args.positional.size()));
    // Too few arguments pass through: the function finds out when it reads one that is not there.
    FPParams params;
    for (size_t k = 0; k < args.positional.size(); ++k) {
        FPValue v;
        toFPValue(args.positional[k], def->params[k].type, v);
        params.params.append(v);
    }
    FPValue result;
    FPStatus status;
    try {
        status = iface->Invoke(fid, result, &params);
    } catch (const MAXException& e) {
        runtimeError(e.message);
    } catch (const RuntimeError& e) {
        runtimeError(e.text + (e.hasValue ? toPrinted(printable(e.value)) : std::wstring()));
    } catch (const ConversionError& e) {
        throw ScriptError(L"-- Unable to convert: " + toPrinted(printable(e.value)) + L" to type: " + e.typeName);
    } catch (const MaxSDK::Util::OutOfRangeException& e) {
        runtimeError(e.GetMessage());
    } catch (const ScriptError&) {
        throw;
    } catch (const std::exception& e) {
        runtimeError(def->internal_name + L" failed: " + std::wstring(e.what(), e.what() + std::strlen(e.what())));
    }
    if (status == FPS_NO_SUCH_FUNCTION) runtimeError(L"no published function " + def->internal_name);
    if (status != FPS_OK) runtimeError(def->internal_name + L" failed");
    return fromFPValue(result);
}

Value coreInterfaceValue(const std::wstring& lowerName) {
    for (FPInterfaceDesc* d : host::coreInterfaces())
        if (lower(d->internal_name) == lowerName) {
            Interface_ID id = d->GetID();
            return Value::of(std::make_shared<InterfaceValue>([id] { return GetCOREInterface(id); }, d->internal_name));
        }
    return Value::undefined();
}

bool mixinMember(Interpreter& in, Animatable* holder, InterfaceResolver resolve, const std::wstring& name, Value& out) {
    auto* mixin = dynamic_cast<FPMixinInterface*>(holder);
    if (!mixin) return false;
    FPInterfaceDesc* desc = mixin->GetDesc();
    auto value = std::make_shared<InterfaceValue>(std::move(resolve), desc->internal_name);
    if (lower(desc->internal_name) == name) {
        out = Value::of(value);
        return true;
    }
    return value->getProperty(in, name, out);
}

bool setMixinProperty(Interpreter& in, Animatable* holder, const std::wstring& name, const Value& v) {
    auto* mixin = dynamic_cast<FPMixinInterface*>(holder);
    if (!mixin) return false;
    InterfaceValue value([mixin] { return static_cast<FPInterface*>(mixin); }, mixin->GetDesc()->internal_name);
    return value.setProperty(in, name, v);
}

}  // namespace host::script
