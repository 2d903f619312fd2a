// What `tweather fall render` did, frame by frame, for --stats and its closing summary: the
// record a job array's driver reads back to see which frames each chunk wrote.
#pragma once

#include <string>
#include <vector>

#include "app/frame_range.h"

namespace tweather {

enum class FrameResult { written, skipped, failed };

struct FrameRecord {
    int frame = 0;
    std::string file;  // as written to
    FrameResult result = FrameResult::failed;
    double seconds = 0.0;  // the whole frame: background read, render and write
    std::string status;    // the fall's status text, or why the frame failed
    // The parts of `seconds`: the picture read (or the preview render), the plug-in's
    // render, the write.
    double pictureSeconds = 0.0, renderSeconds = 0.0, writeSeconds = 0.0;
};

struct FallRenderStats {
    std::string scene, node, camera;
    std::string backend;  // "cpu" or "gpu": what rendered; nothing rendered: what was asked ("cpu" for auto)
    int width = 0, height = 0;
    FrameRange frames;  // this chunk's
    Chunk chunk;
    bool interrupted = false;
    std::vector<FrameRecord> records;

    int count(FrameResult result) const;
};

// The stats as JSON text: scene, node, camera, backend, width, height, first, last,
// chunk [I, N], written, skipped, failed, interrupted and frames [{frame, file, result,
// seconds, status, and the parts of seconds: pictureSeconds, renderSeconds, writeSeconds}].
std::string statsJson(const FallRenderStats& stats);

// Written atomically; false with a message naming the file.
bool writeStatsJson(const std::string& path, const FallRenderStats& stats, std::string& error);

// "3 frames written, 1 skipped, 0 failed (chunk 2/4: frames 10-13) in 4.2 s on the CPU".
std::string summaryLine(const FallRenderStats& stats, double seconds);

}  // namespace tweather
