// Private to the scene-file code: the JSON library, the format's names and a reader that
// names the JSON path of whatever it refuses. Pure functions over JSON values.
#pragma once

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "max/point3.h"

namespace host {

using Json = nlohmann::ordered_json;

inline constexpr const char* kSceneFormat = "tweather-scene";
inline constexpr int kSceneVersion = 1;

// A refusal with the JSON path of the offending value.
struct SceneFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void refuse(const std::string& path, const std::string& what) {
    throw SceneFormatError(path + ": " + what);
}

inline const Json& member(const Json& j, const char* key, const std::string& path) {
    if (!j.is_object()) refuse(path, "expected an object");
    auto it = j.find(key);
    if (it == j.end()) refuse(path, std::string("missing \"") + key + "\"");
    return *it;
}

inline double number(const Json& j, const std::string& path) {
    if (!j.is_number()) refuse(path, "expected a number");
    const double v = j.get<double>();
    if (!std::isfinite(v)) refuse(path, "not a finite number");
    return v;
}

// A number stored in single precision: one that no float holds is refused, not made
// infinite.
inline float floatNumber(const Json& j, const std::string& path) {
    const double v = number(j, path);
    if (std::fabs(v) > double(std::numeric_limits<float>::max())) refuse(path, "too large for a float");
    return float(v);
}

inline long long integer(const Json& j, const std::string& path, long long lo, long long hi) {
    if (!j.is_number_integer() && !j.is_number_unsigned()) refuse(path, "expected an integer");
    long long v = j.is_number_unsigned()
                      ? (long long)std::min<unsigned long long>(j.get<unsigned long long>(), 1ull << 62)
                      : j.get<long long>();
    if (v < lo || v > hi) refuse(path, "value " + std::to_string(v) + " out of range");
    return v;
}

inline const Json& array(const Json& j, const std::string& path) {
    if (!j.is_array()) refuse(path, "expected an array");
    return j;
}

inline Point3 point3(const Json& j, const std::string& path) {
    if (!j.is_array() || j.size() != 3) refuse(path, "expected an array of 3 numbers");
    return Point3(floatNumber(j[0], path + "[0]"), floatNumber(j[1], path + "[1]"), floatNumber(j[2], path + "[2]"));
}

inline Json toJson(const Point3& p) {
    return Json::array({p.x, p.y, p.z});
}

}  // namespace host
