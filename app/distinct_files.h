// A command's inputs and outputs must be different files: an output that names an input
// would destroy what the command reads, two outputs naming one file would lose one of
// them. Checked before any work, by what the names lead to (links, "./", "..", hard
// links), not by their spelling.
#pragma once

#include <string>
#include <vector>

namespace tweather {

struct NamedFile {
    std::string option;  // how the user named it: "-o", "--stats", "the input"
    std::string path;
    bool objWithMtl = true;  // an .obj output writes its materials to the .mtl beside it
};

// The files an output writes: itself, and for an OBJ with materials its .mtl beside it.
std::vector<std::string> filesWrittenFor(const NamedFile& output);

// Every file the outputs write may be replaced (no folder, no read-only file): false with
// one line naming the option and the file otherwise.
bool checkOutputTargets(const std::vector<NamedFile>& outputs, std::string& error);

// Both checks, before a command starts its work: 0, or the exit code with `error` set
// (usage for names that clash, I/O for a target that cannot be replaced).
int checkOutputs(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs, std::string& error);

// False with one line naming both options and the file when an output (or the .mtl of an
// OBJ output) is one of the inputs or another output. Empty paths are skipped.
bool checkDistinctFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs,
                        std::string& error);

}  // namespace tweather
