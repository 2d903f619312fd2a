#include "preview_shade.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "shelter/wide_bvh.h"

namespace host::preview {

namespace {

constexpr float kNoHit = std::numeric_limits<float>::max();

Point3 toPoint(wx::V3 v) {
    return {v.x, v.y, v.z};
}
wx::V3 toV3(const Point3& p) {
    return {p.x, p.y, p.z};
}

// The face's interpolated vertex normal (specified normals first), in world space.
Point3 smoothNormal(const RenderMesh& rm, int face, const Point3& bary) {
    Mesh& mesh = *rm.mesh;
    MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    const bool useSpec = spec && spec->GetNumFaces() == mesh.getNumFaces() && spec->GetNumNormals() > 0;
    Point3 n;
    for (int k = 0; k < 3; ++k) {
        Point3 corner;
        int id = useSpec ? spec->Face(face).GetNormalID(k) : -1;
        if (id >= 0 && id < spec->GetNumNormals())
            corner = spec->Normal(id);
        else
            corner = mesh.getNormal(face, k);
        n += corner * bary[k];
    }
    return rm.normalToWorld.VectorTransform(n).Normalize();
}

// Gloss 0..1 to the Blinn term: strength grows with the square and the highlight tightens
// from an exponent of 3 (matte) to 1026 (glossy, wet).
float glossStrength(float gloss) {
    return gloss * gloss;
}
float glossExponent(float gloss) {
    return 2.0f + std::exp2(10.0f * gloss);
}

struct Surface {
    Point3 position;  // world
    Point3 normal;    // shading normal, world, unit, facing the viewer
    Point3 geomNormal;
    Point3 diffuse;
    float gloss = 0.0f;
    float glossStrengthFactor = 1.0f;
    float mirror = 0.0f;  // the square of a mapped gloss (0 when the gloss is not mapped)
};

// A surface whose glossiness comes from a map (a wet mask, say) is read as wet by that gloss
// g: the water film darkens what it covers (its light times 1 - g^2 / 2) and mirrors the sky,
// strongly only where the film is deep and smooth (g^4, times the specular level, so that a
// puddle mask there picks the puddles), more at grazing angles (Schlick's Fresnel term with
// the 2% of water seen head on).
Point3 mirrorSky(const Surface& s, const Point3& viewDir, const Point3& lit) {
    const float g2 = s.mirror;
    const float c = std::clamp(-(s.normal % viewDir), 0.0f, 1.0f);
    const float fresnel = 0.02f + 0.98f * std::pow(1.0f - c, 5.0f);
    const float k = std::clamp(g2 * g2 * s.glossStrengthFactor * (0.3f + 0.7f * fresnel), 0.0f, 1.0f);
    const Point3 reflected = viewDir - s.normal * (2.0f * (s.normal % viewDir));
    return lit * ((1.0f - 0.5f * g2) * (1.0f - k)) + previewSkyColor(reflected) * k;
}

Point3 lightSurface(const Scene& scene, const Surface& s, const Point3& viewDir) {
    Point3 out = s.diffuse * (previewSkyAmbient(s.normal) + scene.ambient);
    const float strength = glossStrength(s.gloss) * s.glossStrengthFactor;
    const float exponent = glossExponent(s.gloss);
    const wx::V3 origin = toV3(s.position + s.geomNormal * scene.offset);
    for (const Light& light : scene.lights) {
        Point3 toLight;
        float distance = kNoHit;
        float cone = 1.0f;
        if (light.type == DIRECT_LGT) {
            toLight = -light.direction;
        } else {
            toLight = light.position - s.position;
            distance = toLight.Length();
            if (!(distance > scene.offset)) continue;
            toLight /= distance;
            if (light.type == SPOT_LGT) {
                float c = -(toLight % light.direction);
                if (c <= light.cosFall) continue;
                if (c < light.cosHot) {
                    float x = (c - light.cosFall) / std::max(light.cosHot - light.cosFall, 1e-6f);
                    cone = x * x * (3.0f - 2.0f * x);
                }
            }
            distance -= 2.0f * scene.offset;
        }
        const float nl = s.normal % toLight;
        if (nl <= 0.0f || (s.geomNormal % toLight) <= 0.0f) continue;
        if (scene.bvh.wide && wx::occludedWide(*scene.bvh.wide, origin, toV3(toLight), distance)) continue;
        const Point3 radiance = light.color * cone;
        out += s.diffuse * radiance * nl;
        if (strength > 0.0f) {
            const Point3 half = (toLight - viewDir).Normalize();
            out += radiance * (strength * std::pow(std::max(0.0f, s.normal % half), exponent));
        }
    }
    return out;
}

void fillContext(SampleShadeContext& sc, const Camera& camera, const RenderMesh& rm, const TriRef& ref,
                 const Material& mat, const Surface& s, const Sample& sample, const Point3& bary, bool backFace,
                 float distance, int width, int height, TimeValue t, RenderGlobalContext* globals) {
    sc.beginSample();
    sc.worldFromCamera = camera.worldFromCamera;
    sc.cameraFromWorld = camera.cameraFromWorld;
    sc.worldFromObject = rm.worldFromObject;
    sc.objectFromWorld = rm.objectFromWorld;
    sc.perspective = !camera.ortho;
    sc.time = t;
    sc.node = rm.node;
    sc.evalObject = rm.evalObject;
    sc.nodeId = ref.mesh;
    sc.faceNumber = ref.face;
    sc.mesh = rm.mesh.get();
    sc.bary = bary;
    sc.objectBox = rm.objectBox;
    sc.mtlNum = mat.mtlNum;
    sc.backFace = backFace ? TRUE : FALSE;
    sc.globContext = globals;
    sc.p = s.position * camera.cameraFromWorld;
    sc.normal = sc.origNormal = camera.cameraFromWorld.VectorTransform(s.normal);
    sc.geomNormal = camera.cameraFromWorld.VectorTransform(s.geomNormal);
    sc.view = camera.cameraFromWorld.VectorTransform(sample.dir);
    const float footprint =
        camera.ortho ? 2.0f * camera.orthoHalfWidth / float(width) : distance * 2.0f * camera.tanHalfX / float(width);
    sc.dp = Point3(footprint, footprint, footprint);
    sc.screenUv = Point2(sample.pixelX / float(width), sample.pixelY / float(height));
    sc.screenDuv = Point2(1.0f / float(width), 1.0f / float(height));
    sc.screenCoord = IPoint2{int(sample.pixelX), int(sample.pixelY)};
}

}  // namespace

Point3 shadeSample(const Scene& scene, const Camera& camera, const Sample& sample, int width, int height, TimeValue t,
                   RenderGlobalContext* globals, SampleShadeContext& sc, float& distance) {
    const wx::V3 o = toV3(sample.origin), d = toV3(sample.dir);
    const wx::RayHit hit = scene.bvh.collapsed ? wx::castRayWideHit(*scene.bvh.collapsed, o, d, kNoHit)
                                          : wx::castRayHit(scene.bvh.view(), o, d, kNoHit);
    if (hit.tri < 0) {
        distance = std::numeric_limits<float>::infinity();
        return previewSkyColor(sample.dir);
    }
    distance = hit.t;
    const int32_t source = scene.bvh.source[size_t(hit.tri)];
    const TriRef& ref = scene.tris[size_t(source)];
    const RenderMesh& rm = scene.meshes[size_t(ref.mesh)];
    const Material& mat = scene.materials[size_t(ref.material)];

    // Barycentric coordinates of the hit on the world-space triangle (Moller-Trumbore).
    const wx::V3 p0 = scene.soup[3 * size_t(source)];
    const wx::V3 e1 = scene.soup[3 * size_t(source) + 1] - p0, e2 = scene.soup[3 * size_t(source) + 2] - p0;
    const wx::V3 pv = wx::cross(d, e2);
    const float det = wx::dot(e1, pv);
    const wx::V3 so = o - p0;
    const float u = wx::dot(so, pv) / det, v = wx::dot(d, wx::cross(so, e1)) / det;
    const Point3 bary(1.0f - u - v, u, v);

    Surface s;
    s.position = sample.origin + sample.dir * hit.t;
    s.geomNormal = toPoint(wx::normalize(wx::cross(e1, e2)));
    const bool backFace = (s.geomNormal % sample.dir) > 0.0f;
    if (backFace) s.geomNormal = -s.geomNormal;
    s.normal = smoothNormal(rm, ref.face, bary);
    if (backFace) s.normal = -s.normal;
    if (!((s.normal % sample.dir) < 0.0f)) s.normal = s.geomNormal;  // grazing or degenerate
    s.diffuse = mat.diffuse;
    s.gloss = mat.gloss;

    if (mat.hasMaps()) {
        fillContext(sc, camera, rm, ref, mat, s, sample, bary, backFace, hit.t, width, height, t, globals);
        if (mat.bumpMap && mat.bumpAmount != 0.0f) {
            const Point3 n = (sc.normal + mat.bumpMap->EvalNormalPerturb(sc) * mat.bumpAmount).Normalize();
            if ((n % sc.view) < 0.0f) {
                sc.SetNormal(n);
                s.normal = camera.worldFromCamera.VectorTransform(n);
            }
        }
        if (mat.diffuseMap) {
            const AColor c = mat.diffuseMap->EvalColor(sc);
            s.diffuse = Point3(c.r, c.g, c.b);
        }
        if (mat.glossMap) {
            s.gloss *= std::clamp(mat.glossMap->EvalMono(sc), 0.0f, 1.0f);
            s.mirror = s.gloss * s.gloss;
        }
        if (mat.specLevelMap) s.glossStrengthFactor = std::max(0.0f, mat.specLevelMap->EvalMono(sc));
    }
    const Point3 lit = lightSurface(scene, s, sample.dir);
    return s.mirror > 0.0f ? mirrorSky(s, sample.dir, lit) : lit;
}

}  // namespace host::preview

namespace host {

Point3 previewSkyColor(const Point3& dir) {
    constexpr Point3 kZenith{0.20f, 0.36f, 0.70f}, kHorizon{0.68f, 0.76f, 0.86f}, kGround{0.28f, 0.26f, 0.24f};
    if (dir.z >= 0.0f) return kHorizon + (kZenith - kHorizon) * std::sqrt(std::min(dir.z, 1.0f));
    return kHorizon + (kGround - kHorizon) * std::min(1.0f, -2.0f * dir.z);
}

Point3 previewSkyAmbient(const Point3& normal) {
    constexpr Point3 kFromAbove{0.22f, 0.27f, 0.36f}, kFromBelow{0.07f, 0.065f, 0.06f};
    return kFromBelow + (kFromAbove - kFromBelow) * std::clamp(0.5f + 0.5f * normal.z, 0.0f, 1.0f);
}

}  // namespace host
