#include "host/missing_classes.h"

namespace host {

const MissingClassData* missingClassData(ReferenceTarget* target) {
    if (auto* o = dynamic_cast<MissingObject*>(target)) return &o->Data();
    if (auto* m = dynamic_cast<MissingModifier*>(target)) return &m->Data();
    if (auto* m = dynamic_cast<MissingMtl*>(target)) return &m->Data();
    if (auto* t = dynamic_cast<MissingTexmap*>(target)) return &t->Data();
    return nullptr;
}

}  // namespace host
