// Picking in the stand-in's graphics window: primitives are projected, never drawn, and a
// segment hits when any part of it reaches the region's box (Liang-Barsky clipping).
#include "max/graphics_window.h"

#include <algorithm>
#include <cmath>

void MakeHitRegion(HitRegion& hr, int type, int crossing, int epsi, IPoint2* p) {
    hr = HitRegion{};
    hr.type = type;
    hr.crossing = crossing;
    hr.epsilon = std::max(0, epsi);
    if (!p) return;
    if (type == POINT_RGN) {
        hr.pt = p[0];
    } else {
        hr.rect.left = std::min(p[0].x, p[1].x);
        hr.rect.right = std::max(p[0].x, p[1].x);
        hr.rect.top = std::min(p[0].y, p[1].y);
        hr.rect.bottom = std::max(p[0].y, p[1].y);
    }
}

namespace {

struct Box2 {
    float x0, y0, x1, y1;
};

Box2 regionBox(const HitRegion& r) {
    if (r.type == POINT_RGN) {
        const float e = float(r.epsilon);
        return {float(r.pt.x) - e, float(r.pt.y) - e, float(r.pt.x) + e, float(r.pt.y) + e};
    }
    return {float(r.rect.left), float(r.rect.top), float(r.rect.right), float(r.rect.bottom)};
}

bool inside(const Box2& b, float x, float y) {
    return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1;
}

// Whether the segment a-b meets the box.
bool clips(const Box2& b, float ax, float ay, float bx, float by) {
    float t0 = 0.0f, t1 = 1.0f;
    const float dx = bx - ax, dy = by - ay;
    const float p[4] = {-dx, dx, -dy, dy};
    const float q[4] = {ax - b.x0, b.x1 - ax, ay - b.y0, b.y1 - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0f) {
            if (q[i] < 0.0f) return false;
            continue;
        }
        const float r = q[i] / p[i];
        if (p[i] < 0.0f)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

bool GraphicsWindow::project(const Point3& objectPoint, float& sx, float& sy) const {
    return worldToScreen(objectPoint * tm_, sx, sy) && std::isfinite(sx) && std::isfinite(sy);
}

bool GraphicsWindow::pointHits(float x, float y) const {
    return inside(regionBox(region_), x, y);
}

bool GraphicsWindow::segmentHits(float ax, float ay, float bx, float by) const {
    const Box2 box = regionBox(region_);
    // A window drawn inside a rectangle without crossing must hold the whole segment.
    if (region_.type != POINT_RGN && !region_.crossing) return inside(box, ax, ay) && inside(box, bx, by);
    return clips(box, ax, ay, bx, by);
}

void GraphicsWindow::polyline(int ct, Point3* xyz, Point3*, int closed, int*) {
    if (!(limits_ & GW_PICK) || !xyz || ct < 1) return;
    const int segments = closed ? ct : ct - 1;
    if (ct == 1) {
        float x, y;
        if (project(xyz[0], x, y) && pointHits(x, y)) hit_ = TRUE;
        return;
    }
    for (int i = 0; i < segments && !hit_; ++i) {
        float ax, ay, bx, by;
        if (!project(xyz[i], ax, ay) || !project(xyz[(i + 1) % ct], bx, by)) continue;
        if (segmentHits(ax, ay, bx, by)) hit_ = TRUE;
    }
}

void GraphicsWindow::marker(Point3* xyz, MarkerType) {
    if (!(limits_ & GW_PICK) || !xyz) return;
    float x, y;
    if (project(*xyz, x, y) && pointHits(x, y)) hit_ = TRUE;
}
