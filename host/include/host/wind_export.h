// The storm helper's wind as a tornado wind file (.ttw), as the maker's tornado plug-in
// writes it: the header line "TTWIND 1 <frames> <first frame> <fps> <units per metre> 140",
// then one 140-byte record a frame (35 little-endian 4-byte words) over the scene's
// animation range. The funnel's ground centre and height come from the node's position,
// the storm's drift from that position's change over a frame, the rest from the storm's
// parameters; the words the wind reader leaves unread are written as 0. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "max/inode.h"

namespace host {

inline constexpr int kWindRecordBytes = 140;
// A longer animation range is refused rather than written (140 MB of frames).
inline constexpr int kMaxWindFrames = 1000000;

using WindRecord = std::array<uint8_t, kWindRecordBytes>;

// The record of the storm on `node` at t (the node must hold a storm helper).
WindRecord stormWindRecord(INode* node, TimeValue t);

// Writes the file through a temporary file and a rename; the number of frames written, or
// -1 with `error` set (the node holds no storm, the range is too long, the file cannot be
// written) and the previous file, if any, left as it was.
int exportStormWind(INode* node, const std::string& path, std::string& error);

}  // namespace host
