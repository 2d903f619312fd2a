// The snow builder called straight from C++, for the Python module's tests: reads raw
// little-endian arrays written by the test, builds with the table's defaults (lengths
// scaled from centimetres by units-per-metre / 100), and writes the shell's arrays raw.
// Usage: snow_reference POSITIONS.f32 TRIANGLES.i32 SHELTER.f32|- UNITS_PER_METRE OUT_PREFIX
// writes OUT_PREFIX.positions, .triangles, .uvw and .kinds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shelter/bvh.h"
#include "snow/snow_builder.h"
#include "snow/snow_params.h"

namespace {

template <class T>
std::vector<T> readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<T> out(bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

template <class T>
bool writeAll(const std::string& path, const std::vector<T>& values) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * sizeof(T)));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: snow_reference POSITIONS TRIANGLES SHELTER|- UNITS_PER_METRE OUT_PREFIX\n");
        return 2;
    }
    const std::vector<wx::V3> positions = readAll<wx::V3>(argv[1]);
    const std::vector<int32_t> triangles = readAll<int32_t>(argv[2]);
    const double unitsPerMetre = std::atof(argv[4]);
    wx::ShelterBVH shelter;
    const bool sheltered = std::string(argv[3]) != "-";
    if (sheltered) wx::buildBVH(readAll<wx::V3>(argv[3]), shelter);

    wx::SnowSettings settings;
    for (const wx::SnowParamRow& row : wx::snowParamRows()) {
        if (!row.field.bound()) continue;
        const double v = row.kind == wx::ParamKind::WorldLength ? row.def * unitsPerMetre / 100.0 : row.def;
        if (row.isNumber())
            row.field.set(settings, float(v));
        else
            row.field.set(settings, int(v));
    }
    wx::SnowShell shell;
    wx::SnowStats stats;
    wx::buildSnow(positions, triangles, {}, sheltered ? &shelter : nullptr, settings, shell, stats);
    const std::string prefix = argv[5];
    const bool ok = writeAll(prefix + ".positions", shell.vertices) && writeAll(prefix + ".triangles", shell.indices) &&
                    writeAll(prefix + ".uvw", shell.uvw) && writeAll(prefix + ".kinds", shell.kinds);
    return ok ? 0 : 1;
}
