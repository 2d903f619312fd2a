// Image files of the stand-in host: the readers behind BitmapManager::Load (PNG 8 and 16
// bit, JPEG and TGA through stb_image, OpenEXR through the OpenEXR library) and the EXR
// writers for depth buffers and float images. Readers give linear float RGBA with row 0 at
// the top: 8- and 16-bit colour is decoded from sRGB, alpha stays linear, grey images are
// spread to RGB, and a missing alpha is 1. Every function is thread-safe.
#pragma once

#include <string>
#include <vector>

#include "max/bitmap.h"

namespace host {

struct ImageFile {
    int width = 0, height = 0;
    int type = BMM_NO_TYPE;  // the file's own pixel type (BMM_TRUE_64 for a 16-bit PNG, ...)
    bool hasAlpha = false;
    std::vector<float> rgba;  // width * height * 4, empty when only the header was read
};

// Reads `path` (by content, not by extension). BMMRES_SUCCESS, or FILENOTFOUND,
// NODRIVER (not an image format we read), CORRUPTFILE or MEMORYERROR with a message that
// names the file. With pixels == false only the size, type and alpha are filled.
BMMRES readImageFile(const std::string& path, ImageFile& out, bool pixels, std::string& error);

// One float channel "Z" (camera depth, scene units; +infinity where nothing was hit).
// Written atomically: a temporary file beside the target, then a rename.
bool writeExrDepth(const std::string& path, const float* depth, int width, int height, std::string& error);
// Float RGBA, linear, row 0 at the top. Written atomically.
bool writeExrRgba(const std::string& path, const float* rgba, int width, int height, std::string& error);

// The sRGB transfer curve's inverse (code value in [0, 1] to linear).
float srgbToLinear(float encoded);

}  // namespace host
