// The row type of a plug-in class's parameter table: one constexpr row per parameter says
// everything the class, its dialogs, the CLI and the tests need to know about it. No host
// types, so that tools without the host (a script that lists parameters, a test of the
// core) can walk a table too; plugin/param_table_desc.h maps the rows onto the host's
// parameter block descriptor.
//
// What each column means:
//   id         the ParamID scene files store; never reused, never renumbered
//   name       the internal name scripts, scene dumps and `--set` use
//   kind       the value: Float, WorldLength (scene units; the CLI scales its default from
//              centimetres), Int, Bool (a check box), String (an edit box), NodeTable (a
//              list box of nodes), Combo (an int picked from a list of strings), Colour
//              (an RGB colour, components 0..1, in a colour swatch), Node (a single node
//              picked with a pick-node button)
//   animatable whether the value can carry keys
//   def/lo/hi  default and range (numbers; Bool 0/1; a Combo's range is its item list)
//   text       a String's default
//   colour     a Colour's default (red, green, blue)
//   map        the rollout (ParamRolloutRow::map) holding the control
//   labelId    the string id of the label, `label` its text (the undo entry's name too)
//   controls   the control ids: edit box then spinner, or the one check box / edit box /
//              combo box, or list box, add, replace, remove buttons
//   edit       how a spinner shows its number (Auto: by kind)
//   scale      a spinner's step per click
//   items      a Combo's entries (string ids), in index order
//   prompt     a Node's pick prompt (string id), shown while the user picks
//   field      the member of the class's settings record the value feeds, if any
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

namespace wx {

enum class ParamKind : uint8_t { Float, WorldLength, Int, Bool, String, NodeTable, Combo, Colour, Node };

enum class SpinnerEdit : uint8_t { Auto, Float, Universe, Int, PosFloat, PosUniverse, PosInt };

// A short list of ids (controls or combo entries), usable in constant expressions.
struct IdList {
    static constexpr int kMax = 8;
    int ids[kMax] = {};
    int count = 0;

    constexpr IdList() = default;
    constexpr IdList(std::initializer_list<int> list) {
        for (int id : list) ids[count++] = id;
    }
    constexpr const int* begin() const { return ids; }
    constexpr const int* end() const { return ids + count; }
    constexpr int operator[](int i) const { return ids[i]; }
};

// A settings record's member that one parameter feeds: a float, an int32_t or a bool.
// Numbers convert on the way in (an int parameter may feed a float field).
template <class Record>
struct FieldRef {
    float Record::*f = nullptr;
    int32_t Record::*i = nullptr;
    bool Record::*b = nullptr;

    constexpr FieldRef() = default;
    constexpr FieldRef(float Record::*p) : f(p) {}
    constexpr FieldRef(int32_t Record::*p) : i(p) {}
    constexpr FieldRef(bool Record::*p) : b(p) {}

    constexpr bool bound() const { return f || i || b; }
    // The field's address in `r` (to tell fields apart), or null when unbound.
    const void* address(const Record& r) const {
        return f ? static_cast<const void*>(&(r.*f)) : i ? static_cast<const void*>(&(r.*i)) : b ? &(r.*b) : nullptr;
    }
    void set(Record& r, float v) const {
        if (f) r.*f = v;
        if (i) r.*i = int32_t(v);
        if (b) r.*b = v != 0.0f;
    }
    void set(Record& r, int v) const {
        if (f) r.*f = float(v);
        if (i) r.*i = v;
        if (b) r.*b = v != 0;
    }
    double get(const Record& r) const { return f ? double(r.*f) : i ? double(r.*i) : b ? double(r.*b) : 0.0; }
};

// A Colour parameter's default: red, green, blue in 0..1.
struct ParamColour {
    double r = 0.0, g = 0.0, b = 0.0;
};

template <class Record>
struct ParamRow {
    int id = -1;
    const wchar_t* name = L"";
    ParamKind kind = ParamKind::Float;
    bool animatable = false;
    double def = 0.0;
    double lo = 0.0, hi = 0.0;
    const wchar_t* text = L"";
    ParamColour colour = {};
    int map = 0;
    int labelId = 0;
    const wchar_t* label = L"";
    IdList controls = {};
    SpinnerEdit edit = SpinnerEdit::Auto;
    float scale = 0.0f;
    IdList items = {};
    int prompt = 0;
    FieldRef<Record> field = {};

    constexpr bool isNumber() const { return kind == ParamKind::Float || kind == ParamKind::WorldLength; }
    constexpr bool isWhole() const {
        return kind == ParamKind::Int || kind == ParamKind::Bool || kind == ParamKind::Combo;
    }
    constexpr bool hasSpinner() const { return isNumber() || kind == ParamKind::Int; }
    constexpr bool hasRange() const { return hasSpinner() || kind == ParamKind::Combo; }
    constexpr double rangeLo() const { return kind == ParamKind::Combo ? 0.0 : lo; }
    constexpr double rangeHi() const { return kind == ParamKind::Combo ? double(items.count - 1) : hi; }
    constexpr SpinnerEdit spinnerEdit() const {
        if (edit != SpinnerEdit::Auto) return edit;
        return kind == ParamKind::WorldLength ? SpinnerEdit::Universe
               : kind == ParamKind::Int       ? SpinnerEdit::Int
                                              : SpinnerEdit::Float;
    }
};

// One rollout of a class's parameter dialogs.
struct ParamRolloutRow {
    int map = 0;
    int dialogId = 0;
    int titleId = 0;
    const wchar_t* title = L"";
    bool closed = false;  // starts rolled up
};

// The row with this id, or null.
template <class Record>
constexpr const ParamRow<Record>* findParamRow(std::span<const ParamRow<Record>> rows, int id) {
    for (const ParamRow<Record>& r : rows)
        if (r.id == id) return &r;
    return nullptr;
}

}  // namespace wx
