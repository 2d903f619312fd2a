// Parameter maps: an IParamMap2 binds the controls of one command-panel rollout to the
// parameters of a block whose p_ui names that map id. It shows the block's values at the
// current time, turns a user's edit into IParamBlock2::SetValue inside a named undo step, and
// shows values again whenever the block changes, whoever changed it. The block knows its open
// maps and detaches them when it dies, so a map outliving its block is inert, never dangling.
// ClassDesc2::BeginEditParams makes these for P_AUTO_UI blocks. Main thread only.
#pragma once

#include "max/param_block2.h"
#include "max/win_ui.h"

class Interface;
class IParamMap2;

// A plug-in's own handling of an automatic rollout: gets every message after the map has
// handled it (buttons the map does not know, extra labels to fill).
class ParamMap2UserDlgProc {
public:
    virtual ~ParamMap2UserDlgProc() = default;
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void DeleteThis() {}
    virtual void SetThing(ReferenceTarget*) {}
};

class IParamMap2 final : public ParamBlockView {
public:
    IParamMap2(const IParamMap2&) = delete;
    IParamMap2& operator=(const IParamMap2&) = delete;

    MapID GetMapID() const { return mapId_; }
    ParamBlockDesc2* GetDesc() const { return desc_; }
    IParamBlock2* GetParamBlock() const { return pb_; }
    // Shows another block of the same descriptor (the panel moving to another object of the
    // class); null leaves the controls as they are and makes them do nothing.
    void SetParamBlock(IParamBlock2* pb);
    // The rollout; null once it is closed.
    HWND GetHWnd() const { return hwnd_; }
    // Shows the block's value of one parameter (-1: all of this map's) in its controls.
    void Invalidate(ParamID id = -1, int tabIndex = -1);
    void Enable(ParamID id, BOOL onOff, int tabIndex = -1);
    void SetUserDlgProc(ParamMap2UserDlgProc* proc) { userProc_ = proc; }
    ParamMap2UserDlgProc* GetUserDlgProc() const { return userProc_; }

private:
    friend IParamMap2* CreateCPParamMap2(MapID, IParamBlock2*, Interface*, HINSTANCE, const MCHAR*, const MCHAR*, DWORD,
                                         ParamMap2UserDlgProc*, HWND, int);
    friend void DestroyCPParamMap2(IParamMap2*);
    IParamMap2(MapID map, ParamBlockDesc2* desc, IParamBlock2* pb, ParamMap2UserDlgProc* proc);
    ~IParamMap2();
    static INT_PTR dialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // ParamBlockView: the block this map shows.
    IParamMap2* ViewedMap(MapID map) override { return map == mapId_ ? this : nullptr; }
    void ParamChanged(ParamID id) override { Invalidate(id); }
    void BlockDeleted() override { SetParamBlock(nullptr); }

    void showParam(const ParamDef& def);
    void fillComboItems(const ParamDef& def);
    void onCommand(int controlId, WORD code);
    void onColorChange(int controlId);
    void pickNode(const ParamDef& def);
    bool applyFromControl(const ParamDef& def, int controlId, WORD code);
    template <class T>
    void commit(const ParamDef& def, T value, int tabIndex);

    MapID mapId_;
    ParamBlockDesc2* desc_;
    IParamBlock2* pb_;
    ParamMap2UserDlgProc* userProc_;
    HWND hwnd_ = nullptr;
};

// Adds the rollout made from dialog resource `dlgTemplate` (MAKEINTRESOURCE id) with a map
// over `pb`'s parameters of map `map`. `flags` takes APPENDROLL_CLOSED. Null when the dialog
// resource is missing. The caller destroys it with DestroyCPParamMap2.
IParamMap2* CreateCPParamMap2(MapID map, IParamBlock2* pb, Interface* ip, HINSTANCE inst, const MCHAR* dlgTemplate,
                              const MCHAR* title, DWORD flags, ParamMap2UserDlgProc* proc = nullptr,
                              HWND oldRollup = nullptr, int category = 0);
// Closes the map's rollout (if still open) and frees the map.
void DestroyCPParamMap2(IParamMap2* map);
