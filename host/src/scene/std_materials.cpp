#include "host/std_materials.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "host/class_registry.h"
#include "host/image_files.h"
#include "host/text.h"
#include "max/shade_context.h"
#include "max/stdmat.h"
#include "pb_object.h"

namespace host {

namespace {

ClassDesc2* stdDesc();
ClassDesc2* multiDesc();
ClassDesc2* bitmapDesc();

class StdMtl : public PBHolder<StdMat2> {
public:
    StdMtl() { stdDesc()->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kStdMtlClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Standard"; }
    Color GetDiffuse(int, BOOL) override { return pblock->GetColor(kStdDiffuse); }
    float GetShininess(int, BOOL) override { return pblock->GetFloat(kStdGlossiness) / 100.0f; }
    void SetDiffuse(Color c, TimeValue t) override { pblock->SetValue(kStdDiffuse, t, c); }
    void SetShininess(float v, TimeValue t) override { pblock->SetValue(kStdGlossiness, t, v * 100.0f); }
    void SetOpacity(float v, TimeValue t) override { pblock->SetValue(kStdOpacity, t, v * 100.0f); }
    float GetOpacity(TimeValue t) override { return pblock->GetFloat(kStdOpacity, t) / 100.0f; }
    int NumSubTexmaps() override { return STD_NUM_MAPS; }
    Texmap* GetSubTexmap(int i) override { return pblock->GetTexmap(kStdMaps, 0, i); }
    void SetSubTexmap(int i, Texmap* m) override { pblock->SetValue(kStdMaps, 0, m, i); }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new StdMtl();
        copyBlockTo(*c, remap);
        c->SetName(GetName());
        remap.AddEntry(this, c);
        return c;
    }
};

class MultiSubMtl : public PBHolder<MultiMtl> {
public:
    MultiSubMtl() { multiDesc()->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kMultiMtlClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Multi/Sub-Object"; }
    Color GetDiffuse(int mtlNum, BOOL back) override {
        Mtl* m = materialForIndex(this, MtlID(mtlNum));
        return m && m != this ? m->GetDiffuse(0, back) : Color(0.5f, 0.5f, 0.5f);
    }
    float GetShininess(int mtlNum, BOOL back) override {
        Mtl* m = materialForIndex(this, MtlID(mtlNum));
        return m && m != this ? m->GetShininess(0, back) : 0.0f;
    }
    int NumSubMtls() override { return pblock->Count(kMultiMaterials); }
    Mtl* GetSubMtl(int i) override { return pblock->GetMtl(kMultiMaterials, 0, i); }
    void SetSubMtl(int i, Mtl* m) override { pblock->SetValue(kMultiMaterials, 0, m, i); }
    void SetNumSubMtls(int n) override {
        const int before = NumSubMtls();
        n = std::max(n, 0);
        pblock->SetCount(kMultiMaterials, n);
        pblock->SetCount(kMultiIds, n);
        for (int i = before; i < n; ++i) pblock->SetValue(kMultiIds, 0, i, i);
        names_.resize(size_t(n));
    }
    void SetSubMtlAndName(int mtlid, Mtl* m, MSTR& subMtlName) override {
        if (mtlid < 0 || mtlid >= NumSubMtls()) return;
        SetSubMtl(mtlid, m);
        names_[size_t(mtlid)] = subMtlName;
    }
    void RemoveMtl(int mtlid) override {
        const int slot = slotOf(mtlid);
        if (slot < 0) return;
        const int n = NumSubMtls();
        for (int i = slot; i + 1 < n; ++i) {
            SetSubMtl(i, GetSubMtl(i + 1));
            pblock->SetValue(kMultiIds, 0, pblock->GetInt(kMultiIds, 0, i + 1), i);
        }
        pblock->SetCount(kMultiMaterials, n - 1);
        pblock->SetCount(kMultiIds, n - 1);
        names_.erase(names_.begin() + slot);
    }
    void AddMtl(ReferenceTarget* rt, int id, const MCHAR* name) override {
        const int n = NumSubMtls();
        pblock->SetCount(kMultiMaterials, n + 1);
        pblock->SetCount(kMultiIds, n + 1);
        pblock->SetValue(kMultiMaterials, 0, static_cast<Mtl*>(rt), n);
        pblock->SetValue(kMultiIds, 0, id, n);
        names_.resize(size_t(n));
        names_.push_back(MSTR(name ? name : L""));
    }
    void GetSubMtlName(int mtlid, MSTR& s) override {
        const int slot = slotOf(mtlid);
        s = slot >= 0 && size_t(slot) < names_.size() ? names_[size_t(slot)] : MSTR();
    }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new MultiSubMtl();
        copyBlockTo(*c, remap);
        c->SetName(GetName());
        c->names_ = names_;
        remap.AddEntry(this, c);
        return c;
    }

private:
    int slotOf(int mtlid) {
        for (int i = 0; i < pblock->Count(kMultiIds); ++i)
            if (pblock->GetInt(kMultiIds, 0, i) == mtlid) return i;
        return -1;
    }
    std::vector<MSTR> names_;  // slot names, for the session only
};

// Names an image, read on Update (so before a render, on the main thread) and sampled
// bilinearly at map channel 1, tiled in both directions, v = 0 at the image's bottom row.
// Until an Update has read it, or when the file cannot be read, it answers mid grey.
class BitmapTex : public PBHolder<Texmap> {
public:
    BitmapTex() { bitmapDesc()->MakeAutoParamBlocks(this); }
    Class_ID ClassID() override { return kBitmapTexClassID; }
    void GetClassName(MSTR& s, bool) const override { s = L"Bitmap"; }
    void Update(TimeValue t, Interval&) override {
        const MCHAR* name = pblock->GetStr(kBitmapFile, t);
        const std::wstring file = name ? name : L"";
        if (file == loaded_) return;
        loaded_ = file;
        auto img = std::make_shared<ImageFile>();
        std::string error;
        image_ = readImageFile(toUtf8(file), *img, true, error) == BMMRES_SUCCESS ? std::move(img) : nullptr;
    }
    AColor EvalColor(ShadeContext& sc) override {
        const ImageFile* img = image_.get();
        if (!img) return AColor(0.5f, 0.5f, 0.5f, 1.0f);
        const Point3 uvw = sc.UVW(1);
        const float x = (uvw.x - std::floor(uvw.x)) * float(img->width) - 0.5f;
        const float y = (1.0f - (uvw.y - std::floor(uvw.y))) * float(img->height) - 0.5f;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const float fx = x - float(x0), fy = y - float(y0);
        auto at = [&](int px, int py, int c) {
            px = ((px % img->width) + img->width) % img->width;
            py = ((py % img->height) + img->height) % img->height;
            return img->rgba[(size_t(py) * size_t(img->width) + size_t(px)) * 4 + size_t(c)];
        };
        float out[4];
        for (int c = 0; c < 4; ++c) {
            const float top = at(x0, y0, c) * (1.0f - fx) + at(x0 + 1, y0, c) * fx;
            const float bottom = at(x0, y0 + 1, c) * (1.0f - fx) + at(x0 + 1, y0 + 1, c) * fx;
            out[c] = top * (1.0f - fy) + bottom * fy;
        }
        return AColor(out[0], out[1], out[2], out[3]);
    }
    RefTargetHandle Clone(RemapDir& remap) override {
        auto* c = new BitmapTex();
        copyBlockTo(*c, remap);
        remap.AddEntry(this, c);
        return c;
    }

private:
    std::wstring loaded_;                       // the file name image_ was read from
    std::shared_ptr<const ImageFile> image_;  // linear RGBA; null when unread or unreadable
};

SimpleClassDesc stdClassDesc(L"Standard", L"Standardmaterial", MATERIAL_CLASS_ID, kStdMtlClassID,
                             [](bool) -> void* { return static_cast<Mtl*>(new StdMtl()); });
SimpleClassDesc multiClassDesc(L"Multi/Sub-Object", L"Multimaterial", MATERIAL_CLASS_ID, kMultiMtlClassID,
                               [](bool) -> void* { return static_cast<Mtl*>(new MultiSubMtl()); });
SimpleClassDesc bitmapClassDesc(L"Bitmap", L"Bitmaptexture", TEXMAP_CLASS_ID, kBitmapTexClassID,
                                [](bool) -> void* { return static_cast<Texmap*>(new BitmapTex()); });

ClassDesc2* stdDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &stdClassDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kStdDiffuse, L"diffuse", TYPE_RGBA, P_ANIMATABLE, 0).Default(Color(0.5f, 0.5f, 0.5f));
        d.AddParam(kStdGlossiness, L"glossiness", TYPE_FLOAT, P_ANIMATABLE, 0).Default(10.0f).Range(0.0f, 100.0f);
        d.AddParam(kStdBumpAmount, L"bumpMapAmount", TYPE_FLOAT, P_ANIMATABLE, 0).Default(30.0f).Range(-999.0f, 999.0f);
        d.AddParam(kStdMaps, L"maps", TYPE_TEXMAP_TAB, 0, 0).TableSize(STD_NUM_MAPS);
        d.AddParam(kStdOpacity, L"opacity", TYPE_FLOAT, P_ANIMATABLE | P_SAVE_WHEN_SET, 0)
            .Default(100.0f)
            .Range(0.0f, 100.0f);
        return true;
    }();
    (void)built;
    return &stdClassDesc;
}

