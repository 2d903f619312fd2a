// How a parameter map shows a value in each kind of control and reads a user's edit back:
// spinners (the text of their buddy edit boxes), check boxes, radio buttons, int combo
// boxes, edit boxes, node list boxes, colour swatches and pick-node buttons. Angles show
// degrees and fractions percent, as the host's spinners do; text that is no number puts the
// old value back.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <string>

#include "host/scene.h"
#include "host/ui_model.h"
#include "max/hold.h"
#include "max/inode.h"
#include "max/interface.h"
#include "max/object.h"
#include "max/param_map2.h"

namespace {

constexpr double kRadToDeg = 57.29577951308232;

// Stored value x this = what the control shows.
double uiScale(const ParamDef& def) {
    switch (def.type & ~TYPE_TAB) {
        case TYPE_ANGLE:
            return kRadToDeg;
        case TYPE_PCNT_FRAC:
            return 100.0;
        default:
            return 1.0;
    }
}

bool showsWholeNumbers(const ParamDef& def) {
    return ValueKindOf(def.type) == PBValueKind::Int ||
           (def.ctrl_type == TYPE_SPINNER &&
            (def.spin_type == EDITTYPE_INT || def.spin_type == EDITTYPE_POS_INT || def.spin_type == EDITTYPE_TIME));
}

bool positiveOnly(const ParamDef& def) {
    return def.ctrl_type == TYPE_SPINNER && (def.spin_type == EDITTYPE_POS_INT || def.spin_type == EDITTYPE_POS_FLOAT ||
                                             def.spin_type == EDITTYPE_POS_UNIVERSE);
}

// Three decimals at most, trailing zeros dropped but one kept: 10 -> "10.0", 0.25 -> "0.25".
std::wstring formatNumber(double v, bool whole) {
    if (whole) return std::to_wstring(std::llround(v));
    if (std::fabs(v) < 0.0005) v = 0.0;  // no "-0.0"
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.3f", v);
    std::wstring s = buf;
    while (s.size() > 2 && s.back() == L'0' && s[s.size() - 2] != L'.') s.pop_back();
    return s;
}

// The whole text must be one finite number (blanks around it allowed).
bool parseNumber(const std::wstring& text, double& out) {
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    double v = std::wcstod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(v)) return false;
    while (*end && std::iswspace(wint_t(*end))) ++end;
    if (*end) return false;
    out = v;
    return true;
}

// What a pick-node button shows while no node is picked.
constexpr const MCHAR* kNoNodeCaption = L"None";

// A picked node must be in the open scene, pass the parameter's class filters and not be the
// node of the block's own object (the block would then reference its owner's node, a loop).
bool pickable(const ParamDef& def, INode* node, ReferenceMaker* owner) {
    if (!node || node->IsRootNode() || host::currentScene().findByHandle(node->GetHandle()) != node) return false;
    Object* obj = node->GetObjectRef();
    Object* base = obj ? obj->FindBaseObject() : nullptr;
    if (owner && (obj == owner || base == owner)) return false;
    if (def.class_filter != Class_ID() && (!base || base->ClassID() != def.class_filter)) return false;
    if (def.sclass_filter != 0 && (!base || base->SuperClassID() != def.sclass_filter)) return false;
    return true;
}

// Spinner pair k edits component k of a point, element k of a table, else the one value.
int tabIndexOfPair(const ParamDef& def, int pair) {
    return IsTabType(def.type) ? pair : 0;
}

}  // namespace

void IParamMap2::fillComboItems(const ParamDef& def) {
    if (def.ctrl_type != TYPE_INT_COMBOBOX || def.ctrl_ids.empty()) return;
    HWND combo = GetDlgItem(hwnd_, def.ctrl_ids[0]);
    // Items the dialog resource lists already are kept; an empty box gets the p_ui items.
    if (!combo || SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) return;
    for (StringResID id : def.items) {
        const std::wstring* text = host::ui::findString(id);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text->c_str() : L""));
    }
}

