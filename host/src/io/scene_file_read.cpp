#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "host/class_registry.h"
#include "host/missing_classes.h"
#include "host/scene_file.h"
#include "host/text.h"
#include "json_nesting.h"
#include "max/material.h"
#include "max/notify.h"
#include "scene_json.h"

namespace host {

namespace {

// Holds every object made while reading, so that a refused file frees them all.
class LoadKeeper : public ReferenceMaker {
public:
    void keep(ReferenceTarget* t) { t->AddDependent(this); }
};

bool isModifierClass(SClass_ID s) {
    return s == OSM_CLASS_ID || s == WSM_CLASS_ID;
}
bool isObjectClass(SClass_ID s) {
    return s == GEOMOBJECT_CLASS_ID || s == CAMERA_CLASS_ID || s == LIGHT_CLASS_ID || s == SHAPE_CLASS_ID ||
           s == HELPER_CLASS_ID;
}

// ClassDesc::Create returns the instance as a pointer to its super class's base type.
ReferenceTarget* castCreated(void* p, SClass_ID s) {
    if (!p) return nullptr;
    if (isObjectClass(s)) return static_cast<Object*>(p);
    if (isModifierClass(s)) return static_cast<Modifier*>(p);
    if (s == MATERIAL_CLASS_ID) return static_cast<Mtl*>(p);
    if (s == TEXMAP_CLASS_ID) return static_cast<Texmap*>(p);
    return static_cast<ReferenceTarget*>(p);
}

ReferenceTarget* makeMissing(MissingClassData data) {
    SClass_ID s = data.superClassId;
    if (isModifierClass(s)) return new MissingModifier(std::move(data));
    if (s == MATERIAL_CLASS_ID) return new MissingMtl(std::move(data));
    if (s == TEXMAP_CLASS_ID) return new MissingTexmap(std::move(data));
    return new MissingObject(std::move(data));
}

class Reader {
public:
    Reader(SceneFileReport* report) : report_(report) {}

    std::unique_ptr<Scene> read(const Json& doc, SceneSettings& settings) {
        if (!doc.is_object()) refuse("(top)", "expected an object");
        const Json& format = member(doc, "format", "(top)");
        if (!format.is_string() || format.get<std::string>() != kSceneFormat)
            refuse("format", std::string("not a scene file (expected \"") + kSceneFormat + "\")");
        long long version = integer(member(doc, "version", "(top)"), "version", 1, 1 << 30);
        if (version > kSceneVersion)
            refuse("version", "written by a newer version (" + std::to_string(version) + "); update tweather");
        readSettings(member(doc, "settings", "(top)"), settings);
        scene_ = std::make_unique<Scene>();
        const Json& objects = array(member(doc, "objects", "(top)"), "objects");
        for (size_t i = 0; i < objects.size(); ++i) createObject(objects[i], "objects[" + std::to_string(i) + "]");
        const Json& nodes = array(member(doc, "nodes", "(top)"), "nodes");
        for (size_t i = 0; i < nodes.size(); ++i) readNode(nodes[i], "nodes[" + std::to_string(i) + "]");
        for (size_t i = 0; i < objects.size(); ++i) fillObject(objects[i], "objects[" + std::to_string(i) + "]");
        refuseMaterialCycles();
        const Json& sel = array(member(doc, "selection", "(top)"), "selection");
        for (size_t i = 0; i < sel.size(); ++i) {
            std::string p = "selection[" + std::to_string(i) + "]";
            INode* n = scene_->findByHandle(ULONG(integer(sel[i], p, 1, 0xffffffffLL)));
            if (!n) refuse(p, "no node has this handle");
            scene_->selection().push_back(n);
        }
        scene_->setNextHandle(ULONG(integer(member(doc, "nextHandle", "(top)"), "nextHandle", 1, 0xffffffffLL)));
        return std::move(scene_);
    }

    ~Reader() {
        // On refusal the half-built scene goes first, then whatever objects it left. The
        // materials and maps let go of each other before the keeper lets go of them, so
        // that a refused loop among them is freed too.
        if (scene_) {
            scene_.reset();
            for (const auto& [owner, held] : holds_) owner->DeleteAllRefsFromMe();
        }
    }

private:
    void warn(const std::string& what) {
        if (report_) report_->warnings.push_back(what);
    }

