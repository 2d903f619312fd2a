// Helpers for the host's own classes: a descriptor built from plain values and a base that
// owns one parameter block as reference 0. Private to the host library; main thread only.
#pragma once

#include <functional>
#include <string>

#include "max/class_desc.h"
#include "max/object.h"
#include "max/param_block2.h"

namespace host {

class SimpleClassDesc : public ClassDesc2 {
public:
    SimpleClassDesc(const MCHAR* name, const MCHAR* internalName, SClass_ID sclass, Class_ID id,
                    std::function<void*(bool)> create)
        : name_(name), internal_(internalName), sclass_(sclass), id_(id), create_(std::move(create)) {}
    int IsPublic() override { return TRUE; }
    void* Create(BOOL loading) override { return create_(loading != FALSE); }
    const MCHAR* ClassName() override { return name_.c_str(); }
    const MCHAR* NonLocalizedClassName() override { return name_.c_str(); }
    SClass_ID SuperClassID() override { return sclass_; }
    Class_ID ClassID() override { return id_; }
    const MCHAR* Category() override { return L"Standard"; }
    const MCHAR* InternalName() override { return internal_.c_str(); }

private:
    std::wstring name_, internal_;
    SClass_ID sclass_;
    Class_ID id_;
    std::function<void*(bool)> create_;
};

// Validity of every scalar parameter of the block at t.
Interval blockValidity(IParamBlock2* pb, TimeValue t);

// Owns one parameter block as reference 0.
template <class Base>
class PBHolder : public Base {
public:
    IParamBlock2* pblock = nullptr;
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    void SetReference(int i, RefTargetHandle t) override {
        if (i == 0) pblock = static_cast<IParamBlock2*>(t);
    }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override { return i == 0 ? pblock : nullptr; }

protected:
    // Gives the clone a copy of this block.
    void copyBlockTo(PBHolder& to, RemapDir& remap) {
        if (!pblock) return;
        to.ReplaceReference(0, remap.CloneRef(pblock));
    }
};

// A scene object whose validity is its block's.
template <class Base>
class PBObject : public PBHolder<Base> {
public:
    Interval ObjectValidity(TimeValue t) override { return Base::ObjectValidity(t) & blockValidity(this->pblock, t); }
};

}  // namespace host
