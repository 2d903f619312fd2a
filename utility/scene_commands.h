// The commands that act on weather already in the scene: Remove (snow, weather materials and
// fall volumes off the targets, one undo step "Remove Tarnwick Weather"), Bake (snow turned
// into plain meshes in place, one undo step "Bake snow"), Update shelter (the shelter scene
// gathered again), and the panel's material list and paint advice. All scene work goes
// through the materials library's script functions; every text the panel shows also
// becomes the last report. Main thread only.
#pragma once

#include <string>

namespace wx {

// Remove(applyTo): the report, also the last report. Runs with no targets too: the falls go.
std::wstring removeWeather(int applyTo);
// Bake(): the script's text, not stored anywhere (the scripting interface returns it).
std::wstring bakeWeather();
// Update shelter: the shelter scene gathered at the current time; its triangle count.
int updateShelter();

// The panel's forms: each text becomes the last report (shown in the open panel), and
// the viewports are redrawn where the scene changed.
void bakeFromPanel();
void updateShelterFromPanel();
void coverDialogFromPanel();
void paintFromPanel();

}  // namespace wx
