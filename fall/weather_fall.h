// WeatherFall: the box-shaped volume of falling snow, rain or sand. A host particle object
// whose particles are the closed-form field of fall/fall_field.h, evaluated at the time
// the host asks (viewport count, world space), optionally carried by a tornado's wind.
// Its settings are one parameter block (fall/fall_params.h); nothing else is saved. The
// particle arrays are a cache stamped with the time, the node's matrix and the wind they
// were computed for. Main thread only, like the host's particle display; the per-particle
// work runs on the thread pool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fall/fall_params.h"
#include "fall/fall_render_job_fill.h"
#include "fall/tornado_cache.h"
#include "fall/tornado_wind.h"
#include "fall/weather_fall_fp.h"
#include "max/class_desc.h"
#include "max/shape_particles.h"
#include "plugin/scene_capture.h"
#include "splat/fall_render_job.h"

class INode;

namespace wx {

ClassDesc2* GetFallDesc();

class WeatherFall : public SimpleParticle, public WeatherFallFP {
public:
    WeatherFall();
    ~WeatherFall() override;

    Class_ID ClassID() override { return kWeatherFallClassID; }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    const MCHAR* GetObjectName(bool localized = true) override;

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
    using SimpleParticle::GetInterface;
    BaseInterface* GetInterface(Interface_ID id) override;

    // The command panel: the particle base's own rollouts, then the block's seven.
    void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) override;
    // One click in a viewport places the volume at the snapped point (fall_create.cpp).
    CreateMouseCallBack* GetCreateMouseCallBack() override;
    void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) override;

    // The particle object.
    ObjectState Eval(TimeValue t) override;
    void UpdateParticles(TimeValue t, INode* node) override;
    void BuildEmitter(TimeValue t, Mesh& amesh) override;
    // The icon first (fall/fall_icon.h), then the particles.
    int HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) override;
    // GPU splats: one shared empty mesh (needDelete false). Geometry: a new mesh of every
    // particle as a drop or flake (fall/fall_render_mesh.h), or the shared empty mesh with
    // the reason in fallStatus when it cannot be built (too big for memory).
    Mesh* GetRenderMesh(TimeValue t, INode* inode, View& view, BOOL& needDelete) override;
    Interval GetValidity(TimeValue t) override;

    // The wind for t (requestExport: ask the tornado plug-in to write the picked node's
    // file first). True when frames are loaded; `out` stays valid until the next fetch.
    bool fetchTornadoWind(TimeValue t, bool requestExport, TornadoWind& out);

    // The node that references this object (the first one found), or null.
    INode* findNode();
    // Times the particle arrays were recomputed since creation (the cache's test hook).
    int particleUpdates() const { return updates_; }
    const std::wstring& statusText() const { return status_; }
    const std::wstring& tornadoStatus() const { return tornadoStatus_; }

    // The mixin.
    std::wstring fallStatus() override;
    std::wstring evaluateWorld(TimeValue t, INode* node, bool viewport, bool exact, bool requestExport,
                               std::vector<FallParticle>& out) override;
    Mesh* geometryMesh(TimeValue t, INode* node, std::wstring& problem) override;
    bool renderSetup(TimeValue t, INode* node, FallRenderSetup& out, std::wstring& error) override;
    bool renderFrame(INode* camera, int frame, const std::wstring& file, int width, int height) override;
    bool renderOver(INode* camera, int frame, const std::wstring& background, const std::wstring& file) override;
    int renderSequenceOver(INode* camera, int start, int end, const std::wstring& backgroundPattern,
                           const std::wstring& outputPattern) override;

    // The render commands (weather_fall_commands.cpp). The camera is `camera` when given,
    // else the camera node's record at t. background: width x height RGBA floats or null;
    // depth: width x height depths along the view axis that hide particles, or null. The
    // job points into this object's storage until the next build. False with the status
    // set to the reason.
    bool buildRenderJob(INode* cameraNode, const CamDev* camera, TimeValue t, int width, int height,
                        const float* background, FallRenderJob& job);
    // Builds and renders; the status becomes the summary or the error.
    bool renderJob(INode* cameraNode, const CamDev* camera, TimeValue t, int width, int height,
                   const float* background, std::vector<float>& outImage, const float* depth = nullptr);
    // The rollout's "Add to the last render": over the host's last rendered image from the
    // view camera at the current time, shown in its own frame window.
    bool addToLastRender();
    // The camera the rollout renders from: the active viewport's, else the first camera
    // below the scene root (depth first), else null.
    static INode* viewCamera(TimeValue t);
    // Replaces the status text (cut to 319 characters) and shows it in the open rollout.
    void setStatus(std::wstring text);

private:
    FallRenderInputs renderInputs(TimeValue t, INode* node);
    uint64_t stampKey(INode* node, const FallMatrix& m, const TornadoWind& wind) const;

    FallLookSettings readLook(TimeValue t);
    const float* sceneTriangles(const std::shared_ptr<const ShelterBVH>& scene, int64_t& count);

    IParamBlock2* pblock_ = nullptr;
    // What the last render job points at: the setup's scene and drips, the scene's
    // triangles expanded to corners (kept while the capture is the same build).
    FallRenderSetup jobSetup_;
    std::vector<float> jobSceneCorners_;
    uint64_t jobSceneSerial_ = 0;
    std::wstring status_ = L"not rendered yet";
    std::wstring runoffStatus_;  // " | run-off: ..." from the last render setup with run-off
    std::wstring tornadoStatus_ = L"no tornado";
    std::wstring meshStatus_;  // " | render mesh: ..." while the last one could not be built
    TornadoWindCache windCache_;
    uint64_t stampKey_ = 0;  // with tvalid/valid: the node, matrix and wind of the particles
    int updates_ = 0;
};

}  // namespace wx