    void readSettings(const Json& j, SceneSettings& s) {
        SceneSettings out;
        out.unitType = int(integer(member(j, "unitType", "settings"), "settings.unitType", 0, 6));
        out.unitScale = floatNumber(member(j, "unitScale", "settings"), "settings.unitScale");
        if (!(out.unitScale > 0.0f) || !std::isfinite(out.unitScale)) refuse("settings.unitScale", "must be positive");
        out.ticksPerFrame = int(integer(member(j, "ticksPerFrame", "settings"), "settings.ticksPerFrame", 1, 4800));
        if (TIME_TICKSPERSEC % out.ticksPerFrame != 0) refuse("settings.ticksPerFrame", "must divide 4800");
        const Json& range = member(j, "animRange", "settings");
        if (!range.is_array() || range.size() != 2) refuse("settings.animRange", "expected [start, end]");
        TimeValue a = TimeValue(integer(range[0], "settings.animRange[0]", INT_MIN + 1, INT_MAX));
        TimeValue b = TimeValue(integer(range[1], "settings.animRange[1]", a, INT_MAX));
        out.animRange = Interval(a, b);
        out.time = TimeValue(integer(member(j, "time", "settings"), "settings.time", INT_MIN + 1, INT_MAX));
        // Files from before the renderer keep the default output size.
        if (auto it = j.find("renderWidth"); it != j.end())
            out.renderWidth = int(integer(*it, "settings.renderWidth", 1, 32768));
        if (auto it = j.find("renderHeight"); it != j.end())
            out.renderHeight = int(integer(*it, "settings.renderHeight", 1, 32768));
        s = out;
    }

    void createObject(const Json& j, const std::string& path) {
        int id = int(integer(member(j, "id", path), path + ".id", 0, 1 << 30));
        if (objects_.count(id)) refuse(path + ".id", "duplicate object id " + std::to_string(id));
        SClass_ID sclass = SClass_ID(integer(member(j, "superClassId", path), path + ".superClassId", 0, 0xffffffffLL));
        const Json& cid = member(j, "classId", path);
        if (!cid.is_array() || cid.size() != 2) refuse(path + ".classId", "expected [partA, partB]");
        Class_ID classId(ULONG(integer(cid[0], path + ".classId[0]", 0, 0xffffffffLL)),
                         ULONG(integer(cid[1], path + ".classId[1]", 0, 0xffffffffLL)));
        std::string className;
        if (auto it = j.find("className"); it != j.end() && it->is_string()) className = it->get<std::string>();
        ReferenceTarget* t = nullptr;
        if (ClassDesc* cd = classRegistry().find(sclass, classId)) t = castCreated(cd->Create(FALSE), sclass);
        if (!t) {
            char ids[64];
            std::snprintf(ids, sizeof ids, "(0x%X, 0x%X)", unsigned(classId.PartA()), unsigned(classId.PartB()));
            warn(path + ": class '" + className + "' " + ids + " is not known here; kept with its data as saved");
            t = makeMissing({sclass, classId, fromUtf8(className), j.dump()});
        }
        keeper_.keep(t);
        objects_[id] = t;
    }

    ReferenceTarget* objectRef(const Json& j, const std::string& path) {
        long long id = integer(j, path, -1, 1 << 30);
        if (id < 0) return nullptr;
        auto it = objects_.find(int(id));
        if (it == objects_.end()) refuse(path, "no object has id " + std::to_string(id));
        return it->second;
    }

    static PointTrack readTrack(const Json& j, const std::string& path) {
        PointTrack t;
        t.value = point3(member(j, "value", path), path + ".value");
        const Json& keys = array(member(j, "keys", path), path + ".keys");
        for (size_t i = 0; i < keys.size(); ++i) {
            std::string p = path + ".keys[" + std::to_string(i) + "]";
            if (!keys[i].is_array() || keys[i].size() != 4) refuse(p, "expected [time, x, y, z]");
            TimeValue time = TimeValue(integer(keys[i][0], p + "[0]", INT_MIN + 1, INT_MAX));
            if (!t.keys.empty() && time <= t.keys.back().t) refuse(p, "key times must increase");
            t.keys.push_back(
                {time, Point3(floatNumber(keys[i][1], p), floatNumber(keys[i][2], p), floatNumber(keys[i][3], p))});
        }
        return t;
    }