ClassDesc2* multiDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &multiClassDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kMultiMaterials, L"materialList", TYPE_MTL_TAB, P_VARIABLE_SIZE, 0);
        d.AddParam(kMultiIds, L"materialIDList", TYPE_INT_TAB, P_VARIABLE_SIZE, 0).Range(0, 65535);
        return true;
    }();
    (void)built;
    return &multiClassDesc;
}

ClassDesc2* bitmapDesc() {
    static ParamBlockDesc2 d(0, L"params", 0, &bitmapClassDesc, P_AUTO_CONSTRUCT, 0);
    static bool built = [] {
        d.AddParam(kBitmapFile, L"filename", TYPE_FILENAME, 0, 0);
        return true;
    }();
    (void)built;
    return &bitmapClassDesc;
}

}  // namespace

void registerMaterialClasses(ClassRegistry& r) {
    r.add(stdDesc());
    r.add(multiDesc());
    r.add(bitmapDesc());
}

Mtl* createStdMaterial(const std::wstring& name, Color diffuse, float glossinessPercent) {
    auto* m = new StdMtl();
    m->SetName(name.c_str());
    m->pblock->SetValue(kStdDiffuse, 0, diffuse);
    m->pblock->SetValue(kStdGlossiness, 0, glossinessPercent);
    return m;
}

