// The `tweather` Python module. Each part of the system adds its own functions and classes
// from its own file; this one only names the module and calls them.
#include <pybind11/pybind11.h>

#include "python/snow_python.h"

PYBIND11_MODULE(tweather, m) {
    m.doc() =
        "Tarnwick Weather for NumPy arrays: snow that settles on what faces up and stays off what is "
        "sheltered (build_snow, Shelter, parameters).";
    m.attr("__version__") = "1.5.1";
    tweather::python::addSnow(m);
}
