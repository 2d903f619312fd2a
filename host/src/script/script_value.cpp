#include <cmath>
#include <cstdio>
#include <cwctype>

#include "host/script/value.h"
#include "host/text.h"

namespace host::script {

namespace {

// Arrays may hold themselves (a[1] = a); printing stops descending here.
constexpr int kMaxPrintDepth = 64;

std::wstring printValue(const Value& v, bool quoted, int depth);

// Point and colour components print without a forced decimal point: "[1,2,3]".
std::wstring formatComponent(double f) {
    std::wstring s = formatFloat(f);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, L".0") == 0) s.resize(s.size() - 2);
    return s;
}

std::wstring quote(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        switch (c) {
            case L'"':
                out += L"\\\"";
                break;
            case L'\\':
                out += L"\\\\";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            default:
                out += c;
        }
    }
    return out + L"\"";
}

std::wstring printArray(const Value& v, int depth) {
    if (depth >= kMaxPrintDepth) return L"#(...)";
    std::wstring out = L"#(";
    for (size_t k = 0; k < v.array->size(); ++k) {
        if (k) out += L", ";
        out += printValue((*v.array)[k], true, depth + 1);
    }
    return out + L")";
}

std::wstring printValue(const Value& v, bool quoted, int depth) {
    switch (v.kind) {
        case Kind::Undefined:
            return L"undefined";
        case Kind::Ok:
            return L"OK";
        case Kind::Bool:
            return v.b ? L"true" : L"false";
        case Kind::Int:
            return std::to_wstring(v.i);
        case Kind::Float:
            return formatFloat(v.f);
        case Kind::String:
            return quoted ? quote(v.s) : v.s;
        case Kind::Name:
            return quoted ? L"#" + v.s : v.s;
        case Kind::Array:
            return printArray(v, depth);
        case Kind::Point: {
            std::wstring out = L"[";
            for (int k = 0; k < v.dims; ++k) out += (k ? L"," : L"") + formatComponent(v.v[k]);
            return out + L"]";
        }
        case Kind::Color: {
            std::wstring out = L"(color";
            int n = v.v[3] == 255.0 ? 3 : 4;
            for (int k = 0; k < n; ++k) out += L" " + formatComponent(v.v[k]);
            return out + L")";
        }
        case Kind::Object:
            return v.object->printed();
        case Kind::Function:
            return v.fn->name + L"()";
    }
    return L"undefined";
}

}  // namespace

const Value* CallArgs::keyword(const std::wstring& lowerName) const {
    for (auto& [name, value] : keywords)
        if (name == lowerName) return &value;
    return nullptr;
}

Value Value::ok() {
    Value v;
    v.kind = Kind::Ok;
    return v;
}
Value Value::boolean(bool b) {
    Value v;
    v.kind = Kind::Bool;
    v.b = b;
    return v;
}
Value Value::integer(int64_t i) {
    Value v;
    v.kind = Kind::Int;
    v.i = int64_t(int32_t(uint32_t(uint64_t(i))));  // 32-bit wrap without signed overflow
    return v;
}
Value Value::number(double f) {
    Value v;
    v.kind = Kind::Float;
    v.f = f;
    return v;
}
Value Value::string(std::wstring s) {
    Value v;
    v.kind = Kind::String;
    v.s = std::move(s);
    return v;
}
Value Value::name(std::wstring s) {
    Value v;
    v.kind = Kind::Name;
    v.s = std::move(s);
    return v;
}
Value Value::newArray(std::vector<Value> items) {
    Value v;
    v.kind = Kind::Array;
    v.array = std::make_shared<std::vector<Value>>(std::move(items));
    return v;
}
Value Value::point(const double* c, int dims) {
    Value v;
    v.kind = Kind::Point;
    v.dims = dims;
    for (int k = 0; k < dims; ++k) v.v[k] = c[k];
    return v;
}
Value Value::color(double r, double g, double b, double a) {
    Value v;
    v.kind = Kind::Color;
    v.v[0] = r;
    v.v[1] = g;
    v.v[2] = b;
    v.v[3] = a;
    return v;
}
Value Value::of(std::shared_ptr<ScriptObject> o) {
    Value v;
    v.kind = o ? Kind::Object : Kind::Undefined;
    v.object = std::move(o);
    return v;
}
Value Value::function(std::wstring name, NativeFn fn) {
    Value v;
    v.kind = Kind::Function;
    v.fn = std::make_shared<Function>(Function{std::move(name), std::move(fn)});
    return v;
}

