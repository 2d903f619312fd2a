// Parameter blocks: ParamBlockDesc2 describes a block (parameters with ids, internal names,
// types, defaults, ranges and UI controls, plus the rollouts that show them) and IParamBlock2
// holds one object's values. Descriptors are built with a builder instead of the SDK's
// varargs constructor. Declaration order (the index) is kept apart from the ParamID that
// scenes store. A set value is clamped to the parameter's range, as the host's spinners do.
// Animatable float, int, point and colour parameters hold linear keys. Main thread only.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "max/key_track.h"
#include "max/point3.h"
#include "max/reference.h"

class ClassDesc2;
class IParamMap2;
class INode;
class Mtl;
class Texmap;

enum ParamType2 {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_RGBA = 2,
    TYPE_POINT3 = 3,
    TYPE_BOOL = 4,
    TYPE_ANGLE = 5,
    TYPE_PCNT_FRAC = 6,
    TYPE_WORLD = 7,
    TYPE_STRING = 8,
    TYPE_FILENAME = 9,
    TYPE_COLOR_CHANNEL = 11,
    TYPE_TIMEVALUE = 12,
    TYPE_RADIOBTN_INDEX = 13,
    TYPE_MTL = 14,
    TYPE_TEXMAP = 15,
    TYPE_INODE = 17,
    TYPE_REFTARG = 18,
    TYPE_INDEX = 19,
    TYPE_TAB = 0x800,
    TYPE_FLOAT_TAB = TYPE_FLOAT | TYPE_TAB,
    TYPE_INT_TAB = TYPE_INT | TYPE_TAB,
    TYPE_POINT3_TAB = TYPE_POINT3 | TYPE_TAB,
    TYPE_STRING_TAB = TYPE_STRING | TYPE_TAB,
    TYPE_MTL_TAB = TYPE_MTL | TYPE_TAB,
    TYPE_TEXMAP_TAB = TYPE_TEXMAP | TYPE_TAB,
    TYPE_INODE_TAB = TYPE_INODE | TYPE_TAB,
    // Function-publishing flag: the argument is passed by value (see max/fp_value.h).
    TYPE_BY_VAL = 0x2000
};

// Block flags.
constexpr USHORT P_CLASS_PARAMS = 0x1;
constexpr USHORT P_AUTO_CONSTRUCT = 0x2;
constexpr USHORT P_AUTO_UI = 0x4;
constexpr USHORT P_MULTIMAP = 0x20;
constexpr USHORT P_VERSION = 0x200;
// Parameter flags.
constexpr int P_ANIMATABLE = 0x1;
constexpr int P_TRANSIENT = 0x2;
constexpr int P_INVISIBLE = 0x10;
constexpr int P_NO_REF = 0x100;
constexpr int P_VARIABLE_SIZE = 0x1000;
constexpr int P_READ_ONLY = 0x8000;
// Stand-in: scene files leave the parameter out while it holds its default without keys,
// so a parameter added to a class later leaves the files of scenes that never set it as
// they were.
constexpr int P_SAVE_WHEN_SET = 0x40000;

// UI control kinds and spinner edit types.
enum ControlType2 {
    TYPE_SPINNER = 0,
    TYPE_RADIO = 1,
    TYPE_SINGLECHECKBOX = 2,
    TYPE_MULTICHECKBOX = 3,
    TYPE_COLORSWATCH = 4,
    TYPE_EDITBOX = 5,
    TYPE_CHECKBUTTON = 6,
    TYPE_PICKNODEBUTTON = 7,
    TYPE_TEXMAPBUTTON = 8,
    TYPE_MTLBUTTON = 9,
    TYPE_NODELISTBOX = 16,
    TYPE_SLIDER = 17,
    TYPE_BUTTON = 18,
    TYPE_INT_COMBOBOX = 23,
    TYPE_NO_CONTROL = -1
};
#define TYPE_SINGLECHEKBOX TYPE_SINGLECHECKBOX
enum EditSpinnerType {
    EDITTYPE_INT = 0,
    EDITTYPE_FLOAT = 1,
    EDITTYPE_UNIVERSE = 2,
    EDITTYPE_POS_INT = 3,
    EDITTYPE_POS_FLOAT = 4,
    EDITTYPE_POS_UNIVERSE = 5,
    EDITTYPE_TIME = 6
};
constexpr int APPENDROLL_CLOSED = 0x1;

// Kinds of stored value a type reads and writes through GetValue/SetValue.
enum class PBValueKind { Float, Int, Point3, String, Ref, None };
PBValueKind ValueKindOf(int type);
inline bool IsTabType(int type) {
    return (type & TYPE_TAB) != 0;
}

class ParamMap2UserDlgProc;

// One rollout of an automatic user interface.
struct ParamRollout {
    MapID map = 0;
    int dialogId = 0;
    StringResID titleId = 0;
    std::wstring title;
    int flagMask = 0;                      // shown only for BeginEditParams flags with one of these bits; 0 = always
    int rollupFlags = 0;                   // APPENDROLL_CLOSED starts it rolled up
    ParamMap2UserDlgProc* proc = nullptr;  // the plug-in's own handling; not owned
};

