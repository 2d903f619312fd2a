#include <cmath>
#include <cstdlib>

#include "host/script/interpreter.h"

namespace host::script {

namespace {

// Index assignment grows arrays; past this the script is wrong, not the memory short.
constexpr int64_t kMaxArrayLength = 1000000;
// Likewise for strings (characters): `s = s + s` twenty-five times is already past it.
constexpr size_t kMaxStringLength = size_t(1) << 24;

[[noreturn]] void stringTooLong(size_t length) {
    runtimeError(L"String too long: " + std::to_wstring(length) + L" characters (at most " +
                 std::to_wstring(kMaxStringLength) + L")");
}

Value boundedString(std::wstring s) {
    if (s.size() > kMaxStringLength) stringTooLong(s.size());
    return Value::string(std::move(s));
}

[[noreturn]] void noFunction(const std::wstring& op, const Value& a) {
    throw ScriptError(L"-- No \"" + op + L"\" function for " + toPrinted(a));
}

Value numeric(const std::wstring& op, const Value& a, const Value& b) {
    if (a.kind == Kind::Int && b.kind == Kind::Int) {
        int64_t x = a.i, y = b.i;
        if (op == L"+") return Value::integer(x + y);
        if (op == L"-") return Value::integer(x - y);
        if (op == L"*") return Value::integer(x * y);
        if (op == L"/") {
            if (y == 0) runtimeError(L"Integer divide by zero");
            return Value::integer(x / y);
        }
        if (op == L"^" && y >= 0) {
            double p = std::pow(double(x), double(y));
            if (std::fabs(p) <= 2147483647.0) return Value::integer(int64_t(p));
            return Value::number(p);
        }
    }
    double x = a.asDouble(), y = b.asDouble();
    if (op == L"+") return Value::number(x + y);
    if (op == L"-") return Value::number(x - y);
    if (op == L"*") return Value::number(x * y);
    if (op == L"/") return Value::number(x / y);
    return Value::number(std::pow(x, y));
}

Value componentwise(const std::wstring& op, const Value& a, const Value& b) {
    Value r = a;
    int n = a.kind == Kind::Point ? a.dims : 4;
    for (int k = 0; k < n; ++k) {
        double y = b.isNumber() ? b.asDouble() : b.v[k];
        double x = a.v[k];
        r.v[k] = op == L"+" ? x + y : op == L"-" ? x - y : op == L"*" ? x * y : x / y;
    }
    return r;
}

int64_t indexOf(const Value& index) {
    if (!index.isNumber()) conversionError(index, L"Integer");
    double d = index.asDouble();
    if (d != std::floor(d)) conversionError(index, L"Integer");
    if (d < 1) runtimeError(L"Array index must be positive: " + toDisplay(index));
    return d > 9e15 ? int64_t(9e15) : int64_t(d);
}

}  // namespace

bool truth(const Value& v) {
    if (v.kind != Kind::Bool) typeError(L"Need boolean, got: " + toPrinted(v));
    return v.b;
}

Value negate(const Value& v) {
    if (v.kind == Kind::Int) return Value::integer(-v.i);
    if (v.kind == Kind::Float) return Value::number(-v.f);
    if (v.kind == Kind::Point) return componentwise(L"*", v, Value::number(-1));
    noFunction(L"-", v);
}

Value applyBinary(const std::wstring& op, const Value& a, const Value& b) {
    if (op == L"==") return Value::boolean(valuesEqual(a, b));
    if (op == L"!=") return Value::boolean(!valuesEqual(a, b));
    if (op == L"<" || op == L">" || op == L"<=" || op == L">=") {
        int c;
        if (a.isNumber() && b.isNumber()) {
            double x = a.asDouble(), y = b.asDouble();
            c = x < y ? -1 : x > y ? 1 : 0;
        } else if (a.kind == Kind::String && b.kind == Kind::String) {
            c = a.s.compare(b.s);
        } else {
            noFunction(op, a);
        }
        bool r = op == L"<" ? c < 0 : op == L">" ? c > 0 : op == L"<=" ? c <= 0 : c >= 0;
        return Value::boolean(r);
    }
    if (a.isNumber() && b.isNumber()) return numeric(op, a, b);
    if (a.kind == Kind::String && op == L"+") {
        if (b.kind != Kind::String) conversionError(b, L"String");
        if (a.s.size() + b.s.size() > kMaxStringLength) stringTooLong(a.s.size() + b.s.size());
        return Value::string(a.s + b.s);
    }
    bool samePoints = a.kind == Kind::Point && b.kind == Kind::Point && a.dims == b.dims;
    bool colours = a.kind == Kind::Color && b.kind == Kind::Color;
    if ((samePoints || colours) && (op == L"+" || op == L"-" || op == L"*")) return componentwise(op, a, b);
    if ((a.kind == Kind::Point || a.kind == Kind::Color) && b.isNumber() && (op == L"*" || op == L"/"))
        return componentwise(op, a, b);
    if (a.isNumber() && (b.kind == Kind::Point || b.kind == Kind::Color) && op == L"*") return componentwise(op, b, a);
    noFunction(op, a);
}

Value convertAs(Interpreter& in, const Value& v, const std::wstring& cls) {
    if (cls == L"string") return boundedString(toDisplay(v));
    if (cls == L"integer") {
        if (v.kind == Kind::Int) return v;
        if (v.kind == Kind::Float && std::isfinite(v.f) && std::fabs(v.f) < 2147483648.0)
            return Value::integer(int64_t(v.f));
        if (v.kind == Kind::String) {
            std::wstring s = v.s;
            wchar_t* end = nullptr;
            double d = std::wcstod(s.c_str(), &end);
            if (!s.empty() && end && *end == 0 && std::isfinite(d) && std::fabs(d) < 2147483648.0)
                return Value::integer(int64_t(d));
            return Value::undefined();  // the host answers undefined for text that is no number
        }
        conversionError(v, L"Integer");
    }
    if (cls == L"float") {
        if (v.isNumber()) return Value::number(v.asDouble());
        if (v.kind == Kind::String) {
            wchar_t* end = nullptr;
            double d = std::wcstod(v.s.c_str(), &end);
            if (!v.s.empty() && end && *end == 0) return Value::number(d);
            return Value::undefined();
        }
        conversionError(v, L"Float");
    }
    if (cls == L"name") {
        if (v.kind == Kind::String || v.kind == Kind::Name) return Value::name(v.s);
        conversionError(v, L"Name");
    }
    if (cls == L"array") {
        if (v.kind == Kind::Array) return Value::newArray(*v.array);
        Value out;
        if (v.kind == Kind::Object && v.object->asArray(in, out)) return out;
        conversionError(v, L"Array");
    }
    if (cls == L"booleanclass") {
        if (v.kind == Kind::Bool) return v;
        conversionError(v, L"BooleanClass");
    }
    throw ScriptError(L"-- Unable to convert: " + toPrinted(v) + L" to type: " + cls);
}

Value getMember(Interpreter& in, const Value& target, const std::wstring& name) {
    static const wchar_t* const pointNames[] = {L"x", L"y", L"z", L"w"};
    static const wchar_t* const colourNames[] = {L"r", L"g", L"b", L"a"};
    if (target.kind == Kind::Point)
        for (int k = 0; k < target.dims; ++k)
            if (name == pointNames[k]) return Value::number(target.v[k]);
    if (target.kind == Kind::Color)
        for (int k = 0; k < 4; ++k)
            if (name == colourNames[k]) return Value::number(target.v[k]);
    if (name == L"count") {
        if (target.kind == Kind::Array) return Value::integer(int64_t(target.array->size()));
        if (target.kind == Kind::String) return Value::integer(int64_t(target.s.size()));
    }
    Value out;
    if (target.kind == Kind::Object && target.object->getProperty(in, name, out)) return out;
    throw ScriptError(L"-- Unknown property: \"" + name + L"\" in " + toPrinted(target));
}

void setMember(Interpreter& in, Value& target, const std::wstring& name, const Value& v) {
    static const wchar_t* const pointNames[] = {L"x", L"y", L"z", L"w"};
    static const wchar_t* const colourNames[] = {L"r", L"g", L"b", L"a"};
    if (target.kind == Kind::Point || target.kind == Kind::Color) {
        int n = target.kind == Kind::Point ? target.dims : 4;
        for (int k = 0; k < n; ++k)
            if (name == (target.kind == Kind::Point ? pointNames[k] : colourNames[k])) {
                if (!v.isNumber()) conversionError(v, L"Float");
                target.v[k] = v.asDouble();
                return;
            }
    }
    if (target.kind == Kind::Object && target.object->setProperty(in, name, v)) return;
    throw ScriptError(L"-- Unknown property: \"" + name + L"\" in " + toPrinted(target));
}

Value getIndex(Interpreter& in, const Value& target, const Value& index) {
    if (target.kind == Kind::Array) {
        int64_t i = indexOf(index);
        if (i > int64_t(target.array->size()))
            runtimeError(L"Array index out of range: " + toDisplay(index) + L" (count " +
                         std::to_wstring(target.array->size()) + L")");
        return (*target.array)[size_t(i - 1)];
    }
    if (target.kind == Kind::String) {
        int64_t i = indexOf(index);
        if (i > int64_t(target.s.size())) runtimeError(L"Index out of range: " + toDisplay(index));
        return Value::string(target.s.substr(size_t(i - 1), 1));
    }
    // Collections (the selection) index their snapshot, so `selection[1]` is
    // `(selection as array)[1]`.
    Value items;
    if (target.kind == Kind::Object && target.object->asArray(in, items) && items.kind == Kind::Array)
        return getIndex(in, items, index);
    throw ScriptError(L"-- No \"get\" function for " + toPrinted(target));
}

void setIndex(Value& target, const Value& index, const Value& v) {
    if (target.kind != Kind::Array) throw ScriptError(L"-- No \"put\" function for " + toPrinted(target));
    int64_t i = indexOf(index);
    if (i > kMaxArrayLength) runtimeError(L"Array index too large: " + toDisplay(index));
    if (i > int64_t(target.array->size())) target.array->resize(size_t(i));
    (*target.array)[size_t(i - 1)] = v;
}

}  // namespace host::script
