// writePng16: the program's only image file writer. A float RGBA image becomes a 16-bit
// RGBA PNG whose pixel data sits in stored (uncompressed) deflate blocks, so writing is
// fast and needs no image library. The file appears whole or not at all: it is written
// under a temporary name beside the target and renamed into place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wx {

// image: width * height * 4 floats (R, G, B, A), row 0 at the top, colour linear and
// already multiplied by coverage. Colour is written through the sRGB curve, alpha as
// it is, both clamped to [0, 1]. Returns false (and leaves no file) when the image is
// empty or too large for one PNG chunk, or when any write, close or rename fails.
bool writePng16(const std::string& fileName, const float* image, int width, int height);

// The whole file in memory, as writePng16 would write it; empty when the image is empty
// or too large.
std::vector<uint8_t> encodePng16(const float* image, int width, int height);

}  // namespace wx
