#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <type_traits>
#include <unordered_map>
#include <sstream>
#include <utility>

#include "host/input_file.h"
#include "host/missing_classes.h"
#include "host/scene_file.h"
#include "host/text.h"
#include "max/interface.h"
#include "max/notify.h"
#include "json_out.h"
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

    void writeObjects(JsonOut& out) {
        out.beginArray();
        // objects_ grows while blocks are written only through idOf, which ran already.
        for (size_t i = 0; i < objects_.size(); ++i) writeObject(out, objects_[i], int(i));
        out.endArray();
    }

private:
    void writeSlotValue(JsonOut& out, const ParamDef& d, const PB2Slot& s) {
        switch (ValueKindOf(d.type)) {
            case PBValueKind::Float:
                return out.value(s.f.value);
            case PBValueKind::Int:
                return out.value(s.i.value);
            case PBValueKind::Point3:
                return out.point(s.p.value);
            case PBValueKind::String:
                return out.string(toUtf8(s.s));
            case PBValueKind::Ref:
                if (!s.ref) return out.value(nullptr);
                out.beginObject();
                if (isNodeType(d.type))
                    out.key("node").value(static_cast<INode*>(s.ref)->GetHandle());
                else
                    out.key("object").value(idOf(s.ref));
                return out.endObject();
            default:
                return out.value(nullptr);
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

    template <class T>
    static void writeKeys(JsonOut& out, const std::vector<T>& keys) {
        out.key("keys").beginArray();
        for (const auto& k : keys) {
            out.beginArray();
            out.value(k.t);
            if constexpr (std::is_same_v<std::decay_t<decltype(k.v)>, Point3>)
                out.point(k.v);
            else
                out.value(k.v);
            out.endArray();
        }
        out.endArray();
    }

    void writeBlock(JsonOut& out, IParamBlock2* pb) {
        out.beginObject();
        out.key("id").value(pb->ID());
        out.key("name").string(toUtf8(pb->GetDesc()->int_name));
        out.key("params").beginArray();
        for (int i = 0; i < pb->NumParams(); ++i) {
            const ParamDef& d = pb->GetDesc()->paramdefs(i);
            if (d.flags & P_TRANSIENT) continue;
            if ((d.flags & P_SAVE_WHEN_SET) && atDefault(d, pb->Slots(d.ID))) continue;
            out.beginObject();
            out.key("id").value(d.ID);
            out.key("name").string(toUtf8(d.int_name));
            out.key("type").value(d.type);
            out.key("values").beginArray();
            for (const PB2Slot& s : pb->Slots(d.ID)) {
                out.beginObject();
                out.key("v");
                writeSlotValue(out, d, s);
                // Keys only where the slot has some.
                if (ValueKindOf(d.type) == PBValueKind::Int) {
                    if (!s.i.keys.empty()) writeKeys(out, s.i.keys);
                } else if (ValueKindOf(d.type) == PBValueKind::Point3) {
                    if (!s.p.keys.empty()) writeKeys(out, s.p.keys);
                } else if (!s.f.keys.empty()) {
                    writeKeys(out, s.f.keys);
                }
                out.endObject();
            }
            out.endArray();
            out.endObject();
        }
        out.endArray();
        out.endObject();
    }

    static void writeMesh(JsonOut& out, Mesh& m) {
        out.beginObject();
        out.key("verts").beginArray();
        for (int i = 0; i < m.numVerts; ++i)
            for (int k = 0; k < 3; ++k) out.value(m.verts[i][k]);
        out.endArray();
        out.key("faces").beginArray();
        for (int f = 0; f < m.numFaces; ++f) {
            const Face& fc = m.faces[f];
            for (DWORD v : fc.v) out.value(v);
            out.value(fc.smGroup);
            out.value(fc.flags);
        }
        out.endArray();
        out.key("maps").beginArray();
        for (int mp = -NUM_HIDDENMAPS; mp < m.getNumMaps(); ++mp) {
            if (!m.mapSupport(mp)) continue;
            MeshMap& map = m.Map(mp);
            out.beginObject();
            out.key("channel").value(mp);
            out.key("flags").value(map.flags);
            out.key("verts").beginArray();
            for (int i = 0; i < map.vnum; ++i)
                for (int k = 0; k < 3; ++k) out.value(map.tv[i][k]);
            out.endArray();
            out.key("faces").beginArray();
            for (int f = 0; f < map.fnum; ++f)
                for (DWORD t : map.tf[f].t) out.value(t);
            out.endArray();
            out.endObject();
        }
        out.endArray();
        if (MeshNormalSpec* ns = m.GetSpecifiedNormals()) {
            out.key("normals").beginObject();
            out.key("normals").beginArray();
            for (int i = 0; i < ns->GetNumNormals(); ++i)
                for (int k = 0; k < 3; ++k) out.value(ns->Normal(i)[k]);
            out.endArray();
            out.key("explicit").beginArray();
            for (int i = 0; i < ns->GetNumNormals(); ++i) out.value(ns->GetNormalExplicit(i));
            out.endArray();
            out.key("faceNormalIds").beginArray();
            for (int f = 0; f < ns->GetNumFaces(); ++f)
                for (int c = 0; c < 3; ++c) out.value(ns->Face(f).GetNormalID(c));
            out.endArray();
            out.key("specified").beginArray();
            for (int f = 0; f < ns->GetNumFaces(); ++f)
                for (int c = 0; c < 3; ++c) out.value(ns->Face(f).GetSpecified(c));
            out.endArray();
            out.endObject();
        }
        out.endObject();
    }

    void writeObject(JsonOut& out, ReferenceTarget* t, int id) {
        if (const MissingClassData* missing = missingClassData(t)) {
            Json saved = Json::parse(missing->savedJson);
            saved["id"] = id;
            return out.raw(saved.dump());
        }
        MSTR name;
        t->GetClassName(name);
        out.beginObject();
        out.key("id").value(id);
        out.key("superClassId").value(t->SuperClassID());
        out.key("classId").beginArray();
        out.value(t->ClassID().PartA());
        out.value(t->ClassID().PartB());
        out.endArray();
        out.key("className").string(toUtf8(name));
        if (auto* mb = dynamic_cast<MtlBase*>(t)) out.key("name").string(toUtf8(mb->GetName()));
        out.key("paramBlocks").beginArray();
        for (int b = 0; b < t->NumParamBlocks(); ++b)
            if (IParamBlock2* pb = t->GetParamBlock(b)) writeBlock(out, pb);
        out.endArray();
        if (t->SuperClassID() == GEOMOBJECT_CLASS_ID && t->ClassID() == triObjectClassID) {
            out.key("mesh");
            writeMesh(out, static_cast<TriObject*>(t)->GetMesh());
        }
        out.endObject();
    }

    std::unordered_map<ReferenceTarget*, int> ids_;
    std::vector<ReferenceTarget*> objects_;
};

void writeTrack(JsonOut& out, const PointTrack& track) {
    out.beginObject();
    out.key("value").point(track.value);
    out.key("keys").beginArray();
    for (const auto& [t, v] : track.keys) {
        out.beginArray();
        out.value(t);
        out.value(v.x);
        out.value(v.y);
        out.value(v.z);
        out.endArray();
    }
    out.endArray();
    out.endObject();
}

// A node's application data, its bytes in hexadecimal; nothing when it has none, so scenes
// without any read as they always have.
void writeAppData(JsonOut& out, INode* n) {
    if (n->NumAppDataChunks() == 0) return;
    static const char kDigits[] = "0123456789abcdef";
    out.key("appData").beginArray();
    for (int i = 0; i < n->NumAppDataChunks(); ++i) {
        const AppDataChunk* c = n->AppDataChunkAt(i);
        std::string hex;
        hex.reserve(size_t(c->length) * 2);
        for (DWORD k = 0; k < c->length; ++k) {
            const unsigned char byte = static_cast<const unsigned char*>(c->data)[k];
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
        out.beginObject();
        out.key("classId").beginArray();
        out.value(c->classID.PartA());
        out.value(c->classID.PartB());
        out.endArray();
        out.key("superClassId").value(c->superClassID);
        out.key("subId").value(c->subID);
        out.key("data").string(hex);
        out.endObject();
    }
    out.endArray();
}

}  // namespace

std::string sceneToJson(Scene& scene, const SceneSettings& settings) {
    Writer w;
    // The nodes first, since walking them numbers the objects that the document lists
    // before them.
    JsonOut nodes;
    nodes.beginArray();
    for (INode* n : scene.allNodes()) {
        nodes.beginObject();
        nodes.key("handle").value(n->GetHandle());
        nodes.key("name").string(toUtf8(n->GetName()));
        nodes.key("parent").value(n->GetParentNode()->IsRootNode() ? 0 : n->GetParentNode()->GetHandle());
        writeTrack(nodes.key("position"), std::as_const(*n).PositionTrack());
        writeTrack(nodes.key("rotation"), std::as_const(*n).RotationTrack());
        writeTrack(nodes.key("scale"), std::as_const(*n).ScaleTrack());
        nodes.key("objectOffset").beginObject();
        nodes.key("position").point(n->GetObjOffsetPos());
        nodes.key("rotation").point(n->GetObjOffsetRot());
        nodes.key("scale").point(n->GetObjOffsetScale());
        nodes.endObject();
        nodes.key("hidden").value(bool(n->IsNodeHidden(FALSE)));
        nodes.key("renderable").value(bool(n->Renderable()));
        nodes.key("object").value(w.idOf(n->GetObjectRef()));
        nodes.key("modifiers").beginArray();
        if (IDerivedObject* d = n->GetWSMDerivedObject())
            for (int i = 0; i < d->NumModifiers(); ++i)
                if (d->GetModifier(i)) nodes.value(w.idOf(d->GetModifier(i)));
        nodes.endArray();
        nodes.key("material").value(w.idOf(n->GetMtl()));
        writeAppData(nodes, n);
        nodes.endObject();
    }
    nodes.endArray();
    JsonOut doc;
    doc.beginObject();
    doc.key("format").string(kSceneFormat);
    doc.key("version").value(kSceneVersion);
    doc.key("settings").beginObject();
    doc.key("unitType").value(settings.unitType);
    doc.key("unitScale").value(settings.unitScale);
    doc.key("ticksPerFrame").value(settings.ticksPerFrame);
    doc.key("animRange").beginArray();
    doc.value(settings.animRange.Start());
    doc.value(settings.animRange.End());
    doc.endArray();
    doc.key("time").value(settings.time);
    doc.key("renderWidth").value(settings.renderWidth);
    doc.key("renderHeight").value(settings.renderHeight);
    doc.endObject();
    doc.key("nextHandle").value(scene.nextHandle());
    doc.key("objects");
    w.writeObjects(doc);
    doc.key("nodes").raw(nodes.text());
    doc.key("selection").beginArray();
    for (INode* n : scene.selection()) doc.value(n->GetHandle());
    doc.endArray();
    doc.endObject();
    return doc.take();
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
