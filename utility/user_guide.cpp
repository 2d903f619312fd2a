#include "utility/user_guide.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "max/max_types.h"

namespace wx {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::wstring widen(const std::string& utf8Path) {
    return std::wstring(MSTR::FromUTF8(utf8Path.c_str()));
}

}  // namespace

std::vector<std::string> userGuideFolders(const std::string& moduleDir) {
    std::vector<std::string> folders;
    if (!moduleDir.empty()) folders.push_back(moduleDir + "/../share/tweather/");
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() && !environment("HOME").empty()) data = environment("HOME") + "/.local/share";
    if (!data.empty()) folders.push_back(data + "/tweather/");
    std::string dirs = environment("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start) folders.push_back(dirs.substr(start, end - start) + "/tweather/");
        start = end + 1;
    }
    return folders;
}

std::wstring userGuideTarget(const std::string& moduleDir) {
    for (const std::string& folder : userGuideFolders(moduleDir)) {
        const std::filesystem::path guide = std::filesystem::path(folder) / kUserGuideFileName;
        std::error_code error;
        if (std::filesystem::is_regular_file(guide, error))
            return widen(std::filesystem::weakly_canonical(guide, error).string());
    }
    return kMakerWebAddress;
}

std::string moduleFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&moduleFolder), &info) || !info.dli_fname) return {};
    std::error_code error;
    const std::filesystem::path self = std::filesystem::absolute(info.dli_fname, error);
    return error ? std::string() : self.parent_path().string();
}

}  // namespace wx
