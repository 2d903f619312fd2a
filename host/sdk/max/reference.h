// The reference system: Animatable, ReferenceMaker and ReferenceTarget. A maker holds
// numbered references to targets; each target keeps its dependents and sends them messages
// (REFMSG_CHANGE when it changes, REFMSG_TARGET_DELETED when it dies, after which their
// slots read null). Ownership follows references as in the host: a target left with no
// dependents after ReplaceReference/DeleteReference is deleted, except targets that opt out
// (scene nodes belong to the scene). Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "max/interval.h"
#include "max/max_types.h"

class ReferenceTarget;
class IParamBlock2;

// Application data: bytes that any plug-in attaches to any animatable under its own class
// and super class ids and a sub id of its choosing. Nodes save theirs with the scene, so it
// opens again without the plug-in that wrote it.
struct AppDataChunk {
    Class_ID classID;
    SClass_ID superClassID = 0;
    DWORD subID = 0;
    DWORD length = 0;
    void* data = nullptr;  // MAX_malloc'ed; owned by the animatable carrying the chunk
};

// The memory that application data hands over: AddAppDataChunk takes ownership of it.
void* MAX_malloc(size_t size);
void MAX_free(void* memory);
class RemapDir;
using RefTargetHandle = ReferenceTarget*;

class Animatable {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;
    virtual ~Animatable() = default;

    virtual Class_ID ClassID() { return Class_ID(0, 0); }
    virtual SClass_ID SuperClassID() { return 0; }
    virtual void GetClassName(MSTR& s, bool localized = true) const;
    virtual int NumSubs() { return 0; }
    virtual Animatable* SubAnim(int) { return nullptr; }
    virtual MSTR SubAnimName(int, bool localized = true);
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int) { return nullptr; }
    virtual IParamBlock2* GetParamBlockByID(BlockID id);
    // Objects are freed through this, never with delete, so a module frees its own memory.
    virtual void DeleteThis() { delete this; }
    virtual void* GetInterface(ULONG) { return nullptr; }
    // The interface with this id (a function-publishing mixin, say), or null.
    virtual BaseInterface* GetInterface(Interface_ID) { return nullptr; }
    BOOL IsSubClassOf(Class_ID id) { return ClassID() == id; }

    // Attaches `data` (len bytes from MAX_malloc, now owned here) under the three ids,
    // replacing a chunk already under them.
    void AddAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid, DWORD len, void* data);
    // The chunk under the three ids, or null.
    AppDataChunk* GetAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid);
    // FALSE when there was none.
    BOOL RemoveAppDataChunk(const Class_ID& cid, SClass_ID sid, DWORD sbid);
    void ClearAllAppData();
    // Stand-in: every chunk, in the order added (scene files and undo).
    int NumAppDataChunks() const { return int(appData_.size()); }
    AppDataChunk* AppDataChunkAt(int i) { return appData_[size_t(i)].get(); }

private:
    struct FreeChunk {
        void operator()(AppDataChunk* chunk) const;
    };
    std::vector<std::unique_ptr<AppDataChunk, FreeChunk>> appData_;
};

class ReferenceMaker : public Animatable {
public:
    ~ReferenceMaker() override;

    virtual int NumRefs() { return 0; }
    virtual RefTargetHandle GetReference(int) { return nullptr; }
    // Makes reference `which` point at `target`, registering this maker as its dependent.
    // With delOld, the previous target is deleted when nothing references it any more.
    RefResult ReplaceReference(int which, RefTargetHandle target, BOOL delOld = TRUE);
    RefResult DeleteReference(int which);
    RefResult DeleteAllRefsFromMe();
    // Called by targets; return REF_STOP to keep the message from this maker's dependents.
    virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                                       RefMessage message, BOOL propagate);
    virtual BOOL IsRefTarget() { return FALSE; }
    void DeleteMe() { DeleteThis(); }

    // Stand-in: the host calls this when `target` is being destroyed; the default clears
    // every slot that points at it.
    virtual void DropDeletedTarget(ReferenceTarget* target);

    // The SDK keeps SetReference away from plug-in callers; the host and ReplaceReference
    // use it to store the pointer in the maker's own slot.
    virtual void SetReference(int, RefTargetHandle) {}

protected:
    friend class ReferenceTarget;
    // Targets this maker is registered with, one entry per reference (for teardown, since
    // a base destructor cannot call the derived GetReference).
    std::vector<ReferenceTarget*> held_;
    void forgetTarget(ReferenceTarget* target);
};

// Visits the makers that depend on a target (DoEnumDependents).
constexpr int DEP_ENUM_CONTINUE = 0;
constexpr int DEP_ENUM_HALT = 1;  // stop the whole enumeration
constexpr int DEP_ENUM_SKIP = 2;  // don't go on to this maker's own dependents
class DependentEnumProc {
public:
    virtual ~DependentEnumProc() = default;
    virtual int proc(ReferenceMaker* rmaker) = 0;
};

class ReferenceTarget : public ReferenceMaker {
public:
    ~ReferenceTarget() override;
    BOOL IsRefTarget() override { return TRUE; }

    // Sends `message` to every dependent; those that return REF_SUCCEED pass it on to their
    // own dependents when `propagate` is set.
    RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                               SClass_ID sclass = NOTIFY_ALL, BOOL propagate = TRUE, RefTargetHandle hTarg = nullptr);
    virtual RefTargetHandle Clone(RemapDir& remap);
    // Calls dep->proc on this target, then on its dependents and theirs, depth first, each
    // maker once; answers 1 when a proc halted the walk.
    int DoEnumDependents(DependentEnumProc* dep);
    // Deletes this target when nothing references it.
    void MaybeAutoDelete();

    // Stand-in: the makers that reference this target (with repeats), and whether losing the
    // last of them deletes it.
    const std::vector<ReferenceMaker*>& Dependents() const { return dependents_; }
    virtual bool AutoDeleteWhenUnreferenced() const { return true; }

    // Stand-in: register a maker that holds this target through its own bookkeeping rather
    // than a numbered slot (parameter blocks, node tables).
    void AddDependent(ReferenceMaker* maker);
    void RemoveDependent(ReferenceMaker* maker, bool deleteIfUnreferenced);

private:
    friend class ReferenceMaker;
    std::vector<ReferenceMaker*> dependents_;
    bool dying_ = false;
};

// Maps originals to their clones during one clone operation, so that an object referenced
// twice is cloned once (instancing is preserved).
class RemapDir {
public:
    virtual ~RemapDir() = default;
    RefTargetHandle CloneRef(RefTargetHandle target);
    RefTargetHandle FindMapping(RefTargetHandle from);
    void AddEntry(RefTargetHandle from, RefTargetHandle to);

private:
    std::vector<std::pair<RefTargetHandle, RefTargetHandle>> map_;
};

inline void BaseClone(ReferenceTarget*, ReferenceTarget*, RemapDir&) {}
