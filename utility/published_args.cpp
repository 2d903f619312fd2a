#include "utility/published_args.h"

#include <cmath>
#include <cwctype>
#include <numbers>

#include "max/inode.h"
#include "max/ms_exceptions.h"
#include "max/param_block2.h"

namespace wx {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(std::towlower(wint_t(c)));
    return s;
}

struct ParamRef {
    IParamBlock2* block = nullptr;
    const ParamDef* def = nullptr;
};

ParamRef findParam(Animatable* holder, const std::wstring& name) {
    const std::wstring key = lower(name);
    for (int b = 0; b < holder->NumParamBlocks(); ++b) {
        IParamBlock2* pb = holder->GetParamBlock(b);
        if (!pb) continue;
        ParamBlockDesc2* desc = pb->GetDesc();
        for (int k = 0; k < desc->Count(); ++k)
            if (lower(desc->paramdefs(k).int_name) == key) return {pb, &desc->paramdefs(k)};
    }
    return {};
}

double number(const FPValue& v, const MCHAR* type) {
    if (v.type == TYPE_INT64) return double(v.i64);
    if (v.type == TYPE_DOUBLE) return v.dbl;
    throw ConversionError(v, type);
}

int integer(const FPValue& v) {
    const double d = number(v, L"Integer");
    if (!std::isfinite(d) || std::fabs(d) >= 2147483648.0) throw ConversionError(v, L"Integer");
    return int(d);
}

void writeSlot(IParamBlock2* pb, const ParamDef& def, const FPValue& v, TimeValue t) {
    switch (def.type & ~TYPE_TAB) {
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
            if (v.type == TYPE_BOOL)
                pb->SetValue(def.ID, t, v.i != 0 ? 1 : 0);
            else if (v.type == TYPE_INT64)
                pb->SetValue(def.ID, t, v.i64 != 0 ? 1 : 0);
            else
                throw ConversionError(v, L"BooleanClass");
            return;
        case TYPE_POINT3:
            if (v.type != TYPE_POINT3) throw ConversionError(v, L"Point3");
            pb->SetValue(def.ID, t, *v.p);
            return;
        case TYPE_RGBA:
            if (v.type != TYPE_COLOR) throw ConversionError(v, L"Color");
            pb->SetValue(def.ID, t, Point3(v.clr->r, v.clr->g, v.clr->b));
            return;
        case TYPE_STRING:
        case TYPE_FILENAME:
            if (v.type != TYPE_STRING) throw ConversionError(v, L"String");
            pb->SetValue(def.ID, t, v.s);
            return;
        case TYPE_INODE:
            if (v.type != TYPE_INODE) throw ConversionError(v, L"node");
            pb->SetValue(def.ID, t, v.n);  // undefined arrives as no node and clears it
            return;
        default:
            throw RuntimeError((L"parameter \"" + def.int_name + L"\" cannot be set from a script").c_str());
    }
}

std::wstring argumentText(int k) {
    return std::to_wstring(k + 1);
}

}  // namespace

INode* nodeOf(const FPValue& v, const wchar_t* fn) {
    if (v.type == TYPE_INODE && v.n) return v.n;
    throw RuntimeError((std::wstring(fn) + L": not a scene node: ").c_str(), v);
}

INode* nodeArg(FPParams& p, int k, const wchar_t* fn) {
    if (k >= p.Count()) throw RuntimeError((std::wstring(fn) + L": a node is needed").c_str());
    return nodeOf(p.params[size_t(k)], fn);
}

int intArg(FPParams& p, int k, const wchar_t* fn) {
    if (k >= p.Count() || p.params[size_t(k)].type != TYPE_INT64)
        throw RuntimeError((std::wstring(fn) + L": argument " + argumentText(k) + L" must be an integer").c_str());
    return int(p.params[size_t(k)].i64);
}

float floatArg(FPParams& p, int k, const wchar_t* fn) {
    const FPValue* v = k < p.Count() ? &p.params[size_t(k)] : nullptr;
    const bool numeric = v && (v->type == TYPE_DOUBLE || v->type == TYPE_INT64);
    const double d = !numeric ? 0.0 : v->type == TYPE_DOUBLE ? v->dbl : double(v->i64);
    if (!numeric || !std::isfinite(d))
        throw RuntimeError((std::wstring(fn) + L": argument " + argumentText(k) + L" must be a number").c_str());
    return float(d);
}

bool boolArg(FPParams& p, int k, const wchar_t* fn) {
    if (k >= p.Count() || p.params[size_t(k)].type != TYPE_BOOL)
        throw RuntimeError((std::wstring(fn) + L": argument " + argumentText(k) + L" must be true or false").c_str());
    return p.params[size_t(k)].i != 0;
}

bool isArray(const FPValue& v) {
    return v.type == TYPE_FPVALUE_TAB_BV;
}

bool writeParamByName(Animatable* holder, const std::wstring& name, const FPValue& v, TimeValue t) {
    ParamRef ref = findParam(holder, name);
    if (!ref.block) return false;
    if (IsTabType(ref.def->type))
        throw RuntimeError((L"table parameter \"" + ref.def->int_name + L"\" cannot be set whole").c_str());
    writeSlot(ref.block, *ref.def, v, t);
    return true;
}

ParamReading readParamByName(Animatable* holder, const std::wstring& name, TimeValue t) {
    ParamRef ref = findParam(holder, name);
    ParamReading r;
    if (!ref.block) return r;
    r.found = true;
    if (IsTabType(ref.def->type)) return r;  // an array in scripts
    switch (ref.def->type) {
        case TYPE_INT:
        case TYPE_TIMEVALUE:
        case TYPE_RADIOBTN_INDEX:
            r.isInt = true;
            r.value = ref.block->GetInt(ref.def->ID, t);
            break;
        case TYPE_INDEX:
            r.isInt = true;
            r.value = ref.block->GetInt(ref.def->ID, t) + 1;
            break;
        case TYPE_BOOL:
            r.isBool = true;
            r.value = ref.block->GetInt(ref.def->ID, t) != 0;
            break;
        default:
            break;
    }
    return r;
}

}  // namespace wx
