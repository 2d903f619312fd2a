#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "host/builtin_objects.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "host/scene_settings.h"
#include "host/std_materials.h"
#include "host/text.h"

namespace host {

namespace {

constexpr float kPi = 3.14159265358979f;

// glTF (+Y up) to host (+Z up), row form: gx -> x, gy -> z, gz -> -y.
const Matrix3 kFromGltf(Point3(1, 0, 0), Point3(0, 0, 1), Point3(0, -1, 0), Point3(0, 0, 0));

Point3 fromGltf(double x, double y, double z) {
    return Point3(float(x), float(-z), float(y));
}

// Reads an accessor's elements as floats, bounds-checked against its buffer; false when the
// accessor is not of the expected shape or points outside its data.
bool readAccessor(const tinygltf::Model& m, int index, int components, std::vector<float>& out, std::string& why) {
    if (index < 0 || index >= int(m.accessors.size())) return why = "accessor index out of range", false;
    const tinygltf::Accessor& a = m.accessors[index];
    if (tinygltf::GetNumComponentsInType(a.type) != components) return why = "accessor has the wrong type", false;
    // A count is checked against real data before anything is allocated for it, so a
    // hostile file cannot ask for terabytes.
    if (a.bufferView < 0) {
        if (a.count > (size_t(1) << 24)) return why = "accessor without data is too large", false;
        out.assign(a.count * components, 0.0f);  // all zeros, as the format says
        return true;
    }
    if (a.bufferView >= int(m.bufferViews.size())) return why = "buffer view out of range", false;
    const tinygltf::BufferView& v = m.bufferViews[a.bufferView];
    if (v.buffer < 0 || v.buffer >= int(m.buffers.size())) return why = "buffer out of range", false;
    const auto& data = m.buffers[v.buffer].data;
    if (a.count > data.size()) return why = "accessor count exceeds its buffer", false;
    out.assign(a.count * components, 0.0f);
    int csize = tinygltf::GetComponentSizeInBytes(a.componentType);
    if (csize <= 0) return why = "unknown component type", false;
    size_t elem = size_t(csize) * components;
    size_t stride = v.byteStride ? v.byteStride : elem;
    if (a.count > 0 && (v.byteOffset + a.byteOffset + stride * (a.count - 1) + elem > data.size() ||
                        a.byteOffset + stride * (a.count - 1) + elem > v.byteLength))
        return why = "accessor reaches past its buffer", false;
    const unsigned char* base = data.data() + v.byteOffset + a.byteOffset;
    for (size_t i = 0; i < a.count; ++i)
        for (int c = 0; c < components; ++c) {
            const unsigned char* p = base + i * stride + size_t(c) * csize;
            float f = 0.0f;
            switch (a.componentType) {
                case TINYGLTF_COMPONENT_TYPE_FLOAT:
                    std::memcpy(&f, p, 4);
                    break;
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                    f = a.normalized ? *p / 255.0f : *p;
                    break;
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                    uint16_t u;
                    std::memcpy(&u, p, 2);
                    f = a.normalized ? u / 65535.0f : u;
                    break;
                }
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
                    uint32_t u;
                    std::memcpy(&u, p, 4);
                    f = float(u);
                    break;
                }
                default:
                    return why = "unsupported component type", false;
            }
            out[i * components + c] = f;
        }
    return true;
}

