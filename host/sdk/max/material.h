// Materials and texture maps: Mtl (super class MATERIAL_CLASS_ID) and Texmap
// (TEXMAP_CLASS_ID) base classes as renderers and the scene see them. Concrete standard and
// multi/sub-object materials live in std_materials.h. Main thread only; Texmap evaluation
// must be thread-safe in subclasses.
#pragma once

#include "max/object.h"

class ShadeContext;

class MtlBase : public ReferenceTarget {
public:
    const MCHAR* GetName() const { return name_.c_str(); }
    void SetName(const MCHAR* name) { name_ = name ? name : L""; }

private:
    std::wstring name_;
};

class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    virtual AColor EvalColor(ShadeContext& sc) = 0;
    virtual float EvalMono(ShadeContext& sc) {
        AColor c = EvalColor(sc);
        return (c.r + c.g + c.b) / 3.0f;
    }
    virtual Point3 EvalNormalPerturb(ShadeContext&) { return Point3(); }
    virtual void Update(TimeValue, Interval&) {}
    virtual void Reset() {}
    virtual Interval Validity(TimeValue) { return FOREVER; }
    virtual ULONG Requirements(int) { return 0; }
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int) { return nullptr; }
    virtual void SetSubTexmap(int, Texmap*) {}
};

class Mtl : public MtlBase {
public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    virtual Color GetDiffuse(int mtlNum = 0, BOOL backFace = FALSE) = 0;
    virtual float GetShininess(int mtlNum = 0, BOOL backFace = FALSE) = 0;
    virtual int NumSubMtls() { return 0; }
    virtual Mtl* GetSubMtl(int) { return nullptr; }
    virtual void SetSubMtl(int, Mtl*) {}
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int) { return nullptr; }
    virtual void SetSubTexmap(int, Texmap*) {}
    virtual void Update(TimeValue, Interval&) {}
};
