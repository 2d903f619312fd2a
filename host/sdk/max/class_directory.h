// The host's directory of plug-in classes by super class, as the SDK's ClassDirectory,
// SubClassList and ClassEntry offer it (reached through Interface::GetDllDir().ClassDir()):
// a module looks a class up by id, or walks a super class's list, to find one by internal
// name, say. A list is a snapshot taken when GetClassList is called. Main thread only.
#pragma once

#include <map>
#include <vector>

#include "max/class_desc.h"

constexpr int ACC_ALL = ACC_PUBLIC | ACC_PRIVATE;

class ClassEntry {
public:
    explicit ClassEntry(ClassDesc* cd) : cd_(cd) {}
    ClassDesc* CD() const { return cd_; }
    Class_ID ClassID() const { return cd_->ClassID(); }
    int IsPublic() const { return cd_->IsPublic(); }

private:
    ClassDesc* cd_;
};

class SubClassList {
public:
    // Classes of the list visible to `accType` (ACC_PUBLIC, ACC_PRIVATE or ACC_ALL); with
    // ACC_ALL they are indexed 0..Count(ACC_ALL) - 1 by operator[].
    int Count(int accType) const;
    ClassEntry& operator[](int i) { return entries_.at(size_t(i)); }
    // The index of the class with this id, or -1.
    int FindClass(Class_ID classID) const;
    SClass_ID GetSuperID() const { return superID_; }

private:
    friend class ClassDirectory;
    SClass_ID superID_ = 0;
    std::vector<ClassEntry> entries_;
};

class ClassDirectory {
public:
    // The classes of one super class now; the pointer stays valid, the next call for the
    // same super class refreshes it.
    SubClassList* GetClassList(SClass_ID superClassID);
    ClassDesc* FindClass(SClass_ID superClassID, const Class_ID& classID);

private:
    std::map<SClass_ID, SubClassList> lists_;
};

class DllDir {
public:
    ClassDirectory& ClassDir() { return classDir_; }

private:
    ClassDirectory classDir_;
};
