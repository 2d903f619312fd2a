// OBJ import. tinyobjloader parses the text; this file reads the file itself (so folders,
// devices and byte-order marks are dealt with once), resolves the material library only
// beside the OBJ, refuses numbers that do not fit a float, and keeps triangulation linear:
// polygons of more than kMaxClippedCorners corners are fanned from their first corner
// before the parser sees them (its ear clipping is quadratic or worse in the corners). A
// face with a corner outside the vertex list is dropped, and the drops are reported once
// per shape with their count.
#include <tiny_obj_loader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string_view>

#include "counted_warnings.h"
#include "host/input_file.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/scene_settings.h"
#include "host/std_materials.h"
#include "host/text.h"

namespace host {

namespace {

struct ObjLine {
    size_t number = 0;  // from 1
    std::string_view text;
};

// Calls f for each line with its number; a line ends at \n, and a \r before it is dropped.
template <class F>
void forEachLine(std::string_view text, F&& f) {
    size_t number = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        f(ObjLine{++number, line});
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

std::string_view nextToken(std::string_view& rest) {
    const size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

// What the OBJ text says before tinyobjloader reads it: the material libraries it names,
// and the first number of a v, vt or vn line that no float holds (with its line).
struct ObjSurvey {
    std::vector<std::string> libraries;
    std::string badNumber;
    size_t badLine = 0;
    bool largePolygons = false;  // some face has more than kMaxClippedCorners corners
};

// Polygons up to this many corners are ear-clipped by the parser, as ever (a concave
// outline comes out right); larger ones are fanned, which is right for convex ones.
constexpr size_t kMaxClippedCorners = 32;

size_t countTokens(std::string_view rest) {
    size_t n = 0;
    while (!nextToken(rest).empty()) ++n;
    return n;
}

ObjSurvey surveyObj(std::string_view text) {
    ObjSurvey survey;
    forEachLine(text, [&](const ObjLine& line) {
        if (survey.badLine) return;
        std::string_view rest = line.text;
        const std::string_view keyword = nextToken(rest);
        if (keyword == "f") {
            survey.largePolygons = survey.largePolygons || countTokens(rest) > kMaxClippedCorners;
        } else if (keyword == "mtllib") {
            for (std::string_view name = nextToken(rest); !name.empty(); name = nextToken(rest))
                survey.libraries.emplace_back(name);
        } else if (keyword == "v" || keyword == "vt" || keyword == "vn") {
            for (std::string_view token = nextToken(rest); !token.empty(); token = nextToken(rest)) {
                double value = 0.0;
                const char* first = token.data() + (token.front() == '+' ? 1 : 0);
                const auto [end, ec] = std::from_chars(first, token.data() + token.size(), value);
                const bool number = end != first;  // text that is no number reads as 0, as before
                const bool fits = ec == std::errc() && std::isfinite(value) &&
                                  std::fabs(value) <= double(std::numeric_limits<float>::max());
                // A tiny value that underflows is a fine 0; only the large or the non-finite fail.
                const bool underflow =
                    ec == std::errc::result_out_of_range && !token.empty() &&
                    (token.find("e-") != std::string_view::npos || token.find("E-") != std::string_view::npos);
                if (number && !fits && !underflow) {
                    survey.badNumber = std::string(token);
                    survey.badLine = line.number;
                    return;
                }
            }
        }
    });
    return survey;
}

// The text of the first named material library that lies beside the OBJ. Libraries named
// outside its folder are not read; a warning says which were missing or refused.
std::string readMaterialLibrary(const std::string& objPath, const std::vector<std::string>& names,
                                std::vector<std::string>& warnings) {
    const std::filesystem::path folder = std::filesystem::path(objPath).parent_path();
    for (const std::string& name : names) {
        if (!staysInsideFolder(name)) {
            warnings.push_back("material library '" + name +
                               "' is outside the OBJ's folder and was not read; its faces get the default material");
            continue;
        }
        std::string text, error;
        if (readInputFile((folder / name).string(), "material library", text, error, {kMaxInputFileBytes, true}))
            return text;
        warnings.push_back(error + "; its faces get the default material");
    }
    return {};
}

// The text with every face of more than kMaxClippedCorners corners written as a fan of
// triangles from its first corner; other lines are kept as they are, so vertex numbers and
// relative indices mean what they meant.
std::string fanLargePolygons(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    forEachLine(text, [&](const ObjLine& line) {
        std::string_view rest = line.text;
        if (nextToken(rest) != "f" || countTokens(rest) <= kMaxClippedCorners) {
            out.append(line.text);
            out += '\n';
            return;
        }
        const std::string_view first = nextToken(rest);
        std::string_view previous = nextToken(rest);
        for (std::string_view next = nextToken(rest); !next.empty(); next = nextToken(rest)) {
            out.append("f ").append(first).append(" ").append(previous).append(" ").append(next) += '\n';
            previous = next;
        }
    });
    return out;
}

struct Triangle {
    tinyobj::index_t corner[3];
    int material;
};

// The shape's triangles; those with a corner outside the vertex list are counted, not kept.
std::vector<Triangle> shapeTriangles(const tinyobj::mesh_t& mesh, long long vertexCount, size_t& dropped) {
    std::vector<Triangle> out;
    out.reserve(mesh.indices.size() / 3);
    for (size_t f = 0; f < mesh.indices.size() / 3; ++f) {
        const tinyobj::index_t* corners = mesh.indices.data() + 3 * f;
        bool inside = true;
        for (int k = 0; k < 3; ++k)
            inside = inside && corners[k].vertex_index >= 0 && corners[k].vertex_index < vertexCount;
        if (!inside) {
            ++dropped;
            continue;
        }
        out.push_back({{corners[0], corners[1], corners[2]}, f < mesh.material_ids.size() ? mesh.material_ids[f] : -1});
    }
    return out;
}

// The parser's warnings, each kind once with its count. Out-of-range faces are left to the
// per-shape count.
void addParserWarnings(const std::string& text, std::vector<std::string>& warnings) {
    std::string kept;
    forEachLine(text, [&](const ObjLine& line) {
        if (line.text.find("indices out of bounds") == std::string_view::npos &&
            line.text.find("invalid vertex index") == std::string_view::npos)
            kept.append(line.text) += '\n';
    });
    CountedWarnings counted;
    counted.addLines(kept);
    counted.appendTo(warnings);
}

}  // namespace

bool importObj(const std::string& path, bool yUp, std::string& error, ImportReport* report) {
    std::string text;
    if (!readInputFile(path, "OBJ", text, error, {kMaxInputFileBytes, true})) return false;
    const ObjSurvey survey = surveyObj(text);
    if (survey.badLine) {
        error = "cannot read OBJ '" + path + "': line " + std::to_string(survey.badLine) + ": the number '" +
                survey.badNumber + "' does not fit a float";
        return false;
    }
    ImportReport local;
    const std::string materials = readMaterialLibrary(path, survey.libraries, local.warnings);

    if (survey.largePolygons) text = fanLargePolygons(text);

    tinyobj::ObjReaderConfig config;
    config.triangulate = true;
    config.vertex_color = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromString(text, materials, config)) {
        error = "cannot read OBJ '" + path + "': " + (reader.Error().empty() ? "unknown error" : reader.Error());
        return false;
    }
    addParserWarnings(reader.Warning(), local.warnings);
    const tinyobj::attrib_t& at = reader.GetAttrib();
    auto point = [&](int i) {
        Point3 p(at.vertices[3 * size_t(i)], at.vertices[3 * size_t(i) + 1], at.vertices[3 * size_t(i) + 2]);
        return yUp ? Point3(p.x, -p.z, p.y) : p;
    };
    bool animate = sceneSettings().animateMode;
    sceneSettings().animateMode = false;
    auto scene = std::make_unique<Scene>();
    class Keeper : public ReferenceMaker {
    } keeper;
    std::vector<Mtl*> mtls;
    for (const tinyobj::material_t& m : reader.GetMaterials()) {
        Mtl* mtl = createStdMaterial(fromUtf8(m.name), Color(m.diffuse[0], m.diffuse[1], m.diffuse[2]),
                                     std::clamp(m.shininess / 10.0f, 0.0f, 100.0f));
        mtl->AddDependent(&keeper);
        mtls.push_back(mtl);
    }
    const long long nt = (long long)(at.texcoords.size() / 2);
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        size_t dropped = 0;
        const std::vector<Triangle> triangles =
            shapeTriangles(shape.mesh, (long long)(at.vertices.size() / 3), dropped);
        if (dropped)
            local.warnings.push_back("shape '" + shape.name + "': " + std::to_string(dropped) +
                                     " faces with corners outside the vertex list were dropped");
        const size_t nf = triangles.size();
        if (nf == 0) continue;
        TriObject* tri = CreateNewTriObject();
        Mesh& mesh = tri->GetMesh();
        // Only the vertices this shape uses, in index order.
        std::map<int, int> vmap, tmap;
        for (const Triangle& t : triangles)
            for (const tinyobj::index_t& i : t.corner) {
                vmap.emplace(i.vertex_index, 0);
                if (i.texcoord_index >= 0 && i.texcoord_index < nt) tmap.emplace(i.texcoord_index, 0);
            }
        int k = 0;
        for (auto& [src, dst] : vmap) dst = k++;
        k = 0;
        for (auto& [src, dst] : tmap) dst = k++;
        mesh.setNumVerts(int(vmap.size()));
        for (auto& [src, dst] : vmap) mesh.verts[dst] = point(src);
        std::vector<int> distinct;
        for (const Triangle& t : triangles)
            if (std::find(distinct.begin(), distinct.end(), t.material) == distinct.end())
                distinct.push_back(t.material);
        mesh.setNumFaces(int(nf));
        bool uv = !tmap.empty();
        if (uv) {
            mesh.setMapSupport(1);
            mesh.setNumMapVerts(1, int(tmap.size()));
            for (auto& [src, dst] : tmap)
                mesh.mapVerts(1)[dst] = Point3(at.texcoords[2 * size_t(src)], at.texcoords[2 * size_t(src) + 1], 0.0f);
        }
        for (size_t f = 0; f < nf; ++f) {
            int v[3], tv[3];
            for (int c = 0; c < 3; ++c) {
                const tinyobj::index_t& i = triangles[f].corner[c];
                v[c] = vmap[i.vertex_index];
                tv[c] = (i.texcoord_index >= 0 && i.texcoord_index < nt) ? tmap[i.texcoord_index] : 0;
            }
            mesh.faces[f].setVerts(v[0], v[1], v[2]);
            mesh.faces[f].setSmGroup(1);
            mesh.faces[f].setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
            const int id = triangles[f].material;
            mesh.faces[f].setMatID(MtlID(std::find(distinct.begin(), distinct.end(), id) - distinct.begin()));
            if (uv) mesh.mapFaces(1)[f].setTVerts(tv[0], tv[1], tv[2]);
        }
        INode* node = scene->createNode(tri, fromUtf8(shape.name.empty() ? "object" : shape.name));
        auto lookup = [&](int i) { return i >= 0 && i < int(mtls.size()) ? mtls[i] : nullptr; };
        if (distinct.size() == 1) {
            if (Mtl* m = lookup(distinct[0])) node->SetMtl(m);
            for (size_t f = 0; f < nf; ++f) mesh.faces[f].setMatID(0);
        } else if (distinct.size() > 1) {
            std::vector<Mtl*> subs;
            std::vector<int> ids;
            for (size_t i = 0; i < distinct.size(); ++i) {
                subs.push_back(lookup(distinct[i]));
                ids.push_back(int(i));
            }
            node->SetMtl(createMultiMaterial(fromUtf8(shape.name), subs, ids));
        }
        ++local.nodes;
        ++local.meshes;
    }
    SceneSettings settings;
    settings.animateMode = animate;
    sceneSettings() = settings;
    replaceScene(std::move(scene));
    if (report) *report = std::move(local);
    return true;
}

}  // namespace host
