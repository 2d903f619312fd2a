// Broadcast notifications: callbacks registered for a code run, in registration order, when
// the host broadcasts that code. The key is (proc, param, code); registering the same key
// twice keeps one entry. A broadcast works on a copy of the list, so a callback may
// (un)register others; one unregistered during the broadcast is not called after that.
// Main thread only.
#pragma once

#include "max/max_types.h"

struct NotifyInfo {
    int intcode = 0;
    void* callParam = nullptr;
};
using NOTIFYPROC = void (*)(void* param, NotifyInfo* info);

constexpr int NOTIFY_UNITS_CHANGE = 0x01;
constexpr int NOTIFY_TIMEUNITS_CHANGE = 0x02;
constexpr int NOTIFY_SYSTEM_PRE_RESET = 0x05;
constexpr int NOTIFY_SYSTEM_POST_RESET = 0x06;
constexpr int NOTIFY_SYSTEM_PRE_NEW = 0x07;
constexpr int NOTIFY_SYSTEM_POST_NEW = 0x08;
constexpr int NOTIFY_FILE_PRE_OPEN = 0x09;
constexpr int NOTIFY_FILE_POST_OPEN = 0x0A;
constexpr int NOTIFY_FILE_PRE_SAVE = 0x0D;
constexpr int NOTIFY_FILE_POST_SAVE = 0x0E;
constexpr int NOTIFY_SELECTIONSET_CHANGED = 0x12;
constexpr int NOTIFY_PRE_RENDER = 0x14;
constexpr int NOTIFY_POST_RENDER = 0x15;
constexpr int NOTIFY_PRE_RENDERFRAME = 0x16;
constexpr int NOTIFY_POST_RENDERFRAME = 0x17;
constexpr int NOTIFY_NODE_CREATED = 0x3A;
constexpr int NOTIFY_SCENE_PRE_DELETED_NODE = 0x44;
constexpr int NOTIFY_SYSTEM_SHUTDOWN = 0x49;
constexpr int NOTIFY_SYSTEM_STARTUP = 0x50;
constexpr int NOTIFY_PLUGIN_LOADED = 0x51;
constexpr int NOTIFY_SYSTEM_SHUTDOWN2 = 0x52;

constexpr int PRE_NEW_NEW_ALL = 1;

int RegisterNotification(NOTIFYPROC proc, void* param, int code);
int UnRegisterNotification(NOTIFYPROC proc, void* param, int code);
// Removes every code registered for (proc, param).
int UnRegisterNotification(NOTIFYPROC proc, void* param);
void BroadcastNotification(int code);
void BroadcastNotification(int code, void* callParam);
