// What a plug-in module exports, by these undecorated names, for the host to find with
// dlsym: LibDescription, LibNumberClasses, LibClassDesc, LibVersion and optionally
// LibInitialize and LibShutdown. Modules do not link the host library; the host
// executable exports its symbols (GetCOREInterface, RegisterNotification, theHold, ...) and
// the dynamic linker binds the module to them when it is opened. The host calls the
// exports on its main thread only.
#pragma once

#include "max/class_desc.h"

#define WX_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

using LibDescriptionFn = const MCHAR* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = ULONG (*)();
using LibInitializeFn = int (*)();
using LibShutdownFn = int (*)();
