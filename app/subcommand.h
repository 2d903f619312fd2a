// One tweather subcommand. Each app/cmd_X.h declares a class XCli derived from this: its
// constructor adds the subcommand and its options to the command line, chosen() says
// whether the user named it, and run() does the work once parsing is over and returns an
// exit code (app/exit_codes.h). main.cpp makes them in the order the help lists them.
#pragma once

#include <CLI/CLI.hpp>

namespace tweather {

class Subcommand {
public:
    Subcommand(const Subcommand&) = delete;
    Subcommand& operator=(const Subcommand&) = delete;
    virtual ~Subcommand() = default;

    bool chosen() const { return cmd_->parsed(); }
    virtual int run() = 0;
    // Whether the command starts the host: main then lets a first interrupt press the
    // host's Escape key rather than end the program (app/interrupts.h).
    virtual bool runsHost() const { return true; }

protected:
    Subcommand() = default;
    CLI::App* cmd_ = nullptr;  // owned by the parent CLI::App
};

}  // namespace tweather
