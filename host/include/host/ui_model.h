// The stand-in's UI model: dialog resources (controls by id, kind and label) and a string
// table, rollouts made from them with a dialog procedure, and calls that press a button,
// pick an item or type text the way a user would, delivering the messages the procedure
// expects. Open/save dialogs are answered by a settable responder; ShellExecute is
// recorded. A rollout's handle stays valid until DeleteRollupPage. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "max/point3.h"
#include "max/win_ui.h"

class INode;

namespace host::ui {

// New kinds go at the end: the numeric values are stable.
enum class ControlKind {
    Button,
    CheckBox,
    Radio,
    Edit,
    Static,
    ComboBox,
    ListBox,
    Spinner,
    Group,
    Custom,
    ColorSwatch
};

// Control id -1 is the SDK's IDC_STATIC: labels, group boxes and pictures, which may repeat.
constexpr int kStaticId = -1;

struct ControlResource {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::wstring label;  // the caption; the string table's text when labelId is set
    UINT labelId = 0;
    std::vector<UINT> itemIds = {};        // a combo or list box's entries as string ids...
    std::vector<std::wstring> items = {};  // ...and their texts; a rollout starts with them listed
    int buddy = 0;                         // a spinner's edit box, in the same dialog
    int image = 0;                         // a picture static's bitmap resource
};

struct DialogResource {
    int id = 0;
    std::wstring title;  // the string table's text when titleId is set
    std::vector<ControlResource> controls;
    UINT titleId = 0;
};

// Resources by id; adding one with a taken id replaces it.
void addDialogResource(DialogResource dialog);
const DialogResource* findDialogResource(int id);
void setString(UINT id, std::wstring text);
const std::wstring* findString(UINT id);
const ControlResource* findControlResource(int dialogId, int controlId);  // null for kStaticId
// Reads a resource file: {"strings": {"id": "text"...}, "dialogs": [{"id", "title" or
// "titleId", "controls": [{"id", "kind", "label" or "labelId", "items": [string ids],
// "buddy": edit id, "image": bitmap id}]}]}. String ids resolve against the file's own
// strings, then those already loaded, so each file loads on its own. A control id repeated
// within a dialog (other than kStaticId), a buddy that is not an edit box of the dialog, items
// on a control that is no combo or list box, or an unknown string id fail the whole file,
// with a message naming the file, dialog and control; nothing of a failed file is added.
bool loadResources(const std::string& path, std::string& error);

// Rollouts, in the order they were added.
struct Rollout {
    HWND hwnd;
    int dialogId;
    std::wstring title;
    bool rolledUp = false;  // added closed (APPENDROLL_CLOSED): only its title bar shows
};
// Null if there is no such resource.
HWND addRollout(int dialogId, DLGPROC proc, const std::wstring& title, LPARAM param, bool rolledUp = false);
bool deleteRollout(HWND rollout);  // sends WM_DESTROY first
std::vector<Rollout> rollouts();
HWND findRollout(int dialogId);  // the first open rollout made from that dialog

// A user's actions. False (and no message) when the control is missing or disabled.
bool pressButton(HWND rollout, int controlId);  // check boxes toggle first
bool selectItem(HWND rollout, int controlId, int index);
bool typeText(HWND rollout, int controlId, const std::wstring& text);
std::wstring controlText(HWND rollout, int controlId);
std::vector<std::wstring> listItems(HWND rollout, int controlId);
// Colour swatches: the colour shown, and a user's final pick in the colour picker (the
// swatch shows it and sends CC_COLOR_CHANGE). False when the control is missing, disabled or
// no swatch.
Color swatchColor(HWND rollout, int controlId);
bool setSwatchColor(HWND rollout, int controlId, const Color& colour);
bool pickColor(HWND rollout, int controlId, const Color& colour);

// Open/save dialogs: the responder gets (save?, title) and answers a path, or nothing to cancel.
using FileResponder = std::function<bool(bool save, const std::wstring& title, std::wstring& path)>;
void setFileResponder(FileResponder responder);
// Picking a node in a viewport (a pick-node button's pick mode): the responder gets the
// prompt the status bar would show and answers the node clicked, or null to cancel. Without
// a responder every pick is cancelled.
using PickResponder = std::function<INode*(const std::wstring& prompt)>;
void setPickResponder(PickResponder responder);
INode* askPick(const std::wstring& prompt);
struct ShellCall {
    std::wstring operation, file, parameters;
};
const std::vector<ShellCall>& shellCalls();
// The system cursor ids SetCursor was given, oldest first (IDC_WAIT is 32514).
const std::vector<int>& cursorCalls();

// Closes every rollout and forgets resources, strings, the responders and the shell and
// cursor records.
void resetUi();

}  // namespace host::ui
