// The fall object's particles handed to the host: the parameter snapshot in viewport mode,
// the node's matrix, the tornado wind, then every particle's world state into the host's
// arrays on the thread pool. The arrays are kept while the time, the node's matrix and the
// wind they were computed for all still hold: a node moved, or a wind file read again, at
// the same time recomputes them.
#include <algorithm>
#include <climits>
#include <exception>

#include "common/hash.h"
#include "common/parallel_for.h"
#include "fall/fall_field_fast.h"
#include "fall/tornado_drift.h"
#include "fall/weather_fall.h"
#include "fall/weather_fall_inputs.h"
#include "max/inode.h"
#include "max/param_block2.h"
#include "plugin/param_table_desc.h"
#include "utility/script_bridge.h"

namespace wx {

FallInputs readFallInputs(IParamBlock2* pb, TimeValue t) {
    FallInputs in;
    Interval ignored = FOREVER;
    readParamFields<FallInputs>(pb, t, ignored, fallParamRows(), in);
    // The two counts are 64-bit in the snapshot, so the table names no field for them.
    int count = 0, vpMax = 0;
    pb->GetValue(kFallCount, t, count, ignored);
    pb->GetValue(kFallVpMax, t, vpMax, ignored);
    in.count = count;
    in.vpMax = vpMax;
    return in;
}

FallMatrix fallMatrix(const Matrix3& tm) {
    auto v3 = [](const Point3& p) { return V3{p.x, p.y, p.z}; };
    return {v3(tm.GetRow(0)), v3(tm.GetRow(1)), v3(tm.GetRow(2)), v3(tm.GetRow(3))};
}

namespace {

constexpr float kTicksPerSecond = 4800.0f;

Point3 toPoint3(V3 v) {
    return {v.x, v.y, v.z};
}

// Particle i's state into the host's arrays: velocities in units per tick, ages 0.
void store(ParticleSys& parts, size_t i, const FallParticle& s) {
    parts.points[i] = toPoint3(s.pos);
    parts.vels[i] = toPoint3(s.vel) * (1.0f / kTicksPerSecond);
    parts.ages[i] = 0;
}

// The particles into the host's arrays, a run of kRun per task: fill(first, n, batch)
// computes particles first .. first + n - 1.
template <size_t kRun, class Fill>
void writeInRuns(ParticleSys& parts, size_t count, ParallelGrain grain, const Fill& fill) {
    const size_t runs = (count + kRun - 1) / kRun;
    parallelFor(
        runs,
        [&](size_t r) {
            const size_t first = r * kRun;
            const size_t n = std::min(kRun, count - first);
            FallParticle batch[kRun];
            fill(first, n, batch);
            for (size_t k = 0; k < n; ++k) store(parts, first + k, batch[k]);
        },
        grain);
}

// Without a wind: the fast batch path.
void writeSteady(ParticleSys& parts, const FallParams& p, size_t count, float seconds, const FallMatrix& m) {
    writeInRuns<kFallSteadyRun>(parts, count, kFallSteadyGrain, [&](size_t first, size_t n, FallParticle* batch) {
        fallWorldBatch(p, first, n, seconds, m, batch);
    });
}

// With a wind: each particle integrates its drift over its recent fall, on the bulk path
// (the particles of a run share the frames they load).
void writeDrifting(ParticleSys& parts, const FallParams& p, size_t count, float seconds, const FallMatrix& m,
                   const TornadoWind& wind) {
    writeInRuns<kFallDriftRun>(parts, count, kFallDriftGrain, [&](size_t first, size_t n, FallParticle* batch) {
        fallWorldDriftBatch(p, first, n, seconds, m, wind, batch);
    });
}

std::wstring wide(const std::string& utf8) {
    return MSTR::FromUTF8(utf8.c_str());
}

}  // namespace

uint64_t WeatherFall::stampKey(INode* node, const FallMatrix& m, const TornadoWind& wind) const {
    uint64_t key = mixKey(kFnvOffsetBasis, uint64_t(node ? node->GetHandle() : 0));
    for (const V3& row : {m.r0, m.r1, m.r2, m.t})
        for (float c : {row.x, row.y, row.z}) key = mixKey(key, c);
    key = mixKey(key, uint64_t(TornadoDriftWind{wind}.active()));
    key = mixKey(key, uint64_t(windCache_.readCount()));
    return key == 0 ? 1 : key;  // 0 is "nothing computed"
}

void WeatherFall::UpdateParticles(TimeValue t, INode* node) {
    if (!node) node = findNode();
    const FallMatrix m = node ? fallMatrix(node->GetObjectTM(t)) : FallMatrix{};
    TornadoWind wind;
    fetchTornadoWind(t, false, wind);
    const uint64_t key = stampKey(node, m, wind);
    if (valid && tvalid == t && node && key == stampKey_) return;

    const FallParams p = makeFallParams(readFallInputs(pblock_, t), FallCountMode::Viewport);
    // The host's arrays are int-indexed; the viewport count stays far below that anyway.
    const int count = int(std::clamp<int64_t>(p.count, 0, INT_MAX));
    parts.SetCount(count, PARTICLE_VELS | PARTICLE_AGES);
    const float seconds = float(t) / kTicksPerSecond;
    const TornadoDriftWind drift{wind};
    try {
        if (count > 0) {
            if (drift.active())
                writeDrifting(parts, p, size_t(count), seconds, m, wind);
            else
                writeSteady(parts, p, size_t(count), seconds, m);
        }
    } catch (const std::exception&) {
        // No worker thread could start (the system is out of threads): nothing reaches the
        // host; the fall shows no particles and tries again at the next evaluation.
        parts.SetCount(0, PARTICLE_VELS | PARTICLE_AGES);
        valid = FALSE;
        return;
    }
    tvalid = t;
    valid = node ? TRUE : FALSE;
    stampKey_ = key;
    ++updates_;
}

std::wstring WeatherFall::evaluateWorld(TimeValue t, INode* node, bool viewport, bool exact, bool requestExport,
                                        std::vector<FallParticle>& out) {
    out.clear();
    if (!node) node = findNode();
    const FallMatrix m = node ? fallMatrix(node->GetObjectTM(t)) : FallMatrix{};
    TornadoWind wind;
    fetchTornadoWind(t, requestExport, wind);
    const FallCountMode mode = viewport ? FallCountMode::Viewport : FallCountMode::Render;
    const FallParams p = makeFallParams(readFallInputs(pblock_, t), mode);
    const float seconds = float(t) / kTicksPerSecond;
    const TornadoDriftWind drift{wind};
    try {
        out.resize(size_t(std::max<int64_t>(p.count, 0)));
        FallParticle* dst = out.data();
        if (drift.active() && exact)
            parallelFor(out.size(), [&](size_t i) { dst[i] = fallWorldWithDrift(p, i, seconds, m, drift); });
        else if (drift.active())
            fallWorldDriftParallel(p, out.size(), seconds, m, wind, dst);
        else if (exact)
            parallelFor(out.size(), [&](size_t i) { dst[i] = fallWorld(p, i, seconds, m); });
        else
            fallWorldParallel(p, out.size(), seconds, m, dst);
    } catch (const std::exception&) {
        // Out of memory or out of threads: no particles rather than an exception into the host.
        out.clear();
    }
    return tornadoStatus_;
}

bool WeatherFall::fetchTornadoWind(TimeValue t, bool requestExport, TornadoWind& out) {
    TornadoFetchInputs in;
    Interval ignored = FOREVER;
    pblock_->GetValue(kFallTornadoInfluence, t, in.influence, ignored);
    pblock_->GetValue(kFallTornadoWindow, t, in.carriedFor, ignored);
    pblock_->GetValue(kFallTornadoReach, t, in.reach, ignored);
    INode* tornado = nullptr;
    pblock_->GetValue(kFallTornadoNode, t, tornado, ignored);
    in.nodeHandle = tornado ? tornado->GetHandle() : 0;
    const MCHAR* file = nullptr;
    pblock_->GetValue(kFallTornadoFile, t, file, ignored);
    in.filePath = MSTR(file ? file : L"").ToUTF8();
    in.requestExport = requestExport;
    in.runExport = [tornado](const std::string& path) {
        std::wstring result;
        runScript(tornadoExportExpression(tornado, wide(path)), &result);
        return MSTR(result).ToUTF8();
    };
    std::string tornadoText = MSTR(tornadoStatus_).ToUTF8();
    std::string mainText = MSTR(status_).ToUTF8();
    const bool loaded = windCache_.fetch(in, out, tornadoText, mainText);
    tornadoStatus_ = wide(tornadoText);
    status_ = wide(mainText);
    return loaded;
}

}  // namespace wx
