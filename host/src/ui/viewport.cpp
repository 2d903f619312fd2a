#include "host/viewport.h"

#include "max/interface.h"

#include <algorithm>
#include <cmath>

namespace host {

namespace {

// Directions closer to a plane than this (in the plane's space, unit ray) count as parallel.
constexpr float kParallelEps = 1e-6f;

}  // namespace

Viewport Viewport::top(int widthPx, int heightPx, float worldWidth, Point3 centre) {
    Viewport v;
    v.width_ = std::max(1, widthPx);
    v.height_ = std::max(1, heightPx);
    v.worldWidth_ = worldWidth > 0.0f ? worldWidth : 1.0f;
    v.focalDistance_ = v.worldWidth_;
    // View axes are the world's; the eye sits above the centre (parallel rays start there).
    v.worldFromView_ = TransMatrix(centre + Point3(0.0f, 0.0f, v.worldWidth_));
    v.viewFromWorld_ = Inverse(v.worldFromView_);
    return v;
}

Viewport Viewport::perspective(int widthPx, int heightPx, Point3 eye, Point3 target, float fov) {
    Viewport v;
    v.perspective_ = true;
    v.width_ = std::max(1, widthPx);
    v.height_ = std::max(1, heightPx);
    v.fov_ = fov > 0.0f && fov < 3.1f ? fov : 0.785398f;
    Point3 forward = target - eye;
    v.focalDistance_ = forward.Length() > 0.0f ? forward.Length() : 1.0f;
    forward = forward.Length() > 0.0f ? forward.Normalize() : Point3(0.0f, 0.0f, -1.0f);
    Point3 right = forward ^ Point3::ZAxis();
    if (right.Length() < 1e-4f) right = forward ^ Point3::YAxis();
    right = right.Normalize();
    Point3 up = right ^ forward;
    v.worldFromView_ = Matrix3(right, up, -forward, eye);
    v.viewFromWorld_ = Inverse(v.worldFromView_);
    return v;
}

float Viewport::unitsPerPixel() const {
    return perspective_ ? 2.0f * std::tan(fov_ * 0.5f) / float(width_) : worldWidth_ / float(width_);
}

Ray Viewport::MapScreenToWorldRay(float sx, float sy) {
    const float upp = unitsPerPixel();
    const float vx = (sx - 0.5f * float(width_)) * upp;
    const float vy = (0.5f * float(height_) - sy) * upp;
    Ray r;
    if (perspective_) {
        r.p = worldFromView_.GetTrans();
        r.dir = VectorTransform(worldFromView_, Point3(vx, vy, -1.0f)).Normalize();
    } else {
        r.p = Point3(vx, vy, 0.0f) * worldFromView_;
        r.dir = VectorTransform(worldFromView_, Point3(0.0f, 0.0f, -1.0f)).Normalize();
    }
    return r;
}

bool Viewport::worldToScreen(const Point3& world, float& sx, float& sy) const {
    const Point3 v = world * viewFromWorld_;
    const float upp = unitsPerPixel();
    float x = v.x, y = v.y;
    if (perspective_) {
        if (v.z >= 0.0f) return false;
        x /= -v.z;
        y /= -v.z;
    }
    sx = 0.5f * float(width_) + x / upp;
    sy = 0.5f * float(height_) - y / upp;
    return true;
}

// A ray that misses the plane (parallel to it, or meeting it behind a perspective eye) takes
// the point at the focal distance along it, dropped onto the plane, so the answer stays a
// finite point near what the user looks at.
Point3 Viewport::onPlane(const IPoint2& ps, const Matrix3& planeToWorld) {
    const Ray ray = MapScreenToWorldRay(float(ps.x), float(ps.y));
    const Matrix3 worldToPlane = Inverse(planeToWorld);
    const Point3 o = ray.p * worldToPlane;
    const Point3 d = VectorTransform(worldToPlane, ray.dir);
    Point3 hit;
    const float t = std::fabs(d.z) > kParallelEps ? -o.z / d.z : 0.0f;
    if (std::fabs(d.z) > kParallelEps && (!perspective_ || t > 0.0f))
        hit = o + d * t;
    else
        hit = o + d.Normalize() * focalDistance_;
    hit.z = 0.0f;
    return hit;
}

Point3 Viewport::GetPointOnCP(const IPoint2& ps) {
    return onPlane(ps, construction_);
}

Point3 Viewport::SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d, DWORD) {
    const IPoint2 cursor = in;  // `in` and `out` may be the same point
    const Matrix3 plane = plane2d ? *plane2d : construction_;
    const Point3 p = onPlane(cursor, plane);
    float sx = 0.0f, sy = 0.0f;
    if (worldToScreen(p * plane, sx, sy) && std::fabs(sx) < 1e9f && std::fabs(sy) < 1e9f)
        out = IPoint2{int(std::lround(sx)), int(std::lround(sy))};
    else
        out = cursor;
    return p;
}

GraphicsWindow* Viewport::getGW() {
    gw_.view = this;
    return &gw_;
}

void Viewport::setCamera(INode* node) {
    cameraHandle_ = node ? node->GetHandle() : 0;
}

INode* Viewport::GetViewCamera() {
    return cameraHandle_ ? GetCOREInterface()->GetINodeByHandle(cameraHandle_) : nullptr;
}

Viewport& activeViewport() {
    static Viewport view = Viewport::perspective(640, 480, Point3(0.0f, -1000.0f, 500.0f), Point3(0.0f, 0.0f, 0.0f),
                                                 0.785398f);
    return view;
}

void setViewCamera(INode* node) {
    activeViewport().setCamera(node);
}

}  // namespace host

ViewExp& Interface::GetActiveViewExp() {
    return host::activeViewport();
}
