// Where the command line finds the weather plug-in module: TWEATHER_PLUGIN names it
// outright; otherwise it is plugins/tweather-weather.so beside the executable's folder
// (the build tree's layout) or inside it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tweather {

// The module's path, or empty when it is nowhere to be found.
std::string weatherModulePath();

// The weather module (when found) followed by the extra modules a command names. When it
// is not found, `warning` says where it was looked for.
std::vector<std::string> modulesToLoad(const std::vector<std::string>& extra, std::string& warning);

// The host started with the weather module and `extra`, shut down when this goes out of
// scope. Each problem goes to `report`: the weather module not found (then nothing is
// started), or a module that failed to load (a --plugin that is no module); either way
// started() is false and the command stops with the I/O exit code.
class WeatherHost {
public:
    WeatherHost(const std::vector<std::string>& extra, const std::function<void(const std::string&)>& report);
    ~WeatherHost();
    WeatherHost(const WeatherHost&) = delete;
    WeatherHost& operator=(const WeatherHost&) = delete;
    bool started() const { return running_ && modulesLoaded_; }

private:
    bool running_ = false;
    bool modulesLoaded_ = false;
};

}  // namespace tweather
