// The screen mapping every splat kernel shares, and the two depth kernels: clearDepth
// (one thread per pixel) and sceneRaster (one thread per scene triangle), which writes
// the nearest depth along forward by an atomic minimum on the float's bits. Written once
// for the thread pool and the device (WX_HOSTDEV); plain data and raw pointers only.
#pragma once

#include <cmath>
#include <cstdint>

#include "common/atomics.h"
#include "common/hostdev.h"
#include "common/v3.h"
#include "splat/splat_records.h"

namespace wx {

constexpr float kSplatFarDepth = 3.0e38f;  // bits 0x7F61B1E6: "nothing here"
constexpr float kSplatNearPlane = 0.01f;   // triangles are clipped at this depth
constexpr float kSplatNearPoint = 0.001f;  // points closer than this are not drawn

// A world point on screen: pixel coordinates (centre of pixel (x, y) at (x, y), row 0 on
// top) and its depth along forward.
struct ScreenPoint {
    float x, y, z;
};

WX_HOSTDEV inline ScreenPoint projectToScreen(const CamDev& cam, V3 p) {
    const V3 d = p - cam.pos;
    const float z = dot(cam.forward, d);
    ScreenPoint s;
    s.x = (dot(cam.right, d) / (cam.tanHalfX * z) * 0.5f + 0.5f) * float(cam.width) - 0.5f;
    s.y = (0.5f - dot(cam.up, d) / (cam.tanHalfY * z) * 0.5f) * float(cam.height) - 0.5f;
    s.z = z;
    return s;
}

WX_HOSTDEV inline void clearDepth(float* depth, long long n, long long i) {
    if (i >= n) return;
    depth[i] = kSplatFarDepth;
}

namespace splatdetail {

// One triangle of the clipped polygon into the depth buffer, perspective-correct.
WX_HOSTDEV inline void rasterTriangle(const ScreenPoint& p0, const ScreenPoint& p1, const ScreenPoint& p2, float w0,
                                      float w1, float w2, const CamDev& cam, float* depth) {
    const float area = (p1.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (p1.y - p0.y);
    if (!(fabsf(area) >= 1e-12f)) return;  // NaN too
    const float minX = minf(p0.x, minf(p1.x, p2.x)), maxX = maxf(p0.x, maxf(p1.x, p2.x));
    const float minY = minf(p0.y, minf(p1.y, p2.y)), maxY = maxf(p0.y, maxf(p1.y, p2.y));
    const float lastX = float(cam.width - 1), lastY = float(cam.height - 1);
    // Bounds are limited in float before any conversion, so a huge or NaN corner cannot
    // reach an integer cast.
    const float x0f = maxf(0.0f, floorf(minX)), x1f = minf(lastX, ceilf(maxX));
    const float y0f = maxf(0.0f, floorf(minY)), y1f = minf(lastY, ceilf(maxY));
    if (!(x0f <= x1f) || !(y0f <= y1f)) return;
    const int x0 = int(x0f), x1 = int(x1f), y0 = int(y0f), y1 = int(y1f);
    const float inv = 1.0f / area;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float px = float(x), py = float(y);
            // Signed sub-areas over the whole area: the same sign for either winding.
            const float b0 = ((p1.x - px) * (p2.y - py) - (p2.x - px) * (p1.y - py)) * inv;
            const float b1 = ((p2.x - px) * (p0.y - py) - (p0.x - px) * (p2.y - py)) * inv;
            const float b2 = ((p0.x - px) * (p1.y - py) - (p1.x - px) * (p0.y - py)) * inv;
            if (b0 < 0.0f || b1 < 0.0f || b2 < 0.0f) continue;
            const float z = 1.0f / (b0 * w0 + b1 * w1 + b2 * w2);
            atomicMinFloatBits(&depth[size_t(y) * size_t(cam.width) + size_t(x)], z);
        }
    }
}

}  // namespace splatdetail

// Triangle i of tris (9 floats each) into the depth buffer: clipped at the near plane to
// three or four corners, drawn as one or two triangles.
WX_HOSTDEV inline void sceneRaster(const float* tris, long long triCount, const CamDev& cam, float* depth,
                                   long long i) {
    if (i >= triCount) return;
    const float* t = tris + 9 * i;
    const V3 v[3] = {{t[0], t[1], t[2]}, {t[3], t[4], t[5]}, {t[6], t[7], t[8]}};
    float z[3];
    for (int k = 0; k < 3; ++k) z[k] = dot(cam.forward, v[k] - cam.pos);
    if (z[0] < kSplatNearPlane && z[1] < kSplatNearPlane && z[2] < kSplatNearPlane) return;

    // Sutherland-Hodgman against z >= 0.01 over the edges 0-1, 1-2, 2-0.
    V3 poly[4];
    int n = 0;
    for (int k = 0; k < 3; ++k) {
        const int j = k == 2 ? 0 : k + 1;
        const bool inK = z[k] >= kSplatNearPlane, inJ = z[j] >= kSplatNearPlane;
        if (inK && n < 4) poly[n++] = v[k];
        if (inK != inJ && n < 4) {
            const float s = (kSplatNearPlane - z[k]) / (z[j] - z[k]);
            poly[n++] = v[k] + (v[j] - v[k]) * s;
        }
    }
    if (n < 3) return;

    ScreenPoint sp[4];
    float w[4];
    for (int k = 0; k < n; ++k) {
        ScreenPoint s = projectToScreen(cam, poly[k]);
        if (s.z < kSplatNearPoint) s = projectToScreen(cam, poly[k] + cam.forward * kSplatNearPoint);
        sp[k] = s;
        w[k] = 1.0f / maxf(s.z, kSplatNearPlane);
    }
    splatdetail::rasterTriangle(sp[0], sp[1], sp[2], w[0], w[1], w[2], cam, depth);
    if (n == 4) splatdetail::rasterTriangle(sp[0], sp[2], sp[3], w[0], w[2], w[3], cam, depth);
}

}  // namespace wx
