// What a renderer hands to plug-ins: View (passed to GetRenderMesh: the projection and the
// world-to-view transform of the frame being rendered) and RenderGlobalContext (the frame's
// device size, camera transforms and time, the callParam of NOTIFY_PRE_RENDERFRAME and the
// globContext of every ShadeContext). Plain data, read-only while a frame renders.
#pragma once

#include "max/interval.h"
#include "max/matrix3.h"

constexpr int PROJ_PERSPECTIVE = 0;
constexpr int PROJ_PARALLEL = 1;

class View {
public:
    virtual ~View() = default;
    // Camera space to device pixels (x right, y down); the stand-in's renderer fills it.
    virtual Point2 ViewToScreen(Point3 p) { return Point2(p.x, p.y); }
    virtual BOOL CheckForRenderAbort() { return FALSE; }

    Matrix3 worldToView;  // world to camera space (camera looks along -Z)
    int projType = PROJ_PERSPECTIVE;
    float fov = 0.785398f;   // horizontal, radians
    float pixelSize = 1.0f;  // world size of one pixel at unit distance
    int screenW = 0, screenH = 0;
    Matrix3 affineTM;
};

class RenderGlobalContext {
public:
    virtual ~RenderGlobalContext() = default;
    int devWidth = 0, devHeight = 0;  // pixels
    float devAspect = 1.0f;           // pixel aspect
    float xscale = 1.0f, yscale = 1.0f, xc = 0.0f, yc = 0.0f;
    BOOL antialias = FALSE;
    int projType = PROJ_PERSPECTIVE;
    Matrix3 camToWorld, worldToCam;
    float nearRange = 0.0f, farRange = 1e30f;
    TimeValue time = 0;
    BOOL inMtlEdit = FALSE;
};
