// Basic types of the host SDK as the stand-in models them (release 26000, 3ds Max 2024).
// Windows integer names are fixed-width here: DWORD/ULONG are 32-bit on Windows but
// unsigned long is 64-bit on Linux, which would break Class_ID masks and sentinels.
// Plain value types; no shared state, safe on any thread.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

using MCHAR = wchar_t;
#define _M(x) L##x
#ifndef _T
#define _T(x) L##x
#endif

using BOOL = int;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
using DWORD = uint32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using USHORT = uint16_t;
using SHORT = int16_t;
using WORD = uint16_t;
using UINT_PTR = uintptr_t;
using HWND = void*;
using HINSTANCE = void*;

using SClass_ID = uint32_t;
using PartID = uint32_t;
using RefMessage = uint32_t;
using ParamID = short;
using BlockID = short;
using MapID = short;
using MtlID = unsigned short;
using StringResID = int;

// The SDK's MSTR: a wide string with the few members plug-in code calls.
class MSTR : public std::wstring {
public:
    using std::wstring::wstring;
    MSTR() = default;
    MSTR(const std::wstring& s) : std::wstring(s) {}
    MSTR(std::wstring&& s) : std::wstring(std::move(s)) {}
    int Length() const { return static_cast<int>(size()); }
    bool isNull() const { return empty(); }
    // UTF-8 conversions for file names and file contents; malformed UTF-8 reads as U+FFFD.
    std::string ToUTF8() const;
    static MSTR FromUTF8(const char* utf8);
};
using TSTR = MSTR;

// Class identifier: two 32-bit words; built-in classes have PartB() == 0.
class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    void SetPartA(ULONG a) { a_ = a; }
    void SetPartB(ULONG b) { b_ = b; }
    constexpr bool operator==(const Class_ID&) const = default;
    constexpr auto operator<=>(const Class_ID&) const = default;

private:
    ULONG a_ = 0xffffffffu;
    ULONG b_ = 0xffffffffu;
};

// The base of every interface an object answers by id (Animatable::GetInterface); the
// function-publishing interfaces derive from it.
class BaseInterface {
public:
    virtual ~BaseInterface() = default;
};

class Interface_ID {
public:
    constexpr Interface_ID() = default;
    constexpr Interface_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    constexpr bool operator==(const Interface_ID&) const = default;
    constexpr auto operator<=>(const Interface_ID&) const = default;

private:
    ULONG a_ = 0xffffffffu;
    ULONG b_ = 0xffffffffu;
};

// Version word: (release << 16) + (API number << 8) + SDK revision.
#define MAX_RELEASE 26000
#define MAX_API_NUM 64
#define MAX_SDK_REV 0
#define MAX_VERSION_MAJOR 26
#define VERSION_3DSMAX ((ULONG(MAX_RELEASE) << 16) + (MAX_API_NUM << 8) + MAX_SDK_REV)
#define GET_MAX_RELEASE(v) (((v) >> 16) & 0xffff)
#define GET_MAX_API_NUM(v) (((v) >> 8) & 0xff)

// Super class ids.
constexpr SClass_ID BASENODE_CLASS_ID = 0x1;
constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 2;
constexpr SClass_ID DERIVOB_CLASS_ID = 3;
constexpr SClass_ID WSM_DERIVOB_CLASS_ID = 4;
constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID CAMERA_CLASS_ID = 0x20;
constexpr SClass_ID LIGHT_CLASS_ID = 0x30;
constexpr SClass_ID SHAPE_CLASS_ID = 0x40;
constexpr SClass_ID HELPER_CLASS_ID = 0x50;
constexpr SClass_ID SYSTEM_CLASS_ID = 0x60;
constexpr SClass_ID PARAMETER_BLOCK2_CLASS_ID = 0x82;
constexpr SClass_ID REF_MAKER_CLASS_ID = 0x100;
constexpr SClass_ID REF_TARGET_CLASS_ID = 0x200;
constexpr SClass_ID OSM_CLASS_ID = 0x810;
constexpr SClass_ID WSM_CLASS_ID = 0x820;
constexpr SClass_ID WSM_OBJECT_CLASS_ID = 0x830;
constexpr SClass_ID SCENE_IMPORT_CLASS_ID = 0xA10;
constexpr SClass_ID SCENE_EXPORT_CLASS_ID = 0xA20;
constexpr SClass_ID MATERIAL_CLASS_ID = 0xC00;
constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;
constexpr SClass_ID RENDERER_CLASS_ID = 0xF00;
constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;
constexpr SClass_ID GUP_CLASS_ID = 0x10e0;

