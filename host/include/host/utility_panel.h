// The Utilities tab of the stand-in's command panel: at most one utility plug-in open at a
// time, opened by class descriptor the way the host's utility list (or
// `UtilityPanel.OpenUtility`) does. Opening one closes the utility open before it. Main
// thread only.
#pragma once

#include <string>

#include "max/class_desc.h"
#include "max/utility_obj.h"

namespace host {

// Creates the class's instance through its descriptor and calls its BeginEditParams. Opening
// the class that is already open changes nothing. False with a message, and no utility open,
// when `desc` is no utility class or its descriptor makes no instance.
bool openUtility(ClassDesc* desc, std::wstring& error);
// EndEditParams, then DeleteThis, on the open utility; nothing when none is open.
void closeUtility();
ClassDesc* openUtilityClass();    // null when none is open
UtilityObj* openUtilityObject();  // null when none is open

}  // namespace host
