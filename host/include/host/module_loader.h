// Loads plug-in modules with dlopen, as the host loads its plug-in DLLs at start-up: resolve
// the Lib* exports, refuse a module built against an SDK whose LibVersion this host does not
// accept (same release and API number), call LibInitialize (FALSE unloads the module),
// register each LibClassDesc(i) with the class registry (a class id already registered is
// skipped: the first loaded wins), and at unload call LibShutdown, forget the descriptors
// and dlclose, newest first; the open scene is freed first, since a module's objects must
// not outlive its code. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/class_desc.h"

namespace host {

struct LoadedModule {
    std::string path;
    void* handle = nullptr;
    std::wstring description;
    ULONG version = 0;
    std::vector<ClassDesc*> classes;  // the ones registered (duplicates left out)
    int (*shutdown)() = nullptr;
};

// Whether this host loads modules that return `version` from LibVersion.
bool acceptsLibVersion(ULONG version);

class ModuleLoader {
public:
    // Loads one module; false with `error` naming the file and the reason.
    bool load(const std::string& path, std::string& error);
    // Frees the scene, then shuts every module down and closes it.
    void unloadAll();
    const std::vector<LoadedModule>& modules() const { return modules_; }

private:
    std::vector<LoadedModule> modules_;
};

ModuleLoader& moduleLoader();

}  // namespace host
