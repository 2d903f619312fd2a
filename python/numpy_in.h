// NumPy arrays in: checked for shape and kind, converted only when they must be (float64
// positions become float32, a non-contiguous array is copied), shared otherwise. Every
// refusal is a Python exception that names the argument and what was wrong.
#pragma once

#include <pybind11/numpy.h>

#include <cstdint>
#include <string>

namespace tweather::python {

namespace py = pybind11;

using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;
using IndexArray = py::array_t<int32_t, py::array::c_style | py::array::forcecast>;
using MaskArray = py::array_t<uint8_t, py::array::c_style | py::array::forcecast>;

// An (N, columns) array of numbers as float32 (TypeError for other kinds, ValueError for
// another shape).
FloatArray floatRows(py::handle obj, py::ssize_t columns, const std::string& what);

// An (N, 3, 3) array of triangle corners as float32.
FloatArray triangleCorners(py::handle obj, const std::string& what);

// An (N, 3) array of integers as int32, each in [0, vertexCount) (IndexError naming the
// first triangle that is not).
IndexArray triangleIndices(py::handle obj, size_t vertexCount, const std::string& what);

// One flag per triangle (bools or integers; non-zero allows), as uint8.
MaskArray faceFlags(py::handle obj, size_t triangles, const std::string& what);

// "(4, 2)": an array's shape as Python prints it.
std::string shapeText(const py::array& a);

}  // namespace tweather::python
