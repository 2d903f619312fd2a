#include "python/snow_settings_from_python.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "snow/snow_params.h"

namespace tweather::python {
namespace py = pybind11;
namespace {

std::string utf8(const wchar_t* text) {
    std::string out;
    for (const wchar_t* c = text; *c; ++c) out += char(*c);  // the table's names and labels are ASCII
    return out;
}

// The rows a build reads: those that feed a settings field.
template <class F>
void forEachBuildRow(F&& f) {
    for (const wx::SnowParamRow& row : wx::snowParamRows())
        if (row.field.bound()) f(row);
}

const char* kindName(wx::ParamKind kind) {
    switch (kind) {
        case wx::ParamKind::WorldLength:
            return "length";
        case wx::ParamKind::Int:
            return "int";
        case wx::ParamKind::Bool:
            return "bool";
        default:
            return "float";
    }
}

std::string numberText(double v) {
    return std::string(py::str(py::float_(v)));
}

// The value given for row, as the block would hold it: a number for float and length
// rows, a whole number for int and bool ones; clamped to the row's range with a warning.
double valueOf(const wx::SnowParamRow& row, py::handle given, const std::string& name) {
    double v = 0.0;
    if (row.kind == wx::ParamKind::Bool) {
        if (!py::isinstance<py::bool_>(given) && !py::isinstance<py::int_>(given))
            throw py::type_error(name + " takes True or False, not " + std::string(py::repr(given)));
        return given.cast<bool>() ? 1.0 : 0.0;
    }
    if (row.kind == wx::ParamKind::Int) {
        if (!py::isinstance<py::int_>(given) && !py::hasattr(given, "__index__"))
            throw py::type_error(name + " takes a whole number, not " + std::string(py::repr(given)));
        const py::int_ whole = py::reinterpret_steal<py::int_>(PyNumber_Index(given.ptr()));
        if (!whole) throw py::error_already_set();
        // Python's integers have no bound: anything past the range is clamped below.
        v = PyLong_AsDouble(whole.ptr());
    } else {
        if (py::isinstance<py::str>(given) || py::isinstance<py::bytes>(given))
            throw py::type_error(name + " takes a number, not " + std::string(py::repr(given)));
        try {
            v = py::float_(py::reinterpret_borrow<py::object>(given)).cast<double>();
        } catch (const py::error_already_set&) {
            throw py::type_error(name + " takes a number, not " + std::string(py::repr(given)));
        }
    }
    if (!std::isfinite(v)) throw py::value_error(name + " must be a finite number, not " + numberText(v));
    const double clamped = std::clamp(v, row.lo, row.hi);
    if (clamped != v) {
        const std::string text = name + "=" + numberText(v) + " is outside " + numberText(row.lo) + " to " +
                                 numberText(row.hi) + "; using " + numberText(clamped);
        if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 2) != 0) throw py::error_already_set();
    }
    return clamped;
}

}  // namespace

std::string snowParameterNames() {
    std::string names;
    forEachBuildRow([&](const wx::SnowParamRow& row) { names += (names.empty() ? "" : ", ") + utf8(row.name); });
    return names;
}

wx::SnowSettings snowSettingsFrom(const py::dict& params, double unitsPerMetre) {
    if (!(unitsPerMetre > 0.0) || !std::isfinite(unitsPerMetre))
        throw py::value_error("units_per_metre must be a positive number, not " + numberText(unitsPerMetre));
    for (const auto& [key, value] : params) {
        bool known = false;
        const std::string name = py::str(key);
        forEachBuildRow([&](const wx::SnowParamRow& row) { known = known || utf8(row.name) == name; });
        if (!known)
            throw py::type_error("build_snow() got an unknown parameter '" + name + "'; the parameters are " +
                                 snowParameterNames());
    }
    wx::SnowSettings s;
    forEachBuildRow([&](const wx::SnowParamRow& row) {
        const std::string name = utf8(row.name);
        const bool length = row.kind == wx::ParamKind::WorldLength;
        double v = length ? row.def * unitsPerMetre / 100.0 : row.def;
        if (params.contains(name.c_str())) v = valueOf(row, params[name.c_str()], name);
        if (row.isNumber())
            row.field.set(s, float(v));
        else
            row.field.set(s, int(v));
    });
    return s;
}

py::list snowParameterList() {
    py::list out;
    forEachBuildRow([&](const wx::SnowParamRow& row) {
        py::dict d;
        d["name"] = utf8(row.name);
        d["label"] = utf8(row.label);
        d["kind"] = kindName(row.kind);
        d["default"] = row.def;
        const bool flag = row.kind == wx::ParamKind::Bool;
        d["min"] = flag ? 0.0 : row.lo;
        d["max"] = flag ? 1.0 : row.hi;
        out.append(d);
    });
    return out;
}

}  // namespace tweather::python
