#include "app/frame_range.h"

#include <charconv>
#include <string_view>

namespace tweather {
namespace {

// A whole int at the start of `text` (an optional '-', then digits); the characters read.
size_t readInt(std::string_view text, int& value) {
    const size_t digitsFrom = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() <= digitsFrom || text[digitsFrom] < '0' || text[digitsFrom] > '9') return 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? size_t(end - text.data()) : 0;
}

}  // namespace

bool parseFrames(const std::string& text, FrameRange& out) {
    const std::string_view all(text);
    int first = 0;
    const size_t used = readInt(all, first);
    if (used == 0) return false;
    if (used == all.size()) {
        out = {first, first};
        return true;
    }
    if (all[used] != '-') return false;
    int last = 0;
    const std::string_view rest = all.substr(used + 1);
    const size_t lastUsed = readInt(rest, last);
    if (lastUsed == 0 || lastUsed != rest.size() || last < first) return false;
    out = {first, last};
    return true;
}

bool parseChunk(const std::string& text, Chunk& out) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const std::string_view index = std::string_view(text).substr(0, slash),
                           count = std::string_view(text).substr(slash + 1);
    int i = 0, n = 0;
    if (index.empty() || index[0] == '-' || count.empty() || count[0] == '-') return false;
    if (readInt(index, i) != index.size() || readInt(count, n) != count.size()) return false;
    if (n < 1 || i < 1 || i > n) return false;
    out = {i, n};
    return true;
}

FrameRange chunkOf(const FrameRange& range, const Chunk& chunk) {
    // In 64 bits: F can be near 2^32 and I x F near 2^63 is out of reach of an int index.
    const long long frames = range.count();
    const long long from = (long long)(chunk.index - 1) * frames / chunk.count;
    const long long to = (long long)chunk.index * frames / chunk.count;
    return {int(range.first + from), int(range.first + to - 1)};
}

}  // namespace tweather
