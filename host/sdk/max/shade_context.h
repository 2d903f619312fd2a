// ShadeContext: what a renderer tells a material or texture map about one shading sample.
// Shading happens in camera space (X right, Y up, the camera looking along -Z): P, Normal,
// V and CamPos are camera-space; PointTo/VectorTo convert to world or object space. The
// per-sample cache lets a map evaluated twice for one sample compute once (the base class
// keeps nothing). A context belongs to one rendering thread at a time. The stand-in's
// concrete context is host::SampleShadeContext (host/sample_shade_context.h).
#pragma once

#include "max/box3.h"
#include "max/interval.h"
#include "max/ipoint2.h"
#include "max/point3.h"
#include "max/render.h"

class INode;
class Object;
class Texmap;

enum RefFrame { REF_CAMERA = 0, REF_WORLD = 1, REF_OBJECT = 2 };

constexpr int SCMODE_NORMAL = 0;
constexpr int SCMODE_SHADOW = 1;

class ShadeOutput {
public:
    ULONG flags = 0;
    Color c;           // shaded colour
    Color t;           // transparency
    float ior = 1.0f;  // index of refraction
    int gbufId = 0;
    void Reset(int = -1) {
        flags = 0;
        c = Color(0, 0, 0);
        t = Color(0, 0, 0);
        ior = 1.0f;
        gbufId = 0;
    }
};

class ShadeContext {
public:
    virtual ~ShadeContext() = default;

    ULONG mode = SCMODE_NORMAL;
    BOOL doMaps = TRUE;
    BOOL filterMaps = TRUE;
    BOOL shadow = TRUE;
    BOOL backFace = FALSE;
    int mtlNum = 0;
    Color ambientLight;
    int nLights = 0;
    int rayLevel = 0;
    int xshadeID = 0;
    RenderGlobalContext* globContext = nullptr;
    ShadeOutput out;

    void ResetOutput(int n = -1) { out.Reset(n); }

    virtual BOOL InMtlEditor() = 0;
    virtual int Antialias() { return FALSE; }
    virtual int ProjType() { return PROJ_PERSPECTIVE; }
    virtual TimeValue CurTime() = 0;
    virtual int NodeID() { return -1; }
    virtual INode* Node() { return nullptr; }
    virtual Object* GetEvalObject() { return nullptr; }
    virtual Point3 BarycentricCoords() { return Point3(0, 0, 0); }
    virtual int FaceNumber() = 0;

    virtual Point3 Normal() = 0;
    virtual void SetNormal(Point3 p) = 0;
    virtual Point3 OrigNormal() { return Normal(); }
    virtual Point3 GNormal() = 0;
    virtual Point3 V() = 0;
    virtual void SetView(Point3 p) = 0;
    virtual Point3 OrigView() { return V(); }
    virtual Point3 ReflectVector() = 0;
    virtual Point3 RefractVector(float ior) = 0;
    virtual Point3 CamPos() = 0;

    virtual Point3 P() = 0;
    virtual Point3 DP() = 0;
    virtual Point3 PObj() = 0;
    virtual Point3 DPObj() = 0;
    virtual Box3 ObjectBox() = 0;
    virtual Point3 PObjRelBox() = 0;
    virtual Point3 DPObjRelBox() = 0;
    virtual void ScreenUV(Point2& uv, Point2& duv) = 0;
    virtual IPoint2 ScreenCoord() = 0;

    // Map coordinates: channel 0 is vertex colour, 1-99 the map channels.
    virtual Point3 UVW(int channel = 0) = 0;
    virtual Point3 DUVW(int channel = 0) = 0;
    virtual void DPdUVW(Point3 dP[3], int channel = 0) = 0;

    // Camera space to `to`, and `from` to camera space.
    virtual Point3 PointTo(const Point3& p, RefFrame to) = 0;
    virtual Point3 PointFrom(const Point3& p, RefFrame from) = 0;
    virtual Point3 VectorTo(const Point3& v, RefFrame to) = 0;
    virtual Point3 VectorFrom(const Point3& v, RefFrame from) = 0;

    virtual AColor EvalGlobalEnvironMap(Point3) { return AColor(0, 0, 0, 0); }

    virtual BOOL GetCache(Texmap*, AColor&) { return FALSE; }
    virtual BOOL GetCache(Texmap*, float&) { return FALSE; }
    virtual BOOL GetCache(Texmap*, Point3&) { return FALSE; }
    virtual void PutCache(Texmap*, const AColor&) {}
    virtual void PutCache(Texmap*, const float) {}
    virtual void PutCache(Texmap*, const Point3&) {}
    virtual void TossCache(Texmap*) {}
};
