#include "host/script/interpreter.h"
#include "host/script/published.h"

namespace host::script {

Interpreter::Interpreter() {
    registerBuiltins(*this);
    registerSceneBuiltins(*this);
    registerStormBuiltins(*this);
}

Value Interpreter::run(const std::wstring& text) {
    return evaluate(parseScript(text));
}

Value Interpreter::evaluate(std::shared_ptr<const Ast> tree) {
    const Ast& root = *tree;
    return evaluatePart(std::move(tree), root);
}

Value Interpreter::evaluatePart(std::shared_ptr<const Ast> tree, const Ast& part) {
    // A run starts at global scope. A native function may run a script while its caller's
    // script is still running, so the caller's scopes are set aside and put back after.
    if (runDepth_ >= kMaxNestedRuns) runtimeError(L"scripts started from scripts nested too deeply");
    struct SetAside {
        Interpreter& in;
        std::vector<Scope> scopes;
        std::vector<std::wstring> handling;
        std::shared_ptr<const Ast> tree;
        explicit SetAside(Interpreter& in)
            : in(in), scopes(std::move(in.scopes_)), handling(std::move(in.handling_)), tree(in.tree_) {
            in.scopes_.clear();
            in.handling_.clear();
            ++in.runDepth_;
        }
        ~SetAside() {
            in.scopes_ = std::move(scopes);
            in.handling_ = std::move(handling);
            in.tree_ = std::move(tree);
            --in.runDepth_;
        }
    } aside(*this);
    tree_ = std::move(tree);
    return eval(part);
}

void Interpreter::setGlobal(const std::wstring& name, Value v) {
    globals_[lower(name)] = std::move(v);
}

bool Interpreter::getGlobal(const std::wstring& name, Value& out) const {
    auto it = globals_.find(lower(name));
    if (it == globals_.end()) return false;
    out = it->second;
    return true;
}

void Interpreter::removeGlobal(const std::wstring& name) {
    globals_.erase(lower(name));
}

void Interpreter::defineFunction(const std::wstring& name, NativeFn fn) {
    setGlobal(name, Value::function(name, std::move(fn)));
}

void Interpreter::write(const std::wstring& text) {
    listener_ += text;
}

const std::wstring* Interpreter::currentException() const {
    return handling_.empty() ? nullptr : &handling_.back();
}

Value* Interpreter::findVariable(const std::wstring& name) {
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
        auto found = it->find(name);
        if (found != it->end()) return &found->second;
    }
    auto g = globals_.find(name);
    return g == globals_.end() ? nullptr : &g->second;
}

// Undeclared names read as undefined, as in the host; only calling them is an error.
// Core interfaces and registered plug-in classes are globals by their script names.
Value Interpreter::lookup(const std::wstring& name) {
    Value* v = findVariable(name);
    if (v) return *v;
    Value found = coreInterfaceValue(name);
    return found.kind != Kind::Undefined ? found : classValue(name);
}

// An undeclared name becomes a global at top level and a local of the innermost block
// inside one.
void Interpreter::assignVariable(const std::wstring& name, const Value& v) {
    if (Value* existing = findVariable(name)) {
        *existing = v;
    } else if (scopes_.empty()) {
        globals_[name] = v;
    } else {
        scopes_.back()[name] = v;
    }
}

Value Interpreter::eval(const Ast& a) {
    switch (a.op) {
        case Op::Literal:
            return a.value;
        case Op::Var:
            return lookup(a.name);
        case Op::MacroDef:
            return evalMacroDef(a);
        case Op::Decl:
            return evalDecl(a);
        case Op::Assign:
            return evalAssign(a);
        case Op::Try:
            return evalTry(a);
        case Op::Block:
            return evalBlock(a);
        case Op::Call:
            return evalCall(a);
        case Op::Member:
            return getMember(*this, eval(*a.kids[0]), a.name);
        case Op::Index: {
            Value target = eval(*a.kids[0]);
            return getIndex(*this, target, eval(*a.kids[1]));
        }
        case Op::Binary: {
            Value left = eval(*a.kids[0]);
            return applyBinary(a.text, left, eval(*a.kids[1]));
        }
        case Op::Negate:
            return negate(eval(*a.kids[0]));
        case Op::Not:
            return Value::boolean(!truth(eval(*a.kids[0])));
        case Op::And:
            return Value::boolean(truth(eval(*a.kids[0])) && truth(eval(*a.kids[1])));
        case Op::Or:
            return Value::boolean(truth(eval(*a.kids[0])) || truth(eval(*a.kids[1])));
        case Op::As:
            return convertAs(*this, eval(*a.kids[0]), a.name);
        case Op::ArrayLit: {
            std::vector<Value> items;
            items.reserve(a.kids.size());
            for (auto& k : a.kids) items.push_back(eval(*k));
            return Value::newArray(std::move(items));
        }
        case Op::PointLit: {
            double c[4];
            for (size_t k = 0; k < a.kids.size(); ++k) {
                Value v = eval(*a.kids[k]);
                if (!v.isNumber()) conversionError(v, L"Float");
                c[k] = v.asDouble();
            }
            return Value::point(c, int(a.kids.size()));
        }
    }
    return Value::undefined();
}

