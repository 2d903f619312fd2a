#include "app/weather_module.h"

#include <cstdlib>
#include <filesystem>

#include "host/host_app.h"

namespace tweather {
namespace {

namespace fs = std::filesystem;
constexpr const char* kModuleFile = "tweather-weather.so";

fs::path executableFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

}  // namespace

std::string weatherModulePath() {
    if (const char* named = std::getenv("TWEATHER_PLUGIN"); named && *named) return named;
    const fs::path folder = executableFolder();
    if (folder.empty()) return {};
    std::error_code ec;
    for (const fs::path& candidate : {folder.parent_path() / "plugins" / kModuleFile, folder / "plugins" / kModuleFile})
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    return {};
}

std::vector<std::string> modulesToLoad(const std::vector<std::string>& extra, std::string& warning) {
    std::vector<std::string> modules;
    const std::string weather = weatherModulePath();
    if (weather.empty())
        warning = std::string("the weather plug-in (") + kModuleFile +
                  ") was not found in plugins/ beside the program; set TWEATHER_PLUGIN to its path";
    else
        modules.push_back(weather);
    for (const std::string& m : extra)
        if (m != weather) modules.push_back(m);
    return modules;
}

WeatherHost::WeatherHost(const std::vector<std::string>& extra, const std::function<void(const std::string&)>& report) {
    std::string warning;
    const std::vector<std::string> modules = modulesToLoad(extra, warning);
    if (!warning.empty()) {
        report(warning);
        return;
    }
    running_ = true;
    std::vector<std::string> errors;
    host::startUp(modules, errors);
    for (const std::string& e : errors) report(e);
    modulesLoaded_ = errors.empty();
}

WeatherHost::~WeatherHost() {
    if (running_) host::shutDown();
}

}  // namespace tweather
