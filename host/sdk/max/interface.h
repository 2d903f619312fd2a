// The host's core interface: the scene root, time slider and animation range, selection,
// node lookup and creation, viewport redraws (counted: there are no viewports) and the
// application folders. GetCOREInterface returns the one instance; it always speaks for the
// open scene. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/inode.h"
#include "max/win_ui.h"

constexpr DWORD REDRAW_BEGIN = 1u << 0;
constexpr DWORD REDRAW_INTERACTIVE = 1u << 1;
constexpr DWORD REDRAW_END = 1u << 2;
constexpr DWORD REDRAW_NORMAL = 1u << 3;

constexpr int APP_SCENE_DIR = 1;
constexpr int APP_IMPORT_DIR = 2;
constexpr int APP_EXPORT_DIR = 3;
constexpr int APP_PLUGCFG_DIR = 9;
constexpr int APP_SCRIPTS_DIR = 15;
constexpr int APP_USER_SCRIPTS_DIR = 26;
constexpr int APP_USER_MACROS_DIR = 27;
constexpr int APP_TEMP_DIR = 29;

using INodeTab = std::vector<INode*>;

class DllDir;
class ViewExp;

using LPVOID = void*;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

class Interface {
public:
    virtual ~Interface() = default;
    INode* GetRootNode();
    TimeValue GetTime();
    void SetTime(TimeValue t, BOOL redraw = TRUE);
    Interval GetAnimRange();
    void SetAnimRange(Interval range);
    int GetSelNodeCount();
    INode* GetSelNode(int i);
    void SelectNode(INode* node, int clearSel = 1);
    void DeSelectNode(INode* node);
    void ClearNodeSelection(BOOL redraw = TRUE);
    INode* GetINodeByHandle(ULONG handle);
    INode* GetINodeByName(const MCHAR* name);
    INode* CreateObjectNode(Object* obj);
    void DeleteNode(INode* node, BOOL redraw = TRUE, BOOL overrideSlaves = FALSE);
    // Creates an instance of a registered class (null when unknown).
    void* CreateInstance(SClass_ID superID, Class_ID classID);
    // The directory of the classes the host knows (max/class_directory.h).
    DllDir& GetDllDir();
    void RedrawViews(TimeValue t, DWORD vpFlags = REDRAW_NORMAL, ReferenceTarget* change = nullptr);
    void ForceCompleteRedraw(BOOL doDisabled = TRUE);
    // The viewport the user works in; the host owns it (host/viewport.h: activeViewport).
    ViewExp& GetActiveViewExp();
    // Folder paths without a trailing separator; empty for ids the stand-in does not keep.
    // The user macro and script folders are made on demand under the user's data folder
    // (host/user_folders.h) unless SetDir overrides them.
    const MCHAR* GetDir(int which);
    // Command-panel rollouts from dialog resources (MAKEINTRESOURCE ids); see host/ui_model.h.
    HWND AddRollupPage(HINSTANCE inst, const MCHAR* dlgTemplate, DLGPROC proc, const MCHAR* title, LPARAM param = 0,
                       DWORD flags = 0, int category = 0);
    void DeleteRollupPage(HWND hRollup);
    HWND GetMAXHWnd() { return nullptr; }
    // The renderer's output size in pixels (640 x 480 in a new scene; saved with it).
    // Values outside 1..32768 are ignored.
    int GetRendWidth();
    int GetRendHeight();
    void SetRendWidth(int width);
    void SetRendHeight(int height);

    // The progress bar of a long command: a title, then percentages, then the end. fn, when
    // given, runs at once with arg. The stand-in draws it on stderr when that is a terminal.
    BOOL ProgressStart(const MCHAR* title, BOOL dispBar, LPTHREAD_START_ROUTINE fn, LPVOID arg);
    void ProgressUpdate(int pct, BOOL showPct = TRUE, const MCHAR* title = nullptr);
    void ProgressEnd();
    BOOL GetCancel() { return FALSE; }

    // Stand-in: what the progress bar showed ("start TITLE", "N%", "end"), oldest first.
    const std::vector<std::wstring>& ProgressLog() const { return progress_; }
    void ClearProgressLog() { progress_.clear(); }

    // Stand-in: redraw requests so far, and folder overrides (an empty path drops one).
    int RedrawCount() const { return redraws_; }
    void SetDir(int which, const std::wstring& path);

private:
    std::wstring progressTitle_;
    std::vector<std::wstring> progress_;
    int redraws_ = 0;
    std::vector<std::pair<int, std::wstring>> dirs_;
    std::vector<std::pair<int, std::wstring>> userDirs_;
};

class Bitmap;

class Interface7 : public Interface {
public:
    void GetSelNodeTab(INodeTab& nodes);
    // The image of the last finished render, owned by the host (never delete it); null
    // before the first render. The next render replaces it.
    Bitmap* GetLastRenderedImage();
};

Interface* GetCOREInterface();
Interface7* GetCOREInterface7();
