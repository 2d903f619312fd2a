// Host-side bookkeeping of notification registrations, for leak checks after a module
// shuts down. Main thread only.
#pragma once

#include "max/notify.h"

namespace host {
// Number of live registrations (all codes); for leak checks after a module shuts down.
int notificationCount();
}  // namespace host