void IParamMap2::showParam(const ParamDef& def) {
    if (!hwnd_ || !pb_ || def.ctrl_ids.empty()) return;
    const TimeValue t = GetCOREInterface()->GetTime();
    const PBValueKind kind = ValueKindOf(def.type);
    auto number = [&](int element) -> double {
        if (kind == PBValueKind::Point3) return pb_->GetPoint3(def.ID, t)[std::clamp(element, 0, 2)];
        int tab = tabIndexOfPair(def, element);
        return kind == PBValueKind::Int ? double(pb_->GetInt(def.ID, t, tab)) : double(pb_->GetFloat(def.ID, t, tab));
    };
    auto showNumber = [&](int ctrl, int element) {
        SetDlgItemTextW(hwnd_, ctrl, formatNumber(number(element) * uiScale(def), showsWholeNumbers(def)).c_str());
    };
    auto itemIndex = [&](int value) {
        if (def.vals.empty()) return value;
        auto it = std::find(def.vals.begin(), def.vals.end(), value);
        return it == def.vals.end() ? -1 : int(it - def.vals.begin());
    };
    switch (def.ctrl_type) {
        case TYPE_SPINNER:
        case TYPE_SLIDER:
            for (size_t k = 0; 2 * k < def.ctrl_ids.size(); ++k) showNumber(def.ctrl_ids[2 * k], int(k));
            break;
        case TYPE_SINGLECHECKBOX:
        case TYPE_CHECKBUTTON:
            CheckDlgButton(hwnd_, def.ctrl_ids[0], pb_->GetInt(def.ID, t) ? BST_CHECKED : BST_UNCHECKED);
            break;
        case TYPE_RADIO: {
            int chosen = itemIndex(pb_->GetInt(def.ID, t));
            for (size_t k = 0; k < def.ctrl_ids.size(); ++k)
                CheckDlgButton(hwnd_, def.ctrl_ids[k], int(k) == chosen ? BST_CHECKED : BST_UNCHECKED);
            break;
        }
        case TYPE_INT_COMBOBOX:
            SendDlgItemMessageW(hwnd_, def.ctrl_ids[0], CB_SETCURSEL, WPARAM(itemIndex(pb_->GetInt(def.ID, t))), 0);
            break;
        case TYPE_EDITBOX:
            if (kind == PBValueKind::String) {
                const MCHAR* s = pb_->GetStr(def.ID, t);
                SetDlgItemTextW(hwnd_, def.ctrl_ids[0], s ? s : L"");
            } else if (kind == PBValueKind::Float || kind == PBValueKind::Int) {
                showNumber(def.ctrl_ids[0], 0);
            }
            break;
        case TYPE_NODELISTBOX: {
            HWND list = GetDlgItem(hwnd_, def.ctrl_ids[0]);
            if (!list) break;
            // An entry whose node was deleted stays, empty, so rows keep the table's indices.
            SendMessageW(list, LB_RESETCONTENT, 0, 0);
            for (int i = 0; i < pb_->Count(def.ID); ++i) {
                INode* node = pb_->GetINode(def.ID, t, i);
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node ? node->GetName() : L""));
            }
            break;
        }
        case TYPE_COLORSWATCH:
            host::ui::setSwatchColor(hwnd_, def.ctrl_ids[0], pb_->GetColor(def.ID, t));
            break;
        case TYPE_PICKNODEBUTTON: {
            INode* node = pb_->GetINode(def.ID, t);
            SetDlgItemTextW(hwnd_, def.ctrl_ids[0], node ? node->GetName() : kNoNodeCaption);
            break;
        }
        default:
            break;  // map and material buttons have no text here
    }
}

void IParamMap2::onColorChange(int controlId) {
    if (!pb_ || !desc_) return;
    for (int i = 0; i < desc_->Count(); ++i) {
        const ParamDef& def = desc_->paramdefs(i);
        if (def.ctrl_map != mapId_ || def.ctrl_type != TYPE_COLORSWATCH || def.ctrl_ids.empty() ||
            def.ctrl_ids[0] != controlId || ValueKindOf(def.type) != PBValueKind::Point3)
            continue;
        commit(def, Point3(host::ui::swatchColor(hwnd_, controlId)), 0);
        return;
    }
}

// The button's pick mode: the status bar shows the parameter's prompt (its label when the
// string table lacks it) and the node clicked is set; a cancelled or refused pick sets nothing.
void IParamMap2::pickNode(const ParamDef& def) {
    const std::wstring* prompt = def.prompt != 0 ? host::ui::findString(UINT(def.prompt)) : nullptr;
    INode* node = host::ui::askPick(prompt ? *prompt : def.label);
    if (!pb_ || !pickable(def, node, pb_->GetOwner())) {
        if (pb_) showParam(def);
        return;
    }
    commit(def, node, 0);
}

