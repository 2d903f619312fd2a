// Utility plug-ins: panels of the command panel's Utilities tab. When the user (or a script)
// opens one, the host asks the class's descriptor for an instance, usually one static object,
// and calls BeginEditParams so it can add its rollouts; EndEditParams comes when the utility
// is closed or another replaces it, then DeleteThis. The descriptor's super class is
// UTILITY_CLASS_ID. Main thread only.
#pragma once

#include "max/max_types.h"

class ClassDesc;
class Interface;

// The host's side of the open utility, handed to BeginEditParams and EndEditParams.
class IUtil {
public:
    virtual ~IUtil() = default;
    // Closes the open utility (its EndEditParams and DeleteThis run before this returns).
    virtual void CloseUtility() = 0;
    // Closes the open utility and opens the utility class `desc` in its place.
    virtual void ChangeUtility(ClassDesc* desc) = 0;
};

class UtilityObj {
public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void SelectionSetChanged(Interface*, IUtil*) {}
    // The host is done with the instance; a static instance does nothing here.
    virtual void DeleteThis() = 0;
};
