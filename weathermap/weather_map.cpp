// The Weather Map as the host sees it: its one parameter block, cloning, change messages,
// Update and validity, and the three Eval calls through the shading context (world space
// in, the context's space out for the bump).
#include "weathermap/weather_map.h"

#include "max/auto_mparam_dlg.h"
#include "max/param_block2.h"
#include "plugin/param_table_desc.h"
#include "plugin/scene_capture.h"
#include "weathermap/map_cpu.h"
#include "weathermap/map_eval.h"

namespace wx {
namespace {

thread_local uint64_t tComputed = 0;

V3 toV3(const Point3& p) {
    return V3{p.x, p.y, p.z};
}

// The sample in world space: position, normal and view through the context's conversions,
// and the paint colour's weight when the map will use it.
MapSample sampleOf(ShadeContext& sc, const MapState& m) {
    MapSample s;
    s.position = toV3(sc.PointTo(sc.P(), REF_WORLD));
    s.normal = toV3(sc.VectorTo(sc.Normal(), REF_WORLD));
    s.viewDir = toV3(sc.VectorTo(sc.V(), REF_WORLD));
    s.s = mapSeconds(sc.CurTime(), m.animSpeed);
    s.faceNumber = sc.FaceNumber();
    if (m.usePaint && !mapModeIsBump(m.mode)) s.paintFactor = paintFactorOf(toV3(sc.UVW(m.paintChannel)));
    return s;
}

bool animatedMode(int32_t mode) {
    return mode == int32_t(MapMode::ripples) || mode == int32_t(MapMode::glass) || mode == int32_t(MapMode::sparkle);
}

}  // namespace

MapState readMapState(IParamBlock2* pb, TimeValue t, Interval& valid) {
    MapState m;
    Interval v = FOREVER;
    readParamFields<MapState>(pb, t, v, mapParamRows(), m);
    int seed = 1;
    pb->GetValue(kMapSeed, t, seed, v);
    m.seedKey = seed + 1;
    if (animatedMode(m.mode)) v &= Interval(t, t);
    valid = v;
    return m;
}

WeatherMap::WeatherMap() {
    GetWeatherMapDesc()->MakeAutoParamBlocks(this);
}

void WeatherMap::GetClassName(MSTR& s, bool) const {
    s = L"Weather Map";
}

RefTargetHandle WeatherMap::GetReference(int i) {
    return i == 0 ? pblock_ : nullptr;
}

void WeatherMap::SetReference(int i, RefTargetHandle t) {
    if (i == 0) {
        pblock_ = static_cast<IParamBlock2*>(t);
        valid_.SetEmpty();
    }
}

Animatable* WeatherMap::SubAnim(int i) {
    return i == 0 ? pblock_ : nullptr;
}

MSTR WeatherMap::SubAnimName(int i, bool) {
    return i == 0 ? MSTR(L"Parameters") : MSTR();
}

IParamBlock2* WeatherMap::GetParamBlockByID(BlockID id) {
    return pblock_ && pblock_->ID() == id ? pblock_ : nullptr;
}

RefTargetHandle WeatherMap::Clone(RemapDir& remap) {
    auto* copy = new WeatherMap();
    copy->ReplaceReference(0, remap.CloneRef(pblock_));
    BaseClone(this, copy, remap);
    return copy;
}

RefResult WeatherMap::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE) valid_.SetEmpty();
    return REF_SUCCEED;
}

BaseInterface* WeatherMap::GetInterface(Interface_ID id) {
    if (id == kMapToolsInterfaceID) return static_cast<MapTools*>(this);
    return Texmap::GetInterface(id);
}

void WeatherMap::Update(TimeValue t, Interval& valid) {
    if (!valid_.InInterval(t) && pblock_) state_ = readMapState(pblock_, t, valid_);
    // A capture since the last Update: shade against the new scene from now on. The old one
    // stays alive for a render still holding it elsewhere; this map lets go of it here, on
    // the main thread, never under a shading thread.
    if (sceneGeneration() != sceneGeneration_) {
        scene_ = currentScene();
        sceneGeneration_ = sceneGeneration();
    }
    valid &= valid_;
}

void WeatherMap::Reset() {
    if (pblock_) pblock_->Reset();
    valid_.SetEmpty();
}

Interval WeatherMap::Validity(TimeValue t) {
    if (valid_.InInterval(t)) return valid_;
    Interval v = FOREVER;
    if (pblock_) readMapState(pblock_, t, v);
    return v;
}

float WeatherMap::EvalMono(ShadeContext& sc) {
    float v = 0.0f;
    if (sc.GetCache(this, v)) return v;
    ++tComputed;
    v = mapMonoCpu(state_, sampleOf(sc, state_), scene_.get());
    sc.PutCache(this, v);
    return v;
}

AColor WeatherMap::EvalColor(ShadeContext& sc) {
    const float v = EvalMono(sc);
    return AColor(v, v, v, 1.0f);
}

Point3 WeatherMap::EvalNormalPerturb(ShadeContext& sc) {
    if (!mapModeIsBump(state_.mode)) return Point3(0, 0, 0);
    Point3 cached;
    if (sc.GetCache(this, cached)) return cached;
    ++tComputed;
    const V3 w = mapPerturbCpu(state_, sampleOf(sc, state_));
    const Point3 out = sc.VectorFrom(Point3(w.x, w.y, w.z), REF_WORLD);
    sc.PutCache(this, out);
    return out;
}

ParamDlg* WeatherMap::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
    return GetWeatherMapDesc()->CreateParamDlgs(hwMtlEdit, imp, this);
}

void WeatherMap::captureShelter(TimeValue t) {
    captureScene(t);
}

int WeatherMap::shelterTriangles() const {
    return capturedTriangles();
}

uint64_t WeatherMap::computedOnThisThread() {
    return tComputed;
}

}  // namespace wx
