#include <algorithm>

#include "host/script/lexer.h"
#include "host/script/parser.h"

namespace host::script {

namespace {

using AstPtr = std::unique_ptr<Ast>;

// Words that end an argument list or cannot start an operand.
bool isReserved(const std::wstring& lowerWord) {
    static const wchar_t* const words[] = {L"and",  L"or",     L"not",   L"as",         L"then", L"do",    L"catch",
                                           L"else", L"of",     L"in",    L"to",         L"by",   L"where", L"collect",
                                           L"from", L"global", L"local", L"persistent", L"try"};
    for (const wchar_t* w : words)
        if (lowerWord == w) return true;
    return false;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    AstPtr script() {
        auto root = make(Op::Block, cur());
        root->text = L"script";
        skipSeps();
        while (cur().type != Tok::End) {
            add(*root, expr());
            if (cur().type != Tok::End && !isSep(cur().type)) fail(L"unexpected " + describe(cur()));
            skipSeps();
        }
        return root;
    }

private:
    // Counts recursion: each expression (so each bracket) and each prefix or '^' in a chain.
    struct Depth {
        explicit Depth(Parser& p) : p(p) {
            if (++p.depth_ > kMaxNesting)
                p.fail(L"expression nested too deeply (more than " + std::to_wstring(kMaxNesting) + L" levels)");
        }
        ~Depth() { --p.depth_; }
        Parser& p;
    };

    const Token& cur() const { return t_[pos_]; }
    const Token& next() const { return t_[std::min(pos_ + 1, t_.size() - 1)]; }
    void advance() {
        if (pos_ + 1 < t_.size()) ++pos_;
    }
    static bool isSep(Tok t) { return t == Tok::Newline || t == Tok::Semicolon; }
    void skipSeps() {
        while (isSep(cur().type)) advance();
    }
    void skipNewlines() {
        while (cur().type == Tok::Newline) advance();
    }
    bool isWord(const wchar_t* w) const { return cur().type == Tok::Ident && lower(cur().text) == w; }

    [[noreturn]] void fail(const std::wstring& what) const { throw SyntaxError(what, cur().line, cur().column); }

    void expect(Tok type, const wchar_t* what) {
        if (cur().type != type) fail(std::wstring(L"expected ") + what + L", found " + describe(cur()));
        advance();
    }

    AstPtr make(Op op, const Token& at) {
        auto a = std::make_unique<Ast>();
        a->op = op;
        a->line = at.line;
        return a;
    }

    void add(Ast& parent, AstPtr kid) {
        if (kid) parent.height = std::max(parent.height, kid->height + 1);
        if (parent.height > kMaxTreeHeight)
            fail(L"expression too long or nested too deeply (tree height over " + std::to_wstring(kMaxTreeHeight) +
                 L")");
        parent.kids.push_back(std::move(kid));
    }

    AstPtr expr() {
        Depth guard(*this);
        if (isWord(L"persistent")) {
            advance();
            if (!isWord(L"global")) fail(L"expected 'global' after 'persistent'");
        }
        if (isWord(L"global") || isWord(L"local")) return decl();
        if (isWord(L"try")) return tryExpr();
        if (isWord(L"macroscript")) return macroDef();
        AstPtr left = orExpr();
        Tok op = cur().type;
        if (op == Tok::Assign || op == Tok::PlusAssign || op == Tok::MinusAssign || op == Tok::TimesAssign ||
            op == Tok::DivAssign) {
            if (left->op != Op::Var && left->op != Op::Member && left->op != Op::Index)
                fail(L"cannot assign to this expression");
            auto a = make(Op::Assign, cur());
            a->text = op == Tok::Assign        ? L"="
                      : op == Tok::PlusAssign  ? L"+="
                      : op == Tok::MinusAssign ? L"-="
                      : op == Tok::TimesAssign ? L"*="
                                               : L"/=";
            advance();
            skipNewlines();
            add(*a, std::move(left));
            add(*a, expr());
            return a;
        }
        return left;
    }

    AstPtr decl() {
        auto a = make(Op::Decl, cur());
        a->text = lower(cur().text);
        advance();
        for (;;) {
            if (cur().type != Tok::Ident || isReserved(lower(cur().text))) fail(L"expected a variable name");
            a->names.push_back(lower(cur().text));
            advance();
            if (cur().type == Tok::Assign) {
                advance();
                skipNewlines();
                add(*a, expr());
            } else {
                add(*a, nullptr);
            }
            if (cur().type != Tok::Comma) return a;
            advance();
            skipNewlines();
        }
    }

    // macroScript Name key:value ... ( handlers or expressions ). A body without handlers is
    // the execute handler as a whole.
    AstPtr macroDef() {
        auto a = make(Op::MacroDef, cur());
        advance();
        if (cur().type != Tok::Ident || isReserved(lower(cur().text))) fail(L"expected the macroScript's name");
        a->name = cur().text;
        advance();
        skipNewlines();
        while (cur().type == Tok::Ident && next().type == Tok::Colon) {
            a->names.push_back(lower(cur().text));
            advance();
            advance();
            add(*a, operand());
            skipNewlines();
        }
        if (cur().type != Tok::LParen) fail(L"expected '(' to open the macroScript's body, found " + describe(cur()));
        int line = cur().line, column = cur().column;
        advance();
        skipSeps();
        auto body = make(Op::Block, cur());
        bool handlers = false;
        while (cur().type != Tok::RParen) {
            if (cur().type == Tok::End) throw SyntaxError(L"unclosed macroScript body: expected ')'", line, column);
            if (isWord(L"on") && next().type == Tok::Ident) {
                handlers = true;
                advance();
                std::wstring event = lower(cur().text);
                advance();
                while (cur().type == Tok::Ident && !isWord(L"do")) advance();  // handler parameters
                if (!isWord(L"do")) fail(L"expected 'do' in the '" + event + L"' handler");
                advance();
                skipNewlines();
                a->names.push_back(L"on:" + event);
                add(*a, expr());
            } else {
                add(*body, expr());
            }
            if (cur().type == Tok::End) throw SyntaxError(L"unclosed macroScript body: expected ')'", line, column);
            if (cur().type != Tok::RParen && !isSep(cur().type))
                fail(L"expected ')' or a new line, found " + describe(cur()));
            skipSeps();
        }
        advance();
        if (handlers && !body->kids.empty())
            throw SyntaxError(L"a macroScript body mixes handlers and expressions", line, column);
        if (!handlers) {
            a->names.push_back(L"on:execute");
            add(*a, std::move(body));
        }
        return a;
    }

    AstPtr tryExpr() {
        auto a = make(Op::Try, cur());
        advance();
        skipNewlines();
        add(*a, expr());
        skipNewlines();
        if (!isWord(L"catch")) fail(L"expected 'catch', found " + describe(cur()));
        advance();
        skipNewlines();
        add(*a, expr());
        return a;
    }

    AstPtr binaryChain(Op op, AstPtr (Parser::*sub)(), const wchar_t* word) {
        AstPtr left = (this->*sub)();
        while (isWord(word)) {
            auto a = make(op, cur());
            advance();
            skipNewlines();
            add(*a, std::move(left));
            add(*a, (this->*sub)());
            left = std::move(a);
        }
        return left;
    }
    AstPtr orExpr() { return binaryChain(Op::Or, &Parser::andExpr, L"or"); }
    AstPtr andExpr() { return binaryChain(Op::And, &Parser::notExpr, L"and"); }

    AstPtr notExpr() {
        if (!isWord(L"not")) return compare();
        Depth guard(*this);
        auto a = make(Op::Not, cur());
        advance();
        add(*a, notExpr());
        return a;
    }

    AstPtr binary(const Token& at, const wchar_t* text, AstPtr left, AstPtr right) {
        auto a = make(Op::Binary, at);
        a->text = text;
        add(*a, std::move(left));
        add(*a, std::move(right));
        return a;
    }

    AstPtr compare() {
        AstPtr left = sum();
        static const std::pair<Tok, const wchar_t*> ops[] = {{Tok::Eq, L"=="}, {Tok::Ne, L"!="}, {Tok::Lt, L"<"},
                                                             {Tok::Gt, L">"},  {Tok::Le, L"<="}, {Tok::Ge, L">="}};
        for (auto& [type, text] : ops)
            if (cur().type == type) {
                Token at = cur();
                advance();
                skipNewlines();
                return binary(at, text, std::move(left), sum());
            }
        return left;
    }

    AstPtr sum() {
        AstPtr left = term();
        while (cur().type == Tok::Plus || cur().type == Tok::Minus) {
            Token at = cur();
            advance();
            skipNewlines();
            left = binary(at, at.type == Tok::Plus ? L"+" : L"-", std::move(left), term());
        }
        return left;
    }

    AstPtr term() {
        AstPtr left = power();
        while (cur().type == Tok::Times || cur().type == Tok::Divide) {
            Token at = cur();
            advance();
            skipNewlines();
            left = binary(at, at.type == Tok::Times ? L"*" : L"/", std::move(left), power());
        }
        return left;
    }

    AstPtr power() {
        AstPtr left = conv();
        if (cur().type != Tok::Caret) return left;
        Depth guard(*this);
        Token at = cur();
        advance();
        skipNewlines();
        return binary(at, L"^", std::move(left), power());
    }

    AstPtr conv() {
        AstPtr left = unary();
        while (isWord(L"as")) {
            auto a = make(Op::As, cur());
            advance();
            if (cur().type != Tok::Ident) fail(L"expected a class name after 'as'");
            a->name = lower(cur().text);
            advance();
            add(*a, std::move(left));
            left = std::move(a);
        }
        return left;
    }

    AstPtr unary() {
        if (cur().type != Tok::Minus) return call();
        Depth guard(*this);
        auto a = make(Op::Negate, cur());
        advance();
        add(*a, unary());
        return a;
    }

    bool startsArgument() const {
        switch (cur().type) {
            case Tok::Int:
            case Tok::Float:
            case Tok::String:
            case Tok::Name:
            case Tok::LParen:
            case Tok::ArrayOpen:
            case Tok::LBracket:
                return true;
            case Tok::Ident:
                return next().type == Tok::Colon || !isReserved(lower(cur().text));
            default:
                return false;
        }
    }

    AstPtr call() {
        AstPtr callee = operand();
        if (cur().type == Tok::LParen && next().type == Tok::RParen) {
            auto a = make(Op::Call, cur());
            advance();
            advance();
            add(*a, std::move(callee));
            return a;
        }
        if (!startsArgument()) return callee;
        auto a = make(Op::Call, cur());
        add(*a, std::move(callee));
        while (startsArgument()) {
            if (cur().type == Tok::Ident && next().type == Tok::Colon) {
                a->names.push_back(lower(cur().text));
                advance();
                advance();
                skipNewlines();
            } else {
                a->names.push_back(L"");
            }
            add(*a, operand());
        }
        return a;
    }

    AstPtr operand() {
        AstPtr left = factor();
        for (;;) {
            if (cur().type == Tok::Dot) {
                auto a = make(Op::Member, cur());
                advance();
                if (cur().type != Tok::Ident) fail(L"expected a property name after '.'");
                a->name = lower(cur().text);
                advance();
                add(*a, std::move(left));
                left = std::move(a);
            } else if (cur().type == Tok::LBracket && !cur().spaceBefore) {
                auto a = make(Op::Index, cur());
                advance();
                skipNewlines();
                add(*a, std::move(left));
                add(*a, expr());
                skipNewlines();
                expect(Tok::RBracket, L"']'");
                left = std::move(a);
            } else {
                return left;
            }
        }
    }

    AstPtr literal(Value v) {
        auto a = make(Op::Literal, cur());
        a->value = std::move(v);
        advance();
        return a;
    }

    AstPtr factor() {
        const Token& t = cur();
        switch (t.type) {
            case Tok::Int:
                return literal(Value::integer(t.ival));
            case Tok::Float:
                return literal(Value::number(t.fval));
            case Tok::String:
                return literal(Value::string(t.text));
            case Tok::Name:
                return literal(Value::name(t.text));
            case Tok::LParen:
                return block();
            case Tok::ArrayOpen:
                return arrayLit();
            case Tok::LBracket:
                return pointLit();
            case Tok::Ident:
                break;
            case Tok::End:
                fail(L"unexpected end of script");
            default:
                fail(L"unexpected " + describe(t));
        }
        std::wstring w = lower(t.text);
        if (w == L"true" || w == L"on") return literal(Value::boolean(true));
        if (w == L"false" || w == L"off") return literal(Value::boolean(false));
        if (w == L"undefined" || w == L"unsupplied") return literal(Value::undefined());
        if (w == L"ok") return literal(Value::ok());
        if (isReserved(w)) fail(L"unexpected " + describe(t));
        auto a = make(Op::Var, t);
        a->name = w;
        advance();
        return a;
    }

    AstPtr block() {
        auto a = make(Op::Block, cur());
        int line = cur().line, column = cur().column;
        advance();
        skipSeps();
        while (cur().type != Tok::RParen) {
            if (cur().type == Tok::End) throw SyntaxError(L"unclosed '(': expected ')'", line, column);
            add(*a, expr());
            if (cur().type == Tok::End) throw SyntaxError(L"unclosed '(': expected ')'", line, column);
            if (cur().type != Tok::RParen && !isSep(cur().type))
                fail(L"expected ')' or a new line, found " + describe(cur()));
            skipSeps();
        }
        advance();
        return a;
    }

    // Items separated by commas up to `close`; new lines are blank space inside.
    void items(Ast& a, Tok close, const wchar_t* closeText, int line, int column) {
        skipNewlines();
        if (cur().type == close) {
            advance();
            return;
        }
        for (;;) {
            if (cur().type == Tok::End)
                throw SyntaxError(std::wstring(L"unclosed list: expected ") + closeText, line, column);
            add(a, expr());
            skipNewlines();
            if (cur().type == close) {
                advance();
                return;
            }
            if (cur().type == Tok::End)
                throw SyntaxError(std::wstring(L"unclosed list: expected ") + closeText, line, column);
            expect(Tok::Comma, (std::wstring(L"',' or ") + closeText).c_str());
            skipNewlines();
        }
    }

    AstPtr arrayLit() {
        auto a = make(Op::ArrayLit, cur());
        int line = cur().line, column = cur().column;
        advance();
        items(*a, Tok::RParen, L"')'", line, column);
        return a;
    }

    AstPtr pointLit() {
        auto a = make(Op::PointLit, cur());
        int line = cur().line, column = cur().column;
        advance();
        items(*a, Tok::RBracket, L"']'", line, column);
        if (a->kids.size() < 2 || a->kids.size() > 4)
            throw SyntaxError(L"a point needs 2 to 4 components", line, column);
        return a;
    }

    std::vector<Token> t_;
    size_t pos_ = 0;
    int depth_ = 0;
};

}  // namespace

std::shared_ptr<const Ast> parseScript(const std::wstring& text) {
    return Parser(tokenize(text)).script();
}

}  // namespace host::script
