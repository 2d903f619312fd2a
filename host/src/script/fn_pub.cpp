#include <algorithm>

#include "host/core_interfaces.h"
#include "host/script/value.h"
#include "max/ifnpub.h"
#include "max/interface.h"

namespace host {

namespace {
std::vector<FPInterfaceDesc*>& registry() {
    static std::vector<FPInterfaceDesc*> r;
    return r;
}
}  // namespace

const std::vector<FPInterfaceDesc*>& coreInterfaces() {
    return registry();
}

}  // namespace host

FPStatus FPInterface::Invoke(FunctionID fid, FPValue& result, FPParams* params) {
    FPParams none;
    return _dispatch_fn(fid, GetCOREInterface()->GetTime(), result, params ? params : &none);
}

FPInterfaceDesc::FPInterfaceDesc(Interface_ID id, const MCHAR* internalName, StringResID descr, ClassDesc* cd,
                                 ULONG flags)
    : internal_name(internalName ? internalName : L""), description(descr), cd(cd), flags(flags), id_(id) {
    // A second core interface with the same id stays unregistered: the first one wins.
    if ((flags & FP_CORE) && !GetCOREInterface(id)) host::registry().push_back(this);
}

FPInterfaceDesc::~FPInterfaceDesc() {
    auto& r = host::registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

FPInterfaceDesc& FPInterfaceDesc::AppendFunction(FunctionID fid, const MCHAR* name, StringResID descr,
                                                 ParamType2 resultType, USHORT fnFlags,
                                                 std::vector<FPParamDef> params) {
    FPFunctionDef def;
    def.ID = fid;
    def.internal_name = name;
    def.description = descr;
    def.result_type = resultType;
    def.flags = fnFlags;
    def.params = std::move(params);
    functions.push_back(std::move(def));
    return *this;
}

FPInterfaceDesc& FPInterfaceDesc::AppendProperty(FunctionID getter, FunctionID setter, const MCHAR* name, StringResID,
                                                 ParamType2 type) {
    props.push_back(FPPropDef{getter, setter, name, type});
    return *this;
}

const FPFunctionDef* FPInterfaceDesc::GetFnDef(FunctionID fid) const {
    for (const FPFunctionDef& f : functions)
        if (f.ID == fid) return &f;
    return nullptr;
}

const FPFunctionDef* FPInterfaceDesc::FindFn(const std::wstring& name) const {
    std::wstring key = host::script::lower(name);
    for (const FPFunctionDef& f : functions)
        if (host::script::lower(f.internal_name) == key) return &f;
    return nullptr;
}

const FPPropDef* FPInterfaceDesc::FindProp(const std::wstring& name) const {
    std::wstring key = host::script::lower(name);
    for (const FPPropDef& p : props)
        if (host::script::lower(p.internal_name) == key) return &p;
    return nullptr;
}

FPInterface* GetCOREInterface(Interface_ID id) {
    for (FPInterfaceDesc* d : host::registry())
        if (d->GetID() == id) return d;
    return nullptr;
}
