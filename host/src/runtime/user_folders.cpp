#include "host/user_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "max/interface.h"

namespace host {

std::string userDataBase() {
    if (const char* own = std::getenv("TWEATHER_USER_DIR")) return own;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/tweather";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/share/tweather";
    return {};
}

std::string userFolder(int which) {
    const char* leaf = which == APP_USER_MACROS_DIR    ? "usermacros"
                       : which == APP_USER_SCRIPTS_DIR ? "userscripts"
                                                       : nullptr;
    const std::string base = userDataBase();
    if (!leaf || base.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(base) / leaf;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) return {};
    return folder.string();
}

}  // namespace host
