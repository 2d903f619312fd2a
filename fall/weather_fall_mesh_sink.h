// Where the render-mesh fill (fall/fall_render_mesh.h) writes in the host: straight into a
// Mesh already sized for the whole count, each particle its own block of vertices and
// faces. Safe from any number of threads as long as each writes only its own particle.
#pragma once

#include "fall/fall_render_mesh.h"
#include "max/mesh.h"

namespace wx {

struct HostMeshSink {
    Point3* verts;
    Face* faces;
    DWORD faceFlags;  // material index and edge visibility, the same for every face

    void write(size_t i, const V3* v, const FallMeshTopology& topo) {
        Point3* vd = verts + i * size_t(topo.verts);
        for (int k = 0; k < topo.verts; ++k) vd[k] = Point3(v[k].x, v[k].y, v[k].z);
        Face* fd = faces + i * size_t(topo.faces);
        const DWORD base = DWORD(i * size_t(topo.verts));
        for (int f = 0; f < topo.faces; ++f) {
            fd[f].v[0] = base + topo.corners[f][0];
            fd[f].v[1] = base + topo.corners[f][1];
            fd[f].v[2] = base + topo.corners[f][2];
            fd[f].smGroup = topo.smGroup;
            fd[f].flags = faceFlags;
        }
    }
};

}  // namespace wx