    void readNode(const Json& j, const std::string& path) {
        ULONG handle = ULONG(integer(member(j, "handle", path), path + ".handle", 1, 0xffffffffLL));
        if (scene_->findByHandle(handle)) refuse(path + ".handle", "duplicate handle " + std::to_string(handle));
        const Json& name = member(j, "name", path);
        if (!name.is_string()) refuse(path + ".name", "expected a string");
        ULONG parentHandle = ULONG(integer(member(j, "parent", path), path + ".parent", 0, 0xffffffffLL));
        INode* parent = parentHandle == 0 ? scene_->root() : scene_->findByHandle(parentHandle);
        if (!parent) refuse(path + ".parent", "no earlier node has handle " + std::to_string(parentHandle));
        ReferenceTarget* obj = objectRef(member(j, "object", path), path + ".object");
        if (obj && !dynamic_cast<Object*>(obj)) refuse(path + ".object", "is not a scene object");
        INode* n = scene_->createNode(static_cast<Object*>(obj), fromUtf8(name.get<std::string>()), handle);
        if (parent != scene_->root()) parent->AttachChild(n, 0);
        n->PositionTrack() = readTrack(member(j, "position", path), path + ".position");
        n->RotationTrack() = readTrack(member(j, "rotation", path), path + ".rotation");
        n->ScaleTrack() = readTrack(member(j, "scale", path), path + ".scale");
        const Json& off = member(j, "objectOffset", path);
        n->SetObjOffsetPos(point3(member(off, "position", path), path + ".objectOffset.position"));
        n->SetObjOffsetRot(point3(member(off, "rotation", path), path + ".objectOffset.rotation"));
        n->SetObjOffsetScale(point3(member(off, "scale", path), path + ".objectOffset.scale"));
        const Json& hidden = member(j, "hidden", path);
        const Json& renderable = member(j, "renderable", path);
        if (!hidden.is_boolean() || !renderable.is_boolean())
            refuse(path, "hidden and renderable must be true or false");
        n->Hide(hidden.get<bool>());
        n->SetRenderable(renderable.get<bool>());
        const Json& mods = array(member(j, "modifiers", path), path + ".modifiers");
        for (size_t i = mods.size(); i-- > 0;) {
            std::string p = path + ".modifiers[" + std::to_string(i) + "]";
            auto* mod = dynamic_cast<Modifier*>(objectRef(mods[i], p));
            if (!mod) refuse(p, "is not a modifier");
            n->AddWSModifier(mod);
        }
        ReferenceTarget* mtl = objectRef(member(j, "material", path), path + ".material");
        if (mtl && !dynamic_cast<Mtl*>(mtl)) refuse(path + ".material", "is not a material");
        if (mtl) n->SetMtl(static_cast<Mtl*>(mtl));
        if (auto it = j.find("appData"); it != j.end()) readAppData(n, *it, path + ".appData");
    }

