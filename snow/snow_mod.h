// SnowMod: the world-space modifier that settles a snow shell on whatever mesh it is
// stacked on. Each evaluation takes the mesh into world space, keys its inputs, rebuilds
// the shell through buildSnow only when the key changed, writes the cached shell into the
// mesh (beside the object or instead of it) and publishes a status text. Evaluations of
// one modifier are serialised by its lock; the registry, the tools rollout and the edited
// modifier are main-thread only.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "max/class_desc.h"
#include "max/object.h"
#include "plugin/live_modifiers.h"
#include "shelter/bvh.h"
#include "snow/snow_params.h"
#include "snow/snow_stats_source.h"
#include "snow/snow_types.h"

namespace wx {

// Whether node's world-space modifier stack holds mod.
bool nodeUses(INode* node, Modifier* mod);

inline constexpr Class_ID kSnowModClassID{0xF9ACCCC3, 0x6D42BD1F};

ClassDesc2* GetSnowModDesc();

class SnowMod : public WSModifier, public LiveSnowMod, public SnowStatsSource {
public:
    SnowMod();
    ~SnowMod() override;

    Class_ID ClassID() override { return kSnowModClassID; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    const MCHAR* GetObjectName(bool localized = true) override;
    ChannelMask ChannelsUsed() override;
    ChannelMask ChannelsChanged() override;
    Class_ID InputType() override { return triObjectClassID; }
    Interval LocalValidity(TimeValue t) override;
    void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) override;
    void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) override;

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle t) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override;
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock_ : nullptr; }
    IParamBlock2* GetParamBlockByID(BlockID id) override;
    RefTargetHandle Clone(RemapDir& remap) override;
    using WSModifier::GetInterface;
    BaseInterface* GetInterface(Interface_ID id) override;

    void invalidateShelter() override;

    // What the last evaluation left, for the panels, the CLI and tests.
    std::wstring statusText() const;
    SnowStats lastStats() const override;
    int highestInputMatID() const;
    int buildCount() const;  // builds since creation (the cache's test hook)
    bool builtViewportDetail() const;

    // The tools rollout's buttons.
    void updateShelterCommand();
    std::wstring snowMaterialCommand();
    std::wstring paintCommand();

private:
    struct Evaluation;
    void publish(const std::wstring& text);
    void gatherInputs(TimeValue t, const Mesh& mesh, Interval& valid, Evaluation& e);
    void rebuild(const Mesh& mesh, Evaluation& e);
    std::wstring buildAndDescribe(Evaluation& e);
    const ShelterBVH* ownShelter(const Evaluation& e);
    void build(Evaluation& e);
    void writeBack(Mesh& mesh, TimeValue t);

    IParamBlock2* pblock_ = nullptr;
    mutable std::recursive_mutex lock_;
    uint64_t cacheKey_ = 0;
    SnowShell shell_;
    SnowStats stats_;
    ShelterBVH ownBVH_;
    uint64_t ownBVHKey_ = 0;
    int highestMatID_ = 1;
    std::wstring status_ = L"Not evaluated yet.";
    std::wstring builtStatus_;  // the status of the cached shell's build
    int builds_ = 0;
    bool viewportDetail_ = false;
};

}  // namespace wx
