#include "app/snow_params.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tweather {

const std::vector<SnowParamInfo>& snowParamTable() {
    using K = ParamKind;
    static const std::vector<SnowParamInfo> table = {
        {"depth", K::kFloat, 10.0, 0.0, 1e6},
        {"slopeMax", K::kFloat, 55.0, 0.0, 89.0},
        {"slopeSoft", K::kFloat, 20.0, 0.0, 89.0},
        {"coverage", K::kFloat, 1.0, 0.0, 1.0},
        {"patchScale", K::kFloat, 80.0, 0.001, 1e7},
        {"seed", K::kInt, 1, 0, 999999},
        {"groundCover", K::kFloat, 1.0, 0.0, 1.0},
        {"groundBand", K::kFloat, 40.0, 0.0, 1e6},
        {"edgeRound", K::kFloat, 6.0, 0.0, 1e6},
        {"smoothing", K::kInt, 2, 0, 50},
        {"overhang", K::kFloat, 0.0, 0.0, 1e6},
        {"noiseAmount", K::kFloat, 0.25, 0.0, 2.0},
        {"noiseScale", K::kFloat, 50.0, 0.001, 1e7},
        {"resolution", K::kFloat, 3.0, 0.001, 1e6},
        {"maxTris", K::kInt, 500000, 1000, 50000000},
        {"occlusion", K::kFloat, 1.0, 0.0, 1.0},
        {"occRays", K::kInt, 24, 1, 256},
        {"spread", K::kFloat, 25.0, 1.0, 80.0},
        {"occDist", K::kFloat, 0.0, 0.0, 1e7},
        {"useGPU", K::kBool, 1, 0, 1},
        {"windAngle", K::kFloat, 0.0, -360.0, 360.0},
        {"drift", K::kFloat, 0.0, 0.0, 1.0},
        {"leeDist", K::kFloat, 300.0, 0.0, 1e7},
        {"output", K::kInt, 0, 0, 1},
        {"closed", K::kBool, 1, 0, 1},
        {"uvScale", K::kFloat, 100.0, 0.001, 1e7},
    };
    return table;
}

std::string snowParamNames() {
    std::string names;
    for (const SnowParamInfo& p : snowParamTable()) names += (names.empty() ? "" : ", ") + std::string(p.name);
    return names;
}

SnowParamValues::SnowParamValues() {
    for (const SnowParamInfo& p : snowParamTable()) values.push_back(p.defaultValue);
}

double SnowParamValues::get(const char* name) const {
    const auto& table = snowParamTable();
    for (size_t i = 0; i < table.size(); ++i)
        if (std::strcmp(table[i].name, name) == 0) return values[i];
    return 0.0;
}

namespace {

bool parseBool(const std::string& text, double& value) {
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (t == "1" || t == "on" || t == "true" || t == "yes") return value = 1, true;
    if (t == "0" || t == "off" || t == "false" || t == "no") return value = 0, true;
    return false;
}

bool parseNumber(const std::string& text, ParamKind kind, double& value) {
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    if (begin == end) return false;
    if (kind == ParamKind::kInt) {
        long long v = 0;
        auto [ptr, ec] = std::from_chars(begin, end, v);
        // Out-of-range whole numbers still clamp: they are numbers, just large ones.
        if (ec == std::errc::result_out_of_range) return value = (*begin == '-' ? -1e300 : 1e300), true;
        if (ec != std::errc() || ptr != end) return false;
        value = double(v);
        return true;
    }
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::string formatNumber(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

}  // namespace

bool applySnowSet(const std::string& assignment, SnowParamValues& values, std::string& warning, std::string& error) {
    warning.clear();
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        error = "--set takes NAME=VALUE, not '" + assignment + "'. Valid names: " + snowParamNames();
        return false;
    }
    const std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
    const auto& table = snowParamTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const SnowParamInfo& p = table[i];
        if (name != p.name) continue;
        double v = 0.0;
        const bool ok = p.kind == ParamKind::kBool ? parseBool(text, v) : parseNumber(text, p.kind, v);
        if (!ok) {
            const char* expected = p.kind == ParamKind::kBool  ? "on or off"
                                   : p.kind == ParamKind::kInt ? "a whole number"
                                                               : "a finite number";
            error = "--set " + name + ": '" + text + "' is not " + expected + ". Valid names: " + snowParamNames();
            return false;
        }
        if (p.kind != ParamKind::kBool && (v < p.lo || v > p.hi)) {
            const double clamped = std::clamp(v, p.lo, p.hi);
            warning = name + " " + text + " is outside " + formatNumber(p.lo) + " .. " + formatNumber(p.hi) +
                      "; using " + formatNumber(clamped);
            v = clamped;
        }
        values.values[i] = v;
        return true;
    }
    error = "unknown snow parameter '" + name + "'. Valid names: " + snowParamNames();
    return false;
}