    static void readAppData(INode* n, const Json& j, const std::string& path) {
        const Json& chunks = array(j, path);
        for (size_t i = 0; i < chunks.size(); ++i) {
            std::string p = path + "[" + std::to_string(i) + "]";
            const Json& id = array(member(chunks[i], "classId", p), p + ".classId");
            if (id.size() != 2) refuse(p + ".classId", "expected [partA, partB]");
            const Class_ID cid(ULONG(integer(id[0], p + ".classId[0]", 0, 0xffffffffLL)),
                               ULONG(integer(id[1], p + ".classId[1]", 0, 0xffffffffLL)));
            const auto sid =
                SClass_ID(integer(member(chunks[i], "superClassId", p), p + ".superClassId", 0, 0xffffffffLL));
            const auto sub = DWORD(integer(member(chunks[i], "subId", p), p + ".subId", 0, 0xffffffffLL));
            const Json& data = member(chunks[i], "data", p);
            if (!data.is_string() || data.get<std::string>().size() % 2 != 0)
                refuse(p + ".data", "expected an even number of hexadecimal digits");
            const std::string& hex = data.get_ref<const std::string&>();
            auto digit = [&](char c) -> unsigned {
                if (c >= '0' && c <= '9') return unsigned(c - '0');
                if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
                if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
                refuse(p + ".data", "expected hexadecimal digits");
            };
            std::string decoded(hex.size() / 2, '\0');
            for (size_t k = 0; k < decoded.size(); ++k)
                decoded[k] = char(digit(hex[2 * k]) << 4 | digit(hex[2 * k + 1]));
            void* bytes = MAX_malloc(decoded.size());
            std::memcpy(bytes, decoded.data(), decoded.size());
            n->AddAppDataChunk(cid, sid, sub, DWORD(decoded.size()), bytes);
        }
    }

    PB2Slot readSlot(ReferenceTarget* owner, const Json& j, int type, const std::string& path) {
        PB2Slot s;
        const Json& v = member(j, "v", path);
        std::string vp = path + ".v";
        bool isInt = ValueKindOf(type) == PBValueKind::Int;
        switch (ValueKindOf(type)) {
            case PBValueKind::Float:
                s.f.value = floatNumber(v, vp);
                s.i.value = int(std::clamp(double(s.f.value), double(INT_MIN), double(INT_MAX)));
                break;
            case PBValueKind::Int:
                s.i.value = int(integer(v, vp, INT_MIN, INT_MAX));
                s.f.value = float(s.i.value);
                break;
            case PBValueKind::Point3:
                s.p.value = point3(v, vp);
                break;
            case PBValueKind::String:
                if (!v.is_string()) refuse(vp, "expected a string");
                s.s = fromUtf8(v.get<std::string>());
                break;
            case PBValueKind::Ref:
                if (v.is_null()) break;
                if ((type & ~TYPE_TAB) == TYPE_INODE) {
                    ULONG h = ULONG(integer(member(v, "node", vp), vp + ".node", 1, 0xffffffffLL));
                    s.ref = scene_->findByHandle(h);
                    if (!s.ref) refuse(vp + ".node", "no node has handle " + std::to_string(h));
                } else {
                    s.ref = objectRef(member(v, "object", vp), vp + ".object");
                    checkKind(owner, s.ref, type, vp + ".object");
                }
                break;
            default:
                refuse(path, "parameter type " + std::to_string(type) + " is not stored in files");
        }
        if (auto it = j.find("keys"); it != j.end()) {
            const Json& keys = array(*it, path + ".keys");
            const bool isPoint = ValueKindOf(type) == PBValueKind::Point3;
            if (ValueKindOf(type) != PBValueKind::Float && !isInt && !isPoint)
                refuse(path + ".keys", "only numbers, points and colours have keys");
            for (size_t i = 0; i < keys.size(); ++i) {
                std::string kp = path + ".keys[" + std::to_string(i) + "]";
                if (!keys[i].is_array() || keys[i].size() != 2) refuse(kp, "expected [time, value]");
                TimeValue t = TimeValue(integer(keys[i][0], kp + "[0]", INT_MIN + 1, INT_MAX));
                TimeValue last = isInt     ? (s.i.keys.empty() ? 0 : s.i.keys.back().t)
                                 : isPoint ? (s.p.keys.empty() ? 0 : s.p.keys.back().t)
                                           : (s.f.keys.empty() ? 0 : s.f.keys.back().t);
                if (i > 0 && t <= last) refuse(kp, "key times must increase");
                if (isInt)
                    s.i.keys.push_back({t, int(integer(keys[i][1], kp + "[1]", INT_MIN, INT_MAX))});
                else if (isPoint)
                    s.p.keys.push_back({t, point3(keys[i][1], kp + "[1]")});
                else
                    s.f.keys.push_back({t, floatNumber(keys[i][1], kp + "[1]")});
            }
        }
        return s;
    }

