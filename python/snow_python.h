// The snow builder's part of the Python module: Shelter, build_snow, SnowResult and
// parameters().
#pragma once

#include <pybind11/pybind11.h>

namespace tweather::python {

void addSnow(pybind11::module_& m);

}  // namespace tweather::python
