#include "app/cmd_script.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "app/cmd_scene.h"
#include "app/distinct_files.h"
#include "app/exit_codes.h"
#include "app/weather_module.h"
#include "host/host_app.h"
#include "host/input_file.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/script/interpreter.h"
#include "host/script_engine.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/maxscript.h"

namespace tweather {

namespace {

// A statement typed over more lines than this is abandoned rather than read forever.
constexpr int kMaxContinuationLines = 1000;

std::string narrow(const std::wstring& s) {
    return host::toUtf8(s);
}

bool saveAny(const std::string& path, std::string& error) {
    std::string ext = host::extensionOf(path);
    if (ext == ".scene" || ext == ".json") return host::saveScene(path, error);
    if (ext == ".gltf" || ext == ".glb" || ext == ".obj")
        return host::exportScene(path, GetCOREInterface()->GetTime(), error);
    error = "'" + path + "': unknown output type (use .scene, .json, .gltf, .glb or .obj)";
    return false;
}

// True when the text stops inside an open bracket or string: the prompt reads another line.
bool incomplete(const std::wstring& text) {
    try {
        host::script::parseScript(text);
        return false;
    } catch (const host::script::SyntaxError& e) {
        const std::wstring& m = e.message;
        return m.find(L"unexpected end of script") != std::wstring::npos || m.find(L"unclosed") != std::wstring::npos ||
               m.find(L"unterminated") != std::wstring::npos || m.find(L"expected 'catch'") != std::wstring::npos;
    }
}

// Runs one text and prints it as the listener shows it; false on an uncaught error.
bool runAndPrint(const std::wstring& text, std::ostream& out, std::ostream& err) {
    std::wstring written, value;
    bool ok = evalForListener(text, written, value);
    out << narrow(written);
    (ok ? out : err) << narrow(value) << "\n";
    out.flush();
    return ok;
}

int prompt(std::istream& in, std::ostream& out, std::ostream& err, bool showPrompt) {
    bool allOk = true;
    std::string line;
    std::wstring pending;
    int lines = 0;
    for (;;) {
        if (showPrompt) out << (pending.empty() ? "tweather> " : "      ... ") << std::flush;
        if (!std::getline(in, line)) break;
        pending += host::fromUtf8(line) + L"\n";
        if (++lines < kMaxContinuationLines && incomplete(pending)) continue;
        if (pending.find_first_not_of(L" \t\r\n") != std::wstring::npos)
            allOk = runAndPrint(pending, out, err) && allOk;
        pending.clear();
        lines = 0;
    }
    if (!pending.empty()) allOk = runAndPrint(pending, out, err) && allOk;
    return allOk ? 0 : kExitScript;
}

}  // namespace

bool evalForListener(const std::wstring& text, std::wstring& written, std::wstring& value) {
    host::script::Interpreter& in = host::scriptEngine();
    size_t before = in.listener().size();
    bool ok = true;
    try {
        value = host::script::toPrinted(in.run(text));
    } catch (const host::script::SyntaxError& e) {
        value = e.message;
        ok = false;
    } catch (const host::script::ScriptError& e) {
        value = e.message;
        ok = false;
    }
    written = in.listener().size() > before ? in.listener().substr(before) : std::wstring();
    return ok;
}

// The largest script file run, in bytes, as fileIn takes.
constexpr size_t kMaxScriptFileBytes = size_t(64) << 20;

int runScriptCommand(const ScriptOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    std::string clash;
    if (int code = checkOutputs({{"--scene", o.scene}, {"the script", o.file}}, {{"--save", o.save}}, clash)) {
        err << "tweather script: " << clash << "\n";
        return code;
    }
    std::vector<std::string> errors;
    std::string missing;
    host::startUp(o.weatherPlugin ? modulesToLoad(o.plugins, missing) : o.plugins, errors);
    if (!missing.empty()) err << "tweather script: warning: " << missing << "\n";
    for (const std::string& e : errors) err << "tweather script: " << e << "\n";
    int rc = 0;
    auto finish = [&](int code) {
        host::shutDown();
        return code;
    };
    if (!errors.empty()) return finish(kExitIo);
    if (!o.scene.empty()) {
        std::string error;
        std::vector<std::string> warnings;
        if (!loadAnyScene(o.scene, o.objYUp, error, warnings)) {
            err << "tweather script: " << error << "\n";
            return finish(kExitIo);
        }
        for (const std::string& w : warnings) err << "tweather script: warning: " << w << "\n";
    }
    for (const std::string& e : o.expressions)
        if (!runAndPrint(host::fromUtf8(e), out, err)) rc = kExitScript;
    if (!o.file.empty()) {
        // A folder, a device or a pipe is refused rather than read as an empty script, and a
        // byte-order mark is not script text.
        std::string text, error;
        if (!host::readInputFile(o.file, "script", text, error, {kMaxScriptFileBytes, true})) {
            err << "tweather script: " << error << "\n";
            return finish(kExitIo);
        }
        if (!runAndPrint(host::fromUtf8(text), out, err)) rc = kExitScript;
    }
    if (o.expressions.empty() && o.file.empty()) {
        bool tty = &in == &std::cin && ::isatty(0);
        rc = prompt(in, out, err, tty);
    }
    if (!o.save.empty()) {
        std::string error;
        if (!saveAny(o.save, error)) {
            err << "tweather script: " << error << "\n";
            return finish(kExitIo);
        }
        out << "wrote " << o.save << "\n";
    }
    return finish(rc);
}

ScriptCli::ScriptCli(CLI::App& app) {
    cmd_ = app.add_subcommand("script", "Run script expressions against a scene; a prompt when given none");
    cmd_->add_option("--scene", options_.scene, "Scene, glTF or OBJ file to open first");
    cmd_->add_option("-e,--eval", options_.expressions, "Expression to run and print (repeatable)")
        ->allow_extra_args(false);
    cmd_->add_option("file", options_.file, "Script file to run after the expressions");
    cmd_->add_option("--save", options_.save, "Save the scene afterwards (.scene/.json, .gltf/.glb or .obj)");
    cmd_->add_option("--plugin", options_.plugins, "Plug-in module to load first (repeatable)")
        ->allow_extra_args(false);
    cmd_->add_option_function<std::string>(
            "--up", [this](const std::string& axis) { options_.objYUp = axis == "y"; },
            "Up axis of OBJ input: z (default) or y")
        ->check(CLI::IsMember({"y", "z"}));
}

int ScriptCli::run() {
    return runScriptCommand(options_, std::cin, std::cout, std::cerr);
}

}  // namespace tweather