ScriptError::ScriptError(std::wstring text) : std::runtime_error(toUtf8(text)), message(std::move(text)) {}

SyntaxError::SyntaxError(std::wstring text, int line, int column)
    : std::runtime_error(toUtf8(text)),
      message(L"-- Syntax error: at line " + std::to_wstring(line) + L", column " + std::to_wstring(column) + L": " +
              text) {}

void runtimeError(const std::wstring& text) {
    throw ScriptError(L"-- Runtime error: " + text);
}
void typeError(const std::wstring& text) {
    throw ScriptError(L"-- Type error: " + text);
}
void conversionError(const Value& v, const std::wstring& typeName) {
    throw ScriptError(L"-- Unable to convert: " + toPrinted(v) + L" to type: " + typeName);
}

bool ScriptObject::getProperty(Interpreter&, const std::wstring&, Value&) {
    return false;
}
bool ScriptObject::setProperty(Interpreter&, const std::wstring&, const Value&) {
    return false;
}
bool ScriptObject::asArray(Interpreter&, Value&) {
    return false;
}

std::wstring StructObject::printed() const {
    return L"(struct " + name_ + L")";
}

bool StructObject::getProperty(Interpreter&, const std::wstring& name, Value& out) {
    for (auto& [key, value] : members_)
        if (key == name) {
            out = value;
            return true;
        }
    return false;
}

bool StructObject::setProperty(Interpreter&, const std::wstring& name, const Value& v) {
    for (auto& [key, value] : members_)
        if (key == name) {
            value = v;
            return true;
        }
    return false;
}

void StructObject::set(const std::wstring& name, Value v) {
    std::wstring key = lower(name);
    for (auto& [k, value] : members_)
        if (k == key) {
            value = std::move(v);
            return;
        }
    members_.emplace_back(key, std::move(v));
}

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(std::towlower(wint_t(c)));
    return s;
}

bool isIdentifier(const std::wstring& s) {
    if (s.empty() || std::iswdigit(wint_t(s[0]))) return false;
    for (wchar_t c : s)
        if (!(c == L'_' || (c < 128 && std::iswalnum(wint_t(c))))) return false;
    return true;
}

std::wstring formatFloat(double f) {
    if (std::isnan(f)) return L"nan";
    if (std::isinf(f)) return f > 0 ? L"inf" : L"-inf";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.6g", f);
    std::string s = buf;
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    return std::wstring(s.begin(), s.end());
}

std::wstring toDisplay(const Value& v) {
    return printValue(v, false, 0);
}
std::wstring toPrinted(const Value& v) {
    return printValue(v, true, 0);
}

std::wstring kindName(const Value& v) {
    switch (v.kind) {
        case Kind::Undefined:
            return L"UndefinedClass";
        case Kind::Ok:
            return L"OkClass";
        case Kind::Bool:
            return L"BooleanClass";
        case Kind::Int:
            return L"Integer";
        case Kind::Float:
            return L"Float";
        case Kind::String:
            return L"String";
        case Kind::Name:
            return L"Name";
        case Kind::Array:
            return L"Array";
        case Kind::Point:
            return v.dims == 2 ? L"Point2" : v.dims == 3 ? L"Point3" : L"Point4";
        case Kind::Color:
            return L"Color";
        case Kind::Object:
            return L"MAXWrapper";
        case Kind::Function:
            return L"Primitive";
    }
    return L"Value";
}

bool valuesEqual(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) {
        if (a.kind == Kind::Int && b.kind == Kind::Int) return a.i == b.i;
        return a.asDouble() == b.asDouble();
    }
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case Kind::Undefined:
        case Kind::Ok:
            return true;
        case Kind::Bool:
            return a.b == b.b;
        case Kind::String:
            return a.s == b.s;
        case Kind::Name:
            return lower(a.s) == lower(b.s);
        case Kind::Array:
            return a.array == b.array;  // identity, as the host compares arrays
        case Kind::Point:
            if (a.dims != b.dims) return false;
            for (int k = 0; k < a.dims; ++k)
                if (a.v[k] != b.v[k]) return false;
            return true;
        case Kind::Color:
            for (int k = 0; k < 4; ++k)
                if (a.v[k] != b.v[k]) return false;
            return true;
        case Kind::Object:
            return a.object->sameAs(*b.object);
        case Kind::Function:
            return a.fn == b.fn;
        default:
            return false;
    }
}

}  // namespace host::script
