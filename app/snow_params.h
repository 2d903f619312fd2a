// The snow parameters as the command line takes them: internal names, the modifier's
// defaults and ranges, clamping with a warning, and the status text the modifier shows.
// Plain functions over a value table; no global state.
#pragma once

#include <string>
#include <vector>

#include "snow/snow_types.h"

namespace tweather {

enum class ParamKind { kFloat, kInt, kBool };

struct SnowParamInfo {
    const char* name;
    ParamKind kind;
    double defaultValue;
    double lo, hi;  // range; unused for booleans
};

// Every parameter the snow command accepts, in the modifier's declaration order.
const std::vector<SnowParamInfo>& snowParamTable();

// "depth, slopeMax, ..." for messages.
std::string snowParamNames();

// Current values, one per table entry, starting at the defaults.
struct SnowParamValues {
    std::vector<double> values;
    SnowParamValues();
    double get(const char* name) const;
};

// Applies "NAME=VALUE". Returns false with `error` for an unknown name or a value that does
// not parse; a value outside the range is clamped and `warning` says so.
bool applySnowSet(const std::string& assignment, SnowParamValues& values, std::string& warning, std::string& error);

// The builder's settings from the values (render detail, no paint, no regions).
wx::SnowSettings toSnowSettings(const SnowParamValues& values);

// The modifier's status text for a build at render detail with the given shelter label
// ("off", "this object" or "whole scene").
std::string snowStatusText(const wx::SnowStats& stats, const wx::SnowSettings& settings, const char* shelter);

}  // namespace tweather
