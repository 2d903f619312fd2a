#include "app/map_points.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

namespace tweather {
namespace {

std::string trimmed(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return s.substr(a, b - a);
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        out.push_back(trimmed(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

bool finiteNumber(const std::string& text, double& v) {
    if (text.empty()) return false;
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(v);
}

}  // namespace

bool readMapPoints(const std::string& text, MapPointTable& out, std::string& error) {
    out = {};
    std::map<std::string, size_t> column;
    std::vector<std::string> names;
    size_t lineNo = 0, start = 0;
    bool haveHeader = false;
    const char* const kRequired[] = {"x", "y", "z", "nx", "ny", "nz", "u", "v"};
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trimmed(line).empty()) continue;
        const std::vector<std::string> f = fields(line);
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (!haveHeader) {
            haveHeader = true;
            out.header = line;
            names = f;
            for (size_t i = 0; i < f.size(); ++i) {
                if (!column.emplace(f[i], i).second) {
                    error = where + "the column '" + f[i] + "' appears twice";
                    return false;
                }
            }
            std::string missing;
            for (const char* name : kRequired)
                if (!column.count(name)) missing += (missing.empty() ? "" : ", ") + std::string(name);
            const int views = int(column.count("vx") + column.count("vy") + column.count("vz"));
            if (!missing.empty()) {
                error = where + "the header lacks the column(s) " + missing + " (x,y,z,nx,ny,nz,u,v are required)";
                return false;
            }
            if (views != 0 && views != 3) {
                error = where + "a view direction needs all of vx, vy and vz";
                return false;
            }
            continue;
        }
        if (f.size() != names.size()) {
            error = where + std::to_string(f.size()) + " fields where the header has " + std::to_string(names.size());
            return false;
        }
        MapPoint p;
        p.text = line;
        auto number = [&](const char* name, double& v) {
            if (finiteNumber(f[column.at(name)], v)) return true;
            error = where + "'" + name + "' is not a finite number: '" + f[column.at(name)] + "'";
            return false;
        };
        const char* const kPos[] = {"x", "y", "z"};
        const char* const kNormal[] = {"nx", "ny", "nz"};
        for (int k = 0; k < 3; ++k)
            if (!number(kPos[k], p.position[size_t(k)]) || !number(kNormal[k], p.normal[size_t(k)])) return false;
        if (!number("u", p.u) || !number("v", p.v)) return false;
        if (column.count("time")) {
            double frame = 0.0;
            if (!number("time", frame)) return false;
            p.frame = frame;
        }
        if (column.count("vx")) {
            std::array<double, 3> view{};
            const char* const kView[] = {"vx", "vy", "vz"};
            for (int k = 0; k < 3; ++k)
                if (!number(kView[k], view[size_t(k)])) return false;
            p.view = view;
        }
        if (column.count("face")) {
            double face = 0.0;
            if (!number("face", face)) return false;
            if (face != std::floor(face) || face < -2147483648.0 || face > 2147483647.0) {
                error = where + "'face' must be a whole number, not '" + f[column.at("face")] + "'";
                return false;
            }
            p.face = int(face);
        }
        if (column.count("node")) p.node = f[column.at("node")];
        out.points.push_back(std::move(p));
    }
    if (!haveHeader) {
        error = "the file is empty: it needs a header row (x,y,z,nx,ny,nz,u,v)";
        return false;
    }
    return true;
}

std::string shortestFloat(float v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

}  // namespace tweather
