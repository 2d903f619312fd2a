#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <string_view>

#include "counted_warnings.h"
#include "gltf_accessors.h"
#include "host/builtin_objects.h"
#include "host/input_file.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/scene_settings.h"
#include "host/std_materials.h"
#include "host/text.h"
#include "json_nesting.h"

namespace host {

namespace {

constexpr float kPi = 3.14159265358979f;

// glTF (+Y up) to host (+Z up), row form: gx -> x, gy -> z, gz -> -y.
const Matrix3 kFromGltf(Point3(1, 0, 0), Point3(0, 0, 1), Point3(0, -1, 0), Point3(0, 0, 0));

Point3 fromGltf(double x, double y, double z) {
    return Point3(float(x), float(-z), float(y));
}

// What light a glTF material lets through, as the standard material's opacity in percent:
// a blended base colour's alpha, and the share that KHR_materials_transmission does not
// transmit (glass). Opaque and masked materials are 100.
float opacityPercent(const tinygltf::Material& g) {
    double opacity = 1.0;
    const auto& f = g.pbrMetallicRoughness.baseColorFactor;
    if (g.alphaMode == "BLEND" && f.size() >= 4) opacity *= std::clamp(f[3], 0.0, 1.0);
    if (auto it = g.extensions.find("KHR_materials_transmission"); it != g.extensions.end()) {
        const tinygltf::Value& factor = it->second.Get("transmissionFactor");
        if (factor.IsNumber()) opacity *= 1.0 - std::clamp(factor.GetNumberAsDouble(), 0.0, 1.0);
    }
    return float(opacity * 100.0);
}

class Importer {
public:
    Importer(const tinygltf::Model& m, ImportReport& r) : m_(m), r_(r), scene_(std::make_unique<Scene>()) {}

    std::unique_ptr<Scene> run() {
        for (const tinygltf::Material& g : m_.materials) {
            const auto& f = g.pbrMetallicRoughness.baseColorFactor;
            Color c = f.size() >= 3 ? Color(float(f[0]), float(f[1]), float(f[2])) : Color(1, 1, 1);
            float gloss = float((1.0 - std::clamp(g.pbrMetallicRoughness.roughnessFactor, 0.0, 1.0)) * 100.0);
            Mtl* mtl = createStdMaterial(fromUtf8(g.name), c, gloss);
            if (const float opacity = opacityPercent(g); opacity < 100.0f)
                mtl->GetParamBlock(0)->SetValue(kStdOpacity, 0, opacity);
            mtl->AddDependent(&keeper_);
            mtls_.push_back(mtl);
        }
        std::vector<int> roots;
        if (!m_.scenes.empty()) {
            int s = m_.defaultScene >= 0 && m_.defaultScene < int(m_.scenes.size()) ? m_.defaultScene : 0;
            roots = m_.scenes[s].nodes;
        } else {
            std::set<int> children;
            for (const auto& n : m_.nodes) children.insert(n.children.begin(), n.children.end());
            for (int i = 0; i < int(m_.nodes.size()); ++i)
                if (!children.count(i)) roots.push_back(i);
        }
        for (int r : roots) addTree(r);
        warned_.appendTo(r_.warnings);
        return std::move(scene_);
    }

private:
    class Keeper : public ReferenceMaker {};

