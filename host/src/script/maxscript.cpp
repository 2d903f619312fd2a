#include "max/maxscript.h"

#include <memory>
#include <new>
#include <thread>

#include "host/script/interpreter.h"
#include "host/script/scene_values.h"
#include "host/script_engine.h"
#include "host/text.h"

namespace host {

namespace {

struct Engine {
    std::unique_ptr<script::Interpreter> interpreter = std::make_unique<script::Interpreter>();
    ScriptLog log;
    std::thread::id owner = std::this_thread::get_id();
};

Engine& engine() {
    static Engine e;
    return e;
}

void loadResult(const script::Value& v, FPValue& out) {
    using script::Kind;
    switch (v.kind) {
        case Kind::String:
            out.LoadString(v.s);
            break;
        case Kind::Int:
            out.LoadInt(int(v.i));
            break;
        case Kind::Float:
            out.LoadFloat(float(v.f));
            break;
        case Kind::Bool:
            out.LoadBool(v.b);
            break;
        case Kind::Point:
            if (v.dims == 3) {
                out.LoadPoint3(Point3(float(v.v[0]), float(v.v[1]), float(v.v[2])));
                break;
            }
            out.LoadValueText(script::toPrinted(v));
            break;
        case Kind::Object:
            if (auto* node = dynamic_cast<script::NodeValue*>(v.object.get()); node && node->node()) {
                out.LoadNode(node->node());
                break;
            }
            out.LoadValueText(script::toPrinted(v));
            break;
        default:
            out.LoadValueText(script::toPrinted(v));
    }
}

}  // namespace

script::Interpreter& scriptEngine() {
    return *engine().interpreter;
}
ScriptLog& scriptLog() {
    return engine().log;
}
const std::wstring& listenerText() {
    return engine().interpreter->listener();
}

void resetScriptEngine() {
    engine().interpreter = std::make_unique<script::Interpreter>();
    engine().log = {};
}

}  // namespace host

BOOL ExecuteMAXScriptScript(const MCHAR* script, MAXScript::ScriptSource source, BOOL quietErrors, FPValue* result,
                            BOOL logQuietErrors) {
    host::Engine& e = host::engine();
    std::wstring text = script ? script : L"";
    std::wstring error;
    host::script::Value value;
    if (!script) {
        error = L"-- Runtime error: no script text";
    } else if (std::this_thread::get_id() != e.owner) {
        error = L"-- Runtime error: scripts run only on the main thread";
    } else {
        try {
            value = e.interpreter->run(text);
        } catch (const host::script::SyntaxError& err) {
            error = err.message;
        } catch (const host::script::ScriptError& err) {
            error = err.message;
        } catch (const std::bad_alloc&) {
            error = L"-- Runtime error: out of memory";
        } catch (const std::exception& err) {
            error = L"-- Runtime error: " + host::fromUtf8(err.what());
        }
    }
    e.log.runs.push_back({text, source, error.empty()});
    if (!error.empty()) {
        if (!quietErrors) {
            e.log.shownErrors.push_back(error);
            e.interpreter->write(error + L"\n");
        } else if (logQuietErrors) {
            e.log.quietErrors.push_back(error);
        }
        if (result) result->LoadTSTR(error);
        return FALSE;
    }
    if (result) host::loadResult(value, *result);
    return TRUE;
}
