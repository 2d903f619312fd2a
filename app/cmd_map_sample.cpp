// tweather map sample: shades a Weather Map at the rows of a point file and writes each row
// back with the map's mono value, colour and world-space bump beside it.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/atomic_file.h"
#include "app/cmd_map.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/map_command_support.h"
#include "app/map_points.h"
#include "app/map_shade_context.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "max/material.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather map sample";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

bool readWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return bool(in) || in.eof();
}

Point3 point(const std::array<double, 3>& a) {
    return Point3(float(a[0]), float(a[1]), float(a[2]));
}

}  // namespace

int runMapSample(const MapSampleCommand& c) {
    if (int rc = checkOutputKind(c.output, {".csv"}, "the output", "a .csv file", fail)) return rc;
    double frame = 0.0;
    if (!parseFrame(c.frame, frame)) {
        fail("--time must be a frame number, not '" + c.frame + "'");
        return kExitUsage;
    }
    std::string text;
    if (!readWhole(c.points, text)) {
        fail("cannot read '" + c.points + "' (check the file exists and is readable)");
        return kExitIo;
    }
    MapPointTable table;
    std::string error;
    if (!readMapPoints(text, table, error)) {
        fail("'" + c.points + "' " + error);
        return kExitIo;
    }
    if (int rc = checkOutputFolder(c.output, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openMapScene(session.started(), c.scene, fail)) return rc;
    Texmap* map = findWeatherMap(c.map, fail);
    if (!map) return kExitUsage;
    TimeValue t = 0;
    if (int rc = frameToTicks(frame, c.frame, fail, t)) return rc;

    // Every row's time and node first, so that a bad row leaves no file.
    std::vector<TimeValue> times(table.points.size(), t);
    std::vector<INode*> nodes(table.points.size(), nullptr);
    for (size_t i = 0; i < table.points.size(); ++i) {
        const MapPoint& p = table.points[i];
        const std::string where = "'" + c.points + "' row " + std::to_string(i + 1) + ": ";
        if (p.frame && frameToTicks(*p.frame, shortestFloat(float(*p.frame)), fail, times[i]) != 0) {
            fail(where + "the time lies outside the scene's range");
            return kExitIo;
        }
        if (!p.node.empty() && !(nodes[i] = nodeNamed(p.node))) {
            fail(where + "no node is named '" + p.node + "'");
            return kExitIo;
        }
    }
    if (!c.noCapture) captureShelterThrough(map, t);

    std::string out = table.header + ",mono,color_r,color_g,color_b,color_a,perturb_x,perturb_y,perturb_z\n";
    MapShadeContext sc;
    sc.fixedUv = true;
    for (size_t i = 0; i < table.points.size(); ++i) {
        const MapPoint& p = table.points[i];
        Interval valid = FOREVER;
        map->Update(times[i], valid);
        const Point3 n = point(p.normal).Normalize();
        const Point3 view = p.view ? point(*p.view).Normalize() : -n;
        sc.uv = Point3(float(p.u), float(p.v), 0.0f);
        sc.aim(point(p.position), n, view, times[i], nodes[i], p.face);
        const float mono = map->EvalMono(sc);
        const AColor colour = map->EvalColor(sc);
        const Point3 bump = map->EvalNormalPerturb(sc);
        out += p.text;
        for (float v : {mono, colour.r, colour.g, colour.b, colour.a, bump.x, bump.y, bump.z})
            out += "," + shortestFloat(v);
        out += "\n";
    }
    AtomicFile file(c.output);
    if (!file.open(error)) {
        fail(error);
        return kExitIo;
    }
    file.write(out);
    if (!file.commit(error)) {
        fail(error);
        return kExitIo;
    }
    std::printf("%zu samples of \"%s\" written to %s\n", table.points.size(), c.map.c_str(), c.output.c_str());
    return kExitOk;
}

}  // namespace tweather