    Object* meshObject(int index, Mtl*& mtl) {
        auto it = meshes_.find(index);
        if (it != meshes_.end()) {
            mtl = meshMtl_[index];
            return it->second;
        }
        const tinygltf::Mesh& gm = m_.meshes[index];
        TriObject* tri = CreateNewTriObject();
        tri->AddDependent(&keeper_);
        Mesh& mesh = tri->GetMesh();
        std::vector<Point3> verts, uvs;
        std::vector<Face> faces;
        std::vector<std::array<uint32_t, 3>> tfaces;
        std::vector<int> primMaterial;
        bool anyUV = false;
        for (size_t p = 0; p < gm.primitives.size(); ++p) {
            const tinygltf::Primitive& prim = gm.primitives[p];
            std::string where = "mesh '" + gm.name + "' primitive " + std::to_string(p);
            if (prim.mode != -1 && prim.mode != TINYGLTF_MODE_TRIANGLES) {
                warned_.add("mode", where + ": not triangles; skipped");
                continue;
            }
            auto posIt = prim.attributes.find("POSITION");
            std::vector<float> pos, tex;
            std::string why;
            if (posIt == prim.attributes.end() || !readGltfAccessor(m_, posIt->second, 3, pos, why)) {
                warned_.add("positions " + why, where + ": no usable positions (" + why + "); skipped");
                continue;
            }
            auto texIt = prim.attributes.find("TEXCOORD_0");
            bool hasUV = texIt != prim.attributes.end() && readGltfAccessor(m_, texIt->second, 2, tex, why) &&
                         tex.size() / 2 == pos.size() / 3;
            std::vector<uint32_t> idx;
            size_t nv = pos.size() / 3;
            if (prim.indices >= 0) {
                if (prim.indices >= int(m_.accessors.size()) || !readGltfIndices(m_, prim.indices, idx, why)) {
                    warned_.add("indices " + why, where + ": unreadable indices (" + why + "); skipped");
                    continue;
                }
            } else {
                for (uint32_t i = 0; i < nv; ++i) idx.push_back(i);
            }
            uint32_t base = uint32_t(verts.size());
            for (size_t i = 0; i < nv; ++i) {
                verts.push_back(fromGltf(pos[3 * i], pos[3 * i + 1], pos[3 * i + 2]));
                uvs.push_back(hasUV ? Point3(tex[2 * i], 1.0f - tex[2 * i + 1], 0.0f) : Point3());
            }
            anyUV |= hasUV;
            int slot = int(primMaterial.size());
            primMaterial.push_back(prim.material);
            size_t outside = 0;
            for (size_t k = 0; k + 2 < idx.size(); k += 3) {
                if (idx[k] >= nv || idx[k + 1] >= nv || idx[k + 2] >= nv) {
                    ++outside;
                    continue;
                }
                Face f;
                f.setVerts(int(base + idx[k]), int(base + idx[k + 1]), int(base + idx[k + 2]));
                f.setSmGroup(1);
                f.setMatID(MtlID(slot));
                f.setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
                faces.push_back(f);
                tfaces.push_back({base + idx[k], base + idx[k + 1], base + idx[k + 2]});
            }
            if (outside)
                warned_.add("outside", where + ": " + std::to_string(outside) +
                                           (outside == 1 ? " triangle has" : " triangles have") +
                                           " an index out of range; skipped");
        }
        mesh.setNumVerts(int(verts.size()));
        std::copy(verts.begin(), verts.end(), mesh.verts);
        mesh.setNumFaces(int(faces.size()));
        std::copy(faces.begin(), faces.end(), mesh.faces);
        if (anyUV) {
            mesh.setMapSupport(1);
            mesh.setNumMapVerts(1, int(uvs.size()));
            std::copy(uvs.begin(), uvs.end(), mesh.mapVerts(1));
            for (size_t f = 0; f < tfaces.size(); ++f)
                mesh.mapFaces(1)[f].setTVerts(int(tfaces[f][0]), int(tfaces[f][1]), int(tfaces[f][2]));
        }
        // One material for the whole mesh, or a multi/sub-object material by primitive.
        mtl = nullptr;
        std::set<int> distinct(primMaterial.begin(), primMaterial.end());
        auto lookup = [&](int i) { return i >= 0 && i < int(mtls_.size()) ? mtls_[i] : nullptr; };
        if (distinct.size() == 1) {
            mtl = lookup(*distinct.begin());
            for (int f = 0; f < mesh.numFaces; ++f) mesh.faces[f].setMatID(0);
        } else if (distinct.size() > 1) {
            std::vector<Mtl*> subs;
            std::vector<int> ids;
            for (int i = 0; i < int(primMaterial.size()); ++i) {
                subs.push_back(lookup(primMaterial[i]));
                ids.push_back(i);
            }
            mtl = createMultiMaterial(fromUtf8(gm.name), subs, ids);
            mtl->AddDependent(&keeper_);
        }
        ++r_.meshes;
        meshes_[index] = tri;
        meshMtl_[index] = mtl;
        return tri;
    }

