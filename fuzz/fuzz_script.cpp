// The script lexer and parser over any text: an AST or a syntax error, nothing else.
#include "host/script/lexer.h"
#include "host/script/parser.h"
#include "host/script/value.h"
#include "host/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = host::fromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    try {
        host::script::tokenize(text);
    } catch (const host::script::SyntaxError&) {
    }
    try {
        host::script::parseScript(text);
    } catch (const host::script::SyntaxError&) {
    }
    return 0;
}
