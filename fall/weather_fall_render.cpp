// What the fall hands a GPU render at t: its settings at t and its node's matrix, the
// shared scene (captured at t when there is none yet), through makeFallRenderSetup; the
// run-off status follows. The render commands call this before filling their job.
#include <exception>

#include "fall/weather_fall.h"
#include "max/inode.h"
#include "max/param_block2.h"
#include "max/units.h"

namespace wx {
namespace {

FallMatrix nodeMatrix(INode* node, TimeValue t) {
    if (!node) return {};
    const Matrix3 tm = node->GetObjectTM(t);
    auto v3 = [](const Point3& p) { return V3{p.x, p.y, p.z}; };
    return {v3(tm.GetRow(0)), v3(tm.GetRow(1)), v3(tm.GetRow(2)), v3(tm.GetRow(3))};
}

}  // namespace

FallRenderInputs WeatherFall::renderInputs(TimeValue t, INode* node) {
    FallRenderInputs in;
    Interval ignored = FOREVER;
    int type = 0, count = 0, collide = 0;
    pblock_->GetValue(kFallType, t, type, ignored);
    pblock_->GetValue(kFallCount, t, count, ignored);
    pblock_->GetValue(kFallHeight, t, in.height, ignored);
    pblock_->GetValue(kFallCollide, t, collide, ignored);
    pblock_->GetValue(kFallSplashHeight, t, in.splashHeight, ignored);
    pblock_->GetValue(kFallSplashAmount, t, in.splashAmount, ignored);
    pblock_->GetValue(kFallDripAmount, t, in.dripAmount, ignored);
    in.type = type;
    in.count = count;
    in.collide = collide != 0;
    in.objectToWorld = nodeMatrix(node ? node : findNode(), t);
    in.unitsPerMetre = float(1.0 / GetSystemUnitScale(UNITS_METERS));
    return in;
}

bool WeatherFall::renderSetup(TimeValue t, INode* node, FallRenderSetup& out, std::wstring& error) {
    out = FallRenderSetup{};
    runoffStatus_.clear();
    try {
        FallRenderInputs in = renderInputs(t, node);
        if (in.collide) {
            if (!currentScene()) captureScene(t);
            in.scene = currentScene();
        }
        out = makeFallRenderSetup(in);
    } catch (const std::exception& e) {
        // Out of memory or threads while finding the drip edges: no run-off this time.
        error = L"run-off failed: " + MSTR::FromUTF8(e.what());
        out = FallRenderSetup{};
        return false;
    }
    runoffStatus_ = out.runoffStatus;
    return true;
}

}  // namespace wx