    static Matrix3 localTM(const tinygltf::Node& n) {
        Matrix3 g(1);
        if (n.matrix.size() == 16) {
            // Column-major, column vectors: element (row r, col c) is matrix[c * 4 + r]; the
            // row-vector form is its transpose.
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) g.m[r][c] = float(n.matrix[r * 4 + c]);
        } else {
            Point3 s = n.scale.size() == 3 ? Point3(n.scale[0], n.scale[1], n.scale[2]) : Point3(1, 1, 1);
            Matrix3 rot(1);
            if (n.rotation.size() == 4) {
                double x = n.rotation[0], y = n.rotation[1], z = n.rotation[2], w = n.rotation[3];
                double len = std::sqrt(x * x + y * y + z * z + w * w);
                if (len > 0) x /= len, y /= len, z /= len, w /= len;
                rot = Matrix3(Point3(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)),
                              Point3(2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)),
                              Point3(2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)), Point3());
            }
            Point3 t =
                n.translation.size() == 3 ? Point3(n.translation[0], n.translation[1], n.translation[2]) : Point3();
            g = ScaleMatrix(s) * rot * TransMatrix(t);
        }
        return Inverse(kFromGltf) * g * kFromGltf;
    }

    // A node and everything below it, depth first in the file's order, with a list of its
    // own rather than the call stack: a chain of 100,000 nodes is a valid file.
    void addTree(int rootIndex) {
        struct Pending {
            int index;
            INode* parent;
            Matrix3 parentWorld;
        };
        std::vector<Pending> pending{{rootIndex, scene_->root(), Matrix3(1)}};
        while (!pending.empty()) {
            const Pending p = pending.back();
            pending.pop_back();
            INode* node = nullptr;
            Matrix3 world;
            if (!addNode(p.index, p.parent, p.parentWorld, node, world)) continue;
            const std::vector<int>& children = m_.nodes[size_t(p.index)].children;
            for (auto c = children.rbegin(); c != children.rend(); ++c) pending.push_back({*c, node, world});
        }
    }

    bool addNode(int index, INode* parent, const Matrix3& parentWorld, INode*& node, Matrix3& world) {
        if (index < 0 || index >= int(m_.nodes.size()) || visited_.count(index)) {
            warned_.add("node", "node " + std::to_string(index) + ": missing or listed twice; skipped");
            return false;
        }
        visited_.insert(index);
        const tinygltf::Node& g = m_.nodes[index];
        Object* obj = nullptr;
        Mtl* mtl = nullptr;
        bool pointsAlongZ = false;  // cameras and lights look down their local -Z
        if (g.mesh >= 0 && g.mesh < int(m_.meshes.size())) {
            obj = meshObject(g.mesh, mtl);
        } else if (g.camera >= 0 && g.camera < int(m_.cameras.size())) {
            const tinygltf::Camera& c = m_.cameras[g.camera];
            float fov = 0.785398f;
            if (c.type == "perspective") {
                double aspect = c.perspective.aspectRatio > 0 ? c.perspective.aspectRatio : 1.0;
                fov = float(2.0 * std::atan(std::tan(c.perspective.yfov * 0.5) * aspect));
            }
            GenCamera* cam = createFreeCamera(fov);
            if (c.type == "orthographic") cam->SetOrtho(TRUE);
            obj = cam;
            pointsAlongZ = true;
            ++r_.cameras;
        } else if (auto ext = g.extensions.find("KHR_lights_punctual"); ext != g.extensions.end()) {
            int li = ext->second.Get("light").IsInt() ? ext->second.Get("light").GetNumberAsInt() : -1;
            if (li >= 0 && li < int(m_.lights.size())) {
                const tinygltf::Light& l = m_.lights[li];
                LightType type = l.type == "spot" ? SPOT_LGT : l.type == "directional" ? DIRECT_LGT : OMNI_LGT;
                Color c = l.color.size() >= 3 ? Color(float(l.color[0]), float(l.color[1]), float(l.color[2]))
                                              : Color(1, 1, 1);
                GenLight* light = createLight(type, c, float(l.intensity));
                if (type == SPOT_LGT) {
                    IParamBlock2* pb = light->GetParamBlock(0);
                    pb->SetValue(kLightFalloff, 0, float(l.spot.outerConeAngle * 2 * 180 / kPi));
                    pb->SetValue(kLightHotspot, 0, float(l.spot.innerConeAngle * 2 * 180 / kPi));
                }
                obj = light;
                pointsAlongZ = true;
                ++r_.lights;
            }
        }
        node = scene_->createNode(obj, fromUtf8(g.name.empty() ? "node" + std::to_string(index) : g.name));
        if (mtl) node->SetMtl(mtl);
        if (parent != scene_->root()) parent->AttachChild(node, 0);
        const Matrix3 local = localTM(g);
        world = local * parentWorld;
        // Below the top level the local matrix goes in as it is: asking the parent for its
        // world transform would walk the whole chain for every node.
        if (parent != scene_->root())
            node->SetLocalTM(0, local);
        else
            node->SetNodeTM(0, world);
        // The host's -Z is glTF's -Z after the axis change only when turned by +90 degrees about X.
        if (pointsAlongZ) node->SetObjOffsetRot(Point3(kPi / 2, 0.0f, 0.0f));
        ++r_.nodes;
        return true;
    }

    const tinygltf::Model& m_;
    ImportReport& r_;
    std::unique_ptr<Scene> scene_;
    Keeper keeper_;  // holds the shared meshes and materials while nodes take them up
    std::vector<Mtl*> mtls_;
    std::map<int, Object*> meshes_;
    std::map<int, Mtl*> meshMtl_;
    std::set<int> visited_;
    CountedWarnings warned_;
};

}  // namespace