wx::SnowSettings toSnowSettings(const SnowParamValues& v) {
    wx::SnowSettings s;
    s.depth = float(v.get("depth"));
    s.slopeMax = float(v.get("slopeMax"));
    s.slopeSoft = float(v.get("slopeSoft"));
    s.edgeRound = float(v.get("edgeRound"));
    s.groundCover = float(v.get("groundCover"));
    s.groundBand = float(v.get("groundBand"));
    s.overhang = float(v.get("overhang"));
    s.coverage = float(v.get("coverage"));
    s.patchScale = float(v.get("patchScale"));
    s.noiseAmount = float(v.get("noiseAmount"));
    s.noiseScale = float(v.get("noiseScale"));
    s.resolution = float(v.get("resolution"));
    s.maxTris = int32_t(v.get("maxTris"));
    s.occlusion = float(v.get("occlusion"));
    s.occRays = int32_t(v.get("occRays"));
    s.spread = float(v.get("spread"));
    s.occDist = float(v.get("occDist"));
    s.windAngle = float(v.get("windAngle"));
    s.drift = float(v.get("drift"));
    s.leeDist = float(v.get("leeDist"));
    s.smoothing = float(v.get("smoothing"));
    s.closed = v.get("closed") != 0.0;
    s.uvScale = float(v.get("uvScale"));
    s.seed = int32_t(v.get("seed"));
    s.useGPU = v.get("useGPU") != 0.0;
    s.paintWeights = nullptr;
    s.regions.clear();
    s.regionMode = wx::kRegionNoSnow;
    s.regionFalloff = 0.3f;
    s.regionStrength = 1.0f;
    return s;
}

std::string snowStatusText(const wx::SnowStats& st, const wx::SnowSettings& s, const char* shelter) {
    char text[1024];
    if (!(s.depth > 0.0f)) {
        // The builder stops before it looks at the faces, so "no face is flat enough"
        // would send the user after the wrong setting.
        std::snprintf(text, sizeof text, "Depth is 0, so no snow is built. Raise Depth.");
    } else if (st.upFacing == 0) {
        std::snprintf(text, sizeof text,
                      "No face here is flat enough for snow (steepest slope %.0f deg). Raise Steepest slope, or check "
                      "the object's up axis.",
                      double(s.slopeMax));
    } else {
        std::snprintf(
            text, sizeof text,
            "%s snow: %d triangles from %d up-facing of %d faces. Detail %.3g.\r\nShelter: %s%s, %s, open sky "
            "%.0f%%. Thickest %.3g. Built in %.0f ms (shelter %.0f ms).",
            "Render", st.trianglesOut, st.upFacing, st.facesIn, double(st.detail), shelter, "",
            st.usedGPU ? "GPU" : "CPU", double(st.openSky) * 100.0, double(st.thickest), st.buildMs, st.shelterMs);
    }
    std::string status = text;
    if (status.size() > 319) status.resize(319);  // the modifier's status holds 319 characters
    return status;
}

}  // namespace tweather
