#include "host/module_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/class_registry.h"
#include "host/scene.h"
#include "host/ui_model.h"
#include "max/plugin_api.h"

namespace host {

bool acceptsLibVersion(ULONG version) {
    return GET_MAX_RELEASE(version) == MAX_RELEASE && GET_MAX_API_NUM(version) == MAX_API_NUM;
}

namespace {

template <class Fn>
Fn symbol(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

namespace {

bool loadModuleResources(const std::string& modulePath, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::path(modulePath).parent_path() / "resources";
    if (!fs::is_directory(dir, ec)) return true;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string why;
        if (!ui::loadResources(file.string(), why)) {
            error = "has a resource file that cannot be read: " + why;
            return false;
        }
    }
    return true;
}

}  // namespace

bool ModuleLoader::load(const std::string& path, std::string& error) {
    for (const LoadedModule& m : modules_)
        if (m.path == path) return true;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot open plug-in module '" + path + "': " + (why ? why : "unknown reason");
        return false;
    }
    auto fail = [&](const std::string& why) {
        dlclose(handle);
        error = "plug-in module '" + path + "' " + why;
        return false;
    };
    auto description = symbol<LibDescriptionFn>(handle, "LibDescription");
    auto numClasses = symbol<LibNumberClassesFn>(handle, "LibNumberClasses");
    auto classDesc = symbol<LibClassDescFn>(handle, "LibClassDesc");
    auto version = symbol<LibVersionFn>(handle, "LibVersion");
    auto init = symbol<LibInitializeFn>(handle, "LibInitialize");
    auto shutdown = symbol<LibShutdownFn>(handle, "LibShutdown");
    if (!description || !numClasses || !classDesc || !version)
        return fail("lacks one of LibDescription, LibNumberClasses, LibClassDesc, LibVersion");
    ULONG v = version();
    if (!acceptsLibVersion(v)) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "was built for SDK version 0x%08X; this host loads release %d, API %d",
                      unsigned(v), MAX_RELEASE, MAX_API_NUM);
        return fail(buf);
    }
    // A module's dialogs and strings are files in resources/ beside it (the resource
    // section of the real host's DLLs).
    std::string resourceError;
    if (!loadModuleResources(path, resourceError)) return fail(resourceError);
    if (init && !init()) return fail("refused to start (LibInitialize returned FALSE)");
    LoadedModule m;
    m.path = path;
    m.handle = handle;
    m.version = v;
    const MCHAR* d = description();
    m.description = d ? d : L"";
    m.shutdown = shutdown;
    int n = numClasses();
    for (int i = 0; i < n; ++i) {
        ClassDesc* cd = classDesc(i);
        if (cd && classRegistry().add(cd)) m.classes.push_back(cd);
    }
    modules_.push_back(std::move(m));
    return true;
}

void ModuleLoader::unloadAll() {
    if (modules_.empty()) return;
    replaceScene(nullptr);
    freeRetiredScenes();
    while (!modules_.empty()) {
        LoadedModule m = std::move(modules_.back());
        modules_.pop_back();
        if (m.shutdown) m.shutdown();
        for (ClassDesc* cd : m.classes) classRegistry().remove(cd);
        dlclose(m.handle);
    }
}

ModuleLoader& moduleLoader() {
    static ModuleLoader loader;
    return loader;
}

}  // namespace host