bool readIndices(const tinygltf::Model& m, int index, std::vector<uint32_t>& out, std::string& why) {
    const tinygltf::Accessor& a = m.accessors[index];
    if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) return why = "float indices", false;
    std::vector<float> f;
    // Indices up to 2^24 are exact in a float; larger meshes are refused rather than garbled.
    if (a.count > 0 && a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT) {
        if (a.bufferView < 0 || a.bufferView >= int(m.bufferViews.size())) return why = "bad index view", false;
        const tinygltf::BufferView& v = m.bufferViews[a.bufferView];
        if (v.buffer < 0 || v.buffer >= int(m.buffers.size())) return why = "bad index buffer", false;
        const auto& data = m.buffers[v.buffer].data;
        if (a.count > data.size()) return why = "index count exceeds its buffer", false;
        size_t stride = v.byteStride ? v.byteStride : 4;
        if (v.byteOffset + a.byteOffset + stride * (a.count - 1) + 4 > data.size())
            return why = "indices reach past their buffer", false;
        out.resize(a.count);
        for (size_t i = 0; i < a.count; ++i)
            std::memcpy(&out[i], data.data() + v.byteOffset + a.byteOffset + i * stride, 4);
        return true;
    }
    if (!readAccessor(m, index, 1, f, why)) return false;
    out.assign(f.begin(), f.end());
    return true;
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
        for (int r : roots) addNode(r, scene_->root(), Matrix3(1));
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
                r_.warnings.push_back(where + ": not triangles; skipped");
                continue;
            }
            auto posIt = prim.attributes.find("POSITION");
            std::vector<float> pos, tex;
            std::string why;
            if (posIt == prim.attributes.end() || !readAccessor(m_, posIt->second, 3, pos, why)) {
                r_.warnings.push_back(where + ": no usable positions (" + why + "); skipped");
                continue;
            }
            auto texIt = prim.attributes.find("TEXCOORD_0");
            bool hasUV = texIt != prim.attributes.end() && readAccessor(m_, texIt->second, 2, tex, why) &&
                         tex.size() / 2 == pos.size() / 3;
            std::vector<uint32_t> idx;
            size_t nv = pos.size() / 3;
            if (prim.indices >= 0) {
                if (prim.indices >= int(m_.accessors.size()) || !readIndices(m_, prim.indices, idx, why)) {
                    r_.warnings.push_back(where + ": unreadable indices (" + why + "); skipped");
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
            for (size_t k = 0; k + 2 < idx.size(); k += 3) {
                if (idx[k] >= nv || idx[k + 1] >= nv || idx[k + 2] >= nv) {
                    r_.warnings.push_back(where + ": index out of range; triangle skipped");
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

    void addNode(int index, INode* parent, const Matrix3& parentWorld) {
        if (index < 0 || index >= int(m_.nodes.size()) || visited_.count(index)) {
            r_.warnings.push_back("node " + std::to_string(index) + ": missing or listed twice; skipped");
            return;
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
        INode* node = scene_->createNode(obj, fromUtf8(g.name.empty() ? "node" + std::to_string(index) : g.name));
        if (mtl) node->SetMtl(mtl);
        if (parent != scene_->root()) parent->AttachChild(node, 0);
        Matrix3 world = localTM(g) * parentWorld;
        node->SetNodeTM(0, world);
        // The host's -Z is glTF's -Z after the axis change only when turned by +90 degrees about X.
        if (pointsAlongZ) node->SetObjOffsetRot(Point3(kPi / 2, 0.0f, 0.0f));
        ++r_.nodes;
        for (int c : g.children) addNode(c, node, world);
    }

    const tinygltf::Model& m_;
    ImportReport& r_;
    std::unique_ptr<Scene> scene_;
    Keeper keeper_;  // holds the shared meshes and materials while nodes take them up
    std::vector<Mtl*> mtls_;
    std::map<int, Object*> meshes_;
    std::map<int, Mtl*> meshMtl_;
    std::set<int> visited_;
};

}  // namespace

bool importGltf(const std::string& path, std::string& error, ImportReport* report) {
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string err, warn;
    bool ok = extensionOf(path) == ".glb" ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                                          : loader.LoadASCIIFromFile(&model, &err, &warn, path);
    if (!ok) {
        error = "cannot read glTF '" + path + "': " + (err.empty() ? "unknown error" : err);
        return false;
    }
    ImportReport local;
    if (!warn.empty()) local.warnings.push_back(warn);
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
