// Shapes (splines, super class 0x40, never convertible to a mesh) and particle systems:
// ParticleSys and the SimpleParticle helper base, whose positions are world space (ticks
// for ages, scene units per tick for velocities). Main thread only.
#pragma once

#include <vector>

#include "max/object.h"

class ShapeObject : public GeomObject {
public:
    SClass_ID SuperClassID() override { return SHAPE_CLASS_ID; }
    int CanConvertToType(Class_ID) override { return FALSE; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
};

constexpr DWORD PARTICLE_VELS = 1, PARTICLE_AGES = 2, PARTICLE_RADIUS = 4, PARTICLE_TENSION = 8;

class ParticleSys {
public:
    std::vector<Point3> points;
    std::vector<Point3> vels;
    std::vector<TimeValue> ages;
    std::vector<float> radius;
    std::vector<float> tension;
    float size = 0.0f;
    // Sizes points always and the other arrays named in flags; the rest are emptied.
    void SetCount(int n, DWORD flags);
    int Count() const { return int(points.size()); }
    // A negative age marks a dead or unborn particle; without ages every particle lives.
    BOOL Alive(int i) const { return ages.empty() || (i < int(ages.size()) && ages[i] >= 0); }
    Box3 BoundBox(Matrix3* tm = nullptr) const;  // living particles only
};

class SimpleParticle : public GeomObject {
public:
    ParticleSys parts;
    TimeValue tvalid = 0;
    BOOL valid = FALSE;
    Mesh mesh;  // emitter icon
    Interval mvalid = NEVER;

    virtual void UpdateParticles(TimeValue t, INode* node) = 0;
    virtual void BuildEmitter(TimeValue t, Mesh& amesh) = 0;
    virtual Interval GetValidity(TimeValue t) = 0;

    int IsParticleSystem() override { return TRUE; }
    int IsWorldSpaceObject() override { return TRUE; }
    // Brings the particles to t (with a node) and the emitter mesh up to date.
    void Update(TimeValue t, INode* node = nullptr);
    void ParticleInvalid() { valid = FALSE; }
    void MeshInvalid() { mvalid.SetEmpty(); }
    ObjectState Eval(TimeValue t) override;
    Interval ObjectValidity(TimeValue t) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID, RefMessage message,
                               BOOL propagate) override;
    int NumParticles() { return parts.Count(); }
    Point3 ParticlePosition(TimeValue, int i) { return i >= 0 && i < parts.Count() ? parts.points[i] : Point3(); }
    Point3 ParticleVelocity(TimeValue, int i) {
        return i >= 0 && i < int(parts.vels.size()) ? parts.vels[i] : Point3();
    }
    TimeValue ParticleAge(TimeValue, int i) { return i >= 0 && i < int(parts.ages.size()) ? parts.ages[i] : -1; }
    // The emitter's points; particles are positioned by UpdateParticles, not deformed.
    int CanConvertToType(Class_ID) override { return FALSE; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    // A hit when a living particle (world space) projects into the 4-pixel region around
    // p in a live viewport.
    int HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) override;
};
