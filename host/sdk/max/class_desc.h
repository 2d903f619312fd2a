// Class descriptors: ClassDesc tells the host a plug-in class's identity and creates its
// instances; ClassDesc2 also owns the class's parameter-block descriptors, builds the
// automatic blocks and opens the automatic rollouts. Descriptors are usually static
// singletons in a module. Main thread only.
#pragma once

#include <vector>

#include "max/param_block2.h"

class Interface;
using IObjParam = Interface;

constexpr ULONG BEGIN_EDIT_CREATE = 1u << 0;
constexpr ULONG BEGIN_EDIT_MOTION = 1u << 1;
constexpr ULONG BEGIN_EDIT_HIERARCHY = 1u << 2;
constexpr ULONG END_EDIT_REMOVEUI = 1u << 0;
constexpr int ACC_PUBLIC = 1;
constexpr int ACC_PRIVATE = 2;

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    // loading = TRUE: the host is about to restore the instance from a file.
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual const MCHAR* NonLocalizedClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
    virtual const MCHAR* InternalName() { return nullptr; }
    virtual HINSTANCE HInstance() { return nullptr; }
    virtual int BeginCreate(Interface*) { return 0; }
    virtual int EndCreate(Interface*) { return 0; }
    virtual BOOL OkToCreate(Interface*) { return TRUE; }
    virtual BOOL HasClassParams() { return FALSE; }
    virtual void ResetClassParams(BOOL) {}
};

class IParamMap2;
class IMtlParams;
class IAutoMParamDlg;

// An automatic rollout that BeginEditParams opened. hwnd and map are null when the dialog
// resource is missing (the rollout is listed, nothing is shown).
struct OpenRollout {
    ParamBlockDesc2* desc = nullptr;
    ReferenceMaker* owner = nullptr;
    ParamRollout rollout;
    HWND hwnd = nullptr;
    IParamMap2* map = nullptr;
};

class ClassDesc2 : public ClassDesc {
public:
    // Builds every P_AUTO_CONSTRUCT block with its defaults and installs it as the owner's
    // reference ref_no.
    void MakeAutoParamBlocks(ReferenceMaker* owner);
    // Opens the P_AUTO_UI rollouts of obj's blocks whose flag mask matches `flags`, each with
    // a parameter map over obj's block. Rollouts still open for another object of the class
    // (EndEditParams without END_EDIT_REMOVEUI) are kept and shown obj's block instead; those
    // that `flags` no longer asks for are closed.
    void BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* prev);
    // Closes obj's rollouts and frees their maps when flags has END_EDIT_REMOVEUI.
    void EndEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* next);
    int NumParamBlockDescs() const { return int(descs_.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) { return i >= 0 && i < NumParamBlockDescs() ? descs_[i] : nullptr; }
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id);
    ParamBlockDesc2* GetParamBlockDescByName(const MCHAR* name);
    void AddParamBlockDesc(ParamBlockDesc2* pbd) { descs_.push_back(pbd); }
    // Shows the block's values again in the open rollouts of `pbd` (all descriptors when null).
    void InvalidateUI(ParamBlockDesc2* pbd, ParamID id = -1, int tabIndex = -1);
    // The open map `map` of `pbd`, or null when its rollout is not open.
    IParamMap2* GetParamMap(ParamBlockDesc2* pbd, MapID map = 0);
    const std::vector<OpenRollout>& OpenRollouts() const { return open_; }
    // The material editor's side of the automatic rollouts: a dialog (max/auto_mparam_dlg.h)
    // with one parameter map per rollout of each P_AUTO_UI block of obj, whatever the
    // rollouts' flag masks. The editor owns it and frees it with DeleteThis, which closes the
    // rollouts; it is independent of the command panel's rollouts above.
    IAutoMParamDlg* CreateParamDlgs(HWND hwMtlEdit, IMtlParams* imp, ReferenceTarget* obj);

private:
    void closeRollout(OpenRollout& r);

    std::vector<ParamBlockDesc2*> descs_;
    std::vector<OpenRollout> open_;
};
