#include "utility/snow_library.h"

#include <cmath>
#include <vector>

#include "max/class_directory.h"
#include "max/interface.h"
#include "max/ms_exceptions.h"
#include "max/object.h"
#include "plugin/live_modifiers.h"
#include "plugin/module_state.h"
#include "plugin/scene_capture.h"
#include "utility/published_args.h"

namespace wx {

namespace {

constexpr const wchar_t* kSnowClass = L"TarnwickSnow";

ClassDesc* snowClass() {
    SubClassList* list = GetCOREInterface()->GetDllDir().ClassDir().GetClassList(WSM_CLASS_ID);
    for (int i = 0; i < list->Count(ACC_ALL); ++i) {
        ClassDesc* cd = (*list)[i].CD();
        if (const MCHAR* name = cd->InternalName(); name && std::wstring(name) == kSnowClass) return cd;
    }
    return nullptr;
}

bool isSnow(Modifier* m, ClassDesc* cd) {
    return cd && m && m->ClassID() == cd->ClassID();
}

Modifier* firstSnow(INode* node, ClassDesc* cd) {
    if (IDerivedObject* wsm = node->GetWSMDerivedObject())
        for (int k = 0; k < wsm->NumModifiers(); ++k)
            if (isSnow(wsm->GetModifier(k), cd)) return wsm->GetModifier(k);
    return nullptr;
}

int removeSnow(INode* node, ClassDesc* cd) {
    int removed = 0;
    if (IDerivedObject* wsm = node->GetWSMDerivedObject())
        for (int i = wsm->NumModifiers() - 1; i >= 0; --i)
            if (isSnow(wsm->GetModifier(i), cd)) {
                wsm->DeleteModifier(i);
                ++removed;
            }
    return removed;
}

bool isPair(const FPValue& p) {
    return isArray(p) && p.fpv_tab->size() == 2 && (*p.fpv_tab)[0].type == TYPE_NAME;
}

std::wstring paintLine(INode* node, ClassDesc* cd, TimeValue t) {
    const std::wstring name = node->GetName();
    Modifier* snow = firstSnow(node, cd);
    if (!snow) return name + L": no Tarnwick Snow yet; add snow before painting.\r\n";
    const ParamReading use = readParamByName(snow, L"usePaint", t);
    const ParamReading channel = readParamByName(snow, L"paintChannel", t);
    if (!use.found || !channel.found || !channel.isInt)
        return name + L": this snow modifier does not read painted weights.\r\n";
    const std::wstring where =
        channel.value == 0 ? L"vertex colours (map channel 0)" : L"map channel " + std::to_wstring(channel.value);
    return name + L": paint " + where + L"; white = snow, black = none. " +
           (use.isBool && use.value ? L"Painted colour is in use."
                                    : L"Turn on \"Use painted colour (white = snow)\" to use it.") +
           L"\r\n";
}

void snowCarriers(INode* node, std::vector<INode*>& out, ClassDesc* cd) {
    // Each node before its children, in order, with a list of our own: a scene's chain of
    // nodes can be deeper than the call stack.
    std::vector<INode*> pending;
    for (int i = node->NumberOfChildren(); i-- > 0;) pending.push_back(node->GetChildNode(i));
    while (!pending.empty()) {
        INode* child = pending.back();
        pending.pop_back();
        if (firstSnow(child, cd)) out.push_back(child);
        for (int i = child->NumberOfChildren(); i-- > 0;) pending.push_back(child->GetChildNode(i));
    }
}

// The matrix that turns a normal the way `m` turns points: the inverse transpose of its
// linear part, so a node scaled unevenly keeps its normals square to its faces.
Matrix3 normalMatrix(const Matrix3& m) {
    Matrix3 linear = m;
    linear.NoTrans();
    const Matrix3 inv = Inverse(linear);
    Matrix3 n(1);
    for (int r = 0; r < 3; ++r) n.SetRow(r, Point3(inv.m[0][r], inv.m[1][r], inv.m[2][r]));
    return n;
}

// The node's object becomes a plain mesh of its evaluated state, in the node's own space:
// a world-space modifier's result is turned back through the node's object matrix, so the
// node keeps its transform, parent, children, material, handle and name while the
// modifiers (snow included) go. False, and the node untouched, when the state is no mesh
// or the node's matrix cannot be turned back (scaled to nothing).
bool bakeInPlace(INode* node, TimeValue t) {
    const ObjectState& os = node->EvalWorldState(t);
    Object* obj = os.obj;
    if (!obj || !obj->CanConvertToType(triObjectClassID)) return false;
    const Matrix3 worldFromResult = node->GetObjTMAfterWSM(t);
    const Matrix3 worldFromObject = node->GetObjTMBeforeWSM(t);
    if (std::fabs(DotProd(CrossProd(worldFromObject.GetRow(0), worldFromObject.GetRow(1)), worldFromObject.GetRow(2))) <
        1e-12f)
        return false;
    const Matrix3 objectFromResult = worldFromResult * Inverse(worldFromObject);
    Object* converted = obj->ConvertToType(t, triObjectClassID);
    TriObject* baked = CreateNewTriObject();
    baked->GetMesh() = static_cast<TriObject*>(converted)->GetMesh();
    if (converted != obj) converted->DeleteThis();
    Mesh& mesh = baked->GetMesh();
    for (int v = 0; v < mesh.numVerts; ++v) mesh.verts[v] = mesh.verts[v] * objectFromResult;
    if (MeshNormalSpec* normals = mesh.GetSpecifiedNormals()) {
        const Matrix3 turn = normalMatrix(objectFromResult);
        for (int i = 0; i < normals->GetNumNormals(); ++i)
            normals->Normal(i) = Normalize(turn.VectorTransform(normals->Normal(i)));
    }
    mesh.InvalidateGeomCache();
    // Replacing the node's object reference drops the whole modifier stack with it.
    node->ReplaceReference(0, baked);
    return true;
}

// Evaluations between here and the destructor build at render detail, as a render's
// would: the shelter scene is gathered afresh, as at the start of a render, and every snow
// layer rebuilds; afterwards they go back to the detail they had.
class RenderDetail {
public:
    explicit RenderDetail(TimeValue t) : was_(hostRendering()) {
        setHostRendering(true);
        if (!liveSnowMods().empty()) captureScene(t);
        invalidateAllSnowMods();
    }
    ~RenderDetail() {
        setHostRendering(was_);
        invalidateAllSnowMods();
    }
    RenderDetail(const RenderDetail&) = delete;
    RenderDetail& operator=(const RenderDetail&) = delete;

private:
    bool was_;
};

}  // namespace

std::wstring addSnowModifier(FPParams& p, TimeValue t) {
    INode* node = nodeArg(p, 0, L"addSnow");
    if (p.Count() < 2 || !isArray(p.params[1]))
        throw RuntimeError(L"addSnow: the second argument must be an array of #(#name, value) pairs");
    const std::vector<FPValue>& pairs = *p.params[1].fpv_tab;
    for (const FPValue& pair : pairs)
        if (!isPair(pair)) throw RuntimeError(L"addSnow: not a #(#name, value) pair: ", pair);
    ClassDesc* cd = snowClass();
    if (!cd) throw RuntimeError(L"addSnow: the snow modifier (TarnwickSnow) is not loaded");
    auto* mod = static_cast<Modifier*>(cd->Create(FALSE));
    if (!mod) throw RuntimeError(L"addSnow: the snow modifier could not be created");
    node->AddWSModifier(mod);
    try {
        for (const FPValue& pair : pairs) {
            const std::wstring name = (*pair.fpv_tab)[0].s;
            if (!writeParamByName(mod, name, (*pair.fpv_tab)[1], t))
                throw RuntimeError((L"addSnow: the snow modifier has no parameter " + name).c_str());
        }
    } catch (...) {
        node->GetWSMDerivedObject()->DeleteModifier(0);
        throw;
    }
    // The new snow takes the place of any the node had: snow is never stacked on snow.
    IDerivedObject* wsm = node->GetWSMDerivedObject();
    for (int i = wsm->NumModifiers() - 1; i >= 1; --i)
        if (isSnow(wsm->GetModifier(i), cd)) wsm->DeleteModifier(i);
    return L"Tarnwick Snow added to " + std::wstring(node->GetName());
}

std::wstring removeSnowModifiers(FPParams& p) {
    INode* node = nodeArg(p, 0, L"removeSnow");
    const int removed = removeSnow(node, snowClass());
    return std::to_wstring(removed) + L" snow modifier(s) removed from " + node->GetName();
}

std::wstring paintAdvice(FPParams& p, TimeValue t) {
    if (p.Count() < 1 || !isArray(p.params[0])) throw RuntimeError(L"paint: the argument must be an array of nodes");
    const std::vector<FPValue>& items = *p.params[0].fpv_tab;
    if (items.empty()) return L"Select the objects to paint first.";
    ClassDesc* cd = snowClass();
    std::wstring text;
    for (const FPValue& item : items) text += paintLine(nodeOf(item, L"paint"), cd, t);
    return text;
}

std::wstring bakeSnow(TimeValue t) {
    ClassDesc* cd = snowClass();
    std::vector<INode*> nodes;
    Interface* ip = GetCOREInterface();
    snowCarriers(ip->GetRootNode(), nodes, cd);
    if (nodes.empty()) return L"Nothing to bake: no object carries Tarnwick Snow.";
    std::wstring names, skipped;
    int baked = 0;
    {
        const RenderDetail detail(t);
        for (INode* node : nodes) {
            if (!bakeInPlace(node, t)) {
                skipped += (skipped.empty() ? L"" : L", ") + std::wstring(node->GetName());
                continue;
            }
            names += (names.empty() ? L"" : L", ") + std::wstring(node->GetName());
            ++baked;
        }
    }
    std::wstring text = L"Baked " + std::to_wstring(baked) + L" object(s) into meshes";
    if (baked) text += L": " + names;
    if (!skipped.empty()) text += L"; not a mesh, left as it was: " + skipped;
    return text + L".";
}

}  // namespace wx
