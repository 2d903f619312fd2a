// The snow modifier's evaluation, step by step: the mesh into world space, its inputs
// (the settings through the parameter table, viewport detail, regions, paint, excluded
// material ids), the cache key, a rebuild when the key changed (flat arrays, shelter
// choice, build, status text), and the cached shell written back. Nothing the builder
// throws reaches the host: the mesh passes through and the status says what failed.
#include "snow/snow_mod.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <vector>

#include "common/hash.h"
#include "max/inode.h"
#include "max/param_block2.h"
#include "plugin/module_state.h"
#include "plugin/scene_capture.h"
#include "snow/exclude_ids.h"
#include "snow/snow_builder.h"
#include "snow/snow_mod_inputs.h"
#include "snow/snow_mod_mesh.h"
#include "snow/snow_mod_tools_state.h"
#include "snow/snow_status.h"

namespace wx {

struct SnowMod::Evaluation {
    TimeValue t = 0;
    SnowSettings settings;
    bool viewport = false;
    int occluders = kShelterWholeScene;
    std::vector<float> weights;
    std::vector<int> excluded;
    std::vector<V3> positions;
    std::vector<int32_t> indices;
    std::vector<uint8_t> mask;
    bool gathering = false;
    bool sceneShelter = false;
    uint64_t key = 0;
};

namespace {

constexpr Class_ID kStandardSphere{SPHERE_CLASS_ID, 0};

void coarsenForViewport(SnowSettings& s) {
    s.resolution *= 3.0f;
    s.maxTris = std::max(s.maxTris / 6, 1000);
    s.occRays = std::max(s.occRays / 2, 4);
    s.closed = false;
}

// Nodes whose snow is being evaluated right now, innermost last. A region node among them
// (the snowed object itself, or two snowed objects that are each other's regions) would
// evaluate again from inside its own evaluation, without end; it is skipped instead.
thread_local std::vector<INode*> gNodesInEvaluation;

struct EvaluationMark {
    explicit EvaluationMark(INode* node) { gNodesInEvaluation.push_back(node); }
    ~EvaluationMark() { gNodesInEvaluation.pop_back(); }
};

bool inEvaluation(INode* node) {
    return std::find(gNodesInEvaluation.begin(), gNodesInEvaluation.end(), node) != gNodesInEvaluation.end();
}

// Whether another snow modifier sits below `mod` on the node's stack (and so runs first).
bool snowModBelow(INode* node, Modifier* mod) {
    IDerivedObject* stack = node->GetWSMDerivedObject();
    if (!stack) return false;
    for (int i = stack->NumModifiers() - 1; i >= 0; --i) {
        Modifier* m = stack->GetModifier(i);
        if (m == mod) return false;
        if (m && m->ClassID() == kSnowModClassID) return true;
    }
    return false;
}

// Region gizmos from the node table; deleted nodes, empty boxes and nodes in the middle of
// their own evaluation are skipped.
void readRegions(IParamBlock2* pb, TimeValue t, std::vector<SnowRegion>& regions) {
    const int count = pb->Count(kSnowRegions);
    for (int j = 0; j < count; ++j) {
        INode* node = pb->GetINode(kSnowRegions, t, j);
        if (!node || inEvaluation(node)) continue;
        const ObjectState& os = node->EvalWorldState(t);
        if (!os.obj) continue;
        Box3 box;
        os.obj->GetDeformBBox(t, box, nullptr);
        if (box.IsEmpty()) continue;
        const Matrix3 toObject = Inverse(node->GetObjectTM(t));
        SnowRegion r;
        for (int row = 0; row < 4; ++row) {
            const Point3 p = toObject.GetRow(row);
            r.objectFromWorld[row] = {p.x, p.y, p.z};
        }
        const Point3 centre = box.Center(), half = (box.pmax - box.pmin) * 0.5f;
        r.centre = {centre.x, centre.y, centre.z};
        r.halfExtent = {half.x, half.y, half.z};
        Object* base = node->GetObjectRef() ? node->GetObjectRef()->FindBaseObject() : nullptr;
        r.isSphere = base && base->ClassID() == kStandardSphere ? 1 : 0;
        regions.push_back(r);
    }
}

// The host moves a mesh's points into world space before its world-space modifiers run; a
// mirroring transform then leaves the faces wound inside out, so they are re-wound here
// just as when the transform comes with the object state.
void intoWorldSpace(ObjectState& os, INode* node, Modifier* self, TimeValue t, Interval& valid) {
    auto* tri = static_cast<TriObject*>(os.obj);
    Mesh& mesh = tri->GetMesh();
    if (Matrix3* tm = os.GetTM()) {
        const Matrix3 toWorld = *tm;
        for (int v = 0; v < mesh.numVerts; ++v) mesh.verts[v] = mesh.verts[v] * toWorld;
        if (toWorld.Parity()) reverseWinding(mesh);
        mesh.InvalidateGeomCache();
        valid &= os.tmValid();
        tri->UpdateValidity(GEOM_CHAN_NUM, valid);
        os.SetTM(nullptr, FOREVER);
    } else if (node && !snowModBelow(node, self)) {
        // The first snow modifier on the stack re-winds; the ones above get its faces.
        Interval tmValid = FOREVER;
        if (node->GetObjTMBeforeWSM(t, &tmValid).Parity()) {
            reverseWinding(mesh);
            valid &= tmValid;
        }
    }
}

void narrowOutputChannels(Object* obj, Interval valid) {
    for (int chan : {TOPO_CHAN_NUM, GEOM_CHAN_NUM, TEXMAP_CHAN_NUM, VERT_COLOR_CHAN_NUM}) obj->UpdateValidity(chan, valid);
}

// What a failed build tells the user, within the status text's length.
std::wstring buildFailureText(const char* what) {
    std::wstring reason;
    for (const char* c = what; *c && reason.size() < 120; ++c) reason += wchar_t(static_cast<unsigned char>(*c));
    return L"Snow could not be built (" + reason +
           L"). The object is shown without snow. Try a smaller Max triangles or a coarser Detail, or close other "
           L"programs and press Update shelter.";
}

}  // namespace

SnowMod::SnowMod() {
    GetSnowModDesc()->MakeAutoParamBlocks(this);
    registerSnowMod(this);
}

SnowMod::~SnowMod() {
    unregisterSnowMod(this);
    forgetSnowToolsState(this);
}

void SnowMod::GetClassName(MSTR& s, bool) const { s = L"TarnwickSnow"; }
const MCHAR* SnowMod::GetObjectName(bool) { return L"Tarnwick Snow"; }
// Read: the faces, the points, the map channels and the vertex colours (painted snow).
ChannelMask SnowMod::ChannelsUsed() {
    return TOPO_CHANNEL | GEOM_CHANNEL | TEXMAP_CHANNEL | VERTCOLOR_CHANNEL;
}
// Written: the shell's faces and points, its map channels and vertex colours, and the face
// and vertex selections, which grow with the mesh.
ChannelMask SnowMod::ChannelsChanged() {
    return TOPO_CHANNEL | GEOM_CHANNEL | TEXMAP_CHANNEL | SELECT_CHANNEL | SUBSEL_TYPE_CHANNEL | VERTCOLOR_CHANNEL;
}

RefTargetHandle SnowMod::GetReference(int i) {
    if (i == 0) return pblock_;
    return nullptr;
}

void SnowMod::SetReference(int i, RefTargetHandle t) {
    if (i == 0) pblock_ = static_cast<IParamBlock2*>(t);
}

Animatable* SnowMod::SubAnim(int i) { return i == 0 ? pblock_ : nullptr; }

IParamBlock2* SnowMod::GetParamBlockByID(BlockID id) { return pblock_ && pblock_->ID() == id ? pblock_ : nullptr; }

RefTargetHandle SnowMod::Clone(RemapDir& remap) {
    auto* copy = new SnowMod();
    copy->ReplaceReference(0, remap.CloneRef(pblock_));
    BaseClone(this, copy, remap);
    return copy;
}

Interval SnowMod::LocalValidity(TimeValue t) {
    Interval valid = FOREVER;
    if (!pblock_) return valid;
    for (int index = 0; index < pblock_->NumParams(); ++index) {
        const ParamID id = pblock_->IndextoID(index);
        const ParamDef& def = pblock_->GetParamDef(id);
        if (IsTabType(def.type)) continue;
        if (ValueKindOf(def.type) == PBValueKind::Float) {
            float v;
            pblock_->GetValue(id, t, v, valid);
        } else if (ValueKindOf(def.type) == PBValueKind::Int) {
            int v;
            pblock_->GetValue(id, t, v, valid);
        }
    }
    return valid;
}

void SnowMod::publish(const std::wstring& text) {
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        status_ = text.substr(0, kSnowStatusMaxChars);
    }
    showSnowToolsStatus(this, status_);
}

