// The subset of the Windows dialog API that plug-in panels use, over the stand-in's UI
// model: windows are handles to controls of rollouts made from dialog resources; messages
// go straight to the dialog procedure. Nothing is drawn. Main thread only.
#pragma once

#include <cstdint>

#include "max/max_types.h"

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using INT_PTR = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using DLGPROC = INT_PTR (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_USER = 0x0400;
// A colour swatch tells its dialog that the user changed its colour: LOWORD(wParam) is the
// swatch's id, HIWORD(wParam) TRUE once the pick is final (the button let go).
constexpr UINT CC_COLOR_CHANGE = WM_USER + 603;
constexpr WORD BN_CLICKED = 0;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD EN_CHANGE = 0x0300;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
// A three-state box's third state, set by CheckDlgButton; a user's press takes it to
// unchecked, as a press on a checked box does.
constexpr UINT BST_INDETERMINATE = 2;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr LRESULT CB_ERR = -1;
constexpr LRESULT LB_ERR = -1;
constexpr int GWLP_USERDATA = -21;

inline WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return WPARAM(lo) | (WPARAM(hi) << 16);
}
inline WORD LOWORD(WPARAM v) {
    return WORD(v & 0xFFFF);
}
inline WORD HIWORD(WPARAM v) {
    return WORD((v >> 16) & 0xFFFF);
}
inline const MCHAR* MAKEINTRESOURCE(int id) {
    return reinterpret_cast<const MCHAR*>(uintptr_t(WORD(id)));
}

HWND GetDlgItem(HWND dlg, int id);
int GetDlgCtrlID(HWND ctrl);
BOOL SetWindowTextW(HWND hwnd, const MCHAR* text);
int GetWindowTextW(HWND hwnd, MCHAR* buffer, int maxCount);  // truncates; always terminated
BOOL SetDlgItemTextW(HWND dlg, int id, const MCHAR* text);
UINT GetDlgItemTextW(HWND dlg, int id, MCHAR* buffer, int maxCount);
BOOL CheckDlgButton(HWND dlg, int id, UINT check);
UINT IsDlgButtonChecked(HWND dlg, int id);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Combo and list box messages (CB_*/LB_*); lParam of *_ADDSTRING is a const MCHAR*.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
// Loads string `id` of the string table; the number of characters copied, 0 when absent.
int LoadStringW(HINSTANCE inst, UINT id, MCHAR* buffer, int maxCount);

struct OPENFILENAMEW {
    DWORD lStructSize = sizeof(OPENFILENAMEW);
    HWND hwndOwner = nullptr;
    const MCHAR* lpstrFilter = nullptr;
    MCHAR* lpstrFile = nullptr;  // in: initial name; out: the chosen path
    DWORD nMaxFile = 0;
    const MCHAR* lpstrTitle = nullptr;
    const MCHAR* lpstrDefExt = nullptr;
    DWORD Flags = 0;
};
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
// Answered by the stand-in's responder; FALSE when it cancels or the path does not fit, and
// with OFN_FILEMUSTEXIST when the answer names no existing file (the user could not have
// confirmed it).
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);
// The key's state at this moment: the high bit set (the value negative) while it is down.
// The stand-in knows one key, Escape, which the host's callers press and release
// (host/keyboard.h); every other key reads as up.
constexpr int VK_ESCAPE = 0x1B;
SHORT GetAsyncKeyState(int vKey);
constexpr int SW_SHOWNORMAL = 1;
// Recorded, never run.
HINSTANCE ShellExecuteW(HWND hwnd, const MCHAR* operation, const MCHAR* file, const MCHAR* parameters,
                        const MCHAR* directory, int showCommand);

// Cursors: nothing is drawn, so SetCursor only records the cursor asked for (the stand-in's
// ui model lists them); LoadCursorW answers the system cursor's id as its handle.
using HCURSOR = void*;
inline const MCHAR* const IDC_ARROW = MAKEINTRESOURCE(32512);
inline const MCHAR* const IDC_WAIT = MAKEINTRESOURCE(32514);
HCURSOR LoadCursorW(HINSTANCE inst, const MCHAR* name);
HCURSOR SetCursor(HCURSOR cursor);  // the cursor before
