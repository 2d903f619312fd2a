// A parameter table (plugin/param_table.h) on the host's side: the block descriptor built
// from its rows, and a settings record filled from a parameter block by the rows that name
// a field. Main thread for the descriptor; the reader runs wherever the block may be read.
#pragma once

#include <span>

#include "max/param_block2.h"
#include "plugin/param_table.h"

namespace wx {

inline int paramType(ParamKind kind) {
    switch (kind) {
        case ParamKind::Float:
            return TYPE_FLOAT;
        case ParamKind::WorldLength:
            return TYPE_WORLD;
        case ParamKind::Int:
        case ParamKind::Combo:
            return TYPE_INT;
        case ParamKind::Bool:
            return TYPE_BOOL;
        case ParamKind::String:
            return TYPE_STRING;
        case ParamKind::NodeTable:
            return TYPE_INODE_TAB;
        case ParamKind::Colour:
            return TYPE_RGBA;
        case ParamKind::Node:
            return TYPE_INODE;
    }
    return TYPE_FLOAT;
}

inline EditSpinnerType editSpinnerType(SpinnerEdit edit) {
    switch (edit) {
        case SpinnerEdit::Int:
            return EDITTYPE_INT;
        case SpinnerEdit::Universe:
            return EDITTYPE_UNIVERSE;
        case SpinnerEdit::PosFloat:
            return EDITTYPE_POS_FLOAT;
        case SpinnerEdit::PosUniverse:
            return EDITTYPE_POS_UNIVERSE;
        case SpinnerEdit::PosInt:
            return EDITTYPE_POS_INT;
        case SpinnerEdit::Float:
        case SpinnerEdit::Auto:
            break;
    }
    return EDITTYPE_FLOAT;
}

// The control a row's kind shows as, spinners aside.
inline ControlType2 controlType(ParamKind kind) {
    switch (kind) {
        case ParamKind::Bool:
            return TYPE_SINGLECHECKBOX;
        case ParamKind::String:
            return TYPE_EDITBOX;
        case ParamKind::NodeTable:
            return TYPE_NODELISTBOX;
        case ParamKind::Combo:
            return TYPE_INT_COMBOBOX;
        case ParamKind::Colour:
            return TYPE_COLORSWATCH;
        case ParamKind::Node:
            return TYPE_PICKNODEBUTTON;
        default:
            return TYPE_SPINNER;
    }
}

// Adds one parameter per row, in row order, and the rollouts.
template <class Record>
void addParamRows(ParamBlockDesc2& block, std::span<const ParamRolloutRow> rollouts,
                  std::span<const ParamRow<Record>> rows) {
    for (const ParamRolloutRow& r : rollouts)
        block.AddRollout(MapID(r.map), r.dialogId, r.titleId, r.title, 0, r.closed ? APPENDROLL_CLOSED : 0);
    for (const ParamRow<Record>& row : rows) {
        ParamDef& d = block.AddParam(ParamID(row.id), row.name, paramType(row.kind),
                                     row.kind == ParamKind::NodeTable ? P_VARIABLE_SIZE
                                     : row.animatable                 ? P_ANIMATABLE
                                                                      : 0,
                                     row.labelId);
        d.Label(row.label);
        if (row.isNumber()) d.Default(float(row.def)).Range(float(row.lo), float(row.hi));
        if (row.isWhole()) d.Default(int(row.def));
        if (row.isWhole() && row.hasRange()) d.Range(int(row.rangeLo()), int(row.rangeHi()));
        if (row.kind == ParamKind::String) d.Default(row.text);
        if (row.kind == ParamKind::NodeTable) d.TableSize(0);
        if (row.kind == ParamKind::Colour) d.Default(Point3(float(row.colour.r), float(row.colour.g), float(row.colour.b)));
        if (row.kind == ParamKind::Node) d.Prompt(row.prompt);
        const MapID map = MapID(row.map);
        if (row.hasSpinner()) {
            d.Spinner(map, editSpinnerType(row.spinnerEdit()), row.controls[0], row.controls[1], row.scale);
        } else if (row.kind == ParamKind::Combo) {
            d.ctrl_type = TYPE_INT_COMBOBOX;
            d.ctrl_map = map;
            d.ctrl_ids = {row.controls[0]};
            d.items.assign(row.items.begin(), row.items.end());
        } else {
            d.ctrl_type = controlType(row.kind);
            d.ctrl_map = map;
            d.ctrl_ids.assign(row.controls.begin(), row.controls.end());
        }
    }
}

// Fills each field a row names with the block's value at t, narrowing `valid` as it reads.
template <class Record>
void readParamFields(IParamBlock2* pb, TimeValue t, Interval& valid, std::span<const ParamRow<Record>> rows,
                     Record& out) {
    for (const ParamRow<Record>& row : rows) {
        if (!row.field.bound()) continue;
        if (row.isNumber()) {
            float v = 0.0f;
            pb->GetValue(ParamID(row.id), t, v, valid);
            row.field.set(out, v);
        } else if (row.isWhole()) {
            int v = 0;
            pb->GetValue(ParamID(row.id), t, v, valid);
            row.field.set(out, v);
        }
    }
}

}  // namespace wx
