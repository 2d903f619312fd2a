#include "host/sample_shade_context.h"

#include <cmath>

namespace host {

void SampleShadeContext::beginSample() {
    cached_ = 0;
    nextSlot_ = 0;
    ResetOutput();
}

Point3 SampleShadeContext::ReflectVector() {
    return view - normal * (2.0f * (normal % view));
}

// Snell's law through the shading normal; total internal reflection gives the reflection.
Point3 SampleShadeContext::RefractVector(float ior) {
    float eta = backFace ? ior : (ior != 0.0f ? 1.0f / ior : 1.0f);
    float cosI = -(normal % view);
    float k = 1.0f - eta * eta * (1.0f - cosI * cosI);
    if (k < 0.0f) return ReflectVector();
    return (view * eta + normal * (eta * cosI - std::sqrt(k))).Normalize();
}

Point3 SampleShadeContext::PObjRelBox() {
    Point3 q = PObj();
    Point3 size = objectBox.Width();
    Point3 out;
    for (int i = 0; i < 3; ++i) out[i] = size[i] > 0.0f ? 2.0f * (q[i] - objectBox.pmin[i]) / size[i] - 1.0f : 0.0f;
    return out;
}

Point3 SampleShadeContext::DPObjRelBox() {
    Point3 d = DPObj();
    Point3 size = objectBox.Width();
    Point3 out;
    for (int i = 0; i < 3; ++i) out[i] = size[i] > 0.0f ? 2.0f * d[i] / size[i] : 0.0f;
    return out;
}

Point3 SampleShadeContext::UVW(int channel) {
    const bool whiteWhenMissing = channel <= 0;
    if (!mesh || channel < -NUM_HIDDENMAPS || channel >= MAX_MESHMAPS || !mesh->mapSupport(channel))
        return whiteWhenMissing ? Point3(1, 1, 1) : Point3(0, 0, 0);
    const MeshMap& map = mesh->Map(channel);
    if (faceNumber < 0 || faceNumber >= map.fnum) return whiteWhenMissing ? Point3(1, 1, 1) : Point3(0, 0, 0);
    const TVFace& f = map.tf[faceNumber];
    Point3 out;
    for (int k = 0; k < 3; ++k) {
        DWORD v = f.t[k];
        if (int(v) >= map.vnum) return Point3(0, 0, 0);
        out += map.tv[v] * bary[k];
    }
    return out;
}

Point3 SampleShadeContext::PointTo(const Point3& q, RefFrame to) {
    switch (to) {
        case REF_WORLD:
            return q * worldFromCamera;
        case REF_OBJECT:
            return (q * worldFromCamera) * objectFromWorld;
        default:
            return q;
    }
}

Point3 SampleShadeContext::PointFrom(const Point3& q, RefFrame from) {
    switch (from) {
        case REF_WORLD:
            return q * cameraFromWorld;
        case REF_OBJECT:
            return (q * worldFromObject) * cameraFromWorld;
        default:
            return q;
    }
}

Point3 SampleShadeContext::VectorTo(const Point3& v, RefFrame to) {
    switch (to) {
        case REF_WORLD:
            return worldFromCamera.VectorTransform(v);
        case REF_OBJECT:
            return objectFromWorld.VectorTransform(worldFromCamera.VectorTransform(v));
        default:
            return v;
    }
}

Point3 SampleShadeContext::VectorFrom(const Point3& v, RefFrame from) {
    switch (from) {
        case REF_WORLD:
            return cameraFromWorld.VectorTransform(v);
        case REF_OBJECT:
            return cameraFromWorld.VectorTransform(worldFromObject.VectorTransform(v));
        default:
            return v;
    }
}

SampleShadeContext::Entry* SampleShadeContext::find(Texmap* map, Kind kind) {
    for (int i = 0; i < cached_; ++i)
        if (cache_[i].map == map && cache_[i].kind == kind) return &cache_[i];
    return nullptr;
}

void SampleShadeContext::put(Texmap* map, Kind kind, const AColor& value) {
    Entry* e = find(map, kind);
    if (!e) {
        if (cached_ < kCacheSlots) {
            e = &cache_[cached_++];
        } else {
            e = &cache_[nextSlot_];
            nextSlot_ = (nextSlot_ + 1) % kCacheSlots;
        }
    }
    *e = Entry{map, kind, value};
}

BOOL SampleShadeContext::GetCache(Texmap* map, AColor& c) {
    if (Entry* e = find(map, Kind::Colour)) {
        c = e->value;
        return TRUE;
    }
    return FALSE;
}

BOOL SampleShadeContext::GetCache(Texmap* map, float& f) {
    if (Entry* e = find(map, Kind::Mono)) {
        f = e->value.r;
        return TRUE;
    }
    return FALSE;
}

BOOL SampleShadeContext::GetCache(Texmap* map, Point3& v) {
    if (Entry* e = find(map, Kind::Vector)) {
        v = Point3(e->value.r, e->value.g, e->value.b);
        return TRUE;
    }
    return FALSE;
}

void SampleShadeContext::PutCache(Texmap* map, const AColor& c) {
    put(map, Kind::Colour, c);
}

void SampleShadeContext::PutCache(Texmap* map, const float f) {
    put(map, Kind::Mono, AColor(f, 0, 0, 0));
}

void SampleShadeContext::PutCache(Texmap* map, const Point3& v) {
    put(map, Kind::Vector, AColor(v.x, v.y, v.z, 0));
}

void SampleShadeContext::TossCache(Texmap* map) {
    int kept = 0;
    for (int i = 0; i < cached_; ++i)
        if (cache_[i].map != map) cache_[kept++] = cache_[i];
    cached_ = kept;
    nextSlot_ = 0;
}

}  // namespace host
