// The exit codes of every tweather command, so scripts that call it can tell a missing
// file from a mistyped option from a failing script.
#pragma once

namespace tweather {

enum ExitCode : int {
    kExitOk = 0,
    kExitIo = 1,      // a file could not be read or written, or the plug-in is missing
    kExitUsage = 2,   // bad options: unknown, malformed or out of range
    kExitScript = 3,  // a script raised an uncaught error
    // Stopped by SIGINT or SIGTERM once the step under way was finished (128 + SIGINT, as
    // a shell reports a program that Ctrl-C ended).
    kExitInterrupted = 130,
};

}  // namespace tweather
