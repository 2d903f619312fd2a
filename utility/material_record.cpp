#include "utility/material_record.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "max/interface.h"
#include "max/material.h"
#include "max/param_block2.h"

namespace wx {

namespace {

constexpr uint32_t kNothing = 0;
constexpr uint32_t kThing = 1;
constexpr uint32_t kRecordVersion = 1;
// Materials nest maps and sub-materials; a deeper record is taken as damaged.
constexpr int kMaxDepth = 64;

class Writer {
public:
    void u32(uint32_t v) { bytes_.append(reinterpret_cast<const char*>(&v), 4); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void text(const wchar_t* s) {
        const std::wstring w = s ? s : L"";
        u32(uint32_t(w.size()));
        for (wchar_t c : w) u32(uint32_t(c));
    }
    void thing(ReferenceTarget* t) {
        if (!t || (t->SuperClassID() != MATERIAL_CLASS_ID && t->SuperClassID() != TEXMAP_CLASS_ID)) {
            u32(kNothing);
            return;
        }
        u32(kThing);
        u32(t->SuperClassID());
        u32(t->ClassID().PartA());
        u32(t->ClassID().PartB());
        text(static_cast<MtlBase*>(t)->GetName());
        u32(uint32_t(t->NumParamBlocks()));
        for (int b = 0; b < t->NumParamBlocks(); ++b) block(t->GetParamBlock(b));
    }
    std::string take() { return std::move(bytes_); }

private:
    void block(IParamBlock2* pb) {
        if (!pb) {
            u32(uint32_t(-1));
            return;
        }
        u32(uint32_t(pb->ID()));
        u32(uint32_t(pb->NumParams()));
        for (int i = 0; i < pb->NumParams(); ++i) {
            const ParamDef& d = pb->GetDesc()->paramdefs(i);
            const int count = IsTabType(d.type) ? pb->Count(d.ID) : 1;
            u32(uint32_t(d.ID));
            u32(uint32_t(d.type));
            u32(uint32_t(count));
            for (int k = 0; k < count; ++k) value(pb, d, k);
        }
    }
    void value(IParamBlock2* pb, const ParamDef& d, int k) {
        Interval valid = FOREVER;
        switch (ValueKindOf(d.type)) {
            case PBValueKind::Float: {
                float v = 0;
                pb->GetValue(d.ID, 0, v, valid, k);
                f32(v);
                break;
            }
            case PBValueKind::Int: {
                int v = 0;
                pb->GetValue(d.ID, 0, v, valid, k);
                u32(uint32_t(v));
                break;
            }
            case PBValueKind::Point3: {
                Point3 v;
                pb->GetValue(d.ID, 0, v, valid, k);
                for (int c = 0; c < 3; ++c) f32(v[c]);
                break;
            }
            case PBValueKind::String: {
                const MCHAR* v = nullptr;
                pb->GetValue(d.ID, 0, v, valid, k);
                text(v);
                break;
            }
            case PBValueKind::Ref: {
                const int base = d.type & ~TYPE_TAB;
                ReferenceTarget* v = nullptr;
                if (base != TYPE_INODE) pb->GetValue(d.ID, 0, v, valid, k);
                thing(v);
                break;
            }
            case PBValueKind::None:
                break;
        }
    }
    std::string bytes_;
};

// Reads what Writer wrote; any short or malformed read fails the whole record.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool u32(uint32_t& v) {
        if (bytes_.size() - at_ < 4) return false;
        std::memcpy(&v, bytes_.data() + at_, 4);
        at_ += 4;
        return true;
    }
    bool f32(float& v) {
        uint32_t bits;
        if (!u32(bits)) return false;
        std::memcpy(&v, &bits, 4);
        return true;
    }
    bool text(std::wstring& s) {
        uint32_t n;
        if (!u32(n) || n > (bytes_.size() - at_) / 4) return false;
        s.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t c = 0;
            u32(c);  // cannot run short: the length was checked against what is left
            s[i] = wchar_t(c);
        }
        return true;
    }
    // A thing made again; `made` is null for a recorded nothing. On failure a half-made
    // thing is freed.
    bool thing(ReferenceTarget*& made, int depth) {
        made = nullptr;
        uint32_t tag;
        if (!u32(tag) || depth > kMaxDepth) return false;
        if (tag == kNothing) return true;
        uint32_t sid, a, b, blocks;
        std::wstring name;
        if (tag != kThing || !u32(sid) || !u32(a) || !u32(b) || !text(name) || !u32(blocks)) return false;
        if (sid != MATERIAL_CLASS_ID && sid != TEXMAP_CLASS_ID) return false;
        auto* t = static_cast<MtlBase*>(GetCOREInterface()->CreateInstance(sid, Class_ID(a, b)));
        if (!t) return false;
        t->SetName(name.c_str());
        for (uint32_t i = 0; i < blocks; ++i)
            if (!block(t, depth)) {
                t->MaybeAutoDelete();
                return false;
            }
        made = t;
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    bool block(ReferenceTarget* owner, int depth) {
        uint32_t id, params;
        if (!u32(id)) return false;
        if (id == uint32_t(-1)) return true;
        if (!u32(params)) return false;
        IParamBlock2* pb = owner->GetParamBlockByID(BlockID(int32_t(id)));
        for (uint32_t i = 0; i < params; ++i) {
            uint32_t pid, type, count;
            if (!u32(pid) || !u32(type) || !u32(count) || count > bytes_.size() - at_) return false;
            const ParamID paramId = ParamID(int32_t(pid));
            ParamDef* def = pb ? pb->GetDesc()->GetParamDef(paramId) : nullptr;
            // A parameter this class no longer has, or of another type, is read and dropped.
            const bool keep = def && def->type == int(type) && !(def->flags & P_READ_ONLY);
            if (keep && IsTabType(def->type)) pb->SetCount(paramId, int(count));
            for (uint32_t k = 0; k < count; ++k)
                if (!value(keep ? pb : nullptr, paramId, int(type), int(k), depth)) return false;
        }
        return true;
    }
    bool value(IParamBlock2* pb, ParamID id, int type, int k, int depth) {
        switch (ValueKindOf(type)) {
            case PBValueKind::Float: {
                float v;
                if (!f32(v)) return false;
                if (pb) pb->SetValue(id, 0, v, k);
                return true;
            }
            case PBValueKind::Int: {
                uint32_t v;
                if (!u32(v)) return false;
                if (pb) pb->SetValue(id, 0, int(int32_t(v)), k);
                return true;
            }
            case PBValueKind::Point3: {
                Point3 v;
                if (!f32(v.x) || !f32(v.y) || !f32(v.z)) return false;
                if (pb) pb->SetValue(id, 0, v, k);
                return true;
            }
            case PBValueKind::String: {
                std::wstring v;
                if (!text(v)) return false;
                if (pb) pb->SetValue(id, 0, v.c_str(), k);
                return true;
            }
            case PBValueKind::Ref: {
                ReferenceTarget* v = nullptr;
                if (!thing(v, depth + 1)) return false;
                if (v && !(pb && pb->SetValue(id, 0, v, k))) v->MaybeAutoDelete();
                return true;
            }
            case PBValueKind::None:
                return true;
        }
        return false;
    }
    const std::string& bytes_;
    size_t at_ = 0;
};

}  // namespace

std::string recordMaterial(Mtl* mtl) {
    Writer w;
    w.u32(kRecordVersion);
    w.thing(mtl);
    return w.take();
}

bool rebuildMaterial(const std::string& bytes, Mtl*& out) {
    out = nullptr;
    Reader r(bytes);
    uint32_t version;
    ReferenceTarget* made = nullptr;
    if (!r.u32(version) || version != kRecordVersion || !r.thing(made, 0)) return false;
    if (made && (!r.atEnd() || made->SuperClassID() != MATERIAL_CLASS_ID)) {
        made->MaybeAutoDelete();
        return false;
    }
    out = static_cast<Mtl*>(made);
    return r.atEnd();
}

}  // namespace wx
