#include "app/cmd_snow.h"

#include <cmath>
#include <cstdio>
#include <exception>

#include "app/obj_io.h"
#include "app/snow_params.h"
#include "shelter/bvh.h"
#include "snow/snow_builder.h"

namespace tweather {
namespace {

constexpr int kExitIo = 1;
constexpr int kExitUsage = 2;

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

std::string statsJson(const wx::SnowStats& s, const std::string& status) {
    std::string j = "{\n";
    auto field = [&](const char* name, const std::string& value, bool last = false) {
        j += "  \"" + std::string(name) + "\": " + value + (last ? "\n" : ",\n");
    };
    field("facesIn", std::to_string(s.facesIn));
    field("upFacing", std::to_string(s.upFacing));
    field("trianglesOut", std::to_string(s.trianglesOut));
    field("verticesOut", std::to_string(s.verticesOut));
    field("sceneTriangles", std::to_string(s.sceneTriangles));
    field("detail", jsonNumber(s.detail));
    field("buildMs", jsonNumber(s.buildMs));
    field("refineMs", jsonNumber(s.refineMs));
    field("shelterMs", jsonNumber(s.shelterMs));
    field("usedGPU", s.usedGPU ? "true" : "false");
    field("openSky", jsonNumber(s.openSky));
    field("meanAmount", jsonNumber(s.meanAmount));
    field("thickest", jsonNumber(s.thickest));
    field("status", jsonString(status), true);
    return j + "}\n";
}

// Three world positions per triangle, the hierarchy's input. A corner with a non-finite
// coordinate would spoil the boxes, so such triangles are left out.
void appendTriangleSoup(const ObjMesh& mesh, std::vector<wx::V3>& soup) {
    for (size_t i = 0; i + 2 < mesh.faces.size(); i += 3) {
        const wx::V3 a = mesh.positions[size_t(mesh.faces[i])], b = mesh.positions[size_t(mesh.faces[i + 1])],
                     c = mesh.positions[size_t(mesh.faces[i + 2])];
        if (std::isfinite(a.x + a.y + a.z + b.x + b.y + b.z + c.x + c.y + c.z)) soup.insert(soup.end(), {a, b, c});
    }
}

bool writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace

int runSnowCommand(const SnowCommand& command) {
    SnowParamValues values;
    for (const std::string& set : command.sets) {
        std::string warning, error;
        if (!applySnowSet(set, values, warning, error)) {
            std::fprintf(stderr, "tweather snow: %s\n", error.c_str());
            return kExitUsage;
        }
        if (!warning.empty()) std::fprintf(stderr, "tweather snow: warning: %s\n", warning.c_str());
    }

    ObjMesh mesh;
    std::string error;
    if (!readObj(command.input, mesh, error)) {
        std::fprintf(stderr, "tweather snow: %s\n", error.c_str());
        return kExitIo;
    }

    // Occluders: meshes that cast shelter but get no snow of their own.
    std::vector<ObjMesh> occluders(command.occluderFiles.size());
    for (size_t i = 0; i < occluders.size(); ++i) {
        if (!readObj(command.occluderFiles[i], occluders[i], error)) {
            std::fprintf(stderr, "tweather snow: %s\n", error.c_str());
            return kExitIo;
        }
    }
    const bool sheltered = command.shelter != "nothing";

    const wx::SnowSettings settings = toSnowSettings(values);
    wx::SnowShell shell;
    wx::SnowStats stats;
    try {
        wx::ShelterBVH shelter;
        if (sheltered) {
            std::vector<wx::V3> soup;
            appendTriangleSoup(mesh, soup);
            for (const ObjMesh& occluder : occluders) appendTriangleSoup(occluder, soup);
            wx::buildBVH(soup, shelter);
        }
        wx::buildSnow(mesh.positions, mesh.faces, {}, sheltered ? &shelter : nullptr, settings, shell, stats);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tweather snow: the build failed: %s (try a smaller maxTris)\n", e.what());
        return kExitIo;
    }

    const std::string status = snowStatusText(stats, settings, sheltered ? "this object" : "off");
    const bool snowOnly = values.get("output") != 0.0;
    if (!writeSnowObj(command.output, snowOnly ? nullptr : &mesh, shell, error)) {
        std::fprintf(stderr, "tweather snow: %s\n", error.c_str());
        return kExitIo;
    }
    if (!command.statsPath.empty() && !writeText(command.statsPath, statsJson(stats, status))) {
        std::fprintf(stderr, "tweather snow: cannot write the statistics '%s' (check the folder exists and is writable)\n",
                     command.statsPath.c_str());
        return kExitIo;
    }
    std::printf("%s\nwrote %s\n", status.c_str(), command.output.c_str());
    return 0;
}

}  // namespace tweather