const ShelterBVH* SnowMod::ownShelter(const Evaluation& e) {
    uint64_t key = fnv1a64(e.positions.data(), e.positions.size() * sizeof(V3));
    key = fnv1a64(e.indices.data(), e.indices.size() * sizeof(int32_t), key);
    if (key != ownBVHKey_ || ownBVHKey_ == 0) {
        std::vector<V3> soup;
        soup.reserve(e.indices.size());
        for (int32_t index : e.indices) soup.push_back(e.positions[size_t(index)]);
        buildBVH(soup, ownBVH_);
        ownBVHKey_ = key;
    }
    return &ownBVH_;
}

void SnowMod::build(Evaluation& e) {
    std::shared_ptr<const ShelterBVH> scene;  // kept alive for the whole build
    const ShelterBVH* shelter = nullptr;
    if (e.occluders == kShelterNothing) {
        shelter = nullptr;
    } else if (e.occluders == kShelterWholeScene && (scene = currentScene())) {
        shelter = scene.get();
        e.sceneShelter = true;
    } else {
        if (e.occluders == kShelterWholeScene) {
            startCaptureTimer();
            e.gathering = true;
        }
        shelter = ownShelter(e);
    }
    ++builds_;
    buildSnow(e.positions, e.indices, e.mask, shelter, e.settings, shell_, stats_);
}

