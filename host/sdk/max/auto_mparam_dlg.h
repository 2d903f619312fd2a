// The material editor's automatic parameter dialog: what ClassDesc2::CreateParamDlgs returns
// for a material or map built on automatic parameter blocks. It holds one parameter map per
// rollout, each showing the edited thing's block; SetThing moves them all to another
// instance of the class, DeleteThis closes them. Main thread only.
#pragma once

#include <vector>

#include "max/class_desc.h"
#include "max/material.h"
#include "max/param_map2.h"

class IAutoMParamDlg : public ParamDlg {
public:
    IAutoMParamDlg(ClassDesc2* cd, IMtlParams* imp, ReferenceTarget* thing) : cd_(cd), imp_(imp), thing_(thing) {}
    IAutoMParamDlg(const IAutoMParamDlg&) = delete;
    IAutoMParamDlg& operator=(const IAutoMParamDlg&) = delete;
    ~IAutoMParamDlg() override;

    Class_ID ClassID() override { return cd_ ? cd_->ClassID() : Class_ID(0, 0); }
    void SetThing(ReferenceTarget* m) override;
    ReferenceTarget* GetThing() override { return thing_; }
    void SetTime(TimeValue) override { ReloadDialog(); }
    void ReloadDialog() override;
    void DeleteThis() override { delete this; }
    void ActivateDlg(BOOL) override {}

    IMtlParams* GetMtlParams() const { return imp_; }
    int NumDlgs() const { return int(maps_.size()); }
    // The i-th rollout's map, in the order the blocks declare their rollouts.
    IParamMap2* GetMap(int i) const { return i >= 0 && i < NumDlgs() ? maps_[size_t(i)] : nullptr; }
    void AddMap(IParamMap2* map) { maps_.push_back(map); }

private:
    ClassDesc2* cd_;
    IMtlParams* imp_;
    ReferenceTarget* thing_;
    std::vector<IParamMap2*> maps_;
};
