#include "host/class_registry.h"

namespace host {

void registerPrimitiveClasses(ClassRegistry& r);
void registerCameraLightClasses(ClassRegistry& r);
void registerShapeClasses(ClassRegistry& r);
void registerMaterialClasses(ClassRegistry& r);
void registerStormClasses(ClassRegistry& r);

void registerBuiltinClasses(ClassRegistry& r) {
    registerShapeClasses(r);
    registerPrimitiveClasses(r);
    registerCameraLightClasses(r);
    registerMaterialClasses(r);
    registerStormClasses(r);
}

}  // namespace host
