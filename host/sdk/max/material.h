// Materials and texture maps: Mtl (super class MATERIAL_CLASS_ID) and Texmap
// (TEXMAP_CLASS_ID) base classes as renderers and the scene see them. Concrete standard and
// multi/sub-object materials live in std_materials.h. Main thread only; Texmap evaluation
// must be thread-safe in subclasses.
#pragma once

#include "max/matrix3.h"
#include "max/object.h"

class ShadeContext;
class IMtlParams;
class ParamDlg;

// What a material or map needs the renderer to supply (Requirements bits).
constexpr ULONG MTLREQ_2SIDE = 1u << 0;
constexpr ULONG MTLREQ_WIRE = 1u << 1;
constexpr ULONG MTLREQ_WIRE_ABS = 1u << 2;
constexpr ULONG MTLREQ_TRANSP = 1u << 3;
constexpr ULONG MTLREQ_UV = 1u << 4;
constexpr ULONG MTLREQ_FACEMAP = 1u << 5;
constexpr ULONG MTLREQ_XYZ = 1u << 6;  // object or world coordinates of the sample
constexpr ULONG MTLREQ_OXYZ = 1u << 7;
constexpr ULONG MTLREQ_BUMPUV = 1u << 8;
constexpr ULONG MTLREQ_BGCOL = 1u << 9;
constexpr ULONG MTLREQ_PHONG = 1u << 10;
constexpr ULONG MTLREQ_AUTOREFLECT = 1u << 11;
constexpr ULONG MTLREQ_AUTOMIRROR = 1u << 12;
constexpr ULONG MTLREQ_NOATMOS = 1u << 13;
constexpr ULONG MTLREQ_ADDITIVE_TRANSP = 1u << 14;
constexpr ULONG MTLREQ_VIEW_DEP = 1u << 15;  // the result depends on the view direction
constexpr ULONG MTLREQ_UV2 = 1u << 16;
constexpr ULONG MTLREQ_BUMPUV2 = 1u << 17;
constexpr ULONG MTLREQ_PREPRO = 1u << 18;

// The material browser's categories of maps (ClassDesc::Category of a Texmap class).
inline constexpr const MCHAR* TEXMAP_CAT_2D = L"2D maps";
inline constexpr const MCHAR* TEXMAP_CAT_3D = L"3D maps";
inline constexpr const MCHAR* TEXMAP_CAT_COMP = L"Compositors";
inline constexpr const MCHAR* TEXMAP_CAT_COLMOD = L"Color Mods";
inline constexpr const MCHAR* TEXMAP_CAT_ENV = L"Env";

// The material editor as a material's or map's parameter dialog sees it.
class IMtlParams {
public:
    virtual ~IMtlParams() = default;
    virtual TimeValue GetTime() = 0;
    // The edited material or map changed: redraw its sample slot.
    virtual void MtlChanged() {}
};

// A material's or map's parameter dialog in the material editor, made by CreateParamDlg and
// freed by the editor through DeleteThis when the editor moves on.
class ParamDlg {
public:
    virtual ~ParamDlg() = default;
    virtual Class_ID ClassID() = 0;
    // Shows another material or map of the same class.
    virtual void SetThing(ReferenceTarget* m) = 0;
    virtual ReferenceTarget* GetThing() = 0;
    virtual void SetTime(TimeValue t) = 0;
    virtual void ReloadDialog() = 0;
    virtual void DeleteThis() = 0;
    virtual void ActivateDlg(BOOL onOff) = 0;
};

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
    virtual ULONG LocalRequirements(int subMtlNum) { return Requirements(subMtlNum); }
    // The transform from the map's UVW to the sample's; identity for maps that use none.
    virtual void GetUVTransform(Matrix3& uvtrans) { uvtrans.IdentityMatrix(); }
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int) { return nullptr; }
    virtual void SetSubTexmap(int, Texmap*) {}
    // The material editor's dialog for this map (null: none). A map built on automatic
    // parameter blocks returns its descriptor's CreateParamDlgs.
    virtual ParamDlg* CreateParamDlg(HWND, IMtlParams*) { return nullptr; }
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
