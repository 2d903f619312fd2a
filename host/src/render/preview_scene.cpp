#include "preview_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "common/angles.h"
#include "host/scene.h"
#include "host/std_materials.h"
#include "host/text.h"

namespace host::preview {

namespace {

using wx::radiansFromDegrees;

std::string quoted(const std::wstring& name) {
    return std::string(1, '\'').append(toUtf8(name)).append(1, '\'');
}

bool isCameraNode(INode* node) {
    Object* obj = node->GetObjectRef();
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    return base && base->SuperClassID() == CAMERA_CLASS_ID;
}

// Rows of m's 3x3 part normalised; the translation kept.
Matrix3 withoutScale(const Matrix3& m) {
    Matrix3 out = m;
    for (int r = 0; r < 3; ++r) out.SetRow(r, m.GetRow(r).Normalize());
    return out;
}

Matrix3 normalMatrix(const Matrix3& worldFromObject) {
    Matrix3 inv = Inverse(worldFromObject);
    Matrix3 out;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out.m[i][j] = inv.m[j][i];
    out.SetTrans(Point3(0, 0, 0));
    return out;
}

// Update(t) on every material and map the scene uses, once each, before any is evaluated.
class MaterialUpdater {
public:
    explicit MaterialUpdater(TimeValue t) : t_(t) {}
    void update(Mtl* m) {
        if (!m || !seen_.insert(m).second) return;
        Interval valid = FOREVER;
        m->Update(t_, valid);
        for (int i = 0; i < m->NumSubMtls(); ++i) update(m->GetSubMtl(i));
        for (int i = 0; i < m->NumSubTexmaps(); ++i) update(m->GetSubTexmap(i));
    }
    void update(Texmap* m) {
        if (!m || !seen_.insert(m).second) return;
        Interval valid = FOREVER;
        m->Update(t_, valid);
        for (int i = 0; i < m->NumSubTexmaps(); ++i) update(m->GetSubTexmap(i));
    }

private:
    TimeValue t_;
    std::set<const void*> seen_;
};

Material resolveMaterial(Mtl* nodeMtl, MtlID index, TimeValue t) {
    Material out;
    out.mtlNum = index;
    Mtl* m = materialForIndex(nodeMtl, index);
    if (!m) return out;
    if (m->ClassID() == kStdMtlClassID) {
        IParamBlock2* pb = m->GetParamBlock(0);
        out.diffuse = pb->GetColor(kStdDiffuse, t);
        out.gloss = std::clamp(pb->GetFloat(kStdGlossiness, t) / 100.0f, 0.0f, 1.0f);
        out.bumpAmount = pb->GetFloat(kStdBumpAmount, t) / 100.0f;
        out.diffuseMap = pb->GetTexmap(kStdMaps, t, ID_DI);
        out.glossMap = pb->GetTexmap(kStdMaps, t, ID_SH);
        out.specLevelMap = pb->GetTexmap(kStdMaps, t, ID_SS);
        out.bumpMap = pb->GetTexmap(kStdMaps, t, ID_BU);
    } else {
        out.diffuse = m->GetDiffuse(index);
        out.gloss = std::clamp(m->GetShininess(index), 0.0f, 1.0f);
    }
    return out;
}

class MaterialTable {
public:
    MaterialTable(Scene& scene, TimeValue t) : scene_(scene), t_(t) {
        scene_.materials.push_back(Material{});  // 0: nodes without a material
    }
    int32_t indexOf(Mtl* nodeMtl, MtlID id) {
        if (!nodeMtl) return 0;
        auto [it, added] = index_.try_emplace({nodeMtl, id}, int32_t(scene_.materials.size()));
        if (added) scene_.materials.push_back(resolveMaterial(nodeMtl, id, t_));
        return it->second;
    }

private:
    Scene& scene_;
    TimeValue t_;
    std::map<std::pair<Mtl*, MtlID>, int32_t> index_;
};

void addLight(INode* node, LightObject* light, TimeValue t, Scene& scene) {
    LightState ls;
    Interval valid = FOREVER;
    if (light->EvalLightState(t, valid, &ls) != REF_SUCCEED || !ls.on || ls.intens == 0.0f) return;
    const Point3 color = Point3(ls.color.r, ls.color.g, ls.color.b) * ls.intens;
    if (ls.type == AMBIENT_LGT) {
        scene.ambient += color;
        return;
    }
    const Matrix3 tm = node->GetObjTMAfterWSM(t);
    Light l;
    l.type = ls.type;
    l.position = tm.GetTrans();
    l.direction = (-tm.GetRow(2)).Normalize();  // lights shine along their local -Z
    l.color = color;
    const float hot = std::clamp(ls.hotsize, 0.0f, 180.0f), fall = std::clamp(std::max(ls.fallsize, hot), 0.0f, 180.0f);
    l.cosHot = std::cos(radiansFromDegrees(0.5f * hot));
    l.cosFall = std::cos(radiansFromDegrees(0.5f * fall));
    scene.lights.push_back(l);
}

void addMesh(INode* node, GeomObject* geom, Object* evalObject, TimeValue t, View& view, MaterialTable& materials,
             Scene& scene) {
    BOOL needDelete = FALSE;
    Mesh* rendered = geom->GetRenderMesh(t, node, view, needDelete);
    if (!rendered) return;
    std::unique_ptr<Mesh> mesh(needDelete ? rendered : new Mesh(*rendered));
    if (mesh->getNumFaces() == 0) return;
    mesh->buildNormals();
    if (MeshNormalSpec* spec = mesh->GetSpecifiedNormals()) spec->CheckNormals();

    RenderMesh rm;
    rm.node = node;
    rm.evalObject = evalObject;
    rm.worldFromObject = node->GetObjTMAfterWSM(t);
    rm.objectFromWorld = Inverse(rm.worldFromObject);
    rm.normalToWorld = normalMatrix(rm.worldFromObject);
    rm.objectBox = mesh->getBoundingBox();

    const int32_t meshIndex = int32_t(scene.meshes.size());
    Mtl* nodeMtl = node->GetMtl();
    const int nv = mesh->getNumVerts();
    for (int f = 0; f < mesh->getNumFaces(); ++f) {
        const Face& face = mesh->faces[f];
        if (int(face.v[0]) >= nv || int(face.v[1]) >= nv || int(face.v[2]) >= nv) continue;  // broken face
        Point3 p[3];
        for (int k = 0; k < 3; ++k) p[k] = mesh->verts[face.v[k]] * rm.worldFromObject;
        // A non-finite corner would poison the bounds (and so the default view).
        if (!std::isfinite(p[0].x + p[0].y + p[0].z + p[1].x + p[1].y + p[1].z + p[2].x + p[2].y + p[2].z)) continue;
        for (int k = 0; k < 3; ++k) {
            scene.soup.push_back({p[k].x, p[k].y, p[k].z});
            scene.bounds += p[k];
        }
        scene.tris.push_back({meshIndex, f, materials.indexOf(nodeMtl, face.getMatID())});
    }
    rm.mesh = std::move(mesh);
    scene.meshes.push_back(std::move(rm));
}

}  // namespace

bool findCameraNode(const PreviewSettings& settings, INode*& node, std::string& error) {
    node = nullptr;
    if (settings.camera) {
        if (!isCameraNode(settings.camera)) {
            error = quoted(settings.camera->GetName()) + " is not a camera";
            return false;
        }
        node = settings.camera;
        return true;
    }
    const std::vector<INode*> nodes = currentScene().allNodes();
    if (!settings.cameraName.empty()) {
        bool named = false;
        for (INode* n : nodes) {
            if (settings.cameraName != n->GetName()) continue;
            named = true;
            if (isCameraNode(n)) {
                node = n;
                return true;
            }
        }
        error = named ? quoted(settings.cameraName) + " is not a camera"
                      : "no camera named " + quoted(settings.cameraName) + " in the scene";
        return false;
    }
    for (INode* n : nodes)
        if (isCameraNode(n)) {
            node = n;
            break;
        }
    return true;
}

Camera cameraFromNode(INode* node, TimeValue t) {
    Camera cam;
    cam.name = node->GetName();
    const ObjectState& os = node->EvalWorldState(t);
    CameraState cs;
    Interval valid = FOREVER;
    if (os.obj && os.obj->SuperClassID() == CAMERA_CLASS_ID)
        static_cast<CameraObject*>(os.obj)->EvalCameraState(t, valid, &cs);
    const float fov = std::clamp(cs.fov, 0.001f, 3.1406f);
    cam.ortho = cs.isOrtho != FALSE;
    cam.tanHalfX = std::tan(0.5f * fov);
    cam.orthoHalfWidth = std::max(cs.tdist, 1e-6f) * cam.tanHalfX;
    cam.worldFromCamera = withoutScale(node->GetObjTMAfterWSM(t));
    cam.cameraFromWorld = Inverse(cam.worldFromCamera);
    return cam;
}

Camera defaultCamera(const Box3& bounds, float aspect) {
    Box3 box = bounds.IsEmpty() ? Box3(Point3(-1, -1, -1), Point3(1, 1, 1)) : bounds;
    const Point3 centre = box.Center();
    const float size = std::max(box.Width().Length(), 1e-3f);
    Camera cam;
    cam.tanHalfX = std::tan(radiansFromDegrees(0.5f * 45.0f));
    const float tanHalfY = cam.tanHalfX / std::max(aspect, 1e-3f);
    const Point3 back = Point3(0.55f, -0.75f, 0.6f).Normalize();  // from the box toward the eye
    const Point3 right = (Point3(0, 0, 1) ^ back).Normalize();
    const Point3 up = back ^ right;
    // Back away from the centre until every corner of the box is inside the frame, with a
    // margin of 5% of the view on each side.
    float distance = 0.0f;
    for (int i = 0; i < 8; ++i) {
        const Point3 c = box[i] - centre;
        const float x = std::fabs(c % right), y = std::fabs(c % up), z = c % back;
        distance = std::max({distance, z + x / (0.9f * cam.tanHalfX), z + y / (0.9f * tanHalfY), z + 0.01f * size});
    }
    cam.worldFromCamera = Matrix3(right, up, back, centre + back * distance);
    cam.cameraFromWorld = Inverse(cam.worldFromCamera);
    return cam;
}

void gatherScene(TimeValue t, View& view, Scene& scene) {
    MaterialTable materials(scene, t);
    MaterialUpdater updater(t);
    bool anyLight = false;
    for (INode* node : currentScene().allNodes()) {
        Object* ref = node->GetObjectRef();
        Object* base = ref ? ref->FindBaseObject() : nullptr;
        if (!base) continue;
        if (base->SuperClassID() == LIGHT_CLASS_ID) {
            const ObjectState& os = node->EvalWorldState(t);
            if (os.obj && os.obj->SuperClassID() == LIGHT_CLASS_ID) {
                anyLight = true;
                addLight(node, static_cast<LightObject*>(os.obj), t, scene);
            }
            continue;
        }
        if (node->IsNodeHidden(TRUE) || !node->Renderable()) continue;
        const ObjectState& os = node->EvalWorldState(t);
        if (!os.obj || os.obj->SuperClassID() != GEOMOBJECT_CLASS_ID || !os.obj->IsRenderable()) continue;
        updater.update(node->GetMtl());
        addMesh(node, static_cast<GeomObject*>(os.obj), os.obj, t, view, materials, scene);
    }
    // A scene without any light (switched off ones count as lights) gets the default sun.
    if (!anyLight) {
        scene.defaultLight = true;
        Light sun;
        sun.type = DIRECT_LGT;
        sun.direction = -kPreviewSunToward;
        sun.color = kPreviewSunColor;
        scene.lights.push_back(sun);
    }
    wx::buildBVH(scene.soup, scene.bvh);
    const float diagonal = scene.bounds.IsEmpty() ? 1.0f : scene.bounds.Width().Length();
    scene.offset = std::max(1e-4f * diagonal, 1e-6f);
}

}  // namespace host::preview