Value Interpreter::evalBlock(const Ast& a) {
    bool scoped = a.text != L"script";
    if (scoped) scopes_.emplace_back();
    struct Pop {
        Interpreter& in;
        bool scoped;
        size_t depth;
        ~Pop() {
            if (scoped && in.scopes_.size() >= depth) in.scopes_.resize(depth - 1);
        }
    } pop{*this, scoped, scopes_.size()};
    Value last;
    for (auto& k : a.kids) last = eval(*k);
    return last;
}

Value Interpreter::evalDecl(const Ast& a) {
    bool global = a.text == L"global";
    Value last;
    for (size_t k = 0; k < a.names.size(); ++k) {
        const std::wstring& name = a.names[k];
        if (global) {
            // Re-declaring without an initialiser keeps the value; a local of the same name
            // would hide the global, so the declaration drops it.
            for (auto& scope : scopes_) scope.erase(name);
            auto it = globals_.find(name);
            if (a.kids[k])
                globals_[name] = eval(*a.kids[k]);
            else if (it == globals_.end())
                globals_[name] = Value::undefined();
            last = globals_[name];
        } else {
            Value v = a.kids[k] ? eval(*a.kids[k]) : Value::undefined();
            if (scopes_.empty())
                globals_[name] = v;
            else
                scopes_.back()[name] = v;
            last = v;
        }
    }
    return last;
}

Value Interpreter::evalAssign(const Ast& a) {
    const Ast& dest = *a.kids[0];
    Value v = eval(*a.kids[1]);
    auto combine = [&](const Value& old) {
        if (a.text == L"=") return v;
        return applyBinary(std::wstring(1, a.text[0]), old, v);
    };
    switch (dest.op) {
        case Op::Var:
            v = combine(lookup(dest.name));
            assignVariable(dest.name, v);
            return v;
        case Op::Member: {
            Value target = eval(*dest.kids[0]);
            if (a.text != L"=") v = combine(getMember(*this, target, dest.name));
            setMember(*this, target, dest.name, v);
            // Points and colours are values: write the changed copy back to its variable.
            if ((target.kind == Kind::Point || target.kind == Kind::Color) && dest.kids[0]->op == Op::Var)
                assignVariable(dest.kids[0]->name, target);
            return v;
        }
        case Op::Index: {
            Value target = eval(*dest.kids[0]);
            Value index = eval(*dest.kids[1]);
            if (a.text != L"=") v = combine(getIndex(*this, target, index));
            setIndex(target, index, v);
            return v;
        }
        default:
            runtimeError(L"cannot assign to this expression");
    }
}

Value Interpreter::evalTry(const Ast& a) {
    size_t depth = scopes_.size();
    try {
        return eval(*a.kids[0]);
    } catch (const ScriptError& e) {
        scopes_.resize(depth);
        handling_.push_back(e.message);
        struct Pop {
            std::vector<std::wstring>& h;
            ~Pop() { h.pop_back(); }
        } pop{handling_};
        return eval(*a.kids[1]);
    }
}

Value Interpreter::evalCall(const Ast& a) {
    Value callee = eval(*a.kids[0]);
    CallArgs args;
    for (size_t k = 1; k < a.kids.size(); ++k) {
        Value v = eval(*a.kids[k]);
        const std::wstring& keyword = a.names[k - 1];
        if (keyword.empty())
            args.positional.push_back(std::move(v));
        else
            args.keywords.emplace_back(keyword, std::move(v));
    }
    if (callee.kind != Kind::Function) typeError(L"Call needs function or class, got: " + toPrinted(callee));
    return callee.fn->fn(*this, args);
}

const Interpreter::Macro* Interpreter::findMacro(const std::wstring& category, const std::wstring& name) const {
    for (const Macro& m : macros_)
        if (lower(m.category) == lower(category) && lower(m.name) == lower(name)) return &m;
    return nullptr;
}

// Defining registers the action item; the body runs only when the macro is run.
Value Interpreter::evalMacroDef(const Ast& a) {
    Macro m;
    m.name = a.name;
    m.category = L"Uncategorized";
    m.tree = tree_;
    for (size_t k = 0; k < a.kids.size(); ++k) {
        const std::wstring& key = a.names[k];
        if (key.rfind(L"on:", 0) == 0) {
            if (key == L"on:execute") m.execute = a.kids[k].get();
            continue;
        }
        Value v = eval(*a.kids[k]);
        auto text = [&] {
            if (v.kind != Kind::String) conversionError(v, L"String");
            return v.s;
        };
        if (key == L"category")
            m.category = text();
        else if (key == L"buttontext")
            m.buttonText = text();
        else if (key == L"tooltip")
            m.toolTip = text();
    }
    if (!m.tree) runtimeError(L"macroScript " + m.name + L" defined outside a script run");
    for (size_t k = 0; k < macros_.size(); ++k)
        if (lower(macros_[k].category) == lower(m.category) && lower(macros_[k].name) == lower(m.name)) {
            macros_[k] = std::move(m);
            return Value::integer(int64_t(k) + 1);
        }
    macros_.push_back(std::move(m));
    return Value::integer(int64_t(macros_.size()));
}

}  // namespace host::script
