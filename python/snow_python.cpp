// Shelter, build_snow and SnowResult. The shell's arrays are handed to NumPy without a
// copy: each keeps the builder's own vector alive through a capsule.
#include "python/snow_python.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "python/numpy_in.h"
#include "python/snow_settings_from_python.h"
#include "shelter/bvh.h"
#include "snow/snow_builder.h"
#include "snow/snow_status.h"

namespace tweather::python {
namespace {

static_assert(sizeof(wx::V3) == 3 * sizeof(float), "V3 is three packed floats");

// What shelters the snow: triangles captured once, their hierarchy built once, then read
// by any number of builds (also from several Python threads at once).
class Shelter {
public:
    explicit Shelter(py::handle triangles) {
        std::vector<wx::V3> soup;
        auto addCorners = [&](py::handle item, const std::string& what) {
            const FloatArray corners = triangleCorners(item, what);
            const auto* p = reinterpret_cast<const wx::V3*>(corners.data());
            soup.insert(soup.end(), p, p + corners.shape(0) * 3);
        };
        auto addMesh = [&](py::handle positions, py::handle tris, const std::string& what) {
            const FloatArray pos = floatRows(positions, 3, what + " positions");
            const IndexArray idx = triangleIndices(tris, size_t(pos.shape(0)), what + " triangles");
            const auto* p = reinterpret_cast<const wx::V3*>(pos.data());
            for (py::ssize_t k = 0; k < idx.size(); ++k) soup.push_back(p[idx.data()[k]]);
        };
        if (py::isinstance<py::list>(triangles) || py::isinstance<py::tuple>(triangles)) {
            size_t n = 0;
            for (py::handle item : triangles) {
                const std::string what = "Shelter item " + std::to_string(n++);
                if ((py::isinstance<py::tuple>(item) || py::isinstance<py::list>(item)) && py::len(item) == 2)
                    addMesh(item[py::int_(0)], item[py::int_(1)], what);
                else
                    addCorners(item, what);
            }
        } else {
            addCorners(triangles, "Shelter triangles");
        }
        if (soup.empty()) throw py::value_error("a Shelter needs at least one triangle");
        inputTriangles_ = soup.size() / 3;
        bvh_ = std::make_shared<wx::ShelterBVH>();
        py::gil_scoped_release unlocked;
        wx::buildBVH(soup, *bvh_);
    }

