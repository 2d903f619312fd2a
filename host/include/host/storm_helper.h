// The stand-in for the maker's separate tornado plug-in: a storm helper. Its node's animated
// position is the funnel's centre on the ground; its parameters are the rest of a wind
// frame, in metres, metres per second and seconds as the wind file holds them (a storm is
// sized in the world, whatever unit the scene counts in). The wind export that the script
// function `tornadoCommand <node> "exportwind" "<path>"` runs is in host/wind_export.h.
// Main thread only.
#pragma once

#include "max/inode.h"
#include "max/object.h"

inline constexpr Class_ID kStormHelperClassID{0x6e1c2a57, 0x3d90b4f1};

namespace host {

// Parameter ids of the storm's block (block id 0), in the order the wind frame holds them.
enum StormParam {
    kStormCloudBase = 0,  // funnel height above the ground, m
    kStormLeanX,          // funnel offset at the cloud base, m
    kStormLeanY,
    kStormLeanPower,     // exponent of the lean curve
    kStormWobble,        // wobble amplitude, m
    kStormWobbleFreq,    // wobble frequency, 1/s
    kStormPeakSpeed,     // peak tangential wind, m/s
    kStormCoreRadius,    // core radius at the ground, m
    kStormCoreGrowth,    // growth of the core radius with height
    kStormProfileInner,  // exponents of the tangential profile
    kStormProfileOuter,
    kStormSpin,            // +1 counter-clockwise seen from above, -1 clockwise
    kStormInflow,          // radial inflow, m/s
    kStormInflowDepth,     // depth of the inflow layer, m
    kStormUpdraft,         // updraft, m/s
    kStormUpdraftWidth,    // updraft radius in core radii
    kStormDowndraft,       // central downdraft as a fraction of the updraft
    kStormSatellites,      // number of satellite vortices
    kStormSatelliteSpeed,  // satellite strength, m/s
    kStormSatelliteCore,   // satellite core in core radii
    kStormSatelliteOrbit,  // satellite orbit in core radii
    kStormParentSpeed,     // parent circulation, m/s
    kStormParentRadius,    // parent circulation radius, m
};

// A new storm with the defaults: a strong tornado about 600 m tall.
Object* createStormHelper();

// Whether the node holds a storm helper.
bool isStormHelper(INode* node);

}  // namespace host
