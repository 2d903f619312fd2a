// `tornadoCommand <node> "exportwind" "<path>"`: the script face of the storm helper, as the
// maker's tornado plug-in defines it. The fall object runs it to have a storm's wind written
// where it will read it.
#include "host/script/interpreter.h"
#include "host/script/scene_values.h"
#include "host/storm_helper.h"
#include "host/text.h"
#include "host/wind_export.h"

namespace host::script {

namespace {

Value tornadoCommand(Interpreter&, const CallArgs& args) {
    if (!args.keywords.empty())
        runtimeError(L"tornadoCommand takes no keyword argument " + args.keywords.front().first + L":");
    if (args.positional.size() < 2)
        throw ScriptError(L"-- Argument count error: tornadoCommand wanted 2 or 3, got " +
                          std::to_wstring(args.positional.size()));
    const Value& target = args.positional[0];
    auto* nodeValue = target.kind == Kind::Object ? dynamic_cast<NodeValue*>(target.object.get()) : nullptr;
    INode* node = nodeValue ? nodeValue->node() : nullptr;
    if (!node) runtimeError(L"tornadoCommand needs a storm node, got: " + toPrinted(target));
    if (!isStormHelper(node)) runtimeError(L"tornadoCommand: " + toPrinted(target) + L" is not a storm");
    const Value& op = args.positional[1];
    if (op.kind != Kind::String) conversionError(op, L"String");
    if (op.s != L"exportwind")
        runtimeError(L"tornadoCommand: unknown operation \"" + op.s + L"\" (this storm knows \"exportwind\")");
    if (args.positional.size() != 3)
        throw ScriptError(L"-- Argument count error: tornadoCommand \"exportwind\" wanted 3, got " +
                          std::to_wstring(args.positional.size()));
    const Value& path = args.positional[2];
    if (path.kind != Kind::String) conversionError(path, L"String");
    if (path.s.empty()) runtimeError(L"tornadoCommand \"exportwind\": the path is empty");
    std::string error;
    const int frames = exportStormWind(node, toUtf8(path.s), error);
    if (frames < 0) runtimeError(L"tornadoCommand \"exportwind\": " + fromUtf8(error));
    return Value::string(L"exported " + std::to_wstring(frames) + L" frames to " + path.s);
}

}  // namespace

void registerStormBuiltins(Interpreter& in) {
    in.defineFunction(L"tornadoCommand", tornadoCommand);
}

}  // namespace host::script
