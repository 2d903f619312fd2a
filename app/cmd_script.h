// tweather script: runs script expressions against a scene through the stand-in host, as
// the host's listener would, printing each result; a prompt when given nothing to run.
//   script [--scene FILE] [-e EXPR]... [FILE.ms] [--save OUT] [--plugin MODULE]...
// Each -e runs on its own, in order, then the file; a failing one is reported and the rest
// still run. Exit codes as app/exit_codes.h says (3: a script raised an uncaught error).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/subcommand.h"

namespace tweather {

struct ScriptOptions {
    std::string scene;
    std::vector<std::string> expressions;
    std::string file;
    std::string save;
    std::vector<std::string> plugins;
    bool objYUp = false;
    bool weatherPlugin = true;  // load the weather plug-in before the --plugin modules
};

// Runs the command over streams (the prompt reads `in`); the host must not be started yet.
int runScriptCommand(const ScriptOptions& o, std::istream& in, std::ostream& out, std::ostream& err);

// Runs one script text in the open scene: what it wrote to the listener, then its value
// in printed form (or the error text). False on a syntax or uncaught runtime error.
bool evalForListener(const std::wstring& text, std::wstring& written, std::wstring& value);

class ScriptCli : public Subcommand {
public:
    explicit ScriptCli(CLI::App& app);
    int run() override;

private:
    ScriptOptions options_;
};

}  // namespace tweather
