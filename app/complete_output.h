// Whether a frame's output from an earlier run is whole, so that --resume may keep it. A
// PNG from our writer has a size fixed by its pixel size (stored deflate blocks, one IDAT),
// so a file cut short anywhere, or one of another size or kind, fails the check without
// its pixels being read; an EXR must read whole at the size asked for.
#pragma once

#include <cstdint>
#include <string>

namespace tweather {

// The bytes our writer gives a width x height 16-bit RGBA PNG: 63 + R + 5 ceil(R / 65535)
// for the R = height (8 width + 1) bytes of scanlines.
uint64_t pngFileBytes(int width, int height);

// The signature, an IHDR of this size with 16-bit RGBA, exactly pngFileBytes bytes, and
// an IEND chunk at the end.
bool pngComplete(const std::string& path, int width, int height);

// The file reads as an image of this size.
bool exrComplete(const std::string& path, int width, int height);

// By the output's extension: .png or .exr.
bool outputComplete(const std::string& path, int width, int height);

}  // namespace tweather
