#include "utility/scene_commands.h"

#include <cstdio>
#include <vector>

#include "max/hold.h"
#include "max/interface.h"
#include "plugin/scene_capture.h"
#include "utility/make_weather.h"
#include "utility/script_bridge.h"

namespace wx {

std::wstring removeWeather(int applyTo) {
    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    const std::vector<INode*> targets = gatherTargets(applyTo, t);
    theHold.Begin();
    int restored = 0;
    for (INode* node : targets) {
        runScript(L"TWeatherMtl.removeSnow " + nodeRef(node));
        std::wstring answer;
        if (runScript(L"TWeatherMtl.restore " + nodeRef(node), &answer) && answer == L"true") ++restored;
    }
    std::wstring falls;
    runScript(L"TWeatherMtl.removeFall()", &falls);
    theHold.Accept(L"Remove Tarnwick Weather");
    setLastWeatherReport(L"Removed the weather from " + std::to_wstring(targets.size()) + L" objects (" +
                         std::to_wstring(restored) + L" materials restored) and " + falls + L" falling object(s).");
    ip->RedrawViews(t);
    return lastWeatherReport();
}

std::wstring bakeWeather() {
    theHold.Begin();
    std::wstring text;
    runScript(L"TWeatherMtl.bake()", &text);
    theHold.Accept(L"Bake snow");
    return text;
}

int updateShelter() {
    captureScene(GetCOREInterface()->GetTime());
    return capturedTriangles();
}

void bakeFromPanel() {
    setLastWeatherReport(bakeWeather());
    Interface* ip = GetCOREInterface();
    ip->RedrawViews(ip->GetTime());
}

void updateShelterFromPanel() {
    const int triangles = updateShelter();
    wchar_t text[160];
    std::swprintf(text, 160, L"Shelter updated: %d scene triangles in %.0f ms. Every snow layer re-evaluates.",
                  triangles, captureMs());
    setLastWeatherReport(text);
    Interface* ip = GetCOREInterface();
    ip->RedrawViews(ip->GetTime());
}

void coverDialogFromPanel() {
    std::wstring text;
    runScript(L"TWeatherMtl.coverDialog()", &text);
    setLastWeatherReport(text);
}

void paintFromPanel() {
    std::wstring text;
    runScript(L"TWeatherMtl.paint (selection as array)", &text);
    setLastWeatherReport(text);
}

}  // namespace wx
