#include "app/fall_render_stats.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"

namespace tweather {
namespace {

const char* resultName(FrameResult r) {
    switch (r) {
        case FrameResult::written:
            return "written";
        case FrameResult::skipped:
            return "skipped";
        case FrameResult::failed:
            break;
    }
    return "failed";
}

}  // namespace

int FallRenderStats::count(FrameResult result) const {
    int n = 0;
    for (const FrameRecord& r : records) n += r.result == result;
    return n;
}

std::string statsJson(const FallRenderStats& s) {
    using nlohmann::json;
    json frames = json::array();
    for (const FrameRecord& r : s.records)
        frames.push_back({{"frame", r.frame},
                          {"file", r.file},
                          {"result", resultName(r.result)},
                          {"seconds", r.seconds},
                          {"status", r.status},
                          {"pictureSeconds", r.pictureSeconds},
                          {"renderSeconds", r.renderSeconds},
                          {"writeSeconds", r.writeSeconds}});
    json j = {{"scene", s.scene},
              {"node", s.node},
              {"camera", s.camera},
              {"backend", s.backend},
              {"width", s.width},
              {"height", s.height},
              {"first", s.frames.first},
              {"last", s.frames.last},
              {"chunk", {s.chunk.index, s.chunk.count}},
              {"written", s.count(FrameResult::written)},
              {"skipped", s.count(FrameResult::skipped)},
              {"failed", s.count(FrameResult::failed)},
              {"interrupted", s.interrupted},
              {"frames", frames}};
    // Texts from file names and scenes need not be UTF-8: replace what is not.
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool writeStatsJson(const std::string& path, const FallRenderStats& stats, std::string& error) {
    return wx::writeFileAtomically(path, statsJson(stats), error);
}

std::string summaryLine(const FallRenderStats& s, double seconds) {
    char text[256];
    std::snprintf(text, sizeof text, "%d frame%s written, %d skipped, %d failed", s.count(FrameResult::written),
                  s.count(FrameResult::written) == 1 ? "" : "s", s.count(FrameResult::skipped),
                  s.count(FrameResult::failed));
    std::string line = text;
    if (s.chunk.count > 1) {
        std::snprintf(text, sizeof text, " (chunk %d/%d: frames %d-%d)", s.chunk.index, s.chunk.count, s.frames.first,
                      s.frames.last);
        line += text;
    }
    std::snprintf(text, sizeof text, " in %.2f s on the %s", seconds, s.backend == "gpu" ? "GPU" : "CPU");
    line += text;
    if (s.interrupted) line += "; interrupted";
    return line;
}

}  // namespace tweather