bool IParamMap2::applyFromControl(const ParamDef& def, int controlId, WORD code) {
    const auto& ids = def.ctrl_ids;
    if (ids.empty()) return false;
    const PBValueKind kind = ValueKindOf(def.type);
    const TimeValue t = GetCOREInterface()->GetTime();
    // A number typed in the control's units, element `element` of the parameter.
    auto typedNumber = [&](int element) {
        double shown = 0.0;
        if (!parseNumber(host::ui::controlText(hwnd_, controlId), shown)) {
            showParam(def);
            return;
        }
        double v = shown / uiScale(def);
        if (positiveOnly(def)) v = std::max(v, 0.0);
        const double fmax = std::numeric_limits<float>::max();
        if (kind == PBValueKind::Int) {
            commit(def, int(std::lround(std::clamp(v, double(INT_MIN), double(INT_MAX)))),
                   tabIndexOfPair(def, element));
        } else if (kind == PBValueKind::Float) {
            commit(def, float(std::clamp(v, -fmax, fmax)), tabIndexOfPair(def, element));
        } else if (kind == PBValueKind::Point3 && element < 3) {
            Point3 p = pb_->GetPoint3(def.ID, t);
            p[element] = float(std::clamp(v, -fmax, fmax));
            commit(def, p, 0);
        }
    };
    switch (def.ctrl_type) {
        case TYPE_SPINNER:
        case TYPE_SLIDER:
            for (size_t k = 0; 2 * k < ids.size(); ++k)
                if (ids[2 * k] == controlId && code == EN_CHANGE) {
                    typedNumber(int(k));
                    return true;
                }
            return false;
        case TYPE_SINGLECHECKBOX:
            if (ids[0] != controlId || code != BN_CLICKED) return false;
            commit(def, IsDlgButtonChecked(hwnd_, controlId) == BST_CHECKED ? 1 : 0, 0);
            return true;
        case TYPE_CHECKBUTTON:  // a push button that stays in: each press flips the value
            if (ids[0] != controlId || code != BN_CLICKED) return false;
            commit(def, pb_->GetInt(def.ID, t) ? 0 : 1, 0);
            return true;
        case TYPE_RADIO:
            for (size_t k = 0; k < ids.size(); ++k)
                if (ids[k] == controlId && code == BN_CLICKED) {
                    commit(def, k < def.vals.size() ? def.vals[k] : int(k), 0);
                    return true;
                }
            return false;
        case TYPE_INT_COMBOBOX: {
            if (ids[0] != controlId || code != CBN_SELCHANGE) return false;
            auto sel = SendDlgItemMessageW(hwnd_, controlId, CB_GETCURSEL, 0, 0);
            if (sel < 0)
                showParam(def);
            else
                commit(def, size_t(sel) < def.vals.size() ? def.vals[size_t(sel)] : int(sel), 0);
            return true;
        }
        case TYPE_EDITBOX:
            if (ids[0] != controlId || code != EN_CHANGE) return false;
            if (kind == PBValueKind::String)
                commit(def, host::ui::controlText(hwnd_, controlId).c_str(), 0);
            else
                typedNumber(0);
            return true;
        case TYPE_PICKNODEBUTTON:
            if (ids[0] != controlId || code != BN_CLICKED || ValueKindOf(def.type) != PBValueKind::Ref) return false;
            pickNode(def);
            return true;
        case TYPE_NODELISTBOX: {
            // {list, pick, replace, delete}: the delete button removes the selected entry.
            // Picking a node needs a viewport pick mode, which the stand-in has not.
            if (ids.size() < 4 || ids[3] == 0 || ids[3] != controlId || code != BN_CLICKED) return false;
            auto sel = SendDlgItemMessageW(hwnd_, ids[0], LB_GETCURSEL, 0, 0);
            if (sel >= 0 && sel < pb_->Count(def.ID)) {
                theHold.Begin();
                pb_->Delete(def.ID, int(sel), 1);
                theHold.Accept(def.label.empty() ? def.int_name.c_str() : def.label.c_str());
            }
            return true;
        }
        default:
            return false;
    }
}
