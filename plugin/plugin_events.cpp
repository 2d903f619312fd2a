#include "plugin/plugin_events.h"

#include "max/interface.h"
#include "max/notify.h"
#include "plugin/live_modifiers.h"
#include "plugin/module_state.h"
#include "plugin/scene_capture.h"
#include "utility/startup_install.h"

namespace wx {
namespace {

void onStartup(void*, NotifyInfo*) { installAtStartup(); }

// A render starts: render detail from now on, against a scene captured for this frame.
void onPreRender(void*, NotifyInfo*) {
    setHostRendering(true);
    if (!liveSnowMods().empty()) captureScene(GetCOREInterface()->GetTime());
}

// The render ended: back to viewport detail.
void onPostRender(void*, NotifyInfo*) {
    setHostRendering(false);
    invalidateAllSnowMods();
}

// A file with snow in it gathers its shelter scene shortly after it opens.
void onFileOpened(void*, NotifyInfo*) {
    if (!liveSnowMods().empty()) startCaptureTimer();
}

void onSceneGone(void*, NotifyInfo*) { discardScene(); }

struct Handler {
    NOTIFYPROC proc;
    int code;
};

constexpr Handler kHandlers[] = {
    {onStartup, NOTIFY_SYSTEM_STARTUP},     {onPreRender, NOTIFY_PRE_RENDER},   {onPostRender, NOTIFY_POST_RENDER},
    {onFileOpened, NOTIFY_FILE_POST_OPEN}, {onSceneGone, NOTIFY_SYSTEM_POST_RESET}, {onSceneGone, NOTIFY_SYSTEM_POST_NEW},
};

}  // namespace

void registerModuleHandlers() {
    for (const Handler& h : kHandlers) RegisterNotification(h.proc, nullptr, h.code);
}

void unregisterModuleHandlers() {
    for (const Handler& h : kHandlers) UnRegisterNotification(h.proc, nullptr, h.code);
    killCaptureTimer();
}

}  // namespace wx