struct ParamDef {
    ParamID ID = -1;
    std::wstring int_name;  // the name scripts and scene dumps use
    int type = TYPE_FLOAT;
    int flags = 0;
    StringResID local_name = 0;
    std::wstring label;  // the control label; string tables are not modelled
    int tab_size = 0;    // initial table size for tab types
    // Default value in the slot of the type's kind.
    float def_f = 0.0f;
    int def_i = 0;
    Point3 def_p;
    std::wstring def_s;
    bool has_range = false;
    float range_lo = 0.0f, range_hi = 0.0f;  // float-kind range (ints keep theirs exactly below)
    int irange_lo = 0, irange_hi = 0;
    // UI control.
    int ctrl_type = TYPE_NO_CONTROL;
    MapID ctrl_map = 0;
    int spin_type = EDITTYPE_FLOAT;
    std::vector<int> ctrl_ids;
    float spin_scale = 0.0f;
    std::vector<StringResID> items;  // combo box item strings
    std::vector<int> vals;           // stored value per combo item (default 0..n-1)
    Class_ID class_filter;
    SClass_ID sclass_filter = 0;
    StringResID prompt = 0;  // p_prompt: what a pick-node button asks the user while picking

    bool animatable() const { return (flags & P_ANIMATABLE) != 0; }

    // Builder: each returns *this so a declaration reads as one statement.
    ParamDef& Default(float v);
    ParamDef& Default(double v) { return Default(float(v)); }
    ParamDef& Default(int v);
    ParamDef& Default(const Point3& v);
    ParamDef& Default(const Color& v) { return Default(Point3(v)); }
    ParamDef& Default(const MCHAR* v);
    ParamDef& Range(float lo, float hi);
    ParamDef& Range(double lo, double hi) { return Range(float(lo), float(hi)); }
    ParamDef& Range(int lo, int hi);
    ParamDef& Label(const MCHAR* text) {
        label = text;
        return *this;
    }
    ParamDef& TableSize(int n) {
        tab_size = n;
        return *this;
    }
    ParamDef& Spinner(MapID map, EditSpinnerType edit, int editId, int spinId, float scale);
    ParamDef& Control(MapID map, ControlType2 kind, std::initializer_list<int> ids);
    ParamDef& Combo(MapID map, int ctrlId, std::initializer_list<StringResID> itemIds);
    ParamDef& Prompt(StringResID id) {
        prompt = id;
        return *this;
    }
    ParamDef& Vals(std::initializer_list<int> values) {
        vals = values;
        return *this;
    }
    ParamDef& ClassFilter(Class_ID id) {
        class_filter = id;
        return *this;
    }
};

class ParamBlockDesc2 {
public:
    // Registers itself with `cd` (when given), as the SDK's constructor does. `refno` is the
    // owner's reference slot for P_AUTO_CONSTRUCT blocks.
    ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName, ClassDesc2* cd, USHORT flags,
                    int refno = 0);
    ParamBlockDesc2(const ParamBlockDesc2&) = delete;
    ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;

    ParamDef& AddParam(ParamID id, const MCHAR* internalName, int type, int flags, StringResID localName);
    ParamBlockDesc2& AddRollout(MapID map, int dialogId, StringResID titleId, const MCHAR* title, int flagMask = 0,
                                int rollupFlags = 0);
    // Gives the rollout of map `map` the plug-in's own dialog procedure (no-op for an unknown map).
    void SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc);

    int Count() const { return int(params_.size()); }
    ParamDef& paramdefs(int index) { return params_[index]; }
    const ParamDef& paramdefs(int index) const { return params_[index]; }
    int IDtoIndex(ParamID id) const;  // -1 when absent
    ParamID IndextoID(int index) const { return index >= 0 && index < Count() ? params_[index].ID : ParamID(-1); }
    int NameToIndex(const MCHAR* name) const;  // exact internal name, -1 when absent
    ParamDef* GetParamDef(ParamID id);

    BlockID ID;
    std::wstring int_name;
    StringResID local_name;
    ClassDesc2* cd;
    USHORT flags;
    int ref_no;
    std::vector<ParamRollout> rollouts;

private:
    std::vector<ParamDef> params_;
};

// One stored value (one per table element; non-table parameters have exactly one). Float,
// int, point and colour parameters keep their value in the track of their kind (keyed when
// animated).
struct PB2Slot {
    KeyTrack<float> f;
    KeyTrack<int> i;
    KeyTrack<Point3> p;
    std::wstring s;
    ReferenceTarget* ref = nullptr;
};

