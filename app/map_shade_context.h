// The shading context of the map commands: camera space is world space, the sample's map
// coordinates come from the caller (a point file's u, v for every channel from 1 up, white
// for vertex colour, alpha and illumination) or from the baked mesh, and the view looks
// along the given direction.
#pragma once

#include "host/sample_shade_context.h"

namespace tweather {

class MapShadeContext : public host::SampleShadeContext {
public:
    bool fixedUv = false;  // UVW answers uv instead of reading the mesh
    Point3 uv;

    Point3 UVW(int channel = 0) override {
        if (!fixedUv) return SampleShadeContext::UVW(channel);
        return channel >= 1 ? Point3(uv.x, uv.y, 0.0f) : Point3(1.0f, 1.0f, 1.0f);
    }

    // One sample at world point p with normal n (unit) seen along view (unit).
    void aim(const Point3& p, const Point3& n, const Point3& view, TimeValue t, INode* at, int face) {
        beginSample();
        time = t;
        node = at;
        faceNumber = face;
        this->p = p;
        normal = origNormal = geomNormal = n;
        this->view = view;
    }
};

}  // namespace tweather
