#include <tiny_gltf.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "export_mesh.h"
#include "host/scene_file.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "host/text.h"
#include "max/units.h"
#include "shared_corners.h"

namespace host {

namespace {

// Appends raw bytes to the single buffer, 4-byte aligned, and returns a buffer view.
int addView(tinygltf::Model& model, const void* data, size_t bytes, int target) {
    auto& buf = model.buffers[0].data;
    while (buf.size() % 4) buf.push_back(0);
    size_t offset = buf.size();
    auto* p = static_cast<const unsigned char*>(data);
    buf.insert(buf.end(), p, p + bytes);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = offset;
    view.byteLength = bytes;
    view.target = target;
    model.bufferViews.push_back(view);
    return int(model.bufferViews.size()) - 1;
}

int addAccessor(tinygltf::Model& model, const std::vector<float>& values, int type, int components, bool minMax) {
    tinygltf::Accessor a;
    a.bufferView = addView(model, values.data(), values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
    a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    a.type = type;
    a.count = values.size() / components;
    if (minMax && a.count > 0) {
        a.minValues.assign(components, 1e300);
        a.maxValues.assign(components, -1e300);
        for (size_t i = 0; i < values.size(); ++i) {
            a.minValues[i % components] = std::min(a.minValues[i % components], double(values[i]));
            a.maxValues[i % components] = std::max(a.maxValues[i % components], double(values[i]));
        }
    }
    model.accessors.push_back(a);
    return int(model.accessors.size()) - 1;
}

// 16-bit indices while every index fits below 65535 (each type's largest value is reserved).
int addIndices(tinygltf::Model& model, const std::vector<uint32_t>& indices, size_t vertexCount) {
    tinygltf::Accessor a;
    if (vertexCount <= 65535) {
        std::vector<uint16_t> narrow(indices.begin(), indices.end());
        a.bufferView =
            addView(model, narrow.data(), narrow.size() * sizeof(uint16_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
    } else {
        a.bufferView =
            addView(model, indices.data(), indices.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    }
    a.type = TINYGLTF_TYPE_SCALAR;
    a.count = indices.size();
    model.accessors.push_back(a);
    return int(model.accessors.size()) - 1;
}

int materialFor(tinygltf::Model& model, std::map<Mtl*, int>& done, Mtl* mtl) {
    auto it = done.find(mtl);
    if (it != done.end()) return it->second;
    tinygltf::Material g;
    g.name = mtl ? toUtf8(mtl->GetName()) : "default";
    Color c = diffuseOf(mtl);
    g.pbrMetallicRoughness.baseColorFactor = {c.r, c.g, c.b, 1.0};
    g.pbrMetallicRoughness.roughnessFactor = std::clamp(1.0 - glossinessOf(mtl) / 100.0, 0.0, 1.0);
    g.pbrMetallicRoughness.metallicFactor = 0.0;
    g.doubleSided = false;
    model.materials.push_back(g);
    return done[mtl] = int(model.materials.size()) - 1;
}

}  // namespace

bool exportGltf(const std::string& path, TimeValue t, std::string& error, INode* onlyNode) {
    bool binary = extensionOf(path) == ".glb";
    float metres = float(GetSystemUnitScale(UNITS_METERS));
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "tweather";
    model.buffers.resize(1);
    model.scenes.resize(1);
    model.defaultScene = 0;
    std::map<Mtl*, int> materials;
    for (const ExportMesh& e : gatherExportMeshes(t, onlyNode)) {
        tinygltf::Mesh mesh;
        mesh.name = toUtf8(e.name);
        // One primitive per material index, in index order.
        std::map<MtlID, std::vector<size_t>> groups;
        for (size_t f = 0; f < e.faceMtl.size(); ++f) groups[e.faceMtl[f]].push_back(f);
        for (const auto& [id, faces] : groups) {
            // Each primitive indexes its own vertices: corners shared within the group.
            SharedCorners shared = shareCorners(e, faces);
            size_t count = shared.vertexCorner.size();
            std::vector<float> pos, nrm, uv;
            pos.reserve(3 * count);
            nrm.reserve(3 * count);
            uv.reserve(e.uvs.empty() ? 0 : 2 * count);
            for (uint32_t c : shared.vertexCorner) {
                const Point3& p = e.corners[c];
                const Point3& n = e.normals[c];
                pos.insert(pos.end(), {p.x * metres, p.z * metres, -p.y * metres});
                nrm.insert(nrm.end(), {n.x, n.z, -n.y});
                if (!e.uvs.empty()) uv.insert(uv.end(), {e.uvs[c].x, 1.0f - e.uvs[c].y});
            }
            tinygltf::Primitive prim;
            prim.mode = TINYGLTF_MODE_TRIANGLES;
            prim.indices = addIndices(model, shared.cornerVertex, count);
            prim.attributes["POSITION"] = addAccessor(model, pos, TINYGLTF_TYPE_VEC3, 3, true);
            prim.attributes["NORMAL"] = addAccessor(model, nrm, TINYGLTF_TYPE_VEC3, 3, false);
            if (!uv.empty()) prim.attributes["TEXCOORD_0"] = addAccessor(model, uv, TINYGLTF_TYPE_VEC2, 2, false);
            prim.material = materialFor(model, materials, materialForIndex(e.mtl, id));
            mesh.primitives.push_back(prim);
        }
        model.meshes.push_back(mesh);
        tinygltf::Node node;
        node.name = mesh.name;
        node.mesh = int(model.meshes.size()) - 1;
        model.nodes.push_back(node);
        model.scenes[0].nodes.push_back(int(model.nodes.size()) - 1);
    }
    model.buffers[0].uri.clear();
    // Encoded in memory, then written through the atomic writer: the library's own file
    // writing neither checks a full disk nor avoids a planted link.
    std::ostringstream bytes;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, bytes, !binary, binary) || !bytes) {
        error = "cannot write '" + path + "': the glTF could not be encoded";
        return false;
    }
    model = tinygltf::Model();  // the buffers are in `bytes` now; hand their memory back
    return wx::writeFileAtomically(path, bytes.view().data(), bytes.view().size(), error);
}

std::string extensionOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The readers and writers may throw (the libraries, or memory running out on a huge file);
// nothing thrown leaves the host.
bool importScene(const std::string& path, std::string& error, ImportReport* report, bool objYUp) {
    std::string ext = extensionOf(path);
    try {
        if (ext == ".gltf" || ext == ".glb") return importGltf(path, error, report);
        if (ext == ".obj") return importObj(path, objYUp, error, report);
    } catch (const std::exception& e) {
        error = "cannot read '" + path + "': " + e.what();
        return false;
    }
    error = "'" + path + "': unknown file type (use .gltf, .glb or .obj)";
    return false;
}

bool exportScene(const std::string& path, TimeValue t, std::string& error) {
    std::string ext = extensionOf(path);
    try {
        if (ext == ".gltf" || ext == ".glb") return exportGltf(path, t, error);
        if (ext == ".obj") return exportObj(path, t, error);
    } catch (const std::exception& e) {
        error = "cannot write '" + path + "': " + e.what();
        return false;
    }
    error = "'" + path + "': unknown file type (use .gltf, .glb or .obj)";
    return false;
}

}  // namespace host