    void readBlocks(ReferenceTarget* t, const Json& blocks, const std::string& path) {
        for (size_t b = 0; b < blocks.size(); ++b) {
            std::string bp = path + "[" + std::to_string(b) + "]";
            BlockID bid = BlockID(integer(member(blocks[b], "id", bp), bp + ".id", -32768, 32767));
            IParamBlock2* pb = t->GetParamBlockByID(bid);
            const Json& params = array(member(blocks[b], "params", bp), bp + ".params");
            for (size_t i = 0; i < params.size(); ++i) {
                std::string pp = bp + ".params[" + std::to_string(i) + "]";
                ParamID pid = ParamID(integer(member(params[i], "id", pp), pp + ".id", -32768, 32767));
                int type = int(integer(member(params[i], "type", pp), pp + ".type", 0, 0xffff));
                const Json& values = array(member(params[i], "values", pp), pp + ".values");
                if (!IsTabType(type) && values.size() != 1) refuse(pp + ".values", "expected exactly one value");
                std::vector<PB2Slot> slots;
                for (size_t k = 0; k < values.size(); ++k)
                    slots.push_back(readSlot(t, values[k], type, pp + ".values[" + std::to_string(k) + "]"));
                if (!pb) continue;
                ParamDef* d = pb->GetDesc()->GetParamDef(pid);
                if (!d) {
                    warn(pp + ": parameter " + std::to_string(pid) + " is not known to this class; skipped");
                    continue;
                }
                if (d->type != type) {
                    warn(pp + ": parameter " + std::to_string(pid) + " has changed type; skipped");
                    continue;
                }
                pb->RestoreSlots(pid, std::move(slots));
            }
            if (!pb) warn(bp + ": the object has no parameter block " + std::to_string(bid) + "; skipped");
        }
    }

    static std::vector<double> numbers(const Json& j, const std::string& path, size_t multiple) {
        const Json& a = array(j, path);
        if (a.size() % multiple != 0) refuse(path, "length must be a multiple of " + std::to_string(multiple));
        std::vector<double> out;
        out.reserve(a.size());
        for (size_t i = 0; i < a.size(); ++i) {
            out.push_back(number(a[i], path + "[" + std::to_string(i) + "]"));
        }
        return out;
    }

    static void requireFloats(const std::vector<double>& values, const std::string& path) {
        for (size_t i = 0; i < values.size(); ++i)
            if (std::fabs(values[i]) > double(std::numeric_limits<float>::max()))
                refuse(path + "[" + std::to_string(i) + "]", "too large for a float");
    }

    static DWORD index(double v, size_t limit, const std::string& path) {
        if (v < 0 || v != std::floor(v) || v >= double(limit)) refuse(path, "index out of range");
        return DWORD(v);
    }

