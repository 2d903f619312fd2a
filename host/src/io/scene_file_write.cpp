#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "host/input_file.h"
#include "host/missing_classes.h"
#include "host/scene_file.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/notify.h"
#include "scene_json.h"

namespace host {

namespace {

bool isNodeType(int type) {
    return (type & ~TYPE_TAB) == TYPE_INODE;
}

class Writer {
public:
    int idOf(ReferenceTarget* t) {
        if (!t) return -1;
        auto it = ids_.find(t);
        if (it != ids_.end()) return it->second;
        int id = int(objects_.size());
        ids_[t] = id;
        objects_.push_back(t);
        // Targets that the blocks reference (materials, maps) become objects too.
        for (int b = 0; b < t->NumParamBlocks(); ++b) {
            IParamBlock2* pb = t->GetParamBlock(b);
            if (!pb) continue;
            for (int i = 0; i < pb->NumParams(); ++i) {
                const ParamDef& d = pb->GetDesc()->paramdefs(i);
                if (ValueKindOf(d.type) != PBValueKind::Ref || isNodeType(d.type)) continue;
                for (const PB2Slot& s : pb->Slots(d.ID)) idOf(s.ref);
            }
        }
        return id;
    }

    Json objectsJson() {
        Json out = Json::array();
        // objects_ grows while blocks are written only through idOf, which ran already.
        for (size_t i = 0; i < objects_.size(); ++i) out.push_back(objectJson(objects_[i], int(i)));
        return out;
    }

private:
    Json slotValue(const ParamDef& d, const PB2Slot& s, float f, int n) {
        switch (ValueKindOf(d.type)) {
            case PBValueKind::Float:
                return f;
            case PBValueKind::Int:
                return n;
            case PBValueKind::Point3:
                return toJson(s.p.value);
            case PBValueKind::String:
                return toUtf8(s.s);
            case PBValueKind::Ref:
                if (!s.ref) return nullptr;
                if (isNodeType(d.type)) return Json{{"node", static_cast<INode*>(s.ref)->GetHandle()}};
                return Json{{"object", idOf(s.ref)}};
            default:
                return nullptr;
        }
    }

    // One unkeyed slot holding the declared default (numbers and points only).
    static bool atDefault(const ParamDef& d, const std::vector<PB2Slot>& slots) {
        if (slots.size() != 1) return false;
        const PB2Slot& s = slots[0];
        switch (ValueKindOf(d.type)) {
            case PBValueKind::Float:
                return s.f.keys.empty() && s.f.value == d.def_f;
            case PBValueKind::Int:
                return s.i.keys.empty() && s.i.value == d.def_i;
            case PBValueKind::Point3:
                return s.p.keys.empty() && s.p.value == d.def_p;
            default:
                return false;
        }
    }

    Json blockJson(IParamBlock2* pb) {
        Json params = Json::array();
        for (int i = 0; i < pb->NumParams(); ++i) {
            const ParamDef& d = pb->GetDesc()->paramdefs(i);
            if (d.flags & P_TRANSIENT) continue;
            if ((d.flags & P_SAVE_WHEN_SET) && atDefault(d, pb->Slots(d.ID))) continue;
            Json values = Json::array();
            for (const PB2Slot& s : pb->Slots(d.ID)) {
                Json slot{{"v", slotValue(d, s, s.f.value, s.i.value)}};
                Json keys = Json::array();
                if (ValueKindOf(d.type) == PBValueKind::Int)
                    for (const auto& k : s.i.keys) keys.push_back(Json::array({k.t, k.v}));
                else if (ValueKindOf(d.type) == PBValueKind::Point3)
                    for (const auto& k : s.p.keys) keys.push_back(Json::array({k.t, toJson(k.v)}));
                else
                    for (const auto& k : s.f.keys) keys.push_back(Json::array({k.t, k.v}));
                if (!keys.empty()) slot["keys"] = std::move(keys);
                values.push_back(std::move(slot));
            }
            params.push_back(Json{{"id", d.ID}, {"name", toUtf8(d.int_name)}, {"type", d.type}, {"values", values}});
        }
        return Json{{"id", pb->ID()}, {"name", toUtf8(pb->GetDesc()->int_name)}, {"params", params}};
    }

    static Json meshJson(Mesh& m) {
        Json verts = Json::array(), faces = Json::array();
        for (int i = 0; i < m.numVerts; ++i)
            for (int k = 0; k < 3; ++k) verts.push_back(m.verts[i][k]);
        for (int f = 0; f < m.numFaces; ++f) {
            const Face& fc = m.faces[f];
            for (DWORD v : fc.v) faces.push_back(v);
            faces.push_back(fc.smGroup);
            faces.push_back(fc.flags);
        }
        Json maps = Json::array();
        for (int mp = -NUM_HIDDENMAPS; mp < m.getNumMaps(); ++mp) {
            if (!m.mapSupport(mp)) continue;
            MeshMap& map = m.Map(mp);
            Json mv = Json::array(), mf = Json::array();
            for (int i = 0; i < map.vnum; ++i)
                for (int k = 0; k < 3; ++k) mv.push_back(map.tv[i][k]);
            for (int f = 0; f < map.fnum; ++f)
                for (DWORD t : map.tf[f].t) mf.push_back(t);
            maps.push_back(Json{{"channel", mp}, {"flags", map.flags}, {"verts", mv}, {"faces", mf}});
        }
        Json out{{"verts", verts}, {"faces", faces}, {"maps", maps}};
        if (MeshNormalSpec* ns = m.GetSpecifiedNormals()) {
            Json normals = Json::array(), expl = Json::array(), ids = Json::array(), spec = Json::array();
            for (int i = 0; i < ns->GetNumNormals(); ++i) {
                for (int k = 0; k < 3; ++k) normals.push_back(ns->Normal(i)[k]);
                expl.push_back(ns->GetNormalExplicit(i));
            }
            for (int f = 0; f < ns->GetNumFaces(); ++f)
                for (int c = 0; c < 3; ++c) {
                    ids.push_back(ns->Face(f).GetNormalID(c));
                    spec.push_back(ns->Face(f).GetSpecified(c));
                }
            out["normals"] =
                Json{{"normals", normals}, {"explicit", expl}, {"faceNormalIds", ids}, {"specified", spec}};
        }
        return out;
    }

