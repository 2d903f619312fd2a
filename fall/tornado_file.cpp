#include "fall/tornado_file.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

namespace wx {

namespace {

constexpr int32_t kVersion = 1;
constexpr std::size_t kHeaderBytesUsed = 255;

// The number parsers behave as scanf's %d and %f (leading blanks skipped, a sign, base 10;
// strtof's forms for floats), except that an int that does not fit 32 bits is refused
// rather than left to scanf's undefined result.
bool parseInt(const char*& s, int32_t& out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE) return false;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
    s = end;
    return true;
}

bool parseFloat(const char*& s, float& out) {
    char* end = nullptr;
    out = std::strtof(s, &end);  // out of range gives +-inf, refused later where it matters
    if (end == s) return false;
    s = end;
    return true;
}

// A file that is closed however the reader leaves.
struct File {
    std::FILE* f = nullptr;
    explicit File(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

// Reads the first line up to and including its line feed (or to the end of the file), of
// which the first 255 bytes are kept. Answers the bytes consumed.
uint64_t readHeaderLine(std::FILE* f, std::string& line) {
    uint64_t consumed = 0;
    for (int c; (c = std::getc(f)) != EOF;) {
        ++consumed;
        if (c == '\n') break;
        if (line.size() < kHeaderBytesUsed) line.push_back(static_cast<char>(c));
    }
    return consumed;
}

uint32_t byteSwap(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

// The file is little-endian; on a big-endian machine every four-byte value is turned.
void fromLittleEndian(std::vector<TornadoFrame>& frames) {
    if constexpr (std::endian::native == std::endian::big) {
        for (TornadoFrame& frame : frames) {
            uint32_t words[kTornadoFrameBytes / 4];
            std::memcpy(words, &frame, kTornadoFrameBytes);
            for (uint32_t& w : words) w = byteSwap(w);
            std::memcpy(&frame, words, kTornadoFrameBytes);
        }
    }
}

// Every float the wind reads; the unread slots may hold anything.
constexpr float TornadoFrame::*kReadFloats[] = {
    &TornadoFrame::centreX,        &TornadoFrame::centreY,       &TornadoFrame::groundZ,
    &TornadoFrame::driftX,         &TornadoFrame::driftY,        &TornadoFrame::cloudBase,
    &TornadoFrame::leanX,          &TornadoFrame::leanY,         &TornadoFrame::leanPower,
    &TornadoFrame::wobble,         &TornadoFrame::wobbleFreq,    &TornadoFrame::peakSpeed,
    &TornadoFrame::coreRadius,     &TornadoFrame::coreGrowth,    &TornadoFrame::profileInner,
    &TornadoFrame::profileOuter,   &TornadoFrame::inflow,        &TornadoFrame::inflowDepth,
    &TornadoFrame::updraft,        &TornadoFrame::updraftWidth,  &TornadoFrame::downdraft,
    &TornadoFrame::satelliteSpeed, &TornadoFrame::satelliteCore, &TornadoFrame::satelliteOrbit,
    &TornadoFrame::parentSpeed,    &TornadoFrame::parentRadius,  &TornadoFrame::time,
};

bool framesFinite(const std::vector<TornadoFrame>& frames) {
    for (const TornadoFrame& frame : frames)
        for (auto field : kReadFloats)
            if (!std::isfinite(frame.*field)) return false;
    return true;
}

TornadoReadError checkHeader(const TornadoHeaderFields& h) {
    if (h.version != kVersion) return TornadoReadError::BadVersion;
    if (h.recordSize != static_cast<int32_t>(kTornadoFrameBytes)) return TornadoReadError::BadRecordSize;
    if (h.frameCount <= 0) return TornadoReadError::BadFrameCount;
    if (!std::isfinite(h.framesPerSecond)) return TornadoReadError::BadFramesPerSecond;
    if (!std::isfinite(h.unitsPerMetre) || h.unitsPerMetre == 0.0f) return TornadoReadError::BadUnitsPerMetre;
    return TornadoReadError::None;
}

}  // namespace

bool parseTornadoHeader(const std::string& line, TornadoHeaderFields& out) {
    std::string text = line.substr(0, kHeaderBytesUsed);  // read as C text: a NUL ends it
    const char* s = text.c_str();
    if (std::strncmp(s, "TTWIND", 6) != 0) return false;
    s += 6;
    TornadoHeaderFields h;
    if (!parseInt(s, h.version) || !parseInt(s, h.frameCount) || !parseInt(s, h.firstFrame) ||
        !parseFloat(s, h.framesPerSecond) || !parseFloat(s, h.unitsPerMetre) || !parseInt(s, h.recordSize))
        return false;
    out = h;
    return true;
}

TornadoReadError readTornadoFile(const std::string& path, TornadoFileData& data) {
    data.header = TornadoFileHeader{};
    data.frames.clear();
    data.frames.shrink_to_fit();
    data.reservedBytes = 0;

    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return TornadoReadError::CannotOpen;
    uint64_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec) return TornadoReadError::CannotOpen;
    File file(path);
    if (!file.f) return TornadoReadError::CannotOpen;

    std::string line;
    uint64_t headerBytes = readHeaderLine(file.f, line);
    TornadoHeaderFields h;
    if (!parseTornadoHeader(line, h)) return TornadoReadError::BadHeader;
    if (TornadoReadError e = checkHeader(h); e != TornadoReadError::None) return e;

    // 64-bit sizes: 2^31 - 1 frames of 140 bytes is about 300 GB, which no 32-bit product
    // can hold. Nothing is allocated unless the file really has the bytes.
    uint64_t frameBytes = static_cast<uint64_t>(h.frameCount) * kTornadoFrameBytes;
    uint64_t available = fileBytes > headerBytes ? fileBytes - headerBytes : 0;
    if (available < frameBytes) return TornadoReadError::ShortFile;

    std::vector<TornadoFrame> frames;
    try {
        frames.resize(static_cast<std::size_t>(h.frameCount));
    } catch (const std::bad_alloc&) {  // a real file larger than memory: not readable here
        return TornadoReadError::CannotOpen;
    }
    data.reservedBytes = frameBytes;
    if (std::fread(frames.data(), 1, frameBytes, file.f) != frameBytes) return TornadoReadError::ShortFile;
    fromLittleEndian(frames);
    if (!framesFinite(frames)) return TornadoReadError::BadFrameValues;

    data.header = {h.frameCount, h.firstFrame, h.framesPerSecond, h.unitsPerMetre};
    data.frames = std::move(frames);
    return TornadoReadError::None;
}

const char* tornadoReadErrorName(TornadoReadError error) {
    switch (error) {
        case TornadoReadError::None:
            return "read";
        case TornadoReadError::CannotOpen:
            return "cannot open";
        case TornadoReadError::BadHeader:
            return "bad header";
        case TornadoReadError::BadVersion:
            return "version is not 1";
        case TornadoReadError::BadRecordSize:
            return "record size is not 140";
        case TornadoReadError::BadFrameCount:
            return "no frames";
        case TornadoReadError::BadFramesPerSecond:
            return "frames per second not finite";
        case TornadoReadError::BadUnitsPerMetre:
            return "units per metre zero or not finite";
        case TornadoReadError::ShortFile:
            return "fewer frames than the header says";
        case TornadoReadError::BadFrameValues:
            return "frame values not finite";
    }
    return "unknown";
}

}  // namespace wx
