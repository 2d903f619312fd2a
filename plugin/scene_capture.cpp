#include "plugin/scene_capture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

#include "max/inode.h"
#include "max/interface.h"
#include "max/notify.h"
#include "max/object.h"
#include "max/param_block2.h"
#include "max/units.h"
#include "plugin/live_modifiers.h"
#include "plugin/node_walk.h"
#include "shelter/mesh_corners.h"

namespace wx {
namespace {

struct CaptureState {
    std::atomic<std::shared_ptr<const ShelterBVH>> current;
    std::shared_ptr<const ShelterBVH> previous;
    std::atomic<uint64_t> generation{0};
    std::atomic<int> triangles{0};
    double ms = 0.0;
    std::wstring log;
    Box3 interest;
    bool inProgress = false;
    size_t pointCap = kCapturePointCap;
};

CaptureState& state() {
    static CaptureState s;
    return s;
}

bool isWeatherFall(INode* node) {
    Object* ref = node->GetObjectRef();
    Object* base = ref ? ref->FindBaseObject() : nullptr;
    return base && base->ClassID() == kWeatherFallClassID;
}

// A float parameter of the object's first parameter block, by internal name, or 0.
float floatParam(Object* object, const MCHAR* name, TimeValue t) {
    IParamBlock2* pb = object->NumParamBlocks() > 0 ? object->GetParamBlock(0) : nullptr;
    if (!pb || !pb->GetDesc()) return 0.0f;
    const int index = pb->GetDesc()->NameToIndex(name);
    if (index < 0) return 0.0f;
    float value = 0.0f;
    Interval valid = FOREVER;
    pb->GetValue(pb->IndextoID(index), t, value, valid);
    return value;
}

Box3 makeInterestBox(INode* root, TimeValue t) {
    Box3 box;
    visitNodesChildrenFirst(root, [&](INode* node) {
        if (node->IsRootNode()) return;
        if (isWeatherFall(node)) {
            Object* fall = node->GetObjectRef()->FindBaseObject();
            const float w = floatParam(fall, L"width", t), l = floatParam(fall, L"length", t),
                        h = floatParam(fall, L"height", t);
            const Matrix3 tm = node->GetObjectTM(t);
            for (int k = 0; k < 8; ++k)
                box += Point3(k & 1 ? w / 2 : -w / 2, k & 2 ? l / 2 : -l / 2, k & 4 ? h : 0.0f) * tm;
            return;
        }
        if (node->GetWSMDerivedObject() && node->GetObjectRef()) {
            ObjectState os = node->GetObjectRef()->Eval(t);
            if (!os.obj) return;
            Matrix3 tm = node->GetObjectTM(t);
            Box3 objBox;
            os.obj->GetDeformBBox(t, objBox, &tm);
            if (!objBox.IsEmpty()) box += objBox;
        }
    });
    if (!box.IsEmpty()) {
        const Point3 size = box.Width();
        const float largest = std::max({size.x, size.y, size.z});
        const float margin = std::max(largest / 3.0f, float(30.0 / GetSystemUnitScale(UNITS_METERS)));
        box.pmin -= Point3(margin, margin, margin);
        box.pmax += Point3(margin, margin, margin);
    }
    return box;
}

bool boxesIntersect(const Box3& a, const Box3& b) {
    return a.pmin.x <= b.pmax.x && b.pmin.x <= a.pmax.x && a.pmin.y <= b.pmax.y && b.pmin.y <= a.pmax.y &&
           a.pmin.z <= b.pmax.z && b.pmin.z <= a.pmax.z;
}

void appendLogLine(std::wstring& log, INode* node, int faces, bool wsm, const Box3& box) {
    wchar_t line[512];
    std::swprintf(line, 512, L"%ls: %d tris, wsm %d, box [%.1f %.1f %.1f]-[%.1f %.1f %.1f]\n", node->GetName(), faces,
                  wsm ? 1 : 0, double(box.pmin.x), double(box.pmin.y), double(box.pmin.z), double(box.pmax.x),
                  double(box.pmax.y), double(box.pmax.z));
    log += line;
}

// Appends one node's triangles to the soup, and their corners' places in the mesh to
// corners, following the walk's rules.
void captureNode(INode* node, TimeValue t, const Box3& interest, size_t cap, std::vector<V3>& soup,
                 MeshCorners& corners, std::wstring& log) {
    if (node->IsRootNode() || node->IsNodeHidden(TRUE) || !node->Renderable()) return;
    if (soup.size() >= cap) return;
    if (isWeatherFall(node)) return;
    const bool wsm = node->GetWSMDerivedObject() != nullptr;
    // The object below the space warps for snow carriers (never their snow shell).
    ObjectState os;
    if (wsm) {
        if (!node->GetObjectRef()) return;
        os = node->GetObjectRef()->Eval(t);
    } else {
        os = node->EvalWorldState(t);
    }
    Object* obj = os.obj;
    if (!obj || obj->SuperClassID() != GEOMOBJECT_CLASS_ID || obj->IsParticleSystem() ||
        !obj->CanConvertToType(triObjectClassID))
        return;
    auto* tri = static_cast<TriObject*>(obj->ConvertToType(t, triObjectClassID));
    if (!tri) return;
    const Matrix3 tm = wsm ? node->GetObjectTM(t) : node->GetObjTMAfterWSM(t);
    const Mesh& mesh = tri->GetMesh();

    bool keep = true;
    if (!interest.IsEmpty()) {
        Box3 objBox;
        Matrix3 boxTM = tm;
        tri->GetDeformBBox(t, objBox, &boxTM);
        keep = objBox.IsEmpty() || boxesIntersect(objBox, interest);
    }
    if (keep) {
        Box3 own;
        corners.beginMesh(uint32_t(std::max(mesh.numVerts, 0)));
        for (int f = 0; f < mesh.numFaces && soup.size() < cap; ++f) {
            const DWORD* v = mesh.faces[f].v;
            if (v[0] >= DWORD(mesh.numVerts) || v[1] >= DWORD(mesh.numVerts) || v[2] >= DWORD(mesh.numVerts))
                continue;  // a corner past the vertex array: a broken mesh, not ours to read past
            for (int c = 0; c < 3; ++c) {
                const Point3 p = mesh.verts[mesh.faces[f].v[c]] * tm;
                own += p;
                soup.push_back({p.x, p.y, p.z});
                corners.corner.push_back(uint32_t(v[c]));
            }
        }
        appendLogLine(log, node, mesh.numFaces, wsm, own);
    }
    if (tri != obj) tri->MaybeAutoDelete();
}

}  // namespace

void captureScene(TimeValue t) {
    CaptureState& s = state();
    if (s.inProgress) return;
    const auto start = std::chrono::steady_clock::now();
    s.inProgress = true;
    s.log.clear();

    INode* root = GetCOREInterface()->GetRootNode();
    s.interest = makeInterestBox(root, t);
    std::vector<V3> soup;
    auto corners = std::make_shared<MeshCorners>();
    visitNodesChildrenFirst(root,
                            [&](INode* node) { captureNode(node, t, s.interest, s.pointCap, soup, *corners, s.log); });
    s.inProgress = false;

    auto scene = std::make_shared<ShelterBVH>();
    buildBVH(soup, *scene);
    scene->meshCorners = std::move(corners);
    soup = {};
    s.previous = s.current.exchange(std::shared_ptr<const ShelterBVH>(scene));
    s.triangles = int(scene->tris.size());
    ++s.generation;
    s.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    invalidateAllSnowMods();
}

void discardScene() {
    CaptureState& s = state();
    // Both go: a reader still working on either holds its own reference.
    s.current.store(nullptr);
    s.previous = nullptr;
    s.triangles = 0;
    ++s.generation;
}

namespace {
void discardOnNotify(void*, NotifyInfo*) { discardScene(); }
}  // namespace

void registerSceneDiscardHandlers() {
    RegisterNotification(discardOnNotify, nullptr, NOTIFY_SYSTEM_POST_RESET);
    RegisterNotification(discardOnNotify, nullptr, NOTIFY_SYSTEM_POST_NEW);
}

void unregisterSceneDiscardHandlers() {
    UnRegisterNotification(discardOnNotify, nullptr, NOTIFY_SYSTEM_POST_RESET);
    UnRegisterNotification(discardOnNotify, nullptr, NOTIFY_SYSTEM_POST_NEW);
}

std::shared_ptr<const ShelterBVH> currentScene() { return state().current.load(); }
uint64_t sceneGeneration() { return state().generation.load(); }
int capturedTriangles() { return state().triangles.load(); }
double captureMs() { return state().ms; }
std::wstring sceneLog() { return state().log; }
Box3 interestBox() { return state().interest; }
bool captureInProgress() { return state().inProgress; }
void setCapturePointCapForTesting(size_t points) { state().pointCap = points ? points : kCapturePointCap; }

}  // namespace wx
