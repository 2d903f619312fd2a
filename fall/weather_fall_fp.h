// The fall object's function-publishing mixin "weatherFall": what scripts and the render
// commands call on one fall object. fallStatus answers the object's status texts;
// evaluateWorld hands whole evaluations to programs that load the plug-in (the command
// line), so they reach the object's parameters and tornado wind through its own code; the
// render commands draw the fall as splats into PNG files. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "fall/fall_field.h"
#include "fall/fall_render_setup.h"
#include "max/ifnpub.h"

class INode;
class Mesh;

namespace wx {

inline constexpr Interface_ID kWeatherFallFPInterfaceID{0x2C7E94A1, 0x51D03B6E};

enum WeatherFallFunction : FunctionID {
    kFallFnStatus = 0,
    kFallFnRenderFrame = 1,
    kFallFnRenderOver = 2,
    kFallFnRenderSequenceOver = 3,
};

class WeatherFallFP : public FPMixinInterface {
public:
    FPInterfaceDesc* GetDesc() override;

    // The status text, the render mesh's problem (empty or " | render mesh: ..."), the
    // run-off line (empty or " | run-off: ..."), " | " and the tornado status.
    virtual std::wstring fallStatus() = 0;

    // Renders frame x ticks per frame from `camera` at width x height on a transparent
    // background and writes `file` as a 16-bit PNG. False with the reason in the status.
    virtual bool renderFrame(INode* camera, int frame, const std::wstring& file, int width, int height) = 0;
    // Renders over the picture `background` at its size and writes `file`.
    virtual bool renderOver(INode* camera, int frame, const std::wstring& background, const std::wstring& file) = 0;
    // renderOver for frames start..end, '#' runs in both names standing for the frame
    // number; stops at the first failure, or after a frame while Escape is down. Answers
    // the frames written. Several frames into one name without a '#' run are refused.
    virtual int renderSequenceOver(INode* camera, int start, int end, const std::wstring& backgroundPattern,
                                   const std::wstring& outputPattern) = 0;

    // Every particle's world state at t (velocities in units per second), computed from the
    // object's parameters at t and node's matrix at t (null: the node that references the
    // object). viewport: the viewport's count, else the render count. exact: the scalar
    // reference field, else the batch path the viewport uses. requestExport: the tornado
    // fetch asks the tornado plug-in to write the picked node's wind first, as renders do.
    // Leaves `out` empty when the thread pool cannot start. Answers the tornado status.
    virtual std::wstring evaluateWorld(TimeValue t, INode* node, bool viewport, bool exact, bool requestExport,
                                       std::vector<FallParticle>& out) = 0;

    // The render mesh as geometry mode builds it, whatever `renderMode` says: every
    // particle (the render count) as a drop or flake in the object space of node (null: the
    // object's own node). A new mesh the caller deletes, or null with the reason in problem.
    virtual Mesh* geometryMesh(TimeValue t, INode* node, std::wstring& problem) = 0;
    // What a GPU render at t is given: the settings at t, node's matrix (null: the node
    // that references the object), the shared scene (captured at t if there is none yet)
    // and the run-off, whose text fallStatus then shows. False, with `error` and an empty
    // setup, when the drip-edge search runs out of memory or threads.
    virtual bool renderSetup(TimeValue t, INode* node, FallRenderSetup& out, std::wstring& error) = 0;

protected:
    FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) override;
};

}  // namespace wx
