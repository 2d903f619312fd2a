#include "fall/fall_render_mesh.h"

#include <cmath>

namespace wx {

// Cofactors in double precision: a node scaled to centimetres of a kilometre-wide town
// keeps its points to the float's last place or so.
FallMatrix fallObjectFromWorld(const FallMatrix& w) {
    const double a[3][3] = {{w.r0.x, w.r0.y, w.r0.z}, {w.r1.x, w.r1.y, w.r1.z}, {w.r2.x, w.r2.y, w.r2.z}};
    double inv[3][3];
    inv[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    inv[0][1] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    inv[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    inv[1][0] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    inv[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    inv[1][2] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    inv[2][0] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    inv[2][1] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    inv[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    const double det = a[0][0] * inv[0][0] + a[0][1] * inv[1][0] + a[0][2] * inv[2][0];
    if (!std::isfinite(det) || std::fabs(det) < 1e-30) return FallMatrix{};
    FallMatrix out;
    V3* rows[3] = {&out.r0, &out.r1, &out.r2};
    for (int r = 0; r < 3; ++r) *rows[r] = {float(inv[r][0] / det), float(inv[r][1] / det), float(inv[r][2] / det)};
    // Translation: -T times the inverse rotation-scale part.
    const double t[3] = {w.t.x, w.t.y, w.t.z};
    double ti[3];
    for (int c = 0; c < 3; ++c) ti[c] = -(t[0] * inv[0][c] + t[1] * inv[1][c] + t[2] * inv[2][c]) / det;
    out.t = {float(ti[0]), float(ti[1]), float(ti[2])};
    return out;
}

}  // namespace wx
