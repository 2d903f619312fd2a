// The host's own object classes: primitives (box, plane, sphere, cylinder), the free camera,
// omni, spot and directional lights and the line shape, each with its parameter block so
// that scene files save them by id. The helpers create them ready to put in a node.
// Main thread only.
#pragma once

#include <vector>

#include "max/camera_light.h"
#include "max/shape_particles.h"

inline constexpr Class_ID kBoxClassID{BOXOBJ_CLASS_ID, 0};
inline constexpr Class_ID kSphereClassID{SPHERE_CLASS_ID, 0};
inline constexpr Class_ID kCylinderClassID{CYLINDER_CLASS_ID, 0};
inline constexpr Class_ID kPlaneClassID = PLANE_CLASS_ID;
inline constexpr Class_ID kFreeCameraClassID{SIMPLE_CAM_CLASS_ID, 0};
inline constexpr Class_ID kOmniLightClassID{OMNI_LIGHT_CLASS_ID, 0};
inline constexpr Class_ID kSpotLightClassID{SPOT_LIGHT_CLASS_ID, 0};
inline constexpr Class_ID kDirLightClassID{DIR_LIGHT_CLASS_ID, 0};
inline constexpr Class_ID kLineShapeClassID{SPLINESHAPE_CLASS_ID, 0};

namespace host {

// Parameter ids of the primitives' blocks (block id 0).
enum { kBoxLength = 0, kBoxWidth = 1, kBoxHeight = 2 };
enum { kSphereRadius = 0, kSphereSegs = 1 };
enum { kCylRadius = 0, kCylHeight = 1, kCylSides = 2 };
enum { kPlaneLength = 0, kPlaneWidth = 1, kPlaneLengthSegs = 2, kPlaneWidthSegs = 3 };
enum { kCamFov = 0, kCamTargetDist = 1, kCamOrtho = 2 };
enum { kLightColor = 0, kLightMultiplier = 1, kLightOn = 2, kLightHotspot = 3, kLightFalloff = 4 };
enum { kLineKnots = 0, kLineClosed = 1 };

// Lengths in scene units; boxes and cylinders stand on z = 0, spheres are centred.
Object* createBox(float length, float width, float height);
Object* createSphere(float radius, int segments = 32);
Object* createCylinder(float radius, float height, int sides = 18);
Object* createPlane(float length, float width, int lengthSegs = 1, int widthSegs = 1);
GenCamera* createFreeCamera(float fovRadians);
GenLight* createLight(LightType type, Color color, float multiplier);
Object* createLine(const std::vector<Point3>& knots, bool closed);

}  // namespace host