void SnowMod::ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode* node) {
    if (captureInProgress()) return;
    if (!pblock_ || !os || !os->obj || !os->obj->IsSubClassOf(triObjectClassID)) return;
    Interval valid = LocalValidity(t);
    auto* tri = static_cast<TriObject*>(os->obj);
    Mesh& mesh = tri->GetMesh();
    if (!pblock_->GetInt(kSnowEnabled, t)) {
        publish(L"Snow is off.");
        narrowOutputChannels(tri, valid);
        return;
    }
    std::lock_guard<std::recursive_mutex> hold(lock_);
    intoWorldSpace(*os, node, this, t, valid);

    EvaluationMark mark(node);
    Evaluation e;
    gatherInputs(t, mesh, valid, e);
    const uint64_t generation = e.occluders == kShelterWholeScene ? sceneGeneration() : 0;
    e.key = snowCacheKey(mesh, e.settings, {e.viewport, e.occluders, e.excluded, generation});
    if (e.key != cacheKey_)
        rebuild(mesh, e);
    else
        publish(builtStatus_);  // what the cached shell's build said, even after "Snow is off."
    writeBack(mesh, t);
    narrowOutputChannels(tri, valid);
}

void SnowMod::gatherInputs(TimeValue t, const Mesh& mesh, Interval& valid, Evaluation& e) {
    e.t = t;
    e.settings = readSnowSettings(pblock_, t, valid);
    e.viewport = !hostRendering() && pblock_->GetInt(kSnowVpCoarse, t) == 1;
    if (e.viewport) coarsenForViewport(e.settings);
    readRegions(pblock_, t, e.settings.regions);
    if (!e.settings.regions.empty()) valid &= Interval(t, t);
    if (pblock_->GetInt(kSnowUsePaint, t)) {
        e.weights = paintWeights(mesh, pblock_->GetInt(kSnowPaintChannel, t));
        if (!e.weights.empty()) e.settings.paintWeights = &e.weights;
    }
    e.occluders = pblock_->GetInt(kSnowOccluders, t);
    const MCHAR* excludeText = pblock_->GetStr(kSnowExcludeIDs, t);
    e.excluded = parseExcludeIDs(excludeText ? excludeText : L"");
    highestMatID_ = highestMaterialID(mesh);
}

void SnowMod::rebuild(const Mesh& mesh, Evaluation& e) {
    flattenMesh(mesh, e.excluded, e.positions, e.indices, e.mask);
    const std::wstring status = buildAndDescribe(e);
    cacheKey_ = e.key;
    viewportDetail_ = e.viewport;
    builtStatus_ = status;
    publish(status);
}

// The status text of a build; a failed build leaves no shell.
std::wstring SnowMod::buildAndDescribe(Evaluation& e) {
    try {
        build(e);
        SnowStatusContext context;
        context.viewportDetail = e.viewport;
        context.shelter = e.occluders == kShelterNothing ? L"off" : e.sceneShelter ? L"whole scene" : L"this object";
        context.gatheringScene = e.gathering;
        context.slopeMax = e.settings.slopeMax;
        return snowStatusText(stats_, context);
    } catch (const std::bad_alloc&) {
        shell_.clear();
        return buildFailureText("out of memory");
    } catch (const std::system_error& error) {
        shell_.clear();
        return buildFailureText(error.code() == std::errc::resource_unavailable_try_again
                                    ? "a worker thread could not start"
                                    : error.what());
    } catch (const std::exception& error) {
        shell_.clear();
        return buildFailureText(error.what());
    }
}

void SnowMod::writeBack(Mesh& mesh, TimeValue t) {
    const bool snowOnly = pblock_->GetInt(kSnowOutput, t) == 1;
    if (!shell_.indices.empty() || snowOnly)
        writeSnowShell(mesh, shell_, snowOnly, MtlID(pblock_->GetInt(kSnowMatID, t) - 1));
}

void SnowMod::invalidateShelter() {
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        cacheKey_ = 0;
    }
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

std::wstring SnowMod::statusText() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return status_;
}

BaseInterface* SnowMod::GetInterface(Interface_ID id) {
    if (id == kSnowStatsInterfaceID) return static_cast<SnowStatsSource*>(this);
    return WSModifier::GetInterface(id);
}

SnowStats SnowMod::lastStats() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return stats_;
}

int SnowMod::highestInputMatID() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return highestMatID_;
}

int SnowMod::buildCount() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return builds_;
}

bool SnowMod::builtViewportDetail() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return viewportDetail_;
}

}  // namespace wx
