// Values of the stand-in's script interpreter: one tagged struct for the scalar kinds, shared
// arrays (assignment shares, as the host's arrays are references), and ScriptObject for
// everything with properties (namespaces, structs, scene nodes, plug-in objects).
// Runtime errors travel inside the interpreter as ScriptError and never leave it.
// Values are not thread-safe; the interpreter runs on the main thread only.
// Arrays are reference counted, not collected: an array that ends up holding itself stays
// alive until a script breaks the loop (the host collects such garbage; we do not).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace host::script {

class Interpreter;
class ScriptObject;
struct Value;

enum class Kind { Undefined, Ok, Bool, Int, Float, String, Name, Array, Point, Color, Object, Function };

// Positional arguments in order, keyword arguments by their lower-case name.
struct CallArgs {
    std::vector<Value> positional;
    std::vector<std::pair<std::wstring, Value>> keywords;
    const Value* keyword(const std::wstring& lowerName) const;
};

using NativeFn = std::function<Value(Interpreter&, const CallArgs&)>;

struct Function {
    std::wstring name;
    NativeFn fn;
};

struct Value {
    Kind kind = Kind::Undefined;
    bool b = false;
    int64_t i = 0;  // integers are 32-bit in scripts; kept wrapped to that range
    double f = 0.0;
    std::wstring s;              // string text, or a name without its '#'
    double v[4] = {0, 0, 0, 0};  // point components, or colour r g b a on the 0-255 scale
    int dims = 0;                // 2, 3 or 4 for points
    std::shared_ptr<std::vector<Value>> array;
    std::shared_ptr<ScriptObject> object;
    std::shared_ptr<Function> fn;

    static Value undefined() { return {}; }
    static Value ok();
    static Value boolean(bool b);
    static Value integer(int64_t i);
    static Value number(double f);
    static Value string(std::wstring s);
    static Value name(std::wstring s);
    static Value newArray(std::vector<Value> items = {});
    static Value point(const double* c, int dims);
    static Value color(double r, double g, double b, double a = 255.0);
    static Value of(std::shared_ptr<ScriptObject> o);
    static Value function(std::wstring name, NativeFn fn);

    bool isNumber() const { return kind == Kind::Int || kind == Kind::Float; }
    double asDouble() const { return kind == Kind::Int ? double(i) : f; }
};

// A runtime error: `message` is the full text that getCurrentException() answers.
struct ScriptError : std::runtime_error {
    explicit ScriptError(std::wstring message);
    std::wstring message;
};

// A malformed script; raised before anything runs.
struct SyntaxError : std::runtime_error {
    SyntaxError(std::wstring message, int line, int column);
    std::wstring message;  // includes the line and column
};

// Raises the standard runtime-error texts.
[[noreturn]] void runtimeError(const std::wstring& text);  // "-- Runtime error: text"
[[noreturn]] void typeError(const std::wstring& text);     // "-- Type error: text"
[[noreturn]] void conversionError(const Value& v, const std::wstring& typeName);

// Things with properties. Names reach these functions in lower case, since script names
// are case-insensitive.
class ScriptObject {
public:
    virtual ~ScriptObject() = default;
    virtual std::wstring printed() const = 0;
    // False when the object has no such property.
    virtual bool getProperty(Interpreter& in, const std::wstring& name, Value& out);
    virtual bool setProperty(Interpreter& in, const std::wstring& name, const Value& v);
    // `x as array`; false when the object is not a collection.
    virtual bool asArray(Interpreter& in, Value& out);
    virtual bool sameAs(const ScriptObject& other) const { return this == &other; }
};

// A plain bag of members: namespaces such as maxOps, and struct instances.
class StructObject : public ScriptObject {
public:
    explicit StructObject(std::wstring name) : name_(std::move(name)) {}
    std::wstring printed() const override;
    bool getProperty(Interpreter& in, const std::wstring& name, Value& out) override;
    bool setProperty(Interpreter& in, const std::wstring& name, const Value& v) override;
    // Adds or replaces a member (name in any case).
    void set(const std::wstring& name, Value v);

private:
    std::wstring name_;
    std::vector<std::pair<std::wstring, Value>> members_;  // in declaration order
};

std::wstring lower(std::wstring s);
bool isIdentifier(const std::wstring& s);
// A number the way `as string` and format write it: integers plainly, floats with six
// significant digits and always a decimal point or exponent ("1.0", "0.5", "1e+10").
std::wstring formatFloat(double f);
// `as string` text (strings unquoted, names without '#').
std::wstring toDisplay(const Value& v);
// `print` text (strings quoted with escapes, names with '#'); arrays use it for elements.
std::wstring toPrinted(const Value& v);
std::wstring kindName(const Value& v);
bool valuesEqual(const Value& a, const Value& b);

}  // namespace host::script
