// What the fall shows of itself in a viewport besides its particles: the emitter mesh (the
// volume's box and the icon's lines as degenerate faces, so the wireframe draws them) and
// the icon's hit test, tried before the particles' own.
#include <algorithm>
#include <cmath>

#include "fall/fall_icon.h"
#include "fall/weather_fall.h"
#include "max/graphics_window.h"
#include "max/inode.h"
#include "max/mesh.h"
#include "max/param_block2.h"
#include "max/view_exp.h"

namespace wx {
namespace {

struct VolumeSize {
    float width = 0.0f, length = 0.0f, height = 0.0f;
};

VolumeSize volumeAt(IParamBlock2* pb, TimeValue t, Interval& valid) {
    VolumeSize v;
    pb->GetValue(kFallWidth, t, v.width, valid);
    pb->GetValue(kFallLength, t, v.length, valid);
    pb->GetValue(kFallHeight, t, v.height, valid);
    return v;
}

// Two faces per side of the box sharing a hidden diagonal: the first shows edges a and b,
// the second b and c. Bottom, top, -Y, +Y, -X, +X.
constexpr int kBoxFaces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                                  {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};

Point3 toPoint3(V3 v) {
    return {v.x, v.y, v.z};
}

}  // namespace

// The emitter is valid for as long as the volume's three sizes hold.
void WeatherFall::BuildEmitter(TimeValue t, Mesh& amesh) {
    Interval sizesValid = FOREVER;
    const VolumeSize v = volumeAt(pblock_, t, sizesValid);
    const std::vector<V3> lines = fallIconLines(fallIconScale(v.width, v.length, v.height));
    const int segments = int(lines.size() / 2);
    amesh.setNumVerts(8 + 2 * segments);
    amesh.setNumFaces(12 + segments);
    const float x = v.width / 2.0f, y = v.length / 2.0f;
    for (int k = 0; k < 8; ++k) amesh.setVert(k, (k & 1) ? x : -x, (k & 2) ? y : -y, (k & 4) ? v.height : 0.0f);
    for (int f = 0; f < 12; ++f) {
        amesh.faces[f].setVerts(kBoxFaces[f][0], kBoxFaces[f][1], kBoxFaces[f][2]);
        if (f % 2 == 0)
            amesh.faces[f].setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_INVIS);
        else
            amesh.faces[f].setEdgeVisFlags(EDGE_INVIS, EDGE_VIS, EDGE_VIS);
    }
    for (int k = 0; k < segments; ++k) {
        const int a = 8 + 2 * k, b = 9 + 2 * k;
        amesh.setVert(a, toPoint3(lines[2 * k]));
        amesh.setVert(b, toPoint3(lines[2 * k + 1]));
        Face& face = amesh.faces[12 + k];
        face.setVerts(a, b, b);
        face.setEdgeVisFlags(EDGE_VIS, EDGE_INVIS, EDGE_INVIS);
    }
    amesh.InvalidateGeomCache();
    amesh.InvalidateTopologyCache();
    mvalid = sizesValid;
}

// A click on the icon: lines across the icon's box, in world space, tested one by one
// against the 4-pixel region around the cursor; enough lines that no pixel of the box is
// skipped (at most 400). Otherwise the particles decide.
int WeatherFall::HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) {
    if (!inode || !p || !vpt || !vpt->IsAlive() || !pblock_ || !vpt->getGW())
        return SimpleParticle::HitTest(t, inode, type, crossing, flags, p, vpt);
    Interval ignored = FOREVER;
    const VolumeSize v = volumeAt(pblock_, t, ignored);
    const FallIconBox box = fallIconBox(fallIconScale(v.width, v.length, v.height));
    const Matrix3 worldFromObject = inode->GetObjectTM(t);
    Point3 corners[4] = {
        Point3(box.min.x, box.min.y, 0.0f) * worldFromObject, Point3(box.max.x, box.min.y, 0.0f) * worldFromObject,
        Point3(box.max.x, box.max.y, 0.0f) * worldFromObject, Point3(box.min.x, box.max.y, 0.0f) * worldFromObject};

    GraphicsWindow* gw = vpt->getGW();
    HitRegion region;
    MakeHitRegion(region, type == HITTYPE_BOX ? RECT_RGN : POINT_RGN, crossing, 4, p);
    const DWORD savedLimits = gw->getRndLimits();
    gw->setRndLimits((savedLimits | GW_PICK) & ~GW_ILLUM);
    gw->setTransform(Matrix3(1));
    gw->setHitRegion(&region);
    gw->clearHitCode();

    // Lines from the bottom edge (corners 0-1) to the top edge (3-2), one per three pixels
    // of the box's larger projected extent.
    float sx[4] = {}, sy[4] = {};
    float extent = 0.0f;
    for (int c = 0; c < 4; ++c) gw->worldToScreen(corners[c], sx[c], sy[c]);
    for (int c = 0; c < 4; ++c) {
        const int d = (c + 1) % 4;
        extent = std::max({extent, std::fabs(sx[d] - sx[c]), std::fabs(sy[d] - sy[c])});
    }
    int n = int(extent);
    n = n / 3 < 1 ? 2 : n / 3 + 2;
    n = std::min(n, 400);
    for (int i = 0; i <= n && !gw->checkHitCode(); ++i) {
        const float f = float(i) / float(n);
        Point3 line[2] = {corners[0] + (corners[1] - corners[0]) * f, corners[3] + (corners[2] - corners[3]) * f};
        gw->polyline(2, line, nullptr, 0, nullptr);
    }
    const BOOL hit = gw->checkHitCode();
    gw->setRndLimits(savedLimits);
    return hit ? TRUE : SimpleParticle::HitTest(t, inode, type, crossing, flags, p, vpt);
}

}  // namespace wx
