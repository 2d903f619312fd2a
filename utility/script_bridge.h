// The script bridge: runs one script expression through the host and hands its value back
// as text, builds the texts that name nodes and embed strings, and installs the materials
// library once per run of the host. Every text embedded in a script goes through
// scriptString, so no path or name can end its string early and run as script.
// Main thread only, as the host's scripting is.
#pragma once

#include <functional>
#include <string>

class INode;

namespace wx {

// Runs `expression` wrapped so that its value (as text) or "ERROR: " and the exception
// text lands in the script global TarnwickWeatherLast. True when the wrapper ran and the
// text does not begin with "ERROR" (texts shorter than five characters always pass).
// The text is read back even when the caller does not want it, so a failing expression is
// never reported as success.
bool runScript(const std::wstring& expression, std::wstring* outResult = nullptr);

// Sets the installed flag first (a failing install is not retried until the host restarts),
// removes the copy of the materials script that earlier versions left in the user scripts
// folder, and runs the materials library's installer.
void installMaterialsScript();
bool materialsScriptInstalled();
// The materials library supplies its installer (it registers TWeatherMtl with the host).
void setMaterialsInstaller(std::function<void()> installer);
// Forgets the installed flag (the module is unloaded, or a new run of the host in tests).
void resetMaterialsScript();

// "(maxOps.getNodeByHandle N)"; "undefined" for no node.
std::wstring nodeRef(INode* node);
// A double-quoted script string literal holding exactly `text`.
std::wstring scriptString(const std::wstring& text);
// "try (fileIn <path>) catch ()": loads a script file quietly.
std::wstring fileInExpression(const std::wstring& path);
// The tornado plug-in's wind export for `tornado`, writing to `path` (backslashes become
// forward slashes, as the tornado plug-in expects).
std::wstring tornadoExportExpression(INode* tornado, const std::wstring& path);

}  // namespace wx
