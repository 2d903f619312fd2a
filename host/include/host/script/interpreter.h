// The stand-in host's script interpreter: evaluates parsed scripts against a table of
// globals (session-wide, case-insensitive) and a stack of block scopes. Built-ins (format,
// print, color, throw, getCurrentException, fileIn, macros, maxOps, selection,
// UtilityPanel) are ordinary globals, so plug-ins and tests add their own the same way; an
// undeclared name falls back to a core interface or a plug-in class of that name. Not
// supported: struct and fn definitions, if/for/while, persistent values in scene files.
// Runtime errors are ScriptError inside; run() lets them out for the caller to handle.
// One interpreter per host, used from the main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/script/parser.h"
#include "host/script/value.h"

namespace host::script {

// Runs started by native code while a run is in progress, at most.
constexpr int kMaxNestedRuns = 16;

class Interpreter {
public:
    Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // Parses and runs `text` at global scope and answers the last expression's value.
    // Throws SyntaxError (nothing ran) or ScriptError (an uncaught runtime error).
    Value run(const std::wstring& text);
    // Runs a parsed script at global scope; the tree stays alive while macros need it.
    Value evaluate(std::shared_ptr<const Ast> tree);
    // Runs one node of an already-run script at global scope (a macro's handler).
    Value evaluatePart(std::shared_ptr<const Ast> tree, const Ast& part);

    // Globals by name in any case.
    void setGlobal(const std::wstring& name, Value v);
    bool getGlobal(const std::wstring& name, Value& out) const;
    // Forgets a global, so the name reaches a core interface or class of that name again.
    void removeGlobal(const std::wstring& name);
    void defineFunction(const std::wstring& name, NativeFn fn);

    // What print and format wrote (the listener window).
    const std::wstring& listener() const { return listener_; }
    void write(const std::wstring& text);
    void clearListener() { listener_.clear(); }

    // The error being handled by the innermost running catch; empty outside catches.
    const std::wstring* currentException() const;

    // Action items defined by evaluating macroScript definitions, keyed by category and name.
    struct Macro {
        std::wstring category, name, buttonText, toolTip;
        std::shared_ptr<const Ast> tree;  // keeps the handlers alive
        const Ast* execute = nullptr;     // null when the definition has no execute handler
    };
    const std::vector<Macro>& macros() const { return macros_; }
    const Macro* findMacro(const std::wstring& category, const std::wstring& name) const;

private:
    using Scope = std::map<std::wstring, Value>;

    Value eval(const Ast& a);
    Value evalBlock(const Ast& a);
    Value evalDecl(const Ast& a);
    Value evalAssign(const Ast& a);
    Value evalTry(const Ast& a);
    Value evalCall(const Ast& a);
    Value evalMacroDef(const Ast& a);
    Value lookup(const std::wstring& name);
    void assignVariable(const std::wstring& name, const Value& v);
    Value* findVariable(const std::wstring& name);

    std::map<std::wstring, Value> globals_;
    std::vector<Scope> scopes_;           // block scopes, innermost last; empty at global scope
    std::vector<std::wstring> handling_;  // errors of the running catch handlers
    std::wstring listener_;
    int runDepth_ = 0;
    std::shared_ptr<const Ast> tree_;  // the script running now
    std::vector<Macro> macros_;
};

// Operators and conversions shared by the evaluator and the built-ins.
Value applyBinary(const std::wstring& op, const Value& a, const Value& b);
Value negate(const Value& v);
bool truth(const Value& v);  // conditions must be booleans
Value convertAs(Interpreter& in, const Value& v, const std::wstring& lowerClass);
Value getMember(Interpreter& in, const Value& target, const std::wstring& lowerName);
void setMember(Interpreter& in, Value& target, const std::wstring& lowerName, const Value& v);
// 1-based; an index past the end is a runtime error (assignment grows arrays instead).
Value getIndex(Interpreter& in, const Value& target, const Value& index);
void setIndex(Value& target, const Value& index, const Value& v);

// Registers format, print, color, throw, getCurrentException, fileIn and macros; and the
// scene built-ins (maxOps, selection, UtilityPanel).
void registerBuiltins(Interpreter& in);
void registerSceneBuiltins(Interpreter& in);
// tornadoCommand, the storm helper's script function.
void registerStormBuiltins(Interpreter& in);
// A registered plug-in class by scripter name (any case), as a script value; undefined if none.
Value classValue(const std::wstring& lowerName);

}  // namespace host::script
