// Tokenizer of the stand-in's script language. Newlines are tokens, because a newline ends
// an expression only when the expression is complete and the parser decides that; a
// trailing '\' joins lines here. Whether blank space came before a token is kept so that
// `a[1]` (index) and `f [1,2,3]` (a point argument) can be told apart. Pure function.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host::script {

enum class Tok {
    Int,
    Float,
    String,
    Name,
    Ident,
    LParen,
    RParen,
    LBracket,
    RBracket,
    ArrayOpen,  // ArrayOpen is "#("
    Comma,
    Colon,
    Dot,
    Semicolon,
    Newline,
    Assign,
    PlusAssign,
    MinusAssign,
    TimesAssign,
    DivAssign,
    Plus,
    Minus,
    Times,
    Divide,
    Caret,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    End
};

struct Token {
    Tok type = Tok::End;
    std::wstring text;  // identifier as written, string contents after escapes, name without '#'
    int64_t ival = 0;
    double fval = 0.0;
    int line = 1;
    int column = 1;
    bool spaceBefore = false;
};

// Throws SyntaxError on unterminated strings or comments and on characters outside the language.
std::vector<Token> tokenize(const std::wstring& text);

std::wstring describe(const Token& t);  // for error messages: "'catch'", "end of script", ...

}  // namespace host::script