Mtl* createMultiMaterial(const std::wstring& name, const std::vector<Mtl*>& subs, const std::vector<int>& ids) {
    auto* m = new MultiSubMtl();
    m->SetName(name.c_str());
    int n = int(std::min(subs.size(), ids.size()));
    m->pblock->SetCount(kMultiMaterials, n);
    m->pblock->SetCount(kMultiIds, n);
    for (int i = 0; i < n; ++i) {
        m->pblock->SetValue(kMultiMaterials, 0, subs[i], i);
        m->pblock->SetValue(kMultiIds, 0, ids[i], i);
    }
    return m;
}

Texmap* createBitmapTex(const std::wstring& fileName) {
    auto* t = new BitmapTex();
    t->pblock->SetValue(kBitmapFile, 0, fileName.c_str());
    return t;
}

Mtl* materialForIndex(Mtl* mtl, MtlID index) {
    if (!mtl || mtl->ClassID() != kMultiMtlClassID) return mtl;
    IParamBlock2* pb = mtl->GetParamBlock(0);
    int n = pb->Count(kMultiMaterials);
    if (n == 0) return nullptr;
    for (int i = 0; i < n && i < pb->Count(kMultiIds); ++i)
        if (pb->GetInt(kMultiIds, 0, i) == int(index)) return pb->GetMtl(kMultiMaterials, 0, i);
    return pb->GetMtl(kMultiMaterials, 0, int(index) % n);
}

Color diffuseOf(Mtl* mtl) {
    return mtl ? mtl->GetDiffuse(0, FALSE) : Color(0.5f, 0.5f, 0.5f);
}

float glossinessOf(Mtl* mtl) {
    if (mtl && mtl->ClassID() == kStdMtlClassID) return mtl->GetParamBlock(0)->GetFloat(kStdGlossiness);
    return mtl ? mtl->GetShininess(0, FALSE) * 100.0f : 0.0f;
}

float opacityOf(Mtl* mtl) {
    if (mtl && mtl->ClassID() == kStdMtlClassID) return mtl->GetParamBlock(0)->GetFloat(kStdOpacity);
    return 100.0f;
}

}  // namespace host
