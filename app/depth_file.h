// Depth pictures that render commands read beside a background: an OpenEXR file whose "Z"
// channel (or its only channel) holds camera depth along the view axis in scene units,
// +infinity where nothing was hit, as `tweather render --depth` writes it. Thread-safe.
#pragma once

#include <string>
#include <vector>

namespace tweather {

struct DepthPicture {
    int width = 0, height = 0;
    std::vector<float> depth;  // width * height, row 0 at the top
};

// False with a message naming the file when it is missing, no EXR, damaged or holds no
// depth channel.
bool readDepthExr(const std::string& path, DepthPicture& out, std::string& error);

}  // namespace tweather
