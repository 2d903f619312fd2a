// The stand-in host for the fuzz targets of its readers, started once (no modules).
#pragma once

#include <string>
#include <vector>

#include "host/host_app.h"

namespace wx::fuzz {

inline void startHostOnce() {
    static const bool started = [] {
        std::vector<std::string> errors;
        host::startUp({}, errors);
        return true;
    }();
    (void)started;
}

}  // namespace wx::fuzz