    static void readMesh(Mesh& m, const Json& j, const std::string& path) {
        std::vector<double> v = numbers(member(j, "verts", path), path + ".verts", 3);
        std::vector<double> f = numbers(member(j, "faces", path), path + ".faces", 5);
        m.setNumVerts(int(v.size() / 3));
        requireFloats(v, path + ".verts");
        for (int i = 0; i < m.numVerts; ++i) m.verts[i] = Point3(v[3 * i], v[3 * i + 1], v[3 * i + 2]);
        m.setNumFaces(int(f.size() / 5));
        for (int i = 0; i < m.numFaces; ++i) {
            std::string fp = path + ".faces[" + std::to_string(5 * i) + "]";
            for (int c = 0; c < 3; ++c) m.faces[i].v[c] = index(f[5 * i + c], size_t(m.numVerts), fp);
            m.faces[i].smGroup = DWORD(index(f[5 * i + 3], 1ull << 32, fp));
            m.faces[i].flags = DWORD(index(f[5 * i + 4], 1ull << 32, fp));
        }
        const Json& maps = array(member(j, "maps", path), path + ".maps");
        for (size_t k = 0; k < maps.size(); ++k) {
            std::string mp = path + ".maps[" + std::to_string(k) + "]";
            int ch = int(integer(member(maps[k], "channel", mp), mp + ".channel", -NUM_HIDDENMAPS, MAX_MESHMAPS - 1));
            std::vector<double> mv = numbers(member(maps[k], "verts", mp), mp + ".verts", 3);
            std::vector<double> mf = numbers(member(maps[k], "faces", mp), mp + ".faces", 3);
            if (mf.size() / 3 != size_t(m.numFaces)) refuse(mp + ".faces", "needs one map face per face");
            m.setMapSupport(ch);
            MeshMap& map = m.Map(ch);
            map.flags = DWORD(integer(member(maps[k], "flags", mp), mp + ".flags", 0, 0xffffffffLL)) | MESHMAP_USED;
            map.setNumVerts(int(mv.size() / 3));
            requireFloats(mv, mp + ".verts");
            for (int i = 0; i < map.vnum; ++i) map.tv[i] = Point3(mv[3 * i], mv[3 * i + 1], mv[3 * i + 2]);
            map.setNumFaces(m.numFaces);
            for (int i = 0; i < m.numFaces; ++i)
                for (int c = 0; c < 3; ++c) map.tf[i].t[c] = index(mf[3 * i + c], size_t(map.vnum), mp + ".faces");
        }
        if (auto it = j.find("normals"); it != j.end()) {
            std::string np = path + ".normals";
            std::vector<double> n = numbers(member(*it, "normals", np), np + ".normals", 3);
            const Json& expl = array(member(*it, "explicit", np), np + ".explicit");
            std::vector<double> ids = numbers(member(*it, "faceNormalIds", np), np + ".faceNormalIds", 3);
            const Json& spec = array(member(*it, "specified", np), np + ".specified");
            if (expl.size() != n.size() / 3 || spec.size() != ids.size() || ids.size() / 3 != size_t(m.numFaces))
                refuse(np, "normal, flag and face counts disagree");
            requireFloats(n, np + ".normals");
            m.SpecifyNormals();
            MeshNormalSpec* ns = m.GetSpecifiedNormals();
            ns->SetNumNormals(int(n.size() / 3));
            ns->SetNumFaces(m.numFaces);
            for (int i = 0; i < ns->GetNumNormals(); ++i) {
                ns->Normal(i) = Point3(n[3 * i], n[3 * i + 1], n[3 * i + 2]);
                if (!expl[i].is_boolean()) refuse(np + ".explicit", "expected true or false");
                ns->SetNormalExplicit(i, expl[i].get<bool>());
            }
            for (int f2 = 0; f2 < m.numFaces; ++f2)
                for (int c = 0; c < 3; ++c) {
                    ns->Face(f2).SetNormalID(
                        c, int(index(ids[3 * f2 + c], size_t(ns->GetNumNormals()), np + ".faceNormalIds")));
                    if (!spec[3 * f2 + c].is_boolean()) refuse(np + ".specified", "expected true or false");
                    ns->Face(f2).SetSpecified(c, spec[3 * f2 + c].get<bool>());
                }
        }
    }

    void fillObject(const Json& j, const std::string& path) {
        ReferenceTarget* t = objects_[int(integer(member(j, "id", path), path + ".id", 0, 1 << 30))];
        if (missingClassData(t)) return;  // kept as saved
        if (auto it = j.find("name"); it != j.end()) {
            if (!it->is_string()) refuse(path + ".name", "expected a string");
            if (auto* mb = dynamic_cast<MtlBase*>(t)) mb->SetName(fromUtf8(it->get<std::string>()).c_str());
        }
        readBlocks(t, array(member(j, "paramBlocks", path), path + ".paramBlocks"), path + ".paramBlocks");
        if (auto it = j.find("mesh"); it != j.end()) {
            auto* tri = dynamic_cast<TriObject*>(t);
            if (!tri) refuse(path + ".mesh", "only mesh objects carry a mesh");
            readMesh(tri->GetMesh(), *it, path + ".mesh");
        }
    }

    // A slot holds what its type says: a material slot a material, a map slot a map. A
    // material or map that holds another is remembered for the cycle check.
    void checkKind(ReferenceTarget* owner, ReferenceTarget* ref, int type, const std::string& path) {
        if (!ref) return;
        const int base = type & ~TYPE_TAB;
        if (base == TYPE_MTL && !dynamic_cast<Mtl*>(ref)) refuse(path, "is not a material");
        if (base == TYPE_TEXMAP && !dynamic_cast<Texmap*>(ref)) refuse(path, "is not a map");
        if (dynamic_cast<MtlBase*>(owner) && dynamic_cast<MtlBase*>(ref)) holds_[owner].push_back({ref, path});
    }

