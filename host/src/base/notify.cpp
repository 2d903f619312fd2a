#include "max/notify.h"

#include <algorithm>
#include <vector>

#include "host/notifications.h"

namespace {

struct Registration {
    NOTIFYPROC proc;
    void* param;
    int code;
    bool operator==(const Registration&) const = default;
};

std::vector<Registration>& registry() {
    static std::vector<Registration> list;
    return list;
}

}  // namespace

int RegisterNotification(NOTIFYPROC proc, void* param, int code) {
    if (!proc) return 0;
    Registration r{proc, param, code};
    auto& list = registry();
    if (std::find(list.begin(), list.end(), r) == list.end()) list.push_back(r);
    return 1;
}

int UnRegisterNotification(NOTIFYPROC proc, void* param, int code) {
    auto& list = registry();
    auto it = std::find(list.begin(), list.end(), Registration{proc, param, code});
    if (it == list.end()) return 0;
    list.erase(it);
    return 1;
}

int UnRegisterNotification(NOTIFYPROC proc, void* param) {
    auto& list = registry();
    auto before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Registration& r) { return r.proc == proc && r.param == param; }),
               list.end());
    return list.size() != before ? 1 : 0;
}

void BroadcastNotification(int code) {
    BroadcastNotification(code, nullptr);
}

void BroadcastNotification(int code, void* callParam) {
    std::vector<Registration> snapshot = registry();
    for (const Registration& r : snapshot) {
        if (r.code != code) continue;
        auto& live = registry();
        if (std::find(live.begin(), live.end(), r) == live.end()) continue;  // removed meanwhile
        NotifyInfo info{code, callParam};
        r.proc(r.param, &info);
    }
}

namespace host {
int notificationCount() {
    return int(registry().size());
}
}  // namespace host
