// Running script text from C++, as the SDK's maxscript.h offers (2022+ signature), over the
// stand-in's interpreter. Results and errors follow the SDK: the last expression's value
// into `result`, an uncaught error's text as TYPE_TSTR; quiet errors go to the log instead
// of the user. The stand-in keeps a log of executed texts and of errors so tests can read
// what the plug-in ran and what the user would have seen (host/script_engine.h). Main
// thread only (checked).
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
