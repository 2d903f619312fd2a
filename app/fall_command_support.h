// What the `tweather fall` subcommands share: finding the fall they work on, reading a
// frame number, checking an output folder and showing progress on a terminal.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/distinct_files.h"
#include "app/particle_files.h"
#include "max/interval.h"

class INode;

namespace wx {
class WeatherFallFP;
}

namespace tweather {

// A frame number: the whole text, finite (fractions and negatives are fine).
bool parseFrame(const std::string& text, double& frame);

// After the session started: the weather plug-in's fall class is there and the scene
// (a scene file, glTF or OBJ) is open, its warnings passed to `fail`. 0 or the exit code.
int openFallScene(bool sessionStarted, const std::string& scenePath, void (*fail)(const std::string&));

// The frame (as parsed from `frameText`) to a whole tick at the open scene's frame rate;
// 0 or the usage exit code when it lies outside the time range.
int frameToTicks(double frame, const std::string& frameText, void (*fail)(const std::string&), TimeValue& t);

// The option checks every fall command makes before it starts the host; each says what is
// wrong through `fail` and answers 0 or the exit code.
// --frame: a frame number (usage code otherwise), into `frame`.
int readFrame(const std::string& text, double& frame, void (*fail)(const std::string&));
// `what` ("the output") names `path`, whose extension must be one of `extensions`, which
// `kinds` describes ("a .csv or .ply file"): the usage code otherwise.
int checkOutputKind(const std::string& path, std::initializer_list<const char*> extensions, const std::string& what,
                    const std::string& kinds, void (*fail)(const std::string&));
// The folder that would hold `path` can be written: the I/O code otherwise.
int checkOutputFolder(const std::string& path, void (*fail)(const std::string&));

// The outputs are neither the scene read (`scenePath`) nor each other, and each may be
// replaced (no folder, no read-only file): 0 or the exit code.
int checkOutputFiles(const std::string& scenePath, const std::vector<NamedFile>& outputs,
                     void (*fail)(const std::string&));

// Whether the folder that would hold `file` exists and may be written.
bool folderWritable(const std::string& file);

// The fall mixin of the node's base object, or null when the node holds no fall.
wx::WeatherFallFP* fallOf(INode* node);

std::string nodeNameOf(INode* node);

// The fall a command works on in the open scene: the one named `nodeName`, else the
// scene's only one. Messages go through `fail` (prefixed by the caller). 0 or the exit code:
// usage when the name names no fall or several falls leave the choice open, I/O when the
// scene (`scenePath`) holds none.
int pickFall(const std::string& nodeName, const std::string& scenePath, void (*fail)(const std::string&),
             INode*& picked);

// What a command is doing, on a terminal only, for counts large enough to wait for (a
// count unknown until the work is done: construct with kShownFrom to show it anyway).
class FallProgress {
public:
    // Fewer particles than this are written before anyone looks.
    static constexpr size_t kShownFrom = 1000000;

    explicit FallProgress(size_t total);
    ~FallProgress();
    FallProgress(const FallProgress&) = delete;
    FallProgress& operator=(const FallProgress&) = delete;

    // One line saying what is going on now; the next line or the end clears it.
    void say(const char* what) const;
    // Per-particle progress of a write.
    WriteProgress writing() const;

private:
    size_t total_;
    bool shown_;
};

}  // namespace tweather
