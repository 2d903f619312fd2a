#include "host/utility_panel.h"

#include "host/class_registry.h"
#include "max/interface.h"

namespace host {

namespace {

class UtilityPanel : public IUtil {
public:
    ClassDesc* desc = nullptr;
    UtilityObj* object = nullptr;

    void CloseUtility() override { closeUtility(); }
    void ChangeUtility(ClassDesc* next) override {
        std::wstring ignored;  // the interactive host shows nothing either when a class fails
        openUtility(next, ignored);
    }
};

UtilityPanel& panel() {
    static UtilityPanel p;
    return p;
}

// A utility must not stay open once its class (and soon its module's code) is gone.
void closeIfItsClassGoes(ClassDesc* desc) {
    if (openUtilityClass() == desc) closeUtility();
}

// Registered once, before main, for the life of the process.
[[maybe_unused]] const bool kClosesWithItsClass = (ClassRegistry::addRemovalListener(closeIfItsClassGoes), true);

std::wstring nameOf(ClassDesc* desc) {
    const MCHAR* name = desc->InternalName() ? desc->InternalName() : desc->ClassName();
    return name ? name : L"(unnamed)";
}

}  // namespace

bool openUtility(ClassDesc* desc, std::wstring& error) {
    UtilityPanel& p = panel();
    if (!desc || desc->SuperClassID() != UTILITY_CLASS_ID) {
        error = desc ? nameOf(desc) + L" is not a utility plug-in class" : L"no utility plug-in class given";
        return false;
    }
    if (p.desc == desc) return true;
    closeUtility();
    // A utility class's descriptor creates a UtilityObj: the super class says so, as in the host.
    auto* object = static_cast<UtilityObj*>(desc->Create(FALSE));
    if (!object) {
        error = L"the utility " + nameOf(desc) + L" could not be created";
        return false;
    }
    // Recorded before BeginEditParams, which may already close or replace it through IUtil.
    p.desc = desc;
    p.object = object;
    object->BeginEditParams(GetCOREInterface(), &p);
    return true;
}

void closeUtility() {
    UtilityPanel& p = panel();
    UtilityObj* object = p.object;
    if (!object) return;
    // Forgotten first, so a utility that reopens or closes from EndEditParams starts afresh.
    p.desc = nullptr;
    p.object = nullptr;
    object->EndEditParams(GetCOREInterface(), &p);
    object->DeleteThis();
}

ClassDesc* openUtilityClass() {
    return panel().desc;
}

UtilityObj* openUtilityObject() {
    return panel().object;
}

}  // namespace host
