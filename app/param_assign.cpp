#include "app/param_assign.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "host/scene.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/param_block2.h"

namespace tweather {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(out);
}

bool parseSwitch(const std::string& text, int& out) {
    const std::string t = lower(text);
    if (t == "1" || t == "true" || t == "on" || t == "yes") return out = 1, true;
    if (t == "0" || t == "false" || t == "off" || t == "no") return out = 0, true;
    return false;
}

// "R,G,B", each a number from 0 to 1.
bool parseColour(const std::string& text, Point3& out) {
    float c[3];
    size_t from = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t comma = text.find(',', from);
        if ((k < 2) != (comma != std::string::npos)) return false;
        double v = 0.0;
        if (!parseNumber(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from), v) ||
            v < 0.0 || v > 1.0)
            return false;
        c[k] = float(v);
        from = comma + 1;
    }
    out = Point3(c[0], c[1], c[2]);
    return true;
}

std::string shortNumber(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

}  // namespace

INode* nodeNamed(const std::string& name) {
    for (INode* node : host::currentScene().allNodes())
        if (host::toUtf8(node->GetName()) == name) return node;
    return nullptr;
}

bool splitAssignment(const std::string& text, Assignment& out, std::string& error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "'" + text + "' is not NAME=VALUE";
        return false;
    }
    out.name = text.substr(0, eq);
    out.value = text.substr(eq + 1);
    return true;
}

bool splitAssignments(const std::vector<std::string>& texts, std::vector<Assignment>& out, std::string& error) {
    for (const std::string& text : texts) {
        Assignment a;
        if (!splitAssignment(text, a, error)) return false;
        out.push_back(a);
    }
    return true;
}

int findParameter(IParamBlock2* block, const std::string& name) {
    const std::string wanted = lower(name);
    for (int i = 0; i < block->NumParams(); ++i)
        if (lower(host::toUtf8(block->GetDesc()->paramdefs(i).int_name)) == wanted) return i;
    return -1;
}

std::string parameterNames(IParamBlock2* block) {
    std::string names;
    for (int i = 0; i < block->NumParams(); ++i)
        names += (i ? ", " : "") + host::toUtf8(block->GetDesc()->paramdefs(i).int_name);
    return names;
}

bool assignParameter(IParamBlock2* block, const Assignment& a, std::string& warning, std::string& error) {
    const int index = findParameter(block, a.name);
    if (index < 0) {
        error = "unknown parameter '" + a.name + "'; the parameters are: " + parameterNames(block);
        return false;
    }
    const ParamDef& def = block->GetDesc()->paramdefs(index);
    const ParamID id = def.ID;
    const std::string name = host::toUtf8(def.int_name);
    if (def.type == TYPE_BOOL) {
        int on = 0;
        if (!parseSwitch(a.value, on)) {
            error = name + " is a switch: give 1 or 0 (true/false, on/off), not '" + a.value + "'";
            return false;
        }
        block->SetValue(id, 0, on);
        return true;
    }
    if (def.type == TYPE_STRING || def.type == TYPE_FILENAME) {
        block->SetValue(id, 0, host::fromUtf8(a.value).c_str());
        return true;
    }
    if (def.type == TYPE_RGBA || def.type == TYPE_POINT3) {
        Point3 c;
        if (!parseColour(a.value, c)) {
            error = name + " is a colour: give R,G,B from 0 to 1 (for example 1,0.5,0), not '" + a.value + "'";
            return false;
        }
        block->SetValue(id, 0, c);
        return true;
    }
    if (def.type == TYPE_INODE) {
        INode* node = nullptr;
        if (!a.value.empty() && !(node = nodeNamed(a.value))) {
            error = name + " takes a node of the scene by name; no node is called '" + a.value + "'";
            return false;
        }
        block->SetValue(id, 0, node);
        return true;
    }
    double v = 0.0;
    const PBValueKind kind = ValueKindOf(def.type);
    if ((kind != PBValueKind::Float && kind != PBValueKind::Int) || IsTabType(def.type)) {
        error = name + " cannot be set from the command line";
        return false;
    }
    if (!parseNumber(a.value, v)) {
        error = name + " takes a number, not '" + a.value + "'";
        return false;
    }
    if (kind == PBValueKind::Int) {
        if (v != std::floor(v)) {
            error = name + " takes a whole number, not '" + a.value + "'";
            return false;
        }
        const double clampedToInt = std::fmax(-2147483648.0, std::fmin(2147483647.0, v));
        block->SetValue(id, 0, int(clampedToInt));
        const int got = block->GetInt(id, 0);
        if (double(got) != v)
            warning = name + " " + a.value + " is outside " + std::to_string(def.irange_lo) + " .. " +
                      std::to_string(def.irange_hi) + "; using " + std::to_string(got);
        return true;
    }
    block->SetValue(id, 0, float(v));
    const float got = block->GetFloat(id, 0);
    if (double(got) != double(float(v)))
        warning = name + " " + a.value + " is outside " + shortNumber(def.range_lo) + " .. " +
                  shortNumber(def.range_hi) + "; using " + shortNumber(got);
    return true;
}

void scaleLengthDefaults(IParamBlock2* block, const std::vector<Assignment>& sets, double unitsPerCentimetre) {
    for (int i = 0; i < block->NumParams(); ++i) {
        const ParamDef& def = block->GetDesc()->paramdefs(i);
        if (def.type != TYPE_WORLD) continue;
        bool named = false;
        for (const Assignment& a : sets) named = named || findParameter(block, a.name) == i;
        if (!named) block->SetValue(def.ID, 0, float(def.def_f * unitsPerCentimetre));
    }
}

}  // namespace tweather
