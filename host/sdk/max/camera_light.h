// Cameras (super class 32) and lights (super class 48) as plug-ins read them: GenCamera with
// EvalCameraState (horizontal field of view in radians) and GenLight with EvalLightState
// (type, colour, intensity multiplier, on/off, hotspot and falloff in degrees). Their
// settings live in parameter blocks, so scenes save them like any plug-in. Main thread only.
#pragma once

#include "max/object.h"

struct CameraState {
    BOOL isOrtho = FALSE;
    float fov = 0.785398f;  // horizontal, radians
    float tdist = 160.0f;   // target distance, scene units
    BOOL manualClip = FALSE;
    float hither = 1.0f, yon = 1000.0f;
};

class CameraObject : public Object {
public:
    SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
    virtual RefResult EvalCameraState(TimeValue t, Interval& valid, CameraState* cs) = 0;
};

class GenCamera : public CameraObject {
public:
    virtual float GetFOV(TimeValue t, Interval& valid) = 0;
    virtual void SetFOV(TimeValue t, float radians) = 0;
    virtual void SetOrtho(BOOL on) = 0;
    virtual BOOL IsOrtho() = 0;
};

enum LightType { OMNI_LGT = 0, SPOT_LGT = 1, DIRECT_LGT = 2, AMBIENT_LGT = 3 };

struct LightState {
    LightType type = OMNI_LGT;
    Matrix3 tm;
    Color color{1.0f, 1.0f, 1.0f};
    float intens = 1.0f;
    float hotsize = 43.0f;  // degrees
    float fallsize = 45.0f;
    int on = TRUE;
};

class LightObject : public Object {
public:
    SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
    virtual RefResult EvalLightState(TimeValue t, Interval& valid, LightState* ls) = 0;
};

class GenLight : public LightObject {
public:
    virtual int Type() = 0;
    virtual Point3 GetRGBColor(TimeValue t, Interval& valid) = 0;
    virtual void SetRGBColor(TimeValue t, Point3& rgb) = 0;
    virtual float GetIntensity(TimeValue t, Interval& valid) = 0;
    virtual void SetIntensity(TimeValue t, float f) = 0;
    virtual BOOL GetUseLight() = 0;
    virtual void SetUseLight(int onOff) = 0;
};
