// Reading a tornado wind file (".ttw"): a one-line text header
// "TTWIND version frameCount firstFrame framesPerSecond unitsPerMetre recordSize" and then
// frameCount records of 140 bytes (TornadoFrame), read as one block. A file is refused
// whole or taken whole. The header is checked against the file's size before anything is
// allocated, so a lying frame count never reserves more memory than the file holds.
// Pure function of the file's bytes; safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fall/tornado_frame.h"

namespace wx {

struct TornadoFileHeader {
    int32_t frameCount = 0;
    int32_t firstFrame = 0;
    float framesPerSecond = 24.0f;
    float unitsPerMetre = 1.0f;
};

// Why a file was refused (None: it was read).
enum class TornadoReadError {
    None,
    CannotOpen,          // missing, a folder, or unreadable
    BadHeader,           // the first line is not "TTWIND" and six numbers
    BadVersion,          // version other than 1
    BadRecordSize,       // record size other than 140
    BadFrameCount,       // 0 or fewer frames
    BadFramesPerSecond,  // not finite: the frame index would be NaN
    BadUnitsPerMetre,    // 0 or not finite: points are divided by it
    ShortFile,           // fewer bytes than frameCount records follow the header
    BadFrameValues,      // a value the wind reads is infinite or NaN
};

struct TornadoFileData {
    TornadoFileHeader header;
    std::vector<TornadoFrame> frames;
    uint64_t reservedBytes = 0;  // bytes allocated for frames by the last read, refused or not
};

// The header line's first 255 bytes, parsed as the tornado plug-in writes them; false
// unless all six fields parse and each int fits 32 bits. Exposed for tests.
struct TornadoHeaderFields {
    int32_t version = 0, frameCount = 0, firstFrame = 0, recordSize = 0;
    float framesPerSecond = 0.0f, unitsPerMetre = 0.0f;
};
bool parseTornadoHeader(const std::string& line, TornadoHeaderFields& out);

// Reads `path` into `data`. The header starts at its reset values (0 frames from 0, 24 per
// second, 1 unit per metre) and the frames empty, and stay so on a refusal.
TornadoReadError readTornadoFile(const std::string& path, TornadoFileData& data);

const char* tornadoReadErrorName(TornadoReadError error);

}  // namespace wx