// Stand-in: what a block tells the open rollouts that show it, so that blocks need not know
// the UI. Parameter maps are the views; a view attaches itself with AddView and detaches with
// RemoveView before it goes.
class ParamBlockView {
public:
    // The map this view is, when it is map `map` of its block; else null.
    virtual IParamMap2* ViewedMap(MapID map) = 0;
    // Parameter `id` (-1: all) has a new value.
    virtual void ParamChanged(ParamID id) = 0;
    // The block is being deleted; the view lets go of it (and detaches).
    virtual void BlockDeleted() = 0;

protected:
    ~ParamBlockView() = default;
};

class IParamBlock2 : public ReferenceTarget {
public:
    IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);
    ~IParamBlock2() override;

    Class_ID ClassID() override { return Class_ID(0x82, 0); }
    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
    BlockID ID() const { return desc_->ID; }
    ParamBlockDesc2* GetDesc() { return desc_; }
    ReferenceMaker* GetOwner() { return owner_; }
    void SetOwner(ReferenceMaker* owner) { owner_ = owner; }
    int NumParams() const { return desc_->Count(); }
    ParamID IndextoID(int index) const { return desc_->IndextoID(index); }
    int IDtoIndex(ParamID id) const { return desc_->IDtoIndex(id); }
    ParamDef& GetParamDef(ParamID id);
    ParamID LastNotifyParamID() const { return lastNotify_; }

    // Values. GetValue narrows `valid` (never widens it) to the span over which the value
    // stays what it is at t. A wrong type or index returns FALSE and a zero value.
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, Point3& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, const MCHAR*& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, INode*& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, Mtl*& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, Texmap*& v, Interval& valid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid, int tabIndex = 0);
    // SetValue clamps to the range, keys animatable parameters while Auto Key is on (or
    // when they already have keys) and notifies the owner and its dependents.
    BOOL SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, double v, int tabIndex = 0) { return SetValue(id, t, float(v), tabIndex); }
    BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, const Point3& v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, const Color& v, int tabIndex = 0) {
        return SetValue(id, t, Point3(v), tabIndex);
    }
    BOOL SetValue(ParamID id, TimeValue t, const MCHAR* v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, INode* v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, Mtl* v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, Texmap* v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex = 0);

    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0);
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Point3 GetPoint3(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Color GetColor(ParamID id, TimeValue t = 0, int tabIndex = 0);
    const MCHAR* GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0);
    INode* GetINode(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Mtl* GetMtl(ParamID id, TimeValue t = 0, int tabIndex = 0);
    Texmap* GetTexmap(ParamID id, TimeValue t = 0, int tabIndex = 0);

    // Tables. Node-table entries may be null: a deleted node leaves its slot empty.
    int Count(ParamID id);
    void SetCount(ParamID id, int n);
    void ZeroCount(ParamID id) { SetCount(id, 0); }
    int Delete(ParamID id, int start, int num);
    int Append(ParamID id, int num, INode** el, int allocExtra = 0);
    int Append(ParamID id, int num, float* el, int allocExtra = 0);
    int Append(ParamID id, int num, int* el, int allocExtra = 0);
    int Append(ParamID id, int num, Mtl** el, int allocExtra = 0);

    void Reset(ParamID id = -1);  // back to defaults (all parameters when id is -1)
    RefTargetHandle Clone(RemapDir& remap) override;

    // Stand-in: raw access for scene files and undo. Slots are what is stored (keys
    // included); RestoreSlots replaces them without clamping or notification.
    const std::vector<PB2Slot>& Slots(ParamID id);
    bool IsAnimated(ParamID id, int tabIndex = 0);
    void RestoreSlots(ParamID id, std::vector<PB2Slot> slots);
    void DropDeletedTarget(ReferenceTarget* target) override;

    // The open rollout map showing map `map` of this block; null when none is open. Open maps
    // are shown every change before the owner hears of it, and detached when the block dies.
    IParamMap2* GetMap(MapID map = 0);
    void AddView(ParamBlockView* view) { views_.push_back(view); }
    void RemoveView(ParamBlockView* view);

private:
    struct Store {
        std::vector<PB2Slot> slots;
    };
    Store* find(ParamID id, int tabIndex, const ParamDef** def);
    void notifyChanged(ParamID id);
    void showInMaps(ParamID id);
    void setRef(PB2Slot& slot, ReferenceTarget* target, const ParamDef& def);
    BOOL setScalar(ParamID id, TimeValue t, float f, int i, bool isInt, int tabIndex);
    BOOL setRefValue(ParamID id, ReferenceTarget* v, int tabIndex, int wantedBase);
    BOOL getRefValue(ParamID id, ReferenceTarget*& v, int tabIndex, int wantedBase);
    PB2Slot defaultSlot(const ParamDef& def) const;

    ParamBlockDesc2* desc_;
    ReferenceMaker* owner_;
    std::vector<Store> stores_;  // in declaration order
    ParamID lastNotify_ = -1;
    std::vector<ParamBlockView*> views_;  // not owned; each view removes itself when it closes
};

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);

// Auto Key (the animate button).
void AnimateOn();
void AnimateOff();
BOOL Animating();
