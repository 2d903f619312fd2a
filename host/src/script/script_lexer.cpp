#include <cmath>
#include <cwctype>

#include "host/script/lexer.h"
#include "host/script/value.h"

namespace host::script {

namespace {

bool identStart(wchar_t c) {
    return c == L'_' || (c < 128 && std::iswalpha(wint_t(c)));
}
bool identChar(wchar_t c) {
    return c == L'_' || (c < 128 && std::iswalnum(wint_t(c)));
}
bool digit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
int hexValue(wchar_t c) {
    if (digit(c)) return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

class Lexer {
public:
    explicit Lexer(const std::wstring& text) : s_(text) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        bool space = true;
        for (;;) {
            space = skipBlank() || space;
            Token t;
            t.line = line_;
            t.column = column();
            t.spaceBefore = space;
            space = false;
            if (pos_ >= s_.size()) {
                out.push_back(t);
                return out;
            }
            wchar_t c = s_[pos_];
            if (c == L'\n' || c == L'\r') {
                advanceNewline();
                t.type = Tok::Newline;
                space = true;
            } else if (digit(c) || (c == L'.' && pos_ + 1 < s_.size() && digit(s_[pos_ + 1]))) {
                number(t);
            } else if (c == L'"') {
                ++pos_;
                t.type = Tok::String;
                t.text = stringBody(t, false);
            } else if (c == L'@' && peek(1) == L'"') {
                pos_ += 2;
                t.type = Tok::String;
                t.text = stringBody(t, true);
            } else if (c == L'#' && peek(1) == L'(') {
                pos_ += 2;
                t.type = Tok::ArrayOpen;
            } else if (c == L'#' && identStart(peek(1))) {
                ++pos_;
                t.type = Tok::Name;
                t.text = identifier();
            } else if (identStart(c)) {
                t.type = Tok::Ident;
                t.text = identifier();
            } else {
                punct(t);
            }
            out.push_back(std::move(t));
        }
    }

private:
    wchar_t peek(size_t k) const { return pos_ + k < s_.size() ? s_[pos_ + k] : L'\0'; }
    int column() const { return int(pos_ - lineStart_) + 1; }

    void advanceNewline() {
        if (s_[pos_] == L'\r' && peek(1) == L'\n') ++pos_;
        ++pos_;
        ++line_;
        lineStart_ = pos_;
    }

    // Skips blanks, comments and line continuations; true when anything was skipped.
    bool skipBlank() {
        size_t start = pos_;
        while (pos_ < s_.size()) {
            wchar_t c = s_[pos_];
            if (c == L' ' || c == L'\t' || c == L'\f' || c == L'\v') {
                ++pos_;
            } else if (c == L'-' && peek(1) == L'-') {
                while (pos_ < s_.size() && s_[pos_] != L'\n' && s_[pos_] != L'\r') ++pos_;
            } else if (c == L'/' && peek(1) == L'*') {
                int line = line_, col = column();
                pos_ += 2;
                while (pos_ < s_.size() && !(s_[pos_] == L'*' && peek(1) == L'/')) {
                    if (s_[pos_] == L'\n' || s_[pos_] == L'\r')
                        advanceNewline();
                    else
                        ++pos_;
                }
                if (pos_ >= s_.size()) throw SyntaxError(L"unterminated /* comment", line, col);
                pos_ += 2;
            } else if (c == L'\\' && restOfLineBlank(pos_ + 1)) {
                ++pos_;
                while (pos_ < s_.size() && s_[pos_] != L'\n' && s_[pos_] != L'\r') ++pos_;
                if (pos_ < s_.size()) advanceNewline();
            } else {
                break;
            }
        }
        return pos_ != start;
    }

    bool restOfLineBlank(size_t p) const {
        for (; p < s_.size(); ++p) {
            if (s_[p] == L'\n' || s_[p] == L'\r') return true;
            if (s_[p] != L' ' && s_[p] != L'\t') return false;
        }
        return true;
    }

    std::wstring identifier() {
        size_t start = pos_;
        while (pos_ < s_.size() && identChar(s_[pos_])) ++pos_;
        return s_.substr(start, pos_ - start);
    }

    void number(Token& t) {
        size_t start = pos_;
        if (s_[pos_] == L'0' && (peek(1) == L'x' || peek(1) == L'X') && hexValue(peek(2)) >= 0) {
            pos_ += 2;
            uint64_t v = 0;
            bool overflow = false;
            while (pos_ < s_.size() && hexValue(s_[pos_]) >= 0) {
                if (v >> 60) overflow = true;
                v = v * 16 + uint64_t(hexValue(s_[pos_++]));
            }
            if (overflow || v > 0xFFFFFFFFull) throw SyntaxError(L"hexadecimal number too large", t.line, t.column);
            t.type = Tok::Int;
            t.ival = int64_t(int32_t(uint32_t(v)));  // 0xFFFFFFFF is -1, as 32-bit integers are
            suffix();
            return;
        }
        bool isFloat = false;
        while (pos_ < s_.size() && digit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == L'.' && !identStart(peek(1))) {
            isFloat = true;
            ++pos_;
            while (pos_ < s_.size() && digit(s_[pos_])) ++pos_;
        }
        wchar_t e = pos_ < s_.size() ? s_[pos_] : L'\0';
        if ((e == L'e' || e == L'E' || e == L'd' || e == L'D') &&
            (digit(peek(1)) || ((peek(1) == L'+' || peek(1) == L'-') && digit(peek(2))))) {
            isFloat = true;
            pos_ += 2;
            while (pos_ < s_.size() && digit(s_[pos_])) ++pos_;
        }
        std::string text;
        for (size_t k = start; k < pos_; ++k) text += s_[k] == L'd' || s_[k] == L'D' ? 'e' : char(s_[k]);
        double value = std::strtod(text.c_str(), nullptr);
        // Integers past 32 bits become floats rather than wrapping silently.
        if (!isFloat && value <= 2147483647.0) {
            t.type = Tok::Int;
            t.ival = int64_t(value);
            suffix();
        } else {
            t.type = Tok::Float;
            t.fval = value;
        }
        if (pos_ < s_.size() && identStart(s_[pos_]))
            throw SyntaxError(L"unexpected letter after a number", t.line, column());
    }

    void suffix() {
        if (pos_ < s_.size() && (s_[pos_] == L'L' || s_[pos_] == L'P') && !identChar(peek(1))) ++pos_;
    }

    // The text up to the closing quote. A verbatim string (@"...") takes backslashes as
    // they are; a quoted one reads escapes.
    std::wstring stringBody(const Token& t, bool verbatim) {
        std::wstring out;
        for (;;) {
            if (pos_ >= s_.size())
                throw SyntaxError(verbatim ? L"unterminated verbatim string" : L"unterminated string", t.line,
                                  t.column);
            wchar_t c = s_[pos_];
            if (c == L'"') {
                ++pos_;
                return out;
            }
            if (c == L'\n' || c == L'\r') {
                out += c;
                if (c == L'\r' && peek(1) == L'\n') out += L'\n';
                advanceNewline();
                continue;
            }
            if (c != L'\\' || verbatim) {
                out += c;
                ++pos_;
                continue;
            }
            wchar_t n = peek(1);
            pos_ += 2;
            switch (n) {
                case L'"':
                    out += L'"';
                    break;
                case L'\\':
                    out += L'\\';
                    break;
                case L'n':
                    out += L'\n';
                    break;
                case L'r':
                    out += L'\r';
                    break;
                case L't':
                    out += L'\t';
                    break;
                case L'%':
                    out += L'%';
                    break;
                case L'*':
                    out += L'*';
                    break;
                case L'?':
                    out += L'?';
                    break;
                case L'x': {
                    uint32_t code = 0;
                    int digits = 0;
                    while (digits < 8 && hexValue(peek(0)) >= 0)
                        code = code * 16 + uint32_t(hexValue(s_[pos_++])), ++digits;
                    if (digits == 0)
                        out += L"\\x";
                    else
                        out += wchar_t(code > 0x10FFFF ? 0xFFFD : code);
                    break;
                }
                case L'\0':
                    throw SyntaxError(L"unterminated string", t.line, t.column);
                default:
                    out += L'\\';
                    --pos_;  // the character after the backslash is read as it is
            }
        }
    }

    void punct(Token& t) {
        wchar_t c = s_[pos_], n = peek(1);
        auto two = [&](Tok type) {
            t.type = type;
            pos_ += 2;
        };
        auto one = [&](Tok type) {
            t.type = type;
            pos_ += 1;
        };
        switch (c) {
            case L'(':
                return one(Tok::LParen);
            case L')':
                return one(Tok::RParen);
            case L'[':
                return one(Tok::LBracket);
            case L']':
                return one(Tok::RBracket);
            case L',':
                return one(Tok::Comma);
            case L':':
                return one(Tok::Colon);
            case L'.':
                return one(Tok::Dot);
            case L';':
                return one(Tok::Semicolon);
            case L'^':
                return one(Tok::Caret);
            case L'=':
                return n == L'=' ? two(Tok::Eq) : one(Tok::Assign);
            case L'+':
                return n == L'=' ? two(Tok::PlusAssign) : one(Tok::Plus);
            case L'-':
                return n == L'=' ? two(Tok::MinusAssign) : one(Tok::Minus);
            case L'*':
                return n == L'=' ? two(Tok::TimesAssign) : one(Tok::Times);
            case L'/':
                return n == L'=' ? two(Tok::DivAssign) : one(Tok::Divide);
            case L'<':
                return n == L'=' ? two(Tok::Le) : one(Tok::Lt);
            case L'>':
                return n == L'=' ? two(Tok::Ge) : one(Tok::Gt);
            case L'!':
                if (n == L'=') return two(Tok::Ne);
                break;
            default:
                break;
        }
        std::wstring shown = c >= 32 && c < 127 ? std::wstring(1, c) : L"U+" + std::to_wstring(unsigned(c));
        throw SyntaxError(L"unexpected character '" + shown + L"'", t.line, t.column);
    }

    const std::wstring& s_;
    size_t pos_ = 0;
    size_t lineStart_ = 0;
    int line_ = 1;
};

}  // namespace

std::vector<Token> tokenize(const std::wstring& text) {
    return Lexer(text).run();
}

std::wstring describe(const Token& t) {
    switch (t.type) {
        case Tok::End:
            return L"end of script";
        case Tok::Newline:
            return L"end of line";
        case Tok::Int:
            return std::to_wstring(t.ival);
        case Tok::Float:
            return formatFloat(t.fval);
        case Tok::String:
            return L"a string";
        case Tok::Name:
            return L"'#" + t.text + L"'";
        case Tok::Ident:
            return L"'" + t.text + L"'";
        case Tok::LParen:
            return L"'('";
        case Tok::RParen:
            return L"')'";
        case Tok::LBracket:
            return L"'['";
        case Tok::RBracket:
            return L"']'";
        case Tok::ArrayOpen:
            return L"'#('";
        case Tok::Comma:
            return L"','";
        case Tok::Colon:
            return L"':'";
        case Tok::Dot:
            return L"'.'";
        case Tok::Semicolon:
            return L"';'";
        case Tok::Assign:
            return L"'='";
        case Tok::PlusAssign:
            return L"'+='";
        case Tok::MinusAssign:
            return L"'-='";
        case Tok::TimesAssign:
            return L"'*='";
        case Tok::DivAssign:
            return L"'/='";
        case Tok::Plus:
            return L"'+'";
        case Tok::Minus:
            return L"'-'";
        case Tok::Times:
            return L"'*'";
        case Tok::Divide:
            return L"'/'";
        case Tok::Caret:
            return L"'^'";
        case Tok::Eq:
            return L"'=='";
        case Tok::Ne:
            return L"'!='";
        case Tok::Lt:
            return L"'<'";
        case Tok::Gt:
            return L"'>'";
        case Tok::Le:
            return L"'<='";
        case Tok::Ge:
            return L"'>='";
    }
    return L"a token";
}

}  // namespace host::script
