// The class registry: every class descriptor the host knows (built-in classes and those of
// loaded modules), looked up by super class and Class_ID or by internal name. When two
// descriptors share an id the first registered wins, as in the host. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/class_desc.h"

namespace host {

class ClassRegistry {
public:
    // False (and nothing registered) when a class with the same super class and id exists.
    bool add(ClassDesc* desc);
    void remove(ClassDesc* desc);
    ClassDesc* find(SClass_ID superID, Class_ID classID) const;
    // By internal name, else by class name with spaces as underscores (the scripter name).
    ClassDesc* findByName(const std::wstring& name) const;
    // A new instance, or null for an unknown class.
    void* create(SClass_ID superID, Class_ID classID, bool loading = false) const;
    // A new instance of the class findByName finds, or null.
    void* createByName(const std::wstring& name) const;
    const std::vector<ClassDesc*>& all() const { return descs_; }

    // Called with a class that remove() is about to drop, by every registry, in the order
    // added (the utility panel closes a utility whose class goes).
    using RemovalListener = void (*)(ClassDesc* desc);
    static void addRemovalListener(RemovalListener listener);

private:
    std::vector<ClassDesc*> descs_;
};

// The process's registry, with the built-in classes registered on first use.
ClassRegistry& classRegistry();
void registerBuiltinClasses(ClassRegistry& registry);

}  // namespace host