    Json objectJson(ReferenceTarget* t, int id) {
        if (const MissingClassData* missing = missingClassData(t)) {
            Json saved = Json::parse(missing->savedJson);
            saved["id"] = id;
            return saved;
        }
        MSTR name;
        t->GetClassName(name);
        Json o{{"id", id},
               {"superClassId", t->SuperClassID()},
               {"classId", Json::array({t->ClassID().PartA(), t->ClassID().PartB()})},
               {"className", toUtf8(name)}};
        if (auto* mb = dynamic_cast<MtlBase*>(t)) o["name"] = toUtf8(mb->GetName());
        Json blocks = Json::array();
        for (int b = 0; b < t->NumParamBlocks(); ++b)
            if (IParamBlock2* pb = t->GetParamBlock(b)) blocks.push_back(blockJson(pb));
        o["paramBlocks"] = std::move(blocks);
        if (t->SuperClassID() == GEOMOBJECT_CLASS_ID && t->ClassID() == triObjectClassID)
            o["mesh"] = meshJson(static_cast<TriObject*>(t)->GetMesh());
        return o;
    }

    std::map<ReferenceTarget*, int> ids_;
    std::vector<ReferenceTarget*> objects_;
};

// A node's application data, its bytes in hexadecimal; null when it has none, so scenes
// without any read as they always have.
Json appDataJson(INode* n) {
    if (n->NumAppDataChunks() == 0) return nullptr;
    static const char kDigits[] = "0123456789abcdef";
    Json chunks = Json::array();
    for (int i = 0; i < n->NumAppDataChunks(); ++i) {
        const AppDataChunk* c = n->AppDataChunkAt(i);
        std::string hex;
        hex.reserve(size_t(c->length) * 2);
        for (DWORD k = 0; k < c->length; ++k) {
            const unsigned char byte = static_cast<const unsigned char*>(c->data)[k];
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
        chunks.push_back(Json{{"classId", Json::array({c->classID.PartA(), c->classID.PartB()})},
                              {"superClassId", c->superClassID},
                              {"subId", c->subID},
                              {"data", hex}});
    }
    return chunks;
}

Json trackJson(const PointTrack& track) {
    Json keys = Json::array();
    for (const auto& [t, v] : track.keys) keys.push_back(Json::array({t, v.x, v.y, v.z}));
    return Json{{"value", toJson(track.value)}, {"keys", keys}};
}

}  // namespace

std::string sceneToJson(Scene& scene, const SceneSettings& settings) {
    Writer w;
    Json nodes = Json::array();
    for (INode* n : scene.allNodes()) {
        Json node{{"handle", n->GetHandle()},
                  {"name", toUtf8(n->GetName())},
                  {"parent", n->GetParentNode()->IsRootNode() ? 0 : n->GetParentNode()->GetHandle()},
                  {"position", trackJson(n->PositionTrack())},
                  {"rotation", trackJson(n->RotationTrack())},
                  {"scale", trackJson(n->ScaleTrack())},
                  {"objectOffset", Json{{"position", toJson(n->GetObjOffsetPos())},
                                        {"rotation", toJson(n->GetObjOffsetRot())},
                                        {"scale", toJson(n->GetObjOffsetScale())}}},
                  {"hidden", bool(n->IsNodeHidden(FALSE))},
                  {"renderable", bool(n->Renderable())}};
        node["object"] = w.idOf(n->GetObjectRef());
        Json mods = Json::array();
        if (IDerivedObject* d = n->GetWSMDerivedObject())
            for (int i = 0; i < d->NumModifiers(); ++i)
                if (d->GetModifier(i)) mods.push_back(w.idOf(d->GetModifier(i)));
        node["modifiers"] = std::move(mods);
        node["material"] = w.idOf(n->GetMtl());
        if (Json appData = appDataJson(n); !appData.is_null()) node["appData"] = std::move(appData);
        nodes.push_back(std::move(node));
    }
    Json selection = Json::array();
    for (INode* n : scene.selection()) selection.push_back(n->GetHandle());
    Json doc{{"format", kSceneFormat},
             {"version", kSceneVersion},
             {"settings", Json{{"unitType", settings.unitType},
                               {"unitScale", settings.unitScale},
                               {"ticksPerFrame", settings.ticksPerFrame},
                               {"animRange", Json::array({settings.animRange.Start(), settings.animRange.End()})},
                               {"time", settings.time},
                               {"renderWidth", settings.renderWidth},
                               {"renderHeight", settings.renderHeight}}},
             {"nextHandle", scene.nextHandle()},
             {"objects", Json::array()},
             {"nodes", nodes},
             {"selection", selection}};
    doc["objects"] = w.objectsJson();
    return doc.dump();
}

bool readFile(const std::string& path, std::string& bytes, std::string& error) {
    return readInputFile(path, "", bytes, error);
}

bool saveScene(const std::string& path, std::string& error) {
    BroadcastNotification(NOTIFY_FILE_PRE_SAVE);
    bool ok = writeFileAtomically(path, sceneToJson(currentScene(), sceneSettings()) + "\n", error);
    if (ok) BroadcastNotification(NOTIFY_FILE_POST_SAVE);
    return ok;
}

}  // namespace host
