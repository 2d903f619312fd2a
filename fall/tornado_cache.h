// The fall object's tornado wind cache: finds the wind file (the user's path, or the file
// the tornado plug-in exports for a picked node into the temporary folder), reads it again
// only when the path, its write time or its size changes, and answers the TornadoWind one
// evaluation sees together with the tornado status text. A file that was refused is not
// read again until it changes. One cache per object; main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "fall/tornado_file.h"
#include "fall/tornado_wind.h"

namespace wx {

// What one fetch needs, read by the glue at the evaluation's time.
struct TornadoFetchInputs {
    float influence = 1.0f;   // tornadoInfluence
    float carriedFor = 3.0f;  // tornadoWindow, seconds
    float reach = 30000.0f;   // tornadoReach, scene units
    uint64_t nodeHandle = 0;  // the picked tornado node's handle; 0 when none is picked
    std::string filePath;     // tornadoFile, UTF-8; empty to use the node's export
    bool requestExport = false;
    // Runs the tornado plug-in's export of the node's wind to the given path (UTF-8) and
    // answers the text the command returned; the glue builds the command with
    // tornadoExportExpression (utility/script_bridge.h), which turns backslashes into
    // forward slashes and quotes the path safely. Only called when an export is requested.
    std::function<std::string(const std::string& path)> runExport;
};

// "$TMPDIR/TarnwickWeather" (TMPDIR unset or empty: /tmp), without a trailing separator.
std::string tornadoTempFolder();
// The file a picked node's wind is exported to: tornadoTempFolder() + "/tornado_<handle>.ttw".
std::string tornadoExportPath(uint64_t nodeHandle);

class TornadoWindCache {
public:
    // Fills `out` (first reset to the "nothing loaded" values) and answers true when frames
    // are loaded. `tornadoStatus` is changed as the fetch finds things ("tornado: no file
    // yet <path>", ...) and left alone when the influence is 0 or less; `mainStatus` becomes
    // "tornado: " and the export command's text when an export runs. `out.frames` stays
    // valid until the next fetch.
    bool fetch(const TornadoFetchInputs& in, TornadoWind& out, std::string& tornadoStatus, std::string& mainStatus);

    const TornadoFileData& data() const { return data_; }
    int readCount() const { return reads_; }  // files read so far, refused or not

private:
    std::string path_;         // the file last read (or refused)
    int64_t writeTimeNs_ = 0;  // its last-write time when read
    uint64_t sizeBytes_ = 0;   // its size when read
    bool refused_ = false;     // the file at path_ was refused as it is
    TornadoFileData data_;
    int reads_ = 0;
};

}  // namespace wx
