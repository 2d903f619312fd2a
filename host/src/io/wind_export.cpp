#include "host/wind_export.h"

#include <cstdio>
#include <cstring>

#include "host/scene_file.h"
#include "host/storm_helper.h"
#include "max/interface.h"
#include "max/units.h"

namespace host {

namespace {

constexpr double kTicksPerSecond = 4800.0;

// The storm's word offsets in a record, in bytes.
enum : int {
    kCentreX = 0,
    kCentreY = 4,
    kGroundZ = 8,
    kDriftX = 12,
    kDriftY = 16,
    kCloudBase = 20,
    kSpin = 64,
    kSatellites = 88,
    kParentSpeed = 124,
    kTime = 132,
};

double unitsPerMetre() {
    return 1.0 / GetSystemUnitScale(UNITS_METERS);
}

void putWord(WindRecord& r, int offset, uint32_t bits) {
    for (int k = 0; k < 4; ++k) r[size_t(offset + k)] = uint8_t(bits >> (8 * k));
}

void putFloat(WindRecord& r, int offset, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    putWord(r, offset, bits);
}

Point3 groundCentre(INode* node, TimeValue t) {
    return node->GetNodeTM(t).GetTrans();
}

}  // namespace

WindRecord stormWindRecord(INode* node, TimeValue t) {
    WindRecord r{};
    IParamBlock2* pb = node->GetObjectRef()->FindBaseObject()->GetParamBlock(0);
    const double upm = unitsPerMetre();
    const Point3 centre = groundCentre(node, t);
    // The drift is the centre's velocity over one frame about t, in metres per second.
    const int half = GetTicksPerFrame() / 2;
    const Point3 step = groundCentre(node, t + half) - groundCentre(node, t - half);
    const double span = 2.0 * half / kTicksPerSecond;
    putFloat(r, kCentreX, float(centre.x / upm));
    putFloat(r, kCentreY, float(centre.y / upm));
    putFloat(r, kGroundZ, float(centre.z / upm));
    putFloat(r, kDriftX, float(step.x / span / upm));
    putFloat(r, kDriftY, float(step.y / span / upm));
    // The floats between the cloud base and the satellites, and after them, follow the
    // parameter ids in order; spin and satellites are the two integer words.
    int offset = kCloudBase;
    for (int id = kStormCloudBase; id <= kStormParentRadius; ++id, offset += 4) {
        if (offset == 104) offset = kParentSpeed;  // five words the reader skips stay 0
        if (id == kStormSpin || id == kStormSatellites)
            putWord(r, offset, uint32_t(pb->GetInt(ParamID(id), t)));
        else
            putFloat(r, offset, pb->GetFloat(ParamID(id), t));
    }
    putFloat(r, kTime, float(t / kTicksPerSecond));
    return r;
}

int exportStormWind(INode* node, const std::string& path, std::string& error) {
    if (!isStormHelper(node)) {
        error = "that node holds no storm";
        return -1;
    }
    const Interval range = GetCOREInterface()->GetAnimRange();
    const int tpf = GetTicksPerFrame();
    const int first = range.Start() / tpf;
    const long long frames = (long long)(range.End() / tpf) - first + 1;
    if (frames < 1 || frames > kMaxWindFrames) {
        error = "the animation range has " + std::to_string(frames) + " frames; a wind file holds 1 to " +
                std::to_string(kMaxWindFrames);
        return -1;
    }
    char header[128];
    std::snprintf(header, sizeof header, "TTWIND 1 %lld %d %d %.9g %d\n", frames, first, GetFrameRate(),
                  unitsPerMetre(), kWindRecordBytes);
    std::string bytes = header;
    bytes.reserve(bytes.size() + size_t(frames) * kWindRecordBytes);
    for (long long f = 0; f < frames; ++f) {
        const WindRecord r = stormWindRecord(node, TimeValue((first + f) * tpf));
        bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
    }
    if (!writeFileAtomically(path, bytes, error)) return -1;
    return int(frames);
}

}  // namespace host
