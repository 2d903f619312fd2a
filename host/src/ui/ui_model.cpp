#include "host/ui_model.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>

#include "host/text.h"
#include "max/interface.h"
#include "max/param_block2.h"

namespace host::ui {

namespace {

struct RolloutRec;

struct Window {
    RolloutRec* owner = nullptr;
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::wstring text;
    UINT checked = BST_UNCHECKED;
    bool enabled = true;
    std::vector<std::wstring> items;
    Color colour;  // a swatch's
    int cursel = -1;
    LONG_PTR userData = 0;
};

struct RolloutRec {
    Window dialog;
    std::vector<std::unique_ptr<Window>> controls;
    int dialogId = 0;
    DLGPROC proc = nullptr;
    bool rolledUp = false;
};

struct State {
    std::map<int, DialogResource> dialogs;
    std::map<UINT, std::wstring> strings;
    std::vector<std::unique_ptr<RolloutRec>> rollouts;
    std::unordered_set<const Window*> live;  // every handle handed out and not yet destroyed
    FileResponder responder;
    PickResponder pickResponder;
    std::vector<ShellCall> shell;
    std::vector<int> cursors;
    HCURSOR cursor = nullptr;
};

State& state() {
    static State s;
    return s;
}

Window* window(HWND h) {
    auto* w = static_cast<Window*>(h);
    return w && state().live.count(w) ? w : nullptr;
}

Window* control(HWND dlg, int id) {
    Window* d = window(dlg);
    if (!d || !d->owner || &d->owner->dialog != d) return nullptr;
    for (auto& c : d->owner->controls)
        if (c->id == id) return c.get();
    return nullptr;
}

void deliver(Window* ctrl, WORD code) {
    RolloutRec* r = ctrl->owner;
    if (r->proc) r->proc(&r->dialog, WM_COMMAND, MAKEWPARAM(WORD(ctrl->id), code), reinterpret_cast<LPARAM>(ctrl));
}

int copyOut(const std::wstring& text, MCHAR* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    int n = std::min(int(text.size()), maxCount - 1);
    std::wmemcpy(buffer, text.data(), size_t(n));
    buffer[n] = 0;
    return n;
}

}  // namespace

void addDialogResource(DialogResource dialog) {
    state().dialogs[dialog.id] = std::move(dialog);
}

const DialogResource* findDialogResource(int id) {
    auto it = state().dialogs.find(id);
    return it == state().dialogs.end() ? nullptr : &it->second;
}

const ControlResource* findControlResource(int dialogId, int controlId) {
    const DialogResource* dialog = findDialogResource(dialogId);
    if (!dialog || controlId == kStaticId) return nullptr;
    for (const ControlResource& c : dialog->controls)
        if (c.id == controlId) return &c;
    return nullptr;
}

void setString(UINT id, std::wstring text) {
    state().strings[id] = std::move(text);
}

const std::wstring* findString(UINT id) {
    auto it = state().strings.find(id);
    return it == state().strings.end() ? nullptr : &it->second;
}

HWND addRollout(int dialogId, DLGPROC proc, const std::wstring& title, LPARAM param, bool rolledUp) {
    const DialogResource* res = findDialogResource(dialogId);
    if (!res) return nullptr;
    auto r = std::make_unique<RolloutRec>();
    r->dialogId = dialogId;
    r->proc = proc;
    r->rolledUp = rolledUp;
    r->dialog.owner = r.get();
    r->dialog.text = title.empty() ? res->title : title;
    r->dialog.kind = ControlKind::Custom;
    for (const ControlResource& c : res->controls) {
        auto w = std::make_unique<Window>();
        w->owner = r.get();
        w->id = c.id;
        w->kind = c.kind;
        w->text = c.label;
        w->items = c.items;
        state().live.insert(w.get());
        r->controls.push_back(std::move(w));
    }
    state().live.insert(&r->dialog);
    HWND hwnd = &r->dialog;
    state().rollouts.push_back(std::move(r));
    if (proc) proc(hwnd, WM_INITDIALOG, 0, param);
    return window(hwnd) ? hwnd : nullptr;  // the procedure may have closed it already
}

bool deleteRollout(HWND rollout) {
    Window* d = window(rollout);
    if (!d || &d->owner->dialog != d) return false;
    RolloutRec* r = d->owner;
    if (r->proc) r->proc(rollout, WM_DESTROY, 0, 0);
    if (!window(rollout)) return true;  // closed from its own WM_DESTROY handler
    auto& all = state().rollouts;
    auto it = std::find_if(all.begin(), all.end(), [r](const auto& p) { return p.get() == r; });
    state().live.erase(&r->dialog);
    for (auto& c : r->controls) state().live.erase(c.get());
    all.erase(it);
    return true;
}

std::vector<Rollout> rollouts() {
    std::vector<Rollout> out;
    for (auto& r : state().rollouts) out.push_back({&r->dialog, r->dialogId, r->dialog.text, r->rolledUp});
    return out;
}

HWND findRollout(int dialogId) {
    for (auto& r : state().rollouts)
        if (r->dialogId == dialogId) return &r->dialog;
    return nullptr;
}

bool pressButton(HWND rollout, int controlId) {
    Window* c = control(rollout, controlId);
    if (!c || !c->enabled) return false;
    if (c->kind == ControlKind::CheckBox) c->checked = c->checked == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
    if (c->kind == ControlKind::Radio) c->checked = BST_CHECKED;
    deliver(c, BN_CLICKED);
    return true;
}

bool selectItem(HWND rollout, int controlId, int index) {
    Window* c = control(rollout, controlId);
    if (!c || !c->enabled || index < 0 || index >= int(c->items.size())) return false;
    c->cursel = index;
    deliver(c, c->kind == ControlKind::ListBox ? LBN_SELCHANGE : CBN_SELCHANGE);
    return true;
}

bool typeText(HWND rollout, int controlId, const std::wstring& text) {
    Window* c = control(rollout, controlId);
    if (!c || !c->enabled || c->kind != ControlKind::Edit) return false;
    c->text = text;
    deliver(c, EN_CHANGE);
    return true;
}

std::wstring controlText(HWND rollout, int controlId) {
    Window* c = control(rollout, controlId);
    return c ? c->text : std::wstring();
}

std::vector<std::wstring> listItems(HWND rollout, int controlId) {
    Window* c = control(rollout, controlId);
    return c ? c->items : std::vector<std::wstring>();
}

Color swatchColor(HWND rollout, int controlId) {
    Window* c = control(rollout, controlId);
    return c && c->kind == ControlKind::ColorSwatch ? c->colour : Color();
}

bool setSwatchColor(HWND rollout, int controlId, const Color& colour) {
    Window* c = control(rollout, controlId);
    if (!c || c->kind != ControlKind::ColorSwatch) return false;
    c->colour = colour;
    return true;
}

bool pickColor(HWND rollout, int controlId, const Color& colour) {
    Window* c = control(rollout, controlId);
    if (!c || !c->enabled || c->kind != ControlKind::ColorSwatch) return false;
    c->colour = colour;
    RolloutRec* r = c->owner;
    if (r->proc) r->proc(&r->dialog, CC_COLOR_CHANGE, MAKEWPARAM(WORD(c->id), WORD(TRUE)), reinterpret_cast<LPARAM>(c));
    return true;
}

void setFileResponder(FileResponder responder) {
    state().responder = std::move(responder);
}

void setPickResponder(PickResponder responder) {
    state().pickResponder = std::move(responder);
}

INode* askPick(const std::wstring& prompt) {
    return state().pickResponder ? state().pickResponder(prompt) : nullptr;
}
const std::vector<ShellCall>& shellCalls() {
    return state().shell;
}

const std::vector<int>& cursorCalls() {
    return state().cursors;
}

void resetUi() {
    while (!state().rollouts.empty()) deleteRollout(&state().rollouts.front()->dialog);
    state().dialogs.clear();
    state().strings.clear();
    state().responder = nullptr;
    state().pickResponder = nullptr;
    state().shell.clear();
    state().cursors.clear();
}

}  // namespace host::ui

