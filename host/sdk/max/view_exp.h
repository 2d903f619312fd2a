// ViewExp: what a viewport tells a plug-in while the user works in it: whether it is still
// open, its camera (the affine world-to-view transform and the projection), the world ray
// under a screen point and the point it meets on the construction plane. Screen points are
// pixels, x right and y down, (0, 0) the top-left corner; view space has X right, Y up and
// the camera looking along -Z. The host owns every ViewExp: plug-ins never create or keep
// one past the call that hands it over. Main thread only.
#pragma once

#include "max/graphics_window.h"
#include "max/ipoint2.h"
#include "max/matrix3.h"

class INode;

// A half-line: origin p, direction dir (unit length from the viewport's calls).
class Ray {
public:
    Point3 p;
    Point3 dir;
};

// SnapPoint flags. The stand-in has no object snaps: every point snaps to its plane.
constexpr DWORD SNAP_IN_3D = 0;
constexpr DWORD SNAP_IN_PLANE = 1u << 0;
constexpr DWORD SNAP_FORCE_3D_RESULT = 1u << 5;

class ViewExp {
public:
    virtual ~ViewExp() = default;
    // False once the viewport has closed; a plug-in answers no further calls through it.
    virtual BOOL IsAlive() = 0;
    // World to view.
    virtual void GetAffineTM(Matrix3& tm) = 0;
    virtual BOOL IsPerspView() = 0;
    // Horizontal field of view in radians (perspective views).
    virtual float GetFOV() = 0;
    // Construction plane to world: the plane is z = 0 of that space.
    virtual void GetConstructionTM(Matrix3& tm) = 0;
    // The world ray through screen point (sx, sy).
    virtual Ray MapScreenToWorldRay(float sx, float sy) = 0;
    // The point under screen point ps on the construction plane, in the plane's coordinates.
    virtual Point3 GetPointOnCP(const IPoint2& ps) = 0;
    // The point under `in` on `plane2d` (plane to world; the construction plane when null),
    // in that plane's coordinates (z = 0); `out` is the screen point of the snapped point.
    virtual Point3 SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d = nullptr, DWORD flags = 0) = 0;
    // The viewport's graphics window (for hit testing), or null where it has none.
    virtual GraphicsWindow* getGW() { return nullptr; }
    // The camera node this viewport looks through, or null for a view without a camera.
    virtual INode* GetViewCamera() { return nullptr; }
};
