#include "python/numpy_in.h"

#include <limits>

namespace tweather::python {
namespace {

py::array asArray(py::handle obj, const std::string& what) {
    if (obj.is_none()) throw py::type_error(what + " must be a NumPy array, not None");
    py::array a = py::array::ensure(obj);
    if (!a) throw py::type_error(what + " must be an array of numbers");
    return a;
}

char kindOf(const py::array& a) {
    return a.dtype().kind();
}

void requireKind(const py::array& a, const std::string& allowed, const std::string& what, const char* wanted) {
    if (allowed.find(kindOf(a)) == std::string::npos)
        throw py::type_error(what + " must hold " + wanted + ", not " + std::string(py::str(a.dtype())));
}

}  // namespace

std::string shapeText(const py::array& a) {
    std::string s = "(";
    for (py::ssize_t d = 0; d < a.ndim(); ++d) s += (d ? ", " : "") + std::to_string(a.shape(d));
    return s + (a.ndim() == 1 ? ",)" : ")");
}

FloatArray floatRows(py::handle obj, py::ssize_t columns, const std::string& what) {
    py::array a = asArray(obj, what);
    requireKind(a, "fiub", what, "numbers");
    if (a.ndim() != 2 || a.shape(1) != columns)
        throw py::value_error(what + " must have shape (N, " + std::to_string(columns) + "), not " + shapeText(a));
    return FloatArray::ensure(a);
}

FloatArray triangleCorners(py::handle obj, const std::string& what) {
    py::array a = asArray(obj, what);
    requireKind(a, "fiu", what, "numbers");
    if (a.ndim() != 3 || a.shape(1) != 3 || a.shape(2) != 3)
        throw py::value_error(what + " must have shape (N, 3, 3): three corners per triangle, not " + shapeText(a));
    return FloatArray::ensure(a);
}

IndexArray triangleIndices(py::handle obj, size_t vertexCount, const std::string& what) {
    py::array a = asArray(obj, what);
    requireKind(a, "iu", what, "integers");
    if (a.ndim() != 2 || a.shape(1) != 3) throw py::value_error(what + " must have shape (N, 3), not " + shapeText(a));
    // Checked in 64 bits first, so that a wide index cannot wrap into range on the way to
    // int32.
    using Wide = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;
    const bool narrow = a.dtype().is(py::dtype::of<int32_t>());
    const Wide wide = narrow ? Wide() : Wide::ensure(a);
    const IndexArray ints = narrow ? IndexArray::ensure(a) : IndexArray(std::vector<py::ssize_t>{a.shape(0), 3});
    const size_t count = size_t(a.shape(0)) * 3;
    const int32_t* in32 = narrow ? ints.data() : nullptr;
    const int64_t* in64 = narrow ? nullptr : wide.data();
    int32_t* out = narrow ? nullptr : const_cast<int32_t*>(ints.data());
    for (size_t k = 0; k < count; ++k) {
        const int64_t v = narrow ? in32[k] : in64[k];
        if (v < 0 || uint64_t(v) >= vertexCount)
            throw py::index_error(what + ": triangle " + std::to_string(k / 3) + " uses vertex " + std::to_string(v) +
                                  ", but there are " + std::to_string(vertexCount) + " vertices");
        if (out) out[k] = int32_t(v);
    }
    return ints;
}

MaskArray faceFlags(py::handle obj, size_t triangles, const std::string& what) {
    py::array a = asArray(obj, what);
    requireKind(a, "biu", what, "bools or integers");
    if (a.ndim() != 1 || size_t(a.shape(0)) != triangles)
        throw py::value_error(what + " must have one entry per triangle, shape (" + std::to_string(triangles) +
                              ",), not " + shapeText(a));
    if (kindOf(a) == 'b') return MaskArray::ensure(a);
    // Any non-zero integer allows snow; a plain cast would turn 256 into 0.
    using Wide = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;
    const Wide wide = Wide::ensure(a);
    MaskArray out(std::vector<py::ssize_t>{py::ssize_t(triangles)});
    uint8_t* o = out.mutable_data();
    for (size_t k = 0; k < triangles; ++k) o[k] = wide.data()[k] != 0;
    return out;
}

}  // namespace tweather::python
