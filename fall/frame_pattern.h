// Frame-numbered file names: a run of '#' in a name stands for the frame number, and the
// first frame of a rendered sequence ("shot_0012.exr") names the whole sequence. Pure
// text work, shared by the render commands, the rollout and the command line; any thread.
#pragma once

#include <string>

namespace wx {

// The first run of '#' replaced by `frame` printed with "%0*d", the width being the run's
// length (a minimum: a longer number is printed in full). Later runs stay as they are; a
// name without '#' comes back unchanged.
std::string expandFramePattern(const std::string& pattern, int frame);
std::wstring expandFramePattern(const std::wstring& pattern, int frame);

// Whether a name holds a '#' run, i.e. whether frames written under it get files of their own.
bool hasFrameRun(const std::string& pattern);
bool hasFrameRun(const std::wstring& pattern);

inline constexpr const wchar_t* kNoFrameNumberText = L"That file has no frame number at the end of its name.";

// A sequence named by its first frame.
struct SequenceFromFirstFrame {
    int start = 0;                   // the frame number at the end of the name
    std::wstring backgroundPattern;  // prefix + '#' x digits + extension
    std::wstring outputPattern;      // prefix + "weather_" + '#' x digits + ".png"
};

// Splits `firstFrame` into stem and extension at the last '.' of its file name (a dot in a
// folder name is no extension; no dot: the whole path is the stem) and reads the digits
// at the end of the stem. False when there are none, or when they do not fit an int: the
// name then gives no frame number (kNoFrameNumberText).
bool sequenceFromFirstFrame(const std::wstring& firstFrame, SequenceFromFirstFrame& out);

}  // namespace wx