using host::ui::ControlKind;

HWND GetDlgItem(HWND dlg, int id) {
    return host::ui::control(dlg, id);
}

int GetDlgCtrlID(HWND ctrl) {
    host::ui::Window* w = host::ui::window(ctrl);
    return w ? w->id : 0;
}

BOOL SetWindowTextW(HWND hwnd, const MCHAR* text) {
    host::ui::Window* w = host::ui::window(hwnd);
    if (!w) return FALSE;
    w->text = text ? text : L"";
    return TRUE;
}

int GetWindowTextW(HWND hwnd, MCHAR* buffer, int maxCount) {
    host::ui::Window* w = host::ui::window(hwnd);
    return host::ui::copyOut(w ? w->text : std::wstring(), buffer, maxCount);
}

BOOL SetDlgItemTextW(HWND dlg, int id, const MCHAR* text) {
    return SetWindowTextW(GetDlgItem(dlg, id), text);
}

UINT GetDlgItemTextW(HWND dlg, int id, MCHAR* buffer, int maxCount) {
    return UINT(GetWindowTextW(GetDlgItem(dlg, id), buffer, maxCount));
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
    host::ui::Window* c = host::ui::control(dlg, id);
    if (!c) return FALSE;
    c->checked = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) {
    host::ui::Window* c = host::ui::control(dlg, id);
    return c ? c->checked : BST_UNCHECKED;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    host::ui::Window* w = host::ui::window(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    host::ui::Window* w = host::ui::window(hwnd);
    return w && w->enabled ? TRUE : FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    host::ui::Window* w = host::ui::window(hwnd);
    if (!w) return CB_ERR;
    switch (msg) {
        case CB_ADDSTRING:
        case LB_ADDSTRING: {
            auto* text = reinterpret_cast<const MCHAR*>(lParam);
            w->items.push_back(text ? text : L"");
            return LRESULT(w->items.size() - 1);
        }
        case CB_RESETCONTENT:
        case LB_RESETCONTENT:
            w->items.clear();
            w->cursel = -1;
            return 0;
        case CB_SETCURSEL:
        case LB_SETCURSEL: {
            auto index = intptr_t(wParam);
            if (index < 0 || index >= intptr_t(w->items.size())) {
                w->cursel = -1;
                return CB_ERR;
            }
            w->cursel = int(index);
            return index;
        }
        case CB_GETCURSEL:
        case LB_GETCURSEL:
            return w->cursel;
        case CB_GETCOUNT:
        case LB_GETCOUNT:
            return LRESULT(w->items.size());
        default:
            return 0;
    }
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(GetDlgItem(dlg, id), msg, wParam, lParam);
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    host::ui::Window* w = host::ui::window(hwnd);
    if (!w || index != GWLP_USERDATA) return 0;
    LONG_PTR old = w->userData;
    w->userData = value;
    return old;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    host::ui::Window* w = host::ui::window(hwnd);
    return w && index == GWLP_USERDATA ? w->userData : 0;
}

int LoadStringW(HINSTANCE, UINT id, MCHAR* buffer, int maxCount) {
    const std::wstring* s = host::ui::findString(id);
    return s ? host::ui::copyOut(*s, buffer, maxCount) : 0;
}

static BOOL askFile(bool save, OPENFILENAMEW* ofn) {
    auto& responder = host::ui::state().responder;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0 || !responder) return FALSE;
    std::wstring path = ofn->lpstrFile;
    if (!responder(save, ofn->lpstrTitle ? ofn->lpstrTitle : L"", path)) return FALSE;
    if (path.size() + 1 > ofn->nMaxFile) return FALSE;  // the host fails rather than truncating a path
    if ((ofn->Flags & OFN_FILEMUSTEXIST) && !std::filesystem::is_regular_file(host::toUtf8(path))) return FALSE;
    host::ui::copyOut(path, ofn->lpstrFile, int(ofn->nMaxFile));
    return TRUE;
}

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) {
    return askFile(false, ofn);
}
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) {
    return askFile(true, ofn);
}

