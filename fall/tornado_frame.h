// TornadoFrame: one moment of the tornado as the Tarnwick Tornado plug-in writes it into a
// wind file, 35 little-endian four-byte values (140 bytes), floats except `spin` and
// `satellites`. Lengths in metres, speeds in metres per second, times in seconds. Plain
// data: the reader fills an array of it straight from the file, and the same array can be
// copied to the device as it is.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wx {

struct TornadoFrame {
    float centreX;  // funnel centre at the ground
    float centreY;
    float groundZ;  // height of the ground
    float driftX;   // the storm's translation velocity
    float driftY;
    float cloudBase;  // cloud base above the ground: the funnel's height
    float leanX;      // the funnel's horizontal offset at the cloud base
    float leanY;
    float leanPower;     // exponent of the lean curve
    float wobble;        // amplitude of the funnel's wobble
    float wobbleFreq;    // per second
    float peakSpeed;     // peak tangential wind speed
    float coreRadius;    // core radius at the ground
    float coreGrowth;    // growth of the core radius with height
    float profileInner;  // inner exponent a of the tangential profile
    float profileOuter;  // outer exponent b of the tangential profile
    int32_t spin;        // negative turns clockwise (-1), anything else counter-clockwise (+1)
    float inflow;        // radial inflow strength
    float inflowDepth;   // depth of the inflow layer
    float updraft;       // updraft strength
    float updraftWidth;  // updraft radius as a multiple of the core radius
    float downdraft;     // central downdraft as a fraction of the updraft
    int32_t satellites;  // satellite vortices (at most 8 are used, spaced as for all of them)
    float satelliteSpeed;
    float satelliteCore;   // satellite core radius as a multiple of the core radius
    float satelliteOrbit;  // orbit radius as a multiple of the core radius
    float unused104[5];    // the tornado plug-in's own values; never read here
    float parentSpeed;     // strength of the parent circulation
    float parentRadius;    // radius of the parent circulation
    float time;            // the frame's time
    float unused136;       // the tornado plug-in's own value; never read here
};

inline constexpr std::size_t kTornadoFrameBytes = 140;

static_assert(sizeof(TornadoFrame) == kTornadoFrameBytes, "a wind file frame is 35 four-byte values");
static_assert(sizeof(float) == 4 && sizeof(int32_t) == 4);
static_assert(offsetof(TornadoFrame, centreX) == 0);
static_assert(offsetof(TornadoFrame, groundZ) == 8);
static_assert(offsetof(TornadoFrame, driftX) == 12);
static_assert(offsetof(TornadoFrame, cloudBase) == 20);
static_assert(offsetof(TornadoFrame, leanPower) == 32);
static_assert(offsetof(TornadoFrame, wobble) == 36);
static_assert(offsetof(TornadoFrame, peakSpeed) == 44);
static_assert(offsetof(TornadoFrame, coreRadius) == 48);
static_assert(offsetof(TornadoFrame, profileInner) == 56);
static_assert(offsetof(TornadoFrame, profileOuter) == 60);
static_assert(offsetof(TornadoFrame, spin) == 64);
static_assert(offsetof(TornadoFrame, inflow) == 68);
static_assert(offsetof(TornadoFrame, updraft) == 76);
static_assert(offsetof(TornadoFrame, downdraft) == 84);
static_assert(offsetof(TornadoFrame, satellites) == 88);
static_assert(offsetof(TornadoFrame, satelliteSpeed) == 92);
static_assert(offsetof(TornadoFrame, satelliteOrbit) == 100);
static_assert(offsetof(TornadoFrame, unused104) == 104);
static_assert(offsetof(TornadoFrame, parentSpeed) == 124);
static_assert(offsetof(TornadoFrame, parentRadius) == 128);
static_assert(offsetof(TornadoFrame, time) == 132);
static_assert(offsetof(TornadoFrame, unused136) == 136);

}  // namespace wx
