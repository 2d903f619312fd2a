// The stand-in's viewports: a ViewExp with a camera that tests and the CLI set up (an
// orthographic top view or a perspective view from an eye toward a target), a screen size
// in pixels, a construction plane (the home grid, world z = 0, unless set) and an alive flag
// that closing the viewport clears. There are no object snaps: a point snaps to where its
// ray meets the plane. Main thread only.
#pragma once

#include "max/view_exp.h"

namespace host {

class Viewport final : public ViewExp {
public:
    // Looking straight down -Z onto the XY plane, `worldWidth` units across the screen,
    // the screen's centre over `centre`; screen x runs along +X, screen y along -Y.
    static Viewport top(int widthPx, int heightPx, float worldWidth, Point3 centre = {});
    // From `eye` toward `target`, world +Z up on the screen (+Y when looking straight down
    // or up); `fov` is horizontal, radians.
    static Viewport perspective(int widthPx, int heightPx, Point3 eye, Point3 target, float fov);

    void close() { alive_ = false; }
    // Looks through the camera `node` (null: no camera). The node is remembered by handle,
    // so a view survives undo; after a scene is loaded or reset the handle names whatever
    // node has it in the new scene, so callers set the camera again.
    void setCamera(INode* node);
    INode* GetViewCamera() override;
    void setConstructionTM(const Matrix3& planeToWorld) { construction_ = planeToWorld; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Where a world point shows on the screen, in fractional pixels (the inverse of
    // MapScreenToWorldRay); false for a point at or behind a perspective eye.
    bool worldToScreen(const Point3& world, float& sx, float& sy) const;

    BOOL IsAlive() override { return alive_ ? TRUE : FALSE; }
    void GetAffineTM(Matrix3& tm) override { tm = viewFromWorld_; }
    BOOL IsPerspView() override { return perspective_ ? TRUE : FALSE; }
    float GetFOV() override { return fov_; }
    void GetConstructionTM(Matrix3& tm) override { tm = construction_; }
    Ray MapScreenToWorldRay(float sx, float sy) override;
    Point3 GetPointOnCP(const IPoint2& ps) override;
    Point3 SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d = nullptr, DWORD flags = 0) override;
    // Its picking window, projecting through this viewport's camera.
    GraphicsWindow* getGW() override;

private:
    class Window final : public GraphicsWindow {
    public:
        const Viewport* view = nullptr;
        bool worldToScreen(const Point3& world, float& sx, float& sy) const override {
            return view && view->worldToScreen(world, sx, sy);
        }
    };

    Viewport() = default;
    // World units per pixel: on the view plane for parallel views, at unit distance for
    // perspective ones.
    float unitsPerPixel() const;
    Point3 onPlane(const IPoint2& ps, const Matrix3& planeToWorld);

    bool alive_ = true;
    ULONG cameraHandle_ = 0;
    bool perspective_ = false;
    int width_ = 640, height_ = 480;
    float fov_ = 0.785398f;
    float worldWidth_ = 1000.0f;
    float focalDistance_ = 1000.0f;  // eye to target, for rays that miss the plane
    Matrix3 viewFromWorld_;
    Matrix3 worldFromView_;
    Matrix3 construction_;
    Window gw_;  // re-pointed at this viewport by getGW (viewports are copied by value)
};

// The active viewport that Interface::GetActiveViewExp hands out: a 640 x 480 perspective
// view with no camera until a caller replaces it or sets its camera.
Viewport& activeViewport();
// Shorthand for activeViewport().setCamera(node).
void setViewCamera(INode* node);

}  // namespace host
