#include <tiny_obj_loader.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "export_mesh.h"
#include "host/scene.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/scene_settings.h"
#include "host/std_materials.h"
#include "host/text.h"
#include "shared_corners.h"

namespace host {

namespace {

// OBJ names end at white space; keep them one token.
std::string objName(const std::wstring& name, const std::string& fallback) {
    std::string s = toUtf8(name);
    for (char& c : s)
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = '_';
    return s.empty() ? fallback : s;
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The OBJ text: floats as the shortest digits that read back to the same float, written
// with to_chars (a stream's locale-aware formatting was most of a big export's time).
struct ObjText {
    std::string text;
    ObjText& operator<<(const std::string& s) {
        text += s;
        return *this;
    }
    ObjText& operator<<(const char* s) {
        text += s;
        return *this;
    }
    template <class Number>
    ObjText& operator<<(Number v) {
        char buf[32];
        text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        return *this;
    }
};

}  // namespace

bool exportObj(const std::string& path, TimeValue t, std::string& error) {
    std::string mtlPath = path.substr(0, path.size() - extensionOf(path).size()) + ".mtl";
    std::ostringstream mtl;
    mtl.precision(6);
    ObjText obj;
    obj << "# tweather scene export, +Z up, scene units\nmtllib " << baseName(mtlPath) << "\n";
    std::map<Mtl*, std::string> names;
    std::set<std::string> used;
    auto nameFor = [&](Mtl* m) {
        auto it = names.find(m);
        if (it != names.end()) return it->second;
        std::string base = m ? objName(m->GetName(), "material") : "default", n = base;
        for (int k = 2; used.count(n); ++k) n = base + "_" + std::to_string(k);
        used.insert(n);
        Color c = diffuseOf(m);
        mtl << "newmtl " << n << "\nKd " << c.r << " " << c.g << " " << c.b << "\nNs " << glossinessOf(m) * 10.0f
            << "\n\n";
        return names[m] = n;
    };
    size_t vbase = 1, tbase = 1;
    for (const ExportMesh& e : gatherExportMeshes(t)) {
        obj << "o " << objName(e.name, "object") << "\n";
        // Triangles by material index, in index order. Indices are global in OBJ, so a node's
        // groups share one vertex list: v, vn and vt lines run in step, one per shared corner.
        std::map<MtlID, std::vector<size_t>> groups;
        for (size_t f = 0; f < e.faceMtl.size(); ++f) groups[e.faceMtl[f]].push_back(f);
        std::vector<size_t> order;
        order.reserve(e.faceMtl.size());
        for (const auto& [id, faces] : groups) order.insert(order.end(), faces.begin(), faces.end());
        SharedCorners shared = shareCorners(e, order);
        for (uint32_t c : shared.vertexCorner) {
            const Point3& p = e.corners[c];
            obj << "v " << p.x << " " << p.y << " " << p.z << "\n";
        }
        for (uint32_t c : shared.vertexCorner) {
            const Point3& n = e.normals[c];
            obj << "vn " << n.x << " " << n.y << " " << n.z << "\n";
        }
        if (!e.uvs.empty())
            for (uint32_t c : shared.vertexCorner) obj << "vt " << e.uvs[c].x << " " << e.uvs[c].y << "\n";
        size_t corner = 0;
        for (const auto& [id, faces] : groups) {
            obj << "usemtl " << nameFor(materialForIndex(e.mtl, id)) << "\n";
            for (size_t f = 0; f < faces.size(); ++f) {
                obj << "f";
                for (int c = 0; c < 3; ++c) {
                    uint32_t k = shared.cornerVertex[corner++];
                    size_t v = vbase + k;
                    if (e.uvs.empty())
                        obj << " " << v << "//" << v;
                    else
                        obj << " " << v << "/" << (tbase + k) << "/" << v;
                }
                obj << "\n";
            }
        }
        vbase += shared.vertexCorner.size();
        if (!e.uvs.empty()) tbase += shared.vertexCorner.size();
    }
    return writeFileAtomically(mtlPath, mtl.str(), error) && writeFileAtomically(path, obj.text, error);
}

bool importObj(const std::string& path, bool yUp, std::string& error, ImportReport* report) {
    tinyobj::ObjReaderConfig config;
    config.triangulate = true;
    config.vertex_color = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config)) {
        error = "cannot read OBJ '" + path + "': " + (reader.Error().empty() ? "unknown error" : reader.Error());
        return false;
    }
    ImportReport local;
    if (!reader.Warning().empty()) local.warnings.push_back(reader.Warning());
    const tinyobj::attrib_t& at = reader.GetAttrib();
    auto point = [&](int i) {
        Point3 p(at.vertices[3 * i], at.vertices[3 * i + 1], at.vertices[3 * i + 2]);
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
    int nv = int(at.vertices.size() / 3), nt = int(at.texcoords.size() / 2);
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        const auto& idx = shape.mesh.indices;
        size_t nf = idx.size() / 3;
        if (nf == 0) continue;
        TriObject* tri = CreateNewTriObject();
        Mesh& mesh = tri->GetMesh();
        // Only the vertices this shape uses, in first-use order.
        std::map<int, int> vmap, tmap;
        for (const auto& i : idx) {
            if (i.vertex_index >= 0 && i.vertex_index < nv) vmap.emplace(i.vertex_index, 0);
            if (i.texcoord_index >= 0 && i.texcoord_index < nt) tmap.emplace(i.texcoord_index, 0);
        }
        int k = 0;
        for (auto& [src, dst] : vmap) dst = k++;
        k = 0;
        for (auto& [src, dst] : tmap) dst = k++;
        mesh.setNumVerts(int(vmap.size()));
        for (auto& [src, dst] : vmap) mesh.verts[dst] = point(src);
        std::vector<int> matIds = shape.mesh.material_ids;
        std::vector<int> distinct;
        for (int id : matIds)
            if (std::find(distinct.begin(), distinct.end(), id) == distinct.end()) distinct.push_back(id);
        mesh.setNumFaces(int(nf));
        bool uv = !tmap.empty();
        if (uv) {
            mesh.setMapSupport(1);
            mesh.setNumMapVerts(1, int(tmap.size()));
            for (auto& [src, dst] : tmap)
                mesh.mapVerts(1)[dst] = Point3(at.texcoords[2 * src], at.texcoords[2 * src + 1], 0.0f);
        }
        int skipped = 0;
        for (size_t f = 0; f < nf; ++f) {
            int v[3], tv[3];
            bool ok = true;
            for (int c = 0; c < 3; ++c) {
                const auto& i = idx[3 * f + c];
                ok &= i.vertex_index >= 0 && i.vertex_index < nv;
                v[c] = ok ? vmap[i.vertex_index] : 0;
                tv[c] = (i.texcoord_index >= 0 && i.texcoord_index < nt) ? tmap[i.texcoord_index] : 0;
            }
            skipped += !ok;
            mesh.faces[f].setVerts(v[0], v[1], v[2]);
            mesh.faces[f].setSmGroup(1);
            mesh.faces[f].setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
            int id = f < matIds.size() ? matIds[f] : -1;
            mesh.faces[f].setMatID(MtlID(std::find(distinct.begin(), distinct.end(), id) - distinct.begin()));
            if (uv) mesh.mapFaces(1)[f].setTVerts(tv[0], tv[1], tv[2]);
        }
        if (skipped)
            local.warnings.push_back("shape '" + shape.name + "': " + std::to_string(skipped) +
                                     " faces with bad indices");
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
