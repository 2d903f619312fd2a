// The materials library TWeatherMtl, published by the module as a core function-published
// interface (FP_CORE), so scripts reach it as a global by that name: addSnow, removeSnow,
// applySnow, applyWet, glossWet, applyGlass, restore, coverDialog, paint, bake and the
// read/write property layerKind. The weather materials and the snow tools behind it live in
// weather_materials.h, wet_materials.h and snow_library.h. Main thread only.
#pragma once

namespace wx {

// Publishes TWeatherMtl (once; again after an uninstall). installMaterialsScript runs this
// once the library is set as the installer (see setMaterialsInstaller).
void installMaterialsLibrary();
// Forgets the kept materials and goes back to snow (a new scene).
void resetMaterialsLibrary();
// Withdraws TWeatherMtl and forgets the kept materials: the module is about to be
// unloaded, and the host must hold none of its code.
void uninstallMaterialsLibrary();

}  // namespace wx
