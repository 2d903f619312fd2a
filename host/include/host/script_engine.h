// The host's script interpreter behind ExecuteMAXScriptScript, and the log of what ran and
// which errors the user would have seen. Main thread only (checked).
#pragma once

#include <string>
#include <vector>

#include "max/maxscript.h"

namespace host {

namespace script {
class Interpreter;
}

struct ScriptLog {
    struct Run {
        std::wstring text;
        MAXScript::ScriptSource source;
        bool succeeded;
    };
    std::vector<Run> runs;                  // every text given to ExecuteMAXScriptScript
    std::vector<std::wstring> shownErrors;  // errors reported to the user (listener and dialog)
    std::vector<std::wstring> quietErrors;  // errors suppressed into the log
};

// The host's interpreter and its log; created on first use, on the thread that is then
// the only one allowed to run scripts.
script::Interpreter& scriptEngine();
ScriptLog& scriptLog();
// Text written to the listener (print, format, and errors shown to the user).
const std::wstring& listenerText();
// A fresh interpreter (no user globals) and an empty log, for tests and new sessions.
void resetScriptEngine();

}  // namespace host
