// The fall as geometry for any renderer: every particle becomes a small closed solid in
// the object's space, a three-sided spindle for a rain drop and a flattened octahedron for
// a snow flake or sand grain. Particle i owns a fixed block of vertices and faces, so the
// whole mesh is sized once and filled in one pass, each particle writing only its own
// block: the same bytes on any number of threads. A particle at fade 0 keeps its faces,
// shrunk to one point. No host types: the caller's Sink writes into its own mesh.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/parallel_for.h"
#include "fall/fall_field_fast.h"
#include "fall/tornado_drift.h"

namespace wx {

// Hash channels of a flake's orientation (the particle field's key scheme).
constexpr uint32_t kFallChannelAxisX = 0x9AFACE12u;
constexpr uint32_t kFallChannelAxisY = 0x5DAD7C47u;
constexpr uint32_t kFallChannelAxisZ = 0x20602A7Cu;
constexpr uint32_t kFallChannelSpin = 0xA5C586E6u;   // tumble rate, 1 to 4 rad/s
constexpr uint32_t kFallChannelAngle = 0xE312D8B1u;  // starting angle about the axis

// One particle's share of the mesh: its vertex count, face count, the corners of each
// face (numbered within the particle, wound outward) and the faces' smoothing group.
struct FallMeshTopology {
    int verts;
    int faces;
    const uint8_t (*corners)[3];
    uint32_t smGroup;
};

// Vertex 0 the head, 1 the tail, 2 to 4 the ring a quarter of the way back.
inline constexpr uint8_t kFallDropCorners[6][3] = {{0, 2, 3}, {0, 3, 4}, {0, 4, 2}, {1, 3, 2}, {1, 4, 3}, {1, 2, 4}};
// Vertices 0/1 on +-X, 2/3 on +-Y, 4/5 the flat tips on +-Z of the flake's own frame.
inline constexpr uint8_t kFallFlakeCorners[8][3] = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                                    {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
constexpr int kFallMaxMeshVerts = 6;

// Rain (type 1) is a drop, smooth (group 1); snow and sand a faceted flake (group 0).
inline FallMeshTopology fallMeshTopology(int type) {
    if (type == kFallRain) return {5, 6, kFallDropCorners, 1u};
    return {6, 8, kFallFlakeCorners, 0u};
}

// A rain drop from its object-space state: a streak of `streak` seconds of motion but at
// least two sizes long, `dropWidth` across, both scaled by the fade.
inline void fallDropVertices(const FallParticle& s, float streak, float dropWidth, V3 out[5]) {
    const float e = length(s.vel);
    const V3 d = s.vel / maxf(e, 1e-6f);
    const float len = maxf(e * streak, 2.0f * s.size) * s.fade;
    // Near vertical the side vector is X; otherwise Z (|d.z| < 0.9: beyond about 26 degrees).
    const V3 a = fabsf(d.z) < 0.9f ? V3{0.0f, 0.0f, 1.0f} : V3{1.0f, 0.0f, 0.0f};
    const V3 b1 = normalize(cross(d, a));
    const V3 b2 = cross(d, b1);
    const V3 c = s.pos - 0.25f * len * d;
    const float radius = 0.5f * dropWidth * s.fade;
    out[0] = s.pos;
    out[1] = s.pos - len * d;
    // Ring angles 0, 120 and 240 degrees.
    constexpr float kSin[3] = {0.0f, 0.866025404f, -0.866025404f};
    constexpr float kCos[3] = {1.0f, -0.5f, -0.5f};
    for (int j = 0; j < 3; ++j) out[2 + j] = c + (kSin[j] * b2 + kCos[j] * b1) * radius;
}

// World states (the field's output) back to object space through objectFromWorld and
// into drops, a register at a time: the same bits as fallPointToObject,
// fallVectorToObject and fallDropVertices one by one.
void fallDropVerticesBatch(const FallParticle* world, size_t count, const FallMatrix& objectFromWorld, float streak,
                           float dropWidth, V3 (*out)[5], FallSimd level = fallSimdBest());

// The columns of the right-handed rotation by angle (cosine c, sine s) about the unit axis
// k (Rodrigues: c I + s [k]x + (1 - c) k k^T): where the flake's own X, Y and Z go.
struct FallRotationColumns {
    V3 x, y, z;
};
inline FallRotationColumns fallRotationColumns(V3 k, float c, float s) {
    const float t = 1.0f - c;
    return {{c + t * k.x * k.x, t * k.x * k.y + s * k.z, t * k.x * k.z - s * k.y},
            {t * k.x * k.y - s * k.z, c + t * k.y * k.y, t * k.y * k.z + s * k.x},
            {t * k.x * k.z + s * k.y, t * k.y * k.z - s * k.x, c + t * k.z * k.z}};
}

// A flake's frame: where its own X, Y and Z go, about its random axis, turned further
// over time when it tumbles (the libm sine and cosine: the reference).
inline FallRotationColumns fallFlakeColumns(const FallParams& p, uint64_t index, bool tumble, float seconds) {
    const V3 axis = normalize(V3{fallUnit(p.seedKey, index, kFallChannelAxisX) - 0.5f,
                                 fallUnit(p.seedKey, index, kFallChannelAxisY) - 0.5f,
                                 fallUnit(p.seedKey, index, kFallChannelAxisZ) - 0.5f + 0.001f});
    const float spin = tumble ? (1.0f + 3.0f * fallUnit(p.seedKey, index, kFallChannelSpin)) * seconds : 0.0f;
    const float angle = kFallTwoPi * fallUnit(p.seedKey, index, kFallChannelAngle) + spin;
    return fallRotationColumns(axis, cosf(angle), sinf(angle));
}

// The frames of particles first .. first + count - 1 a register at a time, with the float
// sine and cosine (within a few units in the last place of fallFlakeColumns).
void fallFlakeColumnsBatch(const FallParams& p, uint64_t first, size_t count, bool tumble, float seconds,
                           FallRotationColumns* out, FallSimd level = fallSimdBest());

// A flake or grain from its object-space state and frame: half-size 0.5 x size x fade
// across, 0.3 of that thick.
inline void fallFlakeVertices(const FallParticle& s, const FallRotationColumns& r, V3 out[6]) {
    const float h = 0.5f * s.size * s.fade;
    const V3 ex = r.x * h, ey = r.y * h, ez = r.z * (0.3f * h);
    out[0] = s.pos + ex;
    out[1] = s.pos - ex;
    out[2] = s.pos + ey;
    out[3] = s.pos - ey;
    out[4] = s.pos + ez;
    out[5] = s.pos - ez;
}

inline void fallFlakeVertices(const FallParams& p, uint64_t index, const FallParticle& s, bool tumble, float seconds,
                              V3 out[6]) {
    fallFlakeVertices(s, fallFlakeColumns(p, index, tumble, seconds), out);
}

// What one fill needs besides the snapshot: the time, the node's object-to-world matrix
// (identity without a node), the tornado wind (inactive without one) and `tumble`.
struct FallMeshInputs {
    float seconds = 0.0f;
    FallMatrix worldFromObject;
    TornadoDriftWind wind{};
    bool tumble = true;
};

// The inverse of an object-to-world matrix (a singular one gives the identity's rows, so
// that a flattened node still yields finite points).
FallMatrix fallObjectFromWorld(const FallMatrix& worldFromObject);

// A world point or direction back to object space through objectFromWorld.
inline V3 fallPointToObject(V3 w, const FallMatrix& m) {
    return {w.x * m.r0.x + w.y * m.r1.x + w.z * m.r2.x + m.t.x, w.x * m.r0.y + w.y * m.r1.y + w.z * m.r2.y + m.t.y,
            w.x * m.r0.z + w.y * m.r1.z + w.z * m.r2.z + m.t.z};
}
inline V3 fallVectorToObject(V3 w, const FallMatrix& m) {
    return {w.x * m.r0.x + w.y * m.r1.x + w.z * m.r2.x, w.x * m.r0.y + w.y * m.r1.y + w.z * m.r2.y,
            w.x * m.r0.z + w.y * m.r1.z + w.z * m.r2.z};
}

// Fills particles 0 .. p.count - 1 on the thread pool, sixteen per task. The particle's
// world state (the bulk field, with tornado drift where a wind is active) goes
// back to object space, becomes a drop or a flake, and is handed to
//   sink.write(size_t i, const V3* verts, const FallMeshTopology& topo)
// which must write only particle i's block. Throws what parallelFor throws.
template <class Sink>
void fillFallMesh(const FallParams& p, const FallMeshInputs& in, Sink& sink) {
    const size_t count = p.count > 0 ? size_t(p.count) : 0;
    const FallMeshTopology topo = fallMeshTopology(p.type);
    const FallMatrix objectFromWorld = fallObjectFromWorld(in.worldFromObject);
    const bool drifting = in.wind.active();
    const size_t groups = (count + kFallGroup - 1) / kFallGroup;
    // Drifting particles cost a hundred times more: threads for far fewer of them.
    const ParallelGrain grain = drifting ? ParallelGrain{64, 4} : ParallelGrain{};
    parallelFor(
        groups,
        [&](size_t g) {
            const size_t first = g * kFallGroup;
            const size_t n = count - first < kFallGroup ? count - first : kFallGroup;
            FallParticle batch[kFallGroup];
            FallRotationColumns frames[kFallGroup];
            if (p.type != kFallRain) fallFlakeColumnsBatch(p, first, n, in.tumble, in.seconds, frames);
            if (drifting)
                fallWorldDriftBatch(p, first, n, in.seconds, in.worldFromObject, in.wind.wind, batch);
            else
                fallWorldBatch(p, first, n, in.seconds, in.worldFromObject, batch);
            if (p.type == kFallRain) {
                V3 drops[kFallGroup][5];
                fallDropVerticesBatch(batch, n, objectFromWorld, p.streak, p.dropWidth, drops);
                for (size_t k = 0; k < n; ++k) sink.write(first + k, drops[k], topo);
                return;
            }
            V3 verts[kFallMaxMeshVerts];
            for (size_t k = 0; k < n; ++k) {
                FallParticle s = batch[k];
                s.pos = fallPointToObject(s.pos, objectFromWorld);
                s.vel = fallVectorToObject(s.vel, objectFromWorld);
                fallFlakeVertices(s, frames[k], verts);
                sink.write(first + k, verts, topo);
            }
        },
        grain);
}

}  // namespace wx