namespace {

// The files a glTF names (buffers, images) are read only from inside its own folder, after
// links and ".." are resolved: a URI cannot reach any other file, and none is expanded as a
// shell word. The callbacks' user data is the folder, made canonical.
bool insideFolder(const std::filesystem::path& folder, const std::string& file) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec) return false;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) return false;
    return std::mismatch(folder.begin(), folder.end(), resolved.begin(), resolved.end()).first == folder.end();
}

bool fileInsideFolder(const std::string& file, void* folder) {
    std::error_code ec;
    return insideFolder(*static_cast<const std::filesystem::path*>(folder), file) &&
           std::filesystem::is_regular_file(file, ec);
}

std::string pathAsWritten(const std::string& path, void*) {
    return path;
}

bool readInsideFolder(std::vector<unsigned char>* out, std::string* err, const std::string& file, void* folder) {
    if (!insideFolder(*static_cast<const std::filesystem::path*>(folder), file)) {
        if (err) *err = "it lies outside the glTF's folder";
        return false;
    }
    std::string bytes, error;
    if (!readInputFile(file, "", bytes, error)) {
        if (err) *err = error;
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool refuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    if (err) *err = "the glTF reader writes no files";
    return false;
}

// The importer uses no textures (materials take their base colour factor), so images are
// not decoded: no picture from the file reaches an image decoder, and the bytes handed in
// for one (from a buffer view the parser does not bound) are never read.
bool skipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}

// The parser's error text, which may run over several lines, as one.
std::string oneLine(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) out += (out.empty() ? "" : "; ") + line;
        start = end + 1;
    }
    return out;
}

// The JSON text of a .glb: the first chunk, when the header says it is JSON; empty
// otherwise (the parser then refuses the file with its own message).
std::string_view glbJson(std::string_view bytes) {
    if (bytes.size() < 20 || bytes.substr(0, 4) != "glTF" || bytes.substr(16, 4) != "JSON") return {};
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + 12, 4);
    return bytes.substr(20, std::min<size_t>(length, bytes.size() - 20));
}

}  // namespace

bool importGltf(const std::string& path, std::string& error, ImportReport* report) {
    const bool binary = extensionOf(path) == ".glb";
    std::string bytes;
    if (!readInputFile(path, "glTF", bytes, error, {kMaxInputFileBytes, !binary})) return false;
    if (bytes.size() > std::numeric_limits<unsigned int>::max()) {
        error = "cannot read glTF '" + path + "': it is larger than 4 GiB";
        return false;
    }
    const std::string_view json = binary ? glbJson(bytes) : std::string_view(bytes);
    if (jsonNesting(json) > kMaxJsonNesting) {
        error = "cannot read glTF '" + path + "': its JSON nests deeper than " + std::to_string(kMaxJsonNesting) +
                " levels";
        return false;
    }
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
    folder = std::filesystem::weakly_canonical(folder, ec);
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({fileInsideFolder, pathAsWritten, readInsideFolder, refuseWrite, &folder});
    loader.SetImageLoader(skipImage, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    const bool ok =
        binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, reinterpret_cast<const unsigned char*>(bytes.data()),
                                             unsigned(bytes.size()), folder.string())
               : loader.LoadASCIIFromString(&model, &err, &warn, bytes.data(), unsigned(bytes.size()), folder.string());
    if (!ok) {
        error = "cannot read glTF '" + path + "': " + (err.empty() ? "unknown error" : oneLine(err));
        if (err.find("File not found") != std::string::npos)
            error += " (buffers and images are read only from the glTF's own folder)";
        return false;
    }
    ImportReport local;
    CountedWarnings parserWarnings;
    parserWarnings.addLines(warn);
    parserWarnings.appendTo(local.warnings);
    // Importing must not key anything, whatever the Auto Key state.
    bool animate = sceneSettings().animateMode;
    sceneSettings().animateMode = false;
    std::unique_ptr<Scene> scene;
    {
        Importer importer(model, local);
        scene = importer.run();
    }
    SceneSettings settings;
    settings.unitType = UNITS_METERS;
    settings.unitScale = 1.0f;
    settings.animateMode = animate;
    sceneSettings() = settings;
    replaceScene(std::move(scene));
    if (report) *report = std::move(local);
    return true;
}

}  // namespace host
