// The preview renderer's frozen copy of the scene at the render time: render meshes with
// their frames, one world-space triangle soup with a BVH over it, each triangle's mesh,
// face and material, the lights and the camera. Built on the main thread between the
// pre- and post-render notifications; read-only (and so shared by the render threads)
// afterwards.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/preview_renderer.h"
#include "max/camera_light.h"
#include "max/material.h"
#include "max/object.h"
#include "max/render.h"
#include "shelter/bvh.h"

namespace host::preview {

struct RenderMesh {
    INode* node = nullptr;
    Object* evalObject = nullptr;
    std::unique_ptr<Mesh> mesh;  // our own copy, normals built
    Matrix3 worldFromObject, objectFromWorld;
    Matrix3 normalToWorld;  // inverse transpose of worldFromObject's 3x3 part
    Box3 objectBox;
};

struct TriRef {
    int32_t mesh = 0;
    int32_t face = 0;
    int32_t material = 0;  // index into Scene::materials
};

// One resolved (sub-)material: values at the render time and the maps of its slots.
struct Material {
    Point3 diffuse = kPreviewDefaultDiffuse;
    float gloss = 0.0f;       // 0..1 (the material's glossiness percent / 100)
    float bumpAmount = 0.0f;  // fraction (a bump amount of 30% is 0.3)
    int mtlNum = 0;           // the face's material index
    Texmap* diffuseMap = nullptr;
    Texmap* glossMap = nullptr;      // multiplies gloss
    Texmap* specLevelMap = nullptr;  // multiplies the gloss term's strength
    Texmap* bumpMap = nullptr;
    bool hasMaps() const { return diffuseMap || glossMap || specLevelMap || bumpMap; }
};

struct Light {
    LightType type = OMNI_LGT;
    Point3 position;                      // world
    Point3 direction;                     // unit, the way the light travels (spot and directional)
    Point3 color;                         // colour x multiplier
    float cosHot = 1.0f, cosFall = 1.0f;  // cosines of the half cone angles (spot)
};

struct Camera {
    Matrix3 worldFromCamera, cameraFromWorld;  // orthonormal; the camera looks along -Z
    bool ortho = false;
    float tanHalfX = 0.41421356f;  // perspective: tan(horizontal fov / 2)
    float orthoHalfWidth = 1.0f;   // orthographic: half the view width, scene units
    std::wstring name;             // empty for the default view

    Point3 position() const { return worldFromCamera.GetTrans(); }
    Point3 forward() const { return -worldFromCamera.GetRow(2); }
};

struct Scene {
    std::vector<RenderMesh> meshes;
    std::vector<wx::V3> soup;  // three world-space corners per triangle
    std::vector<TriRef> tris;  // per soup triangle
    std::vector<Material> materials;
    std::vector<Light> lights;
    Point3 ambient;  // ambient lights, added to the sky's light
    bool defaultLight = false;
    wx::ShelterBVH bvh;
    Box3 bounds;           // world box of every triangle
    float offset = 1e-4f;  // shadow-ray start offset, scene units
};

// The camera node the settings ask for, or null for the default view. False with a message
// when a named camera is missing or names a node that is not a camera. Reads base objects
// only, so no node is evaluated before the pre-render notification.
bool findCameraNode(const PreviewSettings& settings, INode*& node, std::string& error);
Camera cameraFromNode(INode* node, TimeValue t);
// Looks at the box from above the front-right corner (a three-quarter view), framing it
// in a 45-degree horizontal field of view at this width / height.
Camera defaultCamera(const Box3& bounds, float aspect);

// Evaluates every renderable, visible node at t (hidden lights still light, as in the
// host), resolves materials and builds the BVH. Calls Update on every material and map.
void gatherScene(TimeValue t, View& view, Scene& scene);

}  // namespace host::preview
