// Function publishing: interface descriptors (functions by id, name, result and parameter
// types, and properties), static core interfaces and per-instance mixins, as the SDK's
// ifnpub.h offers. A builder replaces the SDK's varargs descriptor constructor and plug-ins
// write _dispatch_fn as a switch instead of the function-map macros. Arguments reach
// _dispatch_fn as they were supplied: a function reading past them gets MaxSDK::Array's
// out-of-range exception, which the script layer reports as a runtime error. Main thread only.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "max/fp_value.h"
#include "max/interval.h"
#include "max/max_types.h"

class ClassDesc;

using FunctionID = short;
constexpr FunctionID FP_NO_FUNCTION = FunctionID(-1);

// Descriptor flags.
constexpr ULONG FP_ACTIONS = 0x1;
constexpr ULONG FP_MIXIN = 0x2;
constexpr ULONG FP_CORE = 0x4;
constexpr ULONG FP_STATIC_METHODS = 0x8;
constexpr ULONG FP_TEST_INTERFACE = 0x10;

using FPStatus = int;
constexpr FPStatus FPS_FAIL = 0;
constexpr FPStatus FPS_OK = 1;
constexpr FPStatus FPS_NO_SUCH_FUNCTION = -1;
constexpr FPStatus FPS_ACTION_DISABLED = -2;

namespace MaxSDK {
namespace Util {
// Thrown by MaxSDK::Array for an index past its end.
class OutOfRangeException : public std::exception {
public:
    explicit OutOfRangeException(std::wstring message) : message_(std::move(message)) {}
    const MCHAR* GetMessage() const { return message_.c_str(); }
    const char* what() const noexcept override { return "MaxSDK::Util::OutOfRangeException"; }

private:
    std::wstring message_;
};
}  // namespace Util

// A bounds-checked array, as function arguments arrive in.
template <class T>
class Array {
public:
    size_t length() const { return items_.size(); }
    void append(const T& v) { items_.push_back(v); }
    T& operator[](size_t i) {
        check(i);
        return items_[i];
    }
    const T& operator[](size_t i) const {
        check(i);
        return items_[i];
    }

private:
    void check(size_t i) const {
        if (i >= items_.size())
            throw Util::OutOfRangeException(L"Argument index out of bounds, passed into a MaxSDK::Array::operator[]");
    }
    std::vector<T> items_;
};
}  // namespace MaxSDK

// A fatal error of a published function; scripts see its message as a runtime error.
class MAXException {
public:
    explicit MAXException(const MCHAR* message, int code = 0) : message(message ? message : L""), error_code(code) {}
    MSTR message;
    int error_code;
};

struct FPParams {
    MaxSDK::Array<FPValue> params;
    int Count() const { return int(params.length()); }
};

struct FPParamDef {
    MSTR internal_name;
    ParamType2 type;
};

struct FPFunctionDef {
    FunctionID ID = FP_NO_FUNCTION;
    MSTR internal_name;
    StringResID description = 0;
    ParamType2 result_type = TYPE_VOID;
    USHORT flags = 0;
    std::vector<FPParamDef> params;
};

struct FPPropDef {
    FunctionID getter_ID = FP_NO_FUNCTION;
    FunctionID setter_ID = FP_NO_FUNCTION;  // FP_NO_FUNCTION: read-only
    MSTR internal_name;
    ParamType2 prop_type = TYPE_VOID;
};

class FPInterfaceDesc;

class FPInterface : public BaseInterface {
public:
    ~FPInterface() override = default;
    virtual FPInterfaceDesc* GetDesc() = 0;
    // Calls function `fid` with `params` (may be null for none) at the current time.
    // Exceptions of the function (MAXException, out-of-range) reach the caller.
    FPStatus Invoke(FunctionID fid, FPValue& result, FPParams* params = nullptr);

protected:
    virtual FPStatus _dispatch_fn(FunctionID fid, TimeValue t, FPValue& result, FPParams* p) = 0;
};

class FPInterfaceDesc : public FPInterface {
public:
    // With FP_CORE in `flags` the descriptor registers itself as a core interface, reachable
    // through GetCOREInterface(id) and as a script global by its internal name, until it is
    // destroyed.
    FPInterfaceDesc(Interface_ID id, const MCHAR* internalName, StringResID descr, ClassDesc* cd, ULONG flags);
    ~FPInterfaceDesc() override;
    FPInterfaceDesc(const FPInterfaceDesc&) = delete;
    FPInterfaceDesc& operator=(const FPInterfaceDesc&) = delete;

    FPInterfaceDesc* GetDesc() override { return this; }
    Interface_ID GetID() const { return id_; }

    FPInterfaceDesc& AppendFunction(FunctionID fid, const MCHAR* name, StringResID descr, ParamType2 resultType,
                                    USHORT fnFlags, std::vector<FPParamDef> params);
    FPInterfaceDesc& AppendProperty(FunctionID getter, FunctionID setter, const MCHAR* name, StringResID descr,
                                    ParamType2 type);
    // Lookup by name ignores case, as scripts do.
    const FPFunctionDef* GetFnDef(FunctionID fid) const;
    const FPFunctionDef* FindFn(const std::wstring& name) const;
    const FPPropDef* FindProp(const std::wstring& name) const;

    MSTR internal_name;
    StringResID description;
    ClassDesc* cd;
    ULONG flags;
    std::vector<FPFunctionDef> functions;
    std::vector<FPPropDef> props;

protected:
    // Static interfaces that are their own descriptor override this; a pure descriptor
    // answers FPS_NO_SUCH_FUNCTION.
    FPStatus _dispatch_fn(FunctionID, TimeValue, FPValue&, FPParams*) override { return FPS_NO_SUCH_FUNCTION; }

private:
    Interface_ID id_;
};

// A static interface: the descriptor is the interface.
class FPStaticInterface : public FPInterfaceDesc {
public:
    using FPInterfaceDesc::FPInterfaceDesc;
};

// An interface of plug-in instances. The plug-in class derives from it and from its
// object class; scripts find it on the object (obj.fn).
class FPMixinInterface : public FPInterface {};

// The core interface registered under `id`, or null.
FPInterface* GetCOREInterface(Interface_ID id);
