// writePng16: the program's only image file writer. A float RGBA image becomes a 16-bit
// RGBA PNG whose pixel data sits in stored (uncompressed) deflate blocks, so writing is
// fast and needs no image library. The pixel data is encoded in bands in parallel while
// the previous band is written, so memory stays small whatever the image size. The
// file appears whole or not at all: it goes through the atomic writer (common/atomic_file.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wx {

// How the colour channels become 16-bit codes. srgb: colour through the sRGB curve (a
// picture). data: every channel as it is, code = v x 65535 rounded (a mask or a normal map
// that engines read as numbers, not as light). Alpha is written as it is either way.
enum class PngColour : uint8_t { srgb, data };

// image: width * height * 4 floats (R, G, B, A), row 0 at the top, colour linear and
// already multiplied by coverage. Colour is written through the sRGB curve, alpha as
// it is, both clamped to [0, 1]. Returns false (and leaves no file) when the image is
// empty or too large for one PNG chunk, or when any write, close or rename fails.
bool writePng16(const std::string& fileName, const float* image, int width, int height,
                PngColour colour = PngColour::srgb);
// The same, with a message naming the file and the reason (a full disk says so).
bool writePng16(const std::string& fileName, const float* image, int width, int height, std::string& error,
                PngColour colour = PngColour::srgb);

// Receives the file's bytes in order, from one thread at a time (not always the
// caller's); returning false stops the encoding.
using PngByteSink = std::function<bool(const uint8_t* bytes, size_t size)>;

// The same bytes to any sink; false when the image is empty or too large or the sink
// refused.
bool streamPng16(const float* image, int width, int height, const PngByteSink& sink,
                 PngColour colour = PngColour::srgb);

// The whole file in memory; empty when the image is empty or too large.
std::vector<uint8_t> encodePng16(const float* image, int width, int height, PngColour colour = PngColour::srgb);

}  // namespace wx
