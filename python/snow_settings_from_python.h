// build_snow's keyword arguments to the builder's settings, by the modifier's internal
// names, with its defaults and ranges (the one parameter table). Lengths are in the
// units of the positions: their defaults, given in centimetres, are scaled by
// units_per_metre / 100. A value out of range is clamped with a Python warning; an unknown
// name is a TypeError listing the names there are.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "snow/snow_types.h"

namespace tweather::python {

wx::SnowSettings snowSettingsFrom(const pybind11::dict& params, double unitsPerMetre);

// The names build_snow takes, comma separated, in the table's order.
std::string snowParameterNames();

// One dict per parameter: name, label, kind ("float", "length", "int" or "bool"),
// default (lengths in centimetres), min, max.
pybind11::list snowParameterList();

}  // namespace tweather::python
