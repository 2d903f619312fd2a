#include "weathermap/map_cpu.h"

#include <cmath>

#include "shelter/sky_cpu.h"
#include "shelter/sky_visibility.h"
#include "weathermap/map_eval.h"

namespace wx {

namespace {

// Whether the cone of probeConeClear may meet the box [lo, hi].
struct ProbeCone {
    V3 origin;
    float reach;       // the cone's widening per unit of height
    float originSize;  // 1 + the origin's largest coordinate

    bool mayMeet(V3 lo, V3 hi) const {
        // About 30 units in the last place of the largest coordinate in play: a triangle
        // test that reports a hit has the ray pass within a few of them of the triangle.
        const float size = maxf(originSize, maxf(maxf(fabsf(lo.x), fabsf(hi.x)),
                                                 maxf(maxf(fabsf(lo.y), fabsf(hi.y)), maxf(fabsf(lo.z), fabsf(hi.z)))));
        const float margin = 2e-6f * size;
        const float rise = hi.z - origin.z;
        if (!(rise > -margin)) return false;  // wholly below the origin
        const float dx = maxf(0.0f, maxf(lo.x - origin.x, origin.x - hi.x));
        const float dy = maxf(0.0f, maxf(lo.y - origin.y, origin.y - hi.y));
        return !(sqrtf(dx * dx + dy * dy) > reach * maxf(rise, 0.0f) + margin);  // not beside the cone
    }
};

// Whether the cone may meet one of the leaf's triangles, each bounded by its own corners.
bool leafMayMeet(const WideBVH& wide, int32_t firstBlock, int32_t triangles, const ProbeCone& cone) {
    for (int32_t b = 0; b * 4 < triangles; ++b) {
        const TriBlock& block = wide.blocks[size_t(firstBlock + b)];
        for (int lane = 0; lane < 4; ++lane) {
            if (wide.laneTri[4 * size_t(firstBlock + b) + size_t(lane)] < 0) continue;
            const V3 p0{block.p0[0][lane], block.p0[1][lane], block.p0[2][lane]};
            const V3 p1 = p0 + V3{block.e1[0][lane], block.e1[1][lane], block.e1[2][lane]};
            const V3 p2 = p0 + V3{block.e2[0][lane], block.e2[1][lane], block.e2[2][lane]};
            if (cone.mayMeet(vmin(vmin(p0, p1), p2), vmax(vmax(p0, p1), p2))) return true;
        }
    }
    return false;
}

}  // namespace

bool probeConeClear(const WideBVH& wide, V3 origin) {
    if (wide.empty()) return true;
    const ProbeCone cone{origin, tanf(kProbeConeCheck),
                         1.0f + maxf(fabsf(origin.x), maxf(fabsf(origin.y), fabsf(origin.z)))};
    constexpr int kStack = 256;
    int32_t stack[kStack];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const WideNode& node = wide.nodes[size_t(stack[--top])];
        for (int slot = 0; slot < kWideSlots; ++slot) {
            if (!((node.liveSlots >> slot) & 1)) continue;
            const V3 lo{node.bmin[0][slot], node.bmin[1][slot], node.bmin[2][slot]};
            const V3 hi{node.bmax[0][slot], node.bmax[1][slot], node.bmax[2][slot]};
            if (!cone.mayMeet(lo, hi)) continue;
            if (node.count[slot] > 0) {
                if (leafMayMeet(wide, node.child[slot], node.count[slot], cone)) return false;
            } else if (top == kStack) {
                return false;  // too deep to follow: trace instead
            } else {
                stack[top++] = node.child[slot];
            }
        }
    }
    return true;
}

float wetProbeOpen(const WideTracer& tracer, V3 p, V3 n, uint32_t index) {
    const SkyParams params = wetProbeParams();
    // Rays lean at most 0.35 from up, so with n.z >= 0.5 none points into the surface
    // and all eight are cast: if none can meet anything, the open fraction is 8 / 8.
    if (n.z >= 0.5f && probeConeClear(*tracer.wide, skyRayOrigin(params, p, n))) return 1.0f;
    return skyVisibilityFans(*tracer.wide, p, n, index, params).open;
}

float mapMonoCpu(const MapState& state, const MapSample& sample, const ShelterBVH* shelter) {
    if (shelter == nullptr || shelter->tris.empty()) return mapMonoUnprobed(state, sample);
    if (shelter->wide && !shelter->wide->empty()) {
        const WideTracer tracer{shelter->wide.get()};
        return mapMonoWith(state, sample, &tracer);
    }
    const BinaryTracer tracer{shelter->view()};
    return mapMonoWith(state, sample, &tracer);
}

}  // namespace wx
