#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "host/class_registry.h"
#include "host/input_file.h"
#include "host/script/interpreter.h"
#include "host/script/scene_values.h"
#include "host/text.h"
#include "host/utility_panel.h"
#include "max/interface.h"

namespace host::script {

namespace {

const Value& argument(const CallArgs& args, size_t k, const wchar_t* function) {
    if (k >= args.positional.size())
        throw ScriptError(L"-- Argument count error: " + std::wstring(function) + L" wanted " + std::to_wstring(k + 1) +
                          L", got " + std::to_wstring(args.positional.size()));
    return args.positional[k];
}

void noKeywords(const CallArgs& args, const wchar_t* function) {
    if (!args.keywords.empty())
        runtimeError(std::wstring(function) + L" takes no keyword argument " + args.keywords.front().first + L":");
}

// Each % takes the next argument's text (strings without quotes). A % with no argument
// left is printed as it is, which is how "\%" (a plain percent in the literal) prints.
Value format(Interpreter& in, const CallArgs& args) {
    if (!args.keywords.empty()) runtimeError(L"format: output streams (to:) are not supported by this host");
    const Value& fmt = argument(args, 0, L"format");
    if (fmt.kind != Kind::String) conversionError(fmt, L"String");
    std::wstring out;
    size_t next = 1;
    for (wchar_t c : fmt.s) {
        if (c == L'%' && next < args.positional.size())
            out += toDisplay(args.positional[next++]);
        else
            out += c;
    }
    in.write(out);
    return Value::ok();
}

Value print(Interpreter& in, const CallArgs& args) {
    noKeywords(args, L"print");
    const Value& v = argument(args, 0, L"print");
    in.write(toPrinted(v) + L"\n");
    return v;
}

Value color(Interpreter&, const CallArgs& args) {
    noKeywords(args, L"color");
    if (args.positional.size() < 3 || args.positional.size() > 4)
        throw ScriptError(L"-- Argument count error: color wanted 3 or 4, got " +
                          std::to_wstring(args.positional.size()));
    double c[4] = {0, 0, 0, 255};
    for (size_t k = 0; k < args.positional.size(); ++k) {
        if (!args.positional[k].isNumber()) conversionError(args.positional[k], L"Float");
        c[k] = args.positional[k].asDouble();
    }
    return Value::color(c[0], c[1], c[2], c[3]);
}

Value raise(Interpreter& in, const CallArgs& args) {
    if (args.positional.empty()) {
        // Bare throw() re-raises the error being handled.
        if (const std::wstring* current = in.currentException()) throw ScriptError(*current);
        runtimeError(L"throw() with no argument outside a catch");
    }
    runtimeError(toDisplay(args.positional[0]));
}

Value currentException(Interpreter& in, const CallArgs&) {
    const std::wstring* current = in.currentException();
    return current ? Value::string(*current) : Value::undefined();
}

Value getNodeByHandle(Interpreter&, const CallArgs& args) {
    const Value& h = argument(args, 0, L"getNodeByHandle");
    if (!h.isNumber() || h.asDouble() != std::floor(h.asDouble())) conversionError(h, L"Integer");
    double d = h.asDouble();
    // Handles are 32-bit and never 0; anything else names no node.
    if (d < 1 || d > 4294967295.0) return Value::undefined();
    return nodeValue(GetCOREInterface()->GetINodeByHandle(ULONG(d)));
}

// Larger script files are refused rather than read into memory.
constexpr size_t kMaxScriptFileBytes = 64 << 20;

const std::wstring& stringArgument(const CallArgs& args, size_t k, const wchar_t* function) {
    const Value& v = argument(args, k, function);
    if (v.kind != Kind::String) conversionError(v, L"String");
    return v.s;
}

// Runs a script file at global scope; `quiet:` only silences the host's progress output.
Value fileIn(Interpreter& in, const CallArgs& args) {
    const std::wstring& path = stringArgument(args, 0, L"fileIn");
    const std::string file = toUtf8(path);
    if (::access(file.c_str(), R_OK) != 0) runtimeError(L"fileIn: cannot open file: " + path);
    // Only a regular file is run: a folder, a device (an endless /dev/zero) or a pipe is
    // refused before a byte is read, and no more than kMaxScriptFileBytes is read.
    std::string text, error;
    if (!host::readInputFile(file, "", text, error, {kMaxScriptFileBytes, true}))
        runtimeError(L"fileIn: " + fromUtf8(error));
    // A malformed file is an error of the calling script, which may catch it.
    try {
        return in.run(fromUtf8(text));
    } catch (const SyntaxError& e) {
        throw ScriptError(e.message);
    }
}

Value runMacro(Interpreter& in, const CallArgs& args) {
    const std::wstring& category = stringArgument(args, 0, L"macros.run");
    const std::wstring& name = stringArgument(args, 1, L"macros.run");
    const Interpreter::Macro* m = in.findMacro(category, name);
    if (!m) runtimeError(L"macros.run: no macroScript " + name + L" in category " + category);
    if (!m->execute) return Value::ok();
    auto tree = m->tree;  // the macro may be redefined while it runs
    in.evaluatePart(tree, *m->execute);
    return Value::ok();
}

// The argument is a class value, as scripts name plug-in classes; a name that no loaded class
// answers to arrives as undefined.
Value openUtility(Interpreter&, const CallArgs& args) {
    const Value& v = argument(args, 0, L"OpenUtility");
    if (v.kind == Kind::Undefined)
        runtimeError(
            L"OpenUtility: that utility class is not loaded (got undefined). Load the plug-in that "
            L"defines it, or check the class name.");
    auto* cls = v.kind == Kind::Object ? dynamic_cast<ClassValue*>(v.object.get()) : nullptr;
    if (!cls || cls->desc()->SuperClassID() != UTILITY_CLASS_ID)
        runtimeError(L"OpenUtility needs a utility plug-in class, got: " + toPrinted(v));
    std::wstring error;
    if (!host::openUtility(cls->desc(), error)) runtimeError(L"OpenUtility: " + error);
    return Value::boolean(true);
}

Value closeUtility(Interpreter&, const CallArgs&) {
    host::closeUtility();
    return Value::ok();
}

// The live selection; `selection as array` takes a snapshot.
class SelectionValue : public ScriptObject {
public:
    std::wstring printed() const override { return L"$selection"; }
    bool getProperty(Interpreter&, const std::wstring& name, Value& out) override {
        if (name != L"count") return false;
        out = Value::integer(GetCOREInterface()->GetSelNodeCount());
        return true;
    }
    bool asArray(Interpreter&, Value& out) override {
        Interface* ip = GetCOREInterface();
        std::vector<Value> nodes;
        for (int k = 0; k < ip->GetSelNodeCount(); ++k) nodes.push_back(nodeValue(ip->GetSelNode(k)));
        out = Value::newArray(std::move(nodes));
        return true;
    }
};

}  // namespace

void registerBuiltins(Interpreter& in) {
    in.defineFunction(L"format", format);
    in.defineFunction(L"print", print);
    in.defineFunction(L"color", color);
    in.defineFunction(L"throw", raise);
    in.defineFunction(L"getCurrentException", currentException);
    in.defineFunction(L"fileIn", fileIn);
    auto macros = std::make_shared<StructObject>(L"macros");
    macros->set(L"run", Value::function(L"run", runMacro));
    in.setGlobal(L"macros", Value::of(macros));
}

void registerSceneBuiltins(Interpreter& in) {
    auto maxOps = std::make_shared<StructObject>(L"maxOps");
    maxOps->set(L"getNodeByHandle", Value::function(L"getNodeByHandle", getNodeByHandle));
    in.setGlobal(L"maxOps", Value::of(maxOps));
    in.setGlobal(L"selection", Value::of(std::make_shared<SelectionValue>()));
    auto panel = std::make_shared<StructObject>(L"UtilityPanel");
    panel->set(L"OpenUtility", Value::function(L"OpenUtility", openUtility));
    panel->set(L"CloseUtility", Value::function(L"CloseUtility", closeUtility));
    in.setGlobal(L"UtilityPanel", Value::of(panel));
}

ClassDesc* openedUtility() {
    return host::openUtilityClass();
}

std::wstring ClassValue::printed() const {
    const MCHAR* internal = desc_->InternalName();
    std::wstring name = internal ? internal : desc_->ClassName();
    std::replace(name.begin(), name.end(), L' ', L'_');
    return name;
}

bool ClassValue::sameAs(const ScriptObject& other) const {
    auto* o = dynamic_cast<const ClassValue*>(&other);
    return o && o->desc_ == desc_;
}

Value classValue(const std::wstring& lowerName) {
    for (ClassDesc* d : classRegistry().all())
        if (const MCHAR* n = d->InternalName(); n && lower(n) == lowerName)
            return Value::of(std::make_shared<ClassValue>(d));
    for (ClassDesc* d : classRegistry().all()) {
        std::wstring scripter = d->ClassName() ? d->ClassName() : L"";
        std::replace(scripter.begin(), scripter.end(), L' ', L'_');
        if (lower(scripter) == lowerName) return Value::of(std::make_shared<ClassValue>(d));
    }
    return Value::undefined();
}

}  // namespace host::script
