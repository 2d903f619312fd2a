#include "plugin/module_state.h"

#include "max/interface.h"
#include "max/timer.h"
#include "plugin/scene_capture.h"

namespace wx {
namespace {

HINSTANCE gInstance = nullptr;
bool gRendering = false;
UINT_PTR gCaptureTimer = 0;

void captureTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (id == gCaptureTimer) gCaptureTimer = 0;
    Interface* ip = GetCOREInterface();
    captureScene(ip->GetTime());
    ip->RedrawViews(ip->GetTime());
}

}  // namespace

HINSTANCE moduleInstance() { return gInstance; }
void setModuleInstance(HINSTANCE instance) { gInstance = instance; }
bool hostRendering() { return gRendering; }
void setHostRendering(bool rendering) { gRendering = rendering; }

void startCaptureTimer() {
    if (gCaptureTimer) return;
    gCaptureTimer = SetTimer(nullptr, 0, kCaptureDelayMs, captureTimerProc);
}

bool captureTimerPending() { return gCaptureTimer != 0; }

void killCaptureTimer() {
    if (!gCaptureTimer) return;
    KillTimer(nullptr, gCaptureTimer);
    gCaptureTimer = 0;
}

}  // namespace wx
