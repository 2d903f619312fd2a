// GraphicsWindow: a viewport's drawing surface as plug-ins see it while they display or hit
// test themselves. The stand-in draws nothing; what it does for real is picking: in pick
// mode (GW_PICK in the render limits) each primitive is projected through the current
// transform and tested against the hit region, and a hit sets the hit code that the caller
// reads back. Screen points are pixels, x right and y down. The viewport owns its window;
// plug-ins borrow it for one call. Main thread only.
#pragma once

#include "max/ipoint2.h"
#include "max/matrix3.h"

// Render limits (a subset).
constexpr DWORD GW_WIREFRAME = 0x00000001;
constexpr DWORD GW_ILLUM = 0x00000002;
constexpr DWORD GW_FLAT = 0x00000004;
constexpr DWORD GW_Z_BUFFER = 0x00000008;
constexpr DWORD GW_PICK = 0x00010000;

// Hit region kinds.
constexpr int POINT_RGN = 0x0001;
constexpr int RECT_RGN = 0x0002;

// HitTest's `type` values of a plug-in's HitTest (the same constants as the region kinds).
constexpr int HITTYPE_POINT = 1;
constexpr int HITTYPE_BOX = 2;

enum MarkerType { POINT_MRKR, HOLLOW_BOX_MRKR, PLUS_SIGN_MRKR, X_MRKR, DOT_MRKR };

struct RECT {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class HitRegion {
public:
    int type = POINT_RGN;
    int crossing = 1;  // rectangles: touching is enough (1) or wholly inside (0)
    int epsilon = 0;   // pixels around a point region
    IPoint2 pt;
    RECT rect;
};

// A region around the cursor: a square of 2 x epsi + 1 pixels for a point, else the
// rectangle from p[0] to p[1].
void MakeHitRegion(HitRegion& hr, int type, int crossing, int epsi, IPoint2* p);

class GraphicsWindow {
public:
    virtual ~GraphicsWindow() = default;

    DWORD getRndLimits() const { return limits_; }
    void setRndLimits(DWORD limits) { limits_ = limits; }
    // Object to world for the primitives that follow.
    void setTransform(const Matrix3& m) { tm_ = m; }
    Matrix3 getTransform() const { return tm_; }
    void setHitRegion(HitRegion* hr) { region_ = hr ? *hr : HitRegion{}; }
    void clearHitCode() { hit_ = FALSE; }
    BOOL checkHitCode() const { return hit_; }

    // A polyline through ct points (closed joins the last to the first). In pick mode each
    // segment that reaches the region sets the hit code; rgb and es are ignored.
    void polyline(int ct, Point3* xyz, Point3* rgb, int closed, int* es);
    // A marker at one point; in pick mode it hits when its point lies in the region.
    void marker(Point3* xyz, MarkerType type);

    // Where a world point shows on the screen; false when it cannot be seen (behind a
    // perspective eye).
    virtual bool worldToScreen(const Point3& world, float& sx, float& sy) const = 0;

private:
    bool project(const Point3& objectPoint, float& sx, float& sy) const;
    bool segmentHits(float ax, float ay, float bx, float by) const;
    bool pointHits(float x, float y) const;

    DWORD limits_ = GW_WIREFRAME | GW_Z_BUFFER;
    Matrix3 tm_;
    HitRegion region_;
    BOOL hit_ = FALSE;
};
