#include "fall/tornado_cache.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace wx {

namespace {

// What identifies one version of a file: a rewrite changes its write time or its size.
struct FileStamp {
    int64_t writeTimeNs = 0;
    uint64_t sizeBytes = 0;
};

// False when the file's attributes cannot be read (it does not exist). A folder has a
// write time but no size; it gets the largest size and is refused by the reader.
bool stampOf(const std::string& path, FileStamp& stamp) {
    std::error_code ec;
    auto written = std::filesystem::last_write_time(path, ec);
    if (ec) return false;
    stamp.writeTimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    uint64_t size = std::filesystem::file_size(path, ec);
    stamp.sizeBytes = ec ? std::numeric_limits<uint64_t>::max() : size;
    return true;
}

std::string loadedStatus(const TornadoFileHeader& h, float influence, float reach) {
    char text[320];
    std::snprintf(text, sizeof text, "tornado: %d frames from %d, %.0f units/m, influence %.2f, reach %.0f",
                  h.frameCount, h.firstFrame, static_cast<double>(h.unitsPerMetre), static_cast<double>(influence),
                  static_cast<double>(reach));
    return text;
}

}  // namespace

std::string tornadoTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder + "TarnwickWeather";
}

std::string tornadoExportPath(uint64_t nodeHandle) {
    return tornadoTempFolder() + "/tornado_" + std::to_string(nodeHandle) + ".ttw";
}

bool TornadoWindCache::fetch(const TornadoFetchInputs& in, TornadoWind& out, std::string& tornadoStatus,
                             std::string& mainStatus) {
    out = TornadoWind{};
    if (!(in.influence > 0.0f)) return false;

    std::string path = in.filePath;
    if (path.empty()) {
        if (in.nodeHandle == 0) {
            tornadoStatus = "tornado: no node / file";
            return false;
        }
        std::error_code ignored;  // a folder that cannot be made shows as "no file yet"
        std::filesystem::create_directories(tornadoTempFolder(), ignored);
        path = tornadoExportPath(in.nodeHandle);
        if (in.requestExport && in.runExport) mainStatus = "tornado: " + in.runExport(path);
    }

    FileStamp stamp;
    if (!stampOf(path, stamp)) {
        tornadoStatus = "tornado: no file yet " + path;
        return false;
    }

    bool changed = path != path_ || stamp.writeTimeNs != writeTimeNs_ || stamp.sizeBytes != sizeBytes_;
    if (changed) {
        // The path and stamp are kept even when the file is refused, so an unchanged bad
        // file is not read again at every evaluation.
        path_ = path;
        writeTimeNs_ = stamp.writeTimeNs;
        sizeBytes_ = stamp.sizeBytes;
        ++reads_;
        refused_ = readTornadoFile(path, data_) != TornadoReadError::None;
    }
    if (refused_) {
        tornadoStatus = "tornado: cannot read " + path;
        return false;
    }
    if (data_.frames.empty()) return false;

    out.frames = data_.frames.data();
    out.frameCount = data_.header.frameCount;
    out.firstFrame = data_.header.firstFrame;
    out.framesPerSecond = data_.header.framesPerSecond;
    out.unitsPerMetre = data_.header.unitsPerMetre;
    out.influence = in.influence;
    out.carriedFor = in.carriedFor;
    out.reach = in.reach;
    tornadoStatus = loadedStatus(data_.header, in.influence, in.reach);
    return true;
}

}  // namespace wx
