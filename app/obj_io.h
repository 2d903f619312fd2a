// OBJ files for the snow command: a small reader that takes every face of the file as
// one triangle mesh (polygons fanned), and a writer for the object and its snow shell as
// separate groups. Errors come back as text naming the file and line; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/v3.h"
#include "snow/snow_types.h"

namespace tweather {

struct ObjMesh {
    std::vector<wx::V3> positions;
    std::vector<int32_t> faces;  // three 0-based position indices per triangle
};

// Reads positions ("v") and faces ("f", any of the v, v/t, v//n, v/t/n forms, negative
// indices counted back from the last vertex); other statements are skipped.
bool readObj(const std::string& path, ObjMesh& mesh, std::string& error);

// Writes `object` (group "object", when not null) and the shell (group "snow", with its
// UVs) in world units. Equal inputs give byte-identical files.
bool writeSnowObj(const std::string& path, const ObjMesh* object, const wx::SnowShell& shell, std::string& error);

}  // namespace tweather
