#include "app/runoff_files.h"

#include <charconv>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/atomic_file.h"

namespace tweather {
namespace {

constexpr const char* kOffLine = "run-off: off (needs rain, Stop at the scene on and Run-off from edges above 0)";

// %.9g of the value widened to double, as printf would write it.
void putValue(std::string& out, float v) {
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, double(v), std::chars_format::general, 9).ptr);
}

void putPoint(std::string& out, const char* head, wx::V3 p, char sep) {
    out += head;
    putValue(out, p.x);
    out += sep;
    putValue(out, p.y);
    out += sep;
    putValue(out, p.z);
}

// The float as the shortest decimal that reads back to it, so JSON shows 981.00006 rather
// than the double 981.0000610351563.
double shortest(float v) {
    char text[32];
    *std::to_chars(text, text + sizeof text - 1, v).ptr = '\0';
    return std::strtod(text, nullptr);
}

bool writeAll(const std::string& path, const std::string& text, std::string& error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    file.write(text);
    return file.commit(error);
}

}  // namespace

std::string runoffLine(const wx::FallRenderSetup& setup) {
    if (!setup.runoff || !setup.drips) return kOffLine;
    return "run-off: " + std::to_string(setup.drips->edges.size()) + " edges, " + std::to_string(setup.dripDrops) +
           " drops";
}

RunoffSummary summarizeRunoff(const wx::FallRenderSetup& setup) {
    RunoffSummary s;
    if (setup.runoff && setup.drips) {
        s.edges = setup.drips->edges.size();
        s.totalWeight = setup.drips->totalWeight;
    }
    s.drops = setup.dripDrops;
    s.dripRate = setup.dripRate;
    s.count = setup.count;
    s.height = setup.height;
    s.gravity = setup.gravity;
    s.sceneTriangles = setup.scene ? setup.scene->tris.size() : 0;
    s.status = runoffLine(setup);
    return s;
}

bool writeDripEdgesObj(const std::string& path, const wx::DripEdgeList* list, std::string& error) {
    std::string text = "# drip edges: two vertices and a line each\n";
    if (list)
        for (const wx::DripEdge& e : list->edges) {
            putPoint(text, "v ", e.p0, ' ');
            putPoint(text, "\nv ", e.p1, ' ');
            text += "\nl -2 -1\n";
        }
    return writeAll(path, text, error);
}

bool writeDripEdgesCsv(const std::string& path, const wx::DripEdgeList* list, std::string& error) {
    std::string text = "x0,y0,z0,x1,y1,z1,weight,cumWeight\n";
    if (list)
        for (size_t i = 0; i < list->edges.size(); ++i) {
            const wx::DripEdge& e = list->edges[i];
            putPoint(text, "", e.p0, ',');
            putPoint(text, ",", e.p1, ',');
            text += ',';
            putValue(text, e.weight);
            text += ',';
            putValue(text, list->cumWeight[i]);
            text += '\n';
        }
    return writeAll(path, text, error);
}

bool writeRunoffJson(const std::string& path, const RunoffSummary& s, std::string& error) {
    nlohmann::ordered_json j = {{"edges", s.edges},
                                {"totalWeight", shortest(s.totalWeight)},
                                {"drops", s.drops},
                                {"dripRate", shortest(s.dripRate)},
                                {"count", s.count},
                                {"height", shortest(s.height)},
                                {"gravity", shortest(s.gravity)},
                                {"sceneTriangles", s.sceneTriangles},
                                {"status", s.status}};
    return writeAll(path, j.dump(2) + "\n", error);
}

}  // namespace tweather
