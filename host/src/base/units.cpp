#include "max/units.h"

#include "host/scene_settings.h"
#include "host/unit_scale.h"
#include "max/notify.h"

namespace host {

double metresPerUnit(int type) {
    switch (type) {
        case UNITS_INCHES:
            return 0.0254;
        case UNITS_FEET:
            return 0.3048;
        case UNITS_MILES:
            return 1609.344;
        case UNITS_MILLIMETERS:
            return 0.001;
        case UNITS_CENTIMETERS:
            return 0.01;
        case UNITS_METERS:
            return 1.0;
        case UNITS_KILOMETERS:
            return 1000.0;
        default:
            return -1.0;
    }
}

}  // namespace host

int GetTicksPerFrame() {
    return host::sceneSettings().ticksPerFrame;
}

void SetTicksPerFrame(int ticks) {
    if (ticks <= 0 || TIME_TICKSPERSEC % ticks != 0 || ticks == host::sceneSettings().ticksPerFrame) return;
    host::sceneSettings().ticksPerFrame = ticks;
    BroadcastNotification(NOTIFY_TIMEUNITS_CHANGE);
}

int GetFrameRate() {
    return TIME_TICKSPERSEC / GetTicksPerFrame();
}

void SetFrameRate(int fps) {
    if (fps > 0 && TIME_TICKSPERSEC % fps == 0) SetTicksPerFrame(TIME_TICKSPERSEC / fps);
}

double GetSystemUnitScale(int type) {
    double target = host::metresPerUnit(type);
    if (target <= 0.0) return -1.0;
    const host::SceneSettings& s = host::sceneSettings();
    return s.unitScale * host::metresPerUnit(s.unitType) / target;
}

void GetSystemUnitInfo(int* type, float* scale) {
    if (type) *type = host::sceneSettings().unitType;
    if (scale) *scale = host::sceneSettings().unitScale;
}

void SetSystemUnitInfo(int type, float scale) {
    if (host::metresPerUnit(type) <= 0.0 || !(scale > 0.0f)) return;
    host::sceneSettings().unitType = type;
    host::sceneSettings().unitScale = scale;
    BroadcastNotification(NOTIFY_UNITS_CHANGE);
}
