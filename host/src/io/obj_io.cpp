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
    // The pair is renamed into place together: a failure leaves the old OBJ and .mtl.
    wx::AtomicFile mtlFile(mtlPath), objFile(path);
    if (!mtlFile.open(error) || !objFile.open(error)) return false;
    mtlFile.write(mtl.str());
    objFile.write(obj.text);
    return wx::commitTogether(mtlFile, objFile, error);
}

}  // namespace host
