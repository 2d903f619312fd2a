// WeatherMap: the procedural 3D texture that any renderer calls per shading sample for a
// wetness or puddle mask, a rain-ripple or drops-on-glass bump, or a snow-sparkle mask. Its
// settings are one parameter block (weathermap/map_params.h); nothing else is saved.
//
// Threads: Update runs on the main thread before shading and fills the evaluation record
// and takes the captured shelter scene; the Eval calls run on any number of shading threads
// at once and only read what Update wrote (no lock, no atomic per sample), so the scene a
// render started with stays alive under its shading threads even if a capture replaces it.
#pragma once

#include <cstdint>
#include <memory>

#include "max/class_desc.h"
#include "max/material.h"
#include "max/shade_context.h"
#include "shelter/bvh.h"
#include "weathermap/map_params.h"
#include "weathermap/map_state.h"
#include "weathermap/map_tools.h"

namespace wx {

ClassDesc2* GetWeatherMapDesc();

class WeatherMap : public Texmap, public MapTools {
public:
    WeatherMap();

    Class_ID ClassID() override { return kWeatherMapClassID; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle t) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override;
    MSTR SubAnimName(int i, bool localized = true) override;
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock_ : nullptr; }
    IParamBlock2* GetParamBlockByID(BlockID id) override;
    RefTargetHandle Clone(RemapDir& remap) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID, RefMessage message,
                               BOOL propagate) override;
    using Texmap::GetInterface;
    BaseInterface* GetInterface(Interface_ID id) override;

    // The texture map.
    float EvalMono(ShadeContext& sc) override;
    AColor EvalColor(ShadeContext& sc) override;
    Point3 EvalNormalPerturb(ShadeContext& sc) override;
    void Update(TimeValue t, Interval& valid) override;
    void Reset() override;
    Interval Validity(TimeValue t) override;
    // World position and view direction.
    ULONG Requirements(int) override { return MTLREQ_XYZ | MTLREQ_VIEW_DEP; }
    ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) override;

    // MapTools.
    void captureShelter(TimeValue t) override;
    int shelterTriangles() const override;

    // What the last Update read (the Eval calls' only input besides the sample).
    const MapState& state() const { return state_; }
    // The shelter scene the Eval calls probe (null: none).
    const ShelterBVH* shelter() const { return scene_.get(); }
    // Samples this thread has computed rather than taken from a context's cache (a per
    // thread count, so counting costs the shading threads nothing shared).
    static uint64_t computedOnThisThread();

private:
    IParamBlock2* pblock_ = nullptr;
    MapState state_;
    Interval valid_;  // empty: the next Update rereads everything
    std::shared_ptr<const ShelterBVH> scene_;
    uint64_t sceneGeneration_ = ~uint64_t(0);
};

// The record of `pb`'s values at t, and their validity (single instant t for the animated
// modes 2 to 4).
MapState readMapState(IParamBlock2* pb, TimeValue t, Interval& valid);

}  // namespace wx