    // A material or map that holds itself, directly or through others, would be walked for
    // ever: such a file is refused, naming the slot that closes the loop.
    void refuseMaterialCycles() {
        enum State : uint8_t { kUnseen, kOnPath, kDone };
        std::map<ReferenceTarget*, State> state;
        for (const auto& [start, unused] : holds_) {
            if (state[start] != kUnseen) continue;
            // Depth first with a list of our own: (node, index of its next held entry).
            std::vector<std::pair<ReferenceTarget*, size_t>> path{{start, 0}};
            state[start] = kOnPath;
            while (!path.empty()) {
                auto& [node, next] = path.back();
                auto it = holds_.find(node);
                if (it == holds_.end() || next >= it->second.size()) {
                    state[node] = kDone;
                    path.pop_back();
                    continue;
                }
                const Held& held = it->second[next++];
                State& s = state[held.target];
                if (s == kOnPath) refuse(held.path, "makes a loop: this material or map ends up holding itself");
                if (s == kUnseen) {
                    s = kOnPath;
                    path.push_back({held.target, 0});
                }
            }
        }
    }

    struct Held {
        ReferenceTarget* target;
        std::string path;
    };

    SceneFileReport* report_;
    std::map<ReferenceTarget*, std::vector<Held>> holds_;
    std::map<int, ReferenceTarget*> objects_;
    LoadKeeper keeper_;  // members go in reverse order: the scene first, then the keeper
    std::unique_ptr<Scene> scene_;
};

// 1-based line and column of a byte offset.
std::string place(const std::string& text, size_t byte) {
    size_t line = 1, col = 1;
    for (size_t i = 0; i < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            col = 1;
        } else {
            ++col;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(col);
}

}  // namespace

std::unique_ptr<Scene> sceneFromJson(const std::string& text, const std::string& source, SceneSettings& settings,
                                     std::string& error, SceneFileReport* report) {
    if (jsonNesting(text) > kMaxJsonNesting) {
        error = source + ": its JSON nests deeper than " + std::to_string(kMaxJsonNesting) +
                " levels; the scene was not loaded";
        return nullptr;
    }
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        size_t at = e.byte > 0 ? e.byte - 1 : 0;
        bool truncated = at + 1 >= text.size();
        error = source + ": " + (truncated ? "the file ends too early (truncated?) at " : "not valid JSON at ") +
                place(text, at) + "; the scene was not loaded";
        return nullptr;
    } catch (const nlohmann::json::out_of_range& e) {
        // A number too large for a double: the library's message names it.
        std::string what = e.what();
        what.erase(0, what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2);
        error = source + ": " + what + "; the scene was not loaded";
        return nullptr;
    } catch (const std::exception& e) {
        error = source + ": " + e.what() + "; the scene was not loaded";
        return nullptr;
    }
    try {
        SceneFileReport local;
        SceneSettings loaded;
        Reader reader(&local);
        std::unique_ptr<Scene> scene = reader.read(doc, loaded);
        settings = loaded;
        if (report) *report = std::move(local);
        return scene;
    } catch (const SceneFormatError& e) {
        error = source + ": " + e.what() + "; the scene was not loaded";
    } catch (const std::exception& e) {
        error = source + ": " + e.what() + "; the scene was not loaded";
    }
    return nullptr;
}

bool loadScene(const std::string& path, std::string& error, SceneFileReport* report) {
    std::string text;
    if (!readFile(path, text, error)) return false;
    BroadcastNotification(NOTIFY_FILE_PRE_OPEN);
    SceneSettings settings;
    std::unique_ptr<Scene> scene = sceneFromJson(text, path, settings, error, report);
    if (!scene) return false;
    sceneSettings() = settings;
    replaceScene(std::move(scene));
    BroadcastNotification(NOTIFY_FILE_POST_OPEN);
    return true;
}

}  // namespace host