// Class id first words of built-in classes (second word 0).
constexpr ULONG TRIOBJ_CLASS_ID = 0x0009;
constexpr ULONG BOXOBJ_CLASS_ID = 0x0010;
constexpr ULONG SPHERE_CLASS_ID = 0x0011;
constexpr ULONG CYLINDER_CLASS_ID = 0x0012;
constexpr ULONG SPLINESHAPE_CLASS_ID = 0x000a;
constexpr ULONG SIMPLE_CAM_CLASS_ID = 0x1001;
constexpr ULONG LOOKAT_CAM_CLASS_ID = 0x1002;
constexpr ULONG OMNI_LIGHT_CLASS_ID = 0x1011;
constexpr ULONG SPOT_LIGHT_CLASS_ID = 0x1012;
constexpr ULONG DIR_LIGHT_CLASS_ID = 0x1013;
constexpr ULONG DMTL_CLASS_ID = 0x00000002;
constexpr ULONG MULTI_CLASS_ID = 0x00000200;
constexpr ULONG BMTEX_CLASS_ID = 0x00000240;
inline constexpr Class_ID triObjectClassID{TRIOBJ_CLASS_ID, 0};
inline constexpr Class_ID PLANE_CLASS_ID{0x81f1dfc, 0x77566f65};

// Reference results and messages.
enum RefResult { REF_FAIL, REF_SUCCEED, REF_DONTCARE, REF_STOP, REF_INVALID };
constexpr RefMessage REFMSG_TARGET_DELETED = 0x20;
constexpr RefMessage REFMSG_CHANGE = 0x50;
constexpr RefMessage REFMSG_BEGIN_EDIT = 0x90;
constexpr RefMessage REFMSG_END_EDIT = 0xA0;
constexpr RefMessage REFMSG_TAB_ELEMENT_NULLED = 0x232;
constexpr RefMessage REFMSG_USER = 0x10000;
constexpr SClass_ID NOTIFY_ALL = 0xfffffff0u;

// Channel bits (ChannelMask) and channel numbers are different things.
using ChannelMask = uint32_t;
constexpr ChannelMask TOPO_CHANNEL = 1u << 0;
constexpr ChannelMask GEOM_CHANNEL = 1u << 1;
constexpr ChannelMask TEXMAP_CHANNEL = 1u << 2;
constexpr ChannelMask MTL_CHANNEL = 1u << 3;
constexpr ChannelMask SELECT_CHANNEL = 1u << 4;
constexpr ChannelMask SUBSEL_TYPE_CHANNEL = 1u << 5;
constexpr ChannelMask DISP_ATTRIB_CHANNEL = 1u << 6;
constexpr ChannelMask VERTCOLOR_CHANNEL = 1u << 7;
constexpr ChannelMask GFX_DATA_CHANNEL = 1u << 8;
constexpr ChannelMask DISP_APPROX_CHANNEL = 1u << 9;
constexpr ChannelMask TM_CHANNEL = 1u << 10;
constexpr ChannelMask EDGEVISIBLITY_CHANNEL = 1u << 11;
constexpr ChannelMask EXTENSION_CHANNEL = 1u << 13;
constexpr ChannelMask GLOBMTL_CHANNEL = 1u << 31;
constexpr ChannelMask OBJ_CHANNELS = TOPO_CHANNEL | GEOM_CHANNEL | TEXMAP_CHANNEL | MTL_CHANNEL | SELECT_CHANNEL |
                                     SUBSEL_TYPE_CHANNEL | DISP_ATTRIB_CHANNEL | VERTCOLOR_CHANNEL | GFX_DATA_CHANNEL |
                                     DISP_APPROX_CHANNEL | EXTENSION_CHANNEL;
constexpr ChannelMask ALL_CHANNELS = OBJ_CHANNELS | TM_CHANNEL | GLOBMTL_CHANNEL;
constexpr PartID PART_TOPO = TOPO_CHANNEL;
constexpr PartID PART_GEOM = GEOM_CHANNEL;
constexpr PartID PART_TEXMAP = TEXMAP_CHANNEL;
constexpr PartID PART_OBJECT_TYPE = 1u << 11;
constexpr PartID PART_TM = 1u << 12;
constexpr PartID PART_OBJ = PART_TOPO | PART_GEOM;
constexpr PartID PART_ALL = ALL_CHANNELS | PART_TM;
enum ChannelNum {
    TOPO_CHAN_NUM = 0,
    GEOM_CHAN_NUM,
    TEXMAP_CHAN_NUM,
    MTL_CHAN_NUM,
    SELECT_CHAN_NUM,
    SUBSEL_TYPE_CHAN_NUM,
    DISP_ATTRIB_CHAN_NUM,
    VERT_COLOR_CHAN_NUM,
    GFX_DATA_CHAN_NUM,
    DISP_APPROX_CHAN_NUM,
    EXTENSION_CHAN_NUM,
    NUM_OBJ_CHANS
};
