#include "host/class_registry.h"

#include <algorithm>

#include "max/class_directory.h"

namespace host {

namespace {

std::vector<ClassRegistry::RemovalListener>& removalListeners() {
    static std::vector<ClassRegistry::RemovalListener> listeners;
    return listeners;
}

}  // namespace

void ClassRegistry::addRemovalListener(RemovalListener listener) {
    removalListeners().push_back(listener);
}

bool ClassRegistry::add(ClassDesc* desc) {
    if (!desc || find(desc->SuperClassID(), desc->ClassID())) return false;
    descs_.push_back(desc);
    return true;
}

void ClassRegistry::remove(ClassDesc* desc) {
    if (desc)
        for (RemovalListener listener : removalListeners()) listener(desc);
    descs_.erase(std::remove(descs_.begin(), descs_.end(), desc), descs_.end());
}

ClassDesc* ClassRegistry::find(SClass_ID superID, Class_ID classID) const {
    for (ClassDesc* d : descs_)
        if (d->SuperClassID() == superID && d->ClassID() == classID) return d;
    return nullptr;
}

ClassDesc* ClassRegistry::findByName(const std::wstring& name) const {
    for (ClassDesc* d : descs_)
        if (const MCHAR* n = d->InternalName(); n && name == n) return d;
    for (ClassDesc* d : descs_) {
        std::wstring scripter = d->ClassName() ? d->ClassName() : L"";
        std::replace(scripter.begin(), scripter.end(), L' ', L'_');
        if (scripter == name) return d;
    }
    return nullptr;
}

void* ClassRegistry::create(SClass_ID superID, Class_ID classID, bool loading) const {
    ClassDesc* d = find(superID, classID);
    return d ? d->Create(loading ? TRUE : FALSE) : nullptr;
}

void* ClassRegistry::createByName(const std::wstring& name) const {
    ClassDesc* d = findByName(name);
    return d ? d->Create(FALSE) : nullptr;
}

ClassRegistry& classRegistry() {
    static ClassRegistry* registry = [] {
        auto* r = new ClassRegistry();
        registerBuiltinClasses(*r);
        return r;
    }();
    return *registry;
}

}  // namespace host

int SubClassList::Count(int accType) const {
    int n = 0;
    for (const ClassEntry& e : entries_) {
        const bool isPublic = e.IsPublic() != 0;
        if (((accType & ACC_PUBLIC) && isPublic) || ((accType & ACC_PRIVATE) && !isPublic)) ++n;
    }
    return n;
}

int SubClassList::FindClass(Class_ID classID) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].ClassID() == classID) return int(i);
    return -1;
}

SubClassList* ClassDirectory::GetClassList(SClass_ID superClassID) {
    SubClassList& list = lists_[superClassID];
    list.superID_ = superClassID;
    list.entries_.clear();
    for (ClassDesc* d : host::classRegistry().all())
        if (d->SuperClassID() == superClassID) list.entries_.emplace_back(d);
    return &list;
}

ClassDesc* ClassDirectory::FindClass(SClass_ID superClassID, const Class_ID& classID) {
    return host::classRegistry().find(superClassID, classID);
}
