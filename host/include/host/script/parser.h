// Parser of the stand-in's script language into a small tree. Calls are by juxtaposition
// (`f a b name:c`); arguments are operands, so `f a + b` is `(f a) + b`. The parser caps
// both its own recursion and the height of the tree it builds, so hostile input (thousands
// of nested brackets, a million-term sum) gets a syntax error instead of exhausting the
// stack later when the tree is evaluated or freed. Pure functions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/script/value.h"

namespace host::script {

enum class Op {
    Literal,  // value
    Var,      // name
    Decl,     // names/kids: declared names and initialisers (null kid = none); text "global" or "local"
    Assign,   // kids: destination, value; text: "=", "+=", ...
    Try,      // kids: body, handler
    Block,    // kids: expressions; value of the last, undefined when empty
    Call,     // kids: callee, arguments; names: keyword of each argument ("" = positional)
    Member,   // kids: object; name
    Index,    // kids: object, index
    Binary,   // kids: left, right; text: operator
    Negate,   // kids: operand
    Not,      // kids: operand
    And,
    Or,        // kids: left, right (short-circuit)
    As,        // kids: operand; name: target class
    ArrayLit,  // kids: elements
    PointLit,  // kids: 2 to 4 components
    MacroDef,  // name; kids/names: keyword values ("category", ...), then handlers named "on:<event>"
};

struct Ast {
    Op op = Op::Literal;
    Value value;
    std::wstring name;
    std::wstring text;
    std::vector<std::unique_ptr<Ast>> kids;
    std::vector<std::wstring> names;
    int line = 0;
    int height = 1;
};

// Most brackets, operators and prefixes open inside one another.
constexpr int kMaxNesting = 200;
// Tallest tree accepted (long operator chains build tall trees).
constexpr int kMaxTreeHeight = 2000;

// The whole script as one Block run at global scope. Throws SyntaxError.
std::shared_ptr<const Ast> parseScript(const std::wstring& text);

}  // namespace host::script