HINSTANCE ShellExecuteW(HWND, const MCHAR* operation, const MCHAR* file, const MCHAR* parameters, const MCHAR*, int) {
    host::ui::state().shell.push_back({operation ? operation : L"", file ? file : L"", parameters ? parameters : L""});
    return reinterpret_cast<HINSTANCE>(intptr_t(42));  // above 32: success, as the host reports it
}

HCURSOR LoadCursorW(HINSTANCE, const MCHAR* name) {
    return const_cast<MCHAR*>(name);
}

HCURSOR SetCursor(HCURSOR cursor) {
    host::ui::state().cursors.push_back(int(reinterpret_cast<uintptr_t>(cursor)));
    return std::exchange(host::ui::state().cursor, cursor);
}

HWND Interface::AddRollupPage(HINSTANCE, const MCHAR* dlgTemplate, DLGPROC proc, const MCHAR* title, LPARAM param,
                              DWORD flags, int) {
    auto id = reinterpret_cast<uintptr_t>(dlgTemplate);
    if (id > 0xFFFF) return nullptr;  // named templates are not modelled; resources have ids
    return host::ui::addRollout(int(id), proc, title ? title : L"", param, (flags & APPENDROLL_CLOSED) != 0);
}

void Interface::DeleteRollupPage(HWND hRollup) {
    host::ui::deleteRollout(hRollup);
}
