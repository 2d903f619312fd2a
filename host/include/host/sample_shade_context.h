// The stand-in's concrete ShadeContext: the preview renderer fills one per shading sample
// (and tests fill one by hand). Positions and directions are stored in camera space, with
// the camera and object frames to convert them; map coordinates come from the hit face of
// the render mesh and the sample's barycentric coordinates. The per-sample cache holds up
// to kCacheSlots map values and is cleared by beginSample. One context per thread.
#pragma once

#include "max/mesh.h"
#include "max/shade_context.h"

namespace host {

class SampleShadeContext : public ShadeContext {
public:
    static constexpr int kCacheSlots = 8;

    // Frames: camera space <-> world <-> object space of the node being shaded.
    Matrix3 worldFromCamera, cameraFromWorld;
    Matrix3 worldFromObject, objectFromWorld;
    bool perspective = true;
    bool inMtlEditor = false;

    TimeValue time = 0;
    INode* node = nullptr;
    Object* evalObject = nullptr;
    int nodeId = -1;
    int faceNumber = 0;
    const Mesh* mesh = nullptr;  // the render mesh the face belongs to, for UVW
    Point3 bary{1, 0, 0};        // weights of the face's corners 0, 1, 2
    Box3 objectBox;

    // Camera space.
    Point3 p, dp;
    Point3 normal, origNormal, geomNormal;  // unit, facing the viewer
    Point3 view;                            // unit, from the camera toward p
    Point2 screenUv, screenDuv;
    IPoint2 screenCoord;

    // Clears the cache and the output for the next sample.
    void beginSample();

    BOOL InMtlEditor() override { return inMtlEditor ? TRUE : FALSE; }
    int ProjType() override { return perspective ? PROJ_PERSPECTIVE : PROJ_PARALLEL; }
    TimeValue CurTime() override { return time; }
    int NodeID() override { return nodeId; }
    INode* Node() override { return node; }
    Object* GetEvalObject() override { return evalObject; }
    Point3 BarycentricCoords() override { return bary; }
    int FaceNumber() override { return faceNumber; }
    Point3 Normal() override { return normal; }
    void SetNormal(Point3 n) override { normal = n; }
    Point3 OrigNormal() override { return origNormal; }
    Point3 GNormal() override { return geomNormal; }
    Point3 V() override { return view; }
    void SetView(Point3 v) override { view = v; }
    Point3 ReflectVector() override;
    Point3 RefractVector(float ior) override;
    Point3 CamPos() override { return perspective ? Point3(0, 0, 0) : Point3(p.x, p.y, 0.0f); }
    Point3 P() override { return p; }
    Point3 DP() override { return dp; }
    Point3 PObj() override { return PointTo(p, REF_OBJECT); }
    Point3 DPObj() override { return VectorTo(dp, REF_OBJECT); }
    Box3 ObjectBox() override { return objectBox; }
    Point3 PObjRelBox() override;
    Point3 DPObjRelBox() override;
    void ScreenUV(Point2& uv, Point2& duv) override {
        uv = screenUv;
        duv = screenDuv;
    }
    IPoint2 ScreenCoord() override { return screenCoord; }
    // A channel the mesh does not carry reads as white for vertex colour, alpha and
    // illumination (channels 0, -1 and -2, as unpainted vertices are) and as 0 otherwise.
    Point3 UVW(int channel = 0) override;
    Point3 DUVW(int) override { return Point3(0, 0, 0); }
    void DPdUVW(Point3 dP[3], int) override { dP[0] = dP[1] = dP[2] = Point3(0, 0, 0); }
    Point3 PointTo(const Point3& q, RefFrame to) override;
    Point3 PointFrom(const Point3& q, RefFrame from) override;
    Point3 VectorTo(const Point3& v, RefFrame to) override;
    Point3 VectorFrom(const Point3& v, RefFrame from) override;

    BOOL GetCache(Texmap* map, AColor& c) override;
    BOOL GetCache(Texmap* map, float& f) override;
    BOOL GetCache(Texmap* map, Point3& v) override;
    void PutCache(Texmap* map, const AColor& c) override;
    void PutCache(Texmap* map, const float f) override;
    void PutCache(Texmap* map, const Point3& v) override;
    void TossCache(Texmap* map) override;

private:
    enum class Kind : unsigned char { Colour, Mono, Vector };
    struct Entry {
        Texmap* map = nullptr;
        Kind kind = Kind::Colour;
        AColor value;  // mono in r, vectors in r, g, b
    };
    Entry* find(Texmap* map, Kind kind);
    void put(Texmap* map, Kind kind, const AColor& value);

    Entry cache_[kCacheSlots];
    int cached_ = 0;    // entries in use
    int nextSlot_ = 0;  // the slot a full cache overwrites next
};

}  // namespace host
