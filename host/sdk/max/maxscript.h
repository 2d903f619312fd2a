// Running script text from C++, as the SDK's maxscript.h offers (2022+ signature), over the
// stand-in's interpreter. Results and errors follow the SDK: the last expression's value
// into `result`, an uncaught error's text as TYPE_TSTR; quiet errors go to the log instead
// of the user. The stand-in keeps a log of executed texts and of errors so tests can read
// what the plug-in ran and what the user would have seen. Main thread only (checked).
#pragma once

#include <string>
#include <vector>

#include "max/fp_value.h"

namespace MAXScript {
enum class ScriptSource { NotSpecified = 0, Embedded = 1, NonEmbedded = 2, Dynamic = 3, DynamicAlways = 4 };
}

// TRUE when the script compiled and ran without an uncaught error; an error the script
// catches itself counts as success.
BOOL ExecuteMAXScriptScript(const MCHAR* script, MAXScript::ScriptSource source, BOOL quietErrors = FALSE,
                            FPValue* result = nullptr, BOOL logQuietErrors = TRUE);

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