    std::shared_ptr<const wx::ShelterBVH> bvh() const { return bvh_; }
    size_t triangleCount() const { return bvh_->tris.size(); }
    size_t droppedCount() const { return inputTriangles_ - bvh_->tris.size(); }

private:
    std::shared_ptr<wx::ShelterBVH> bvh_;
    size_t inputTriangles_ = 0;
};

struct SnowResult {
    py::array positions, triangles, uvs, kinds;
    py::dict stats;
};

// A NumPy view of a vector the capsule now owns.
template <class T>
py::array adopt(std::vector<T>&& values, std::vector<py::ssize_t> shape, std::vector<py::ssize_t> strides,
                py::dtype dtype) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule keeper(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array(dtype, std::move(shape), std::move(strides), owned->data(), keeper);
}

py::dict statsDict(const wx::SnowStats& s, const wx::SnowSettings& settings, bool sheltered) {
    py::dict d;
    d["facesIn"] = s.facesIn;
    d["upFacing"] = s.upFacing;
    d["trianglesOut"] = s.trianglesOut;
    d["verticesOut"] = s.verticesOut;
    d["sceneTriangles"] = s.sceneTriangles;
    d["detail"] = s.detail;
    d["buildMs"] = s.buildMs;
    d["refineMs"] = s.refineMs;
    d["shelterMs"] = s.shelterMs;
    d["usedGPU"] = s.usedGPU;
    d["openSky"] = s.openSky;
    d["meanAmount"] = s.meanAmount;
    d["thickest"] = s.thickest;
    wx::SnowStatusContext context;
    context.shelter = sheltered ? L"whole scene" : L"off";
    context.slopeMax = settings.slopeMax;
    const std::wstring status = wx::snowStatusText(s, context);
    d["status"] = std::string(status.begin(), status.end());  // the status text is ASCII
    return d;
}

SnowResult buildSnowFromPython(py::handle positionsIn, py::handle trianglesIn, const Shelter* shelter,
                               py::handle faceMaskIn, double unitsPerMetre, const py::dict& params) {
    const wx::SnowSettings settings = snowSettingsFrom(params, unitsPerMetre);
    const FloatArray positions = floatRows(positionsIn, 3, "positions");
    const IndexArray triangles = triangleIndices(trianglesIn, size_t(positions.shape(0)), "triangles");
    const MaskArray mask =
        faceMaskIn.is_none() ? MaskArray() : faceFlags(faceMaskIn, size_t(triangles.shape(0)), "face_mask");
    const std::shared_ptr<const wx::ShelterBVH> scene = shelter ? shelter->bvh() : nullptr;

    wx::SnowShell shell;
    wx::SnowStats stats;
    {
        const std::span<const wx::V3> p(reinterpret_cast<const wx::V3*>(positions.data()), size_t(positions.shape(0)));
        const std::span<const int32_t> t(triangles.data(), size_t(triangles.size()));
        const std::span<const uint8_t> m(mask ? mask.data() : nullptr, mask ? size_t(mask.size()) : 0);
        py::gil_scoped_release unlocked;
        wx::buildSnow(p, t, m, scene.get(), settings, shell, stats);
    }
    SnowResult r;
    const auto vertices = py::ssize_t(shell.vertices.size());
    const auto tris = py::ssize_t(shell.kinds.size());
    constexpr py::ssize_t f = sizeof(float);
    r.positions = adopt(std::move(shell.vertices), {vertices, 3}, {3 * f, f}, py::dtype::of<float>());
    r.triangles = adopt(std::move(shell.indices), {tris, 3}, {3 * f, f}, py::dtype::of<int32_t>());
    // uvw holds (u, v, 0) per vertex: the view shows the first two of each three.
    r.uvs = adopt(std::move(shell.uvw), {vertices, 2}, {3 * f, f}, py::dtype::of<float>());
    r.kinds = adopt(std::move(shell.kinds), {tris}, {1}, py::dtype::of<uint8_t>());
    r.stats = statsDict(stats, settings, scene != nullptr);
    return r;
}

}  // namespace

void addSnow(py::module_& m) {
    py::class_<Shelter>(m, "Shelter",
                        "What shelters the snow: an (N, 3, 3) array of world-space triangle corners, or a list of "
                        "such arrays and (positions, triangles) pairs. Built once, used by any number of builds.")
        .def(py::init<py::handle>(), py::arg("triangles"))
        .def_property_readonly("triangle_count", &Shelter::triangleCount,
                               "triangles kept (degenerate and non-finite ones are left out)")
        .def_property_readonly("dropped", &Shelter::droppedCount, "triangles left out as degenerate or non-finite")
        .def("__repr__", [](const Shelter& s) {
            return "<tweather.Shelter of " + std::to_string(s.triangleCount()) + " triangles>";
        });

    py::class_<SnowResult>(m, "SnowResult", "A snow shell in the positions' space and units.")
        .def_readonly("positions", &SnowResult::positions, "(V, 3) float32 vertices")
        .def_readonly("triangles", &SnowResult::triangles, "(T, 3) int32, counter-clockwise seen from outside")
        .def_readonly("uvs", &SnowResult::uvs, "(V, 2) float32: (x, y) / uvScale")
        .def_readonly("kinds", &SnowResult::kinds, "(T,) uint8: 0 top, 1 wall, 2 bottom")
        .def_readonly("stats", &SnowResult::stats, "every builder figure by name, and the status text")
        .def("__repr__", [](const SnowResult& r) {
            return "<tweather.SnowResult: " + std::to_string(r.triangles.shape(0)) + " triangles>";
        });
    m.attr("KIND_TOP") = int(wx::kSnowTop);
    m.attr("KIND_WALL") = int(wx::kSnowWall);
    m.attr("KIND_BOTTOM") = int(wx::kSnowBottom);

    m.def(
        "build_snow",
        [](py::handle positions, py::handle triangles, const Shelter* shelter, py::handle faceMask,
           double unitsPerMetre, const py::kwargs& params) {
            return buildSnowFromPython(positions, triangles, shelter, faceMask, unitsPerMetre, params);
        },
        py::arg("positions"), py::arg("triangles"), py::kw_only(), py::arg("shelter") = nullptr,
        py::arg("face_mask") = py::none(), py::arg("units_per_metre") = 1.0,
        "Snow on the triangles of one object (world space) that face up: a SnowResult. Parameters by the "
        "snow modifier's names (see parameters()); lengths in the positions' units, their defaults "
        "scaled from centimetres by units_per_metre.");
    m.def("parameters", &snowParameterList, "The snow parameters build_snow takes, as dicts.");
}

}  // namespace tweather::python
