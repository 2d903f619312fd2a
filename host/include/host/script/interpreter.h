// The stand-in host's script interpreter: evaluates parsed scripts against a table of
// globals (session-wide, case-insensitive) and a stack of block scopes. Built-in functions
// and namespaces (format, print, color, throw, getCurrentException, maxOps, selection) are
// ordinary globals, so plug-ins and tests can add their own the same way. Runtime errors
// are ScriptError inside; run() lets them out for the caller to turn into results.
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
    Value evaluate(const Ast& tree);

    // Globals by name in any case.
    void setGlobal(const std::wstring& name, Value v);
    bool getGlobal(const std::wstring& name, Value& out) const;
    void defineFunction(const std::wstring& name, NativeFn fn);

    // What print and format wrote (the listener window).
    const std::wstring& listener() const { return listener_; }
    void write(const std::wstring& text);
    void clearListener() { listener_.clear(); }

    // The error being handled by the innermost running catch; empty outside catches.
    const std::wstring* currentException() const;

private:
    using Scope = std::map<std::wstring, Value>;

    Value eval(const Ast& a);
    Value evalBlock(const Ast& a);
    Value evalDecl(const Ast& a);
    Value evalAssign(const Ast& a);
    Value evalTry(const Ast& a);
    Value evalCall(const Ast& a);
    Value lookup(const std::wstring& name);
    void assignVariable(const std::wstring& name, const Value& v);
    Value* findVariable(const std::wstring& name);

    std::map<std::wstring, Value> globals_;
    std::vector<Scope> scopes_;           // block scopes, innermost last; empty at global scope
    std::vector<std::wstring> handling_;  // errors of the running catch handlers
    std::wstring listener_;
    int runDepth_ = 0;
};

// Operators and conversions shared by the evaluator and the built-ins.
Value applyBinary(const std::wstring& op, const Value& a, const Value& b);
Value negate(const Value& v);
bool truth(const Value& v);  // conditions must be booleans
Value convertAs(Interpreter& in, const Value& v, const std::wstring& lowerClass);
Value getMember(Interpreter& in, const Value& target, const std::wstring& lowerName);
void setMember(Interpreter& in, Value& target, const std::wstring& lowerName, const Value& v);
Value getIndex(const Value& target, const Value& index);
void setIndex(Value& target, const Value& index, const Value& v);

// Registers format, print, color, throw, getCurrentException and the scene built-ins.
void registerBuiltins(Interpreter& in);
void registerSceneBuiltins(Interpreter& in);

}  // namespace host::script
