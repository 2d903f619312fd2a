// The frames a render command works on: "A-B" or "A" (inclusive, negatives allowed, as
// "-5--2"), and the share of them that chunk I of N takes, so that N jobs of a job array
// (Slurm: --array=1-N, --chunk $SLURM_ARRAY_TASK_ID/N) render the range once between them.
#pragma once

#include <string>

namespace tweather {

struct FrameRange {
    int first = 0, last = 0;  // inclusive; last < first only for an empty chunk
    bool empty() const { return last < first; }
    long long count() const { return empty() ? 0 : (long long)last - first + 1; }
};

// "A" or "A-B" with whole numbers; false when the text is anything else or B < A.
bool parseFrames(const std::string& text, FrameRange& out);

struct Chunk {
    int index = 1, count = 1;  // 1 <= index <= count
};

// "I/N" with 1 <= I <= N; false otherwise.
bool parseChunk(const std::string& text, Chunk& out);

// Frames first + floor((I-1)F/N) to first + floor(IF/N) - 1 of the F frames of `range`:
// contiguous, differing in length by at most one frame, and together the whole range. A
// chunk beyond the frames there are (N > F) is empty.
FrameRange chunkOf(const FrameRange& range, const Chunk& chunk);

}  // namespace tweather
