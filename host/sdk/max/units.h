// Time and unit settings of the open scene: frame rate, system unit and the unit scale.
// These read and write the current scene's settings (30 fps and centimetres by default);
// main thread only, as in the host.
#pragma once

#include "max/interval.h"

enum {
    UNITS_INCHES = 0,
    UNITS_FEET = 1,
    UNITS_MILES = 2,
    UNITS_MILLIMETERS = 3,
    UNITS_CENTIMETERS = 4,
    UNITS_METERS = 5,
    UNITS_KILOMETERS = 6
};

int GetTicksPerFrame();
// Ticks per frame must divide 4800; other values are ignored and the rate is unchanged.
void SetTicksPerFrame(int ticks);
int GetFrameRate();
// Frames per second; ignored unless it divides 4800 evenly (the tick grid holds whole frames).
void SetFrameRate(int fps);
// How many units of `type` one system unit is; -1.0 for an unknown type.
double GetSystemUnitScale(int type);
void GetSystemUnitInfo(int* type, float* scale);
// The system unit becomes `scale` x `type` (for example 1 x UNITS_METERS); an unknown type
// or a scale that is not positive is ignored.
void SetSystemUnitInfo(int type, float scale);
