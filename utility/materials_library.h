// The materials library TWeatherMtl, written natively and registered with the host's
// interpreter as a struct of native functions, so the weather tools' script calls reach it
// with their arguments as script values. It keeps the material each node had before its
// first weather material (holding a reference, so a replaced material stays alive) so that
// restore can put it back. Main thread only.
#pragma once

namespace wx {

// Defines TWeatherMtl in the host's interpreter; installMaterialsScript runs this once the
// library is set as the installer (see setMaterialsInstaller).
void installMaterialsLibrary();
// Forgets the kept materials (a new scene).
void resetMaterialsLibrary();
// Takes TWeatherMtl out of the interpreter and forgets the kept materials: the module is
// about to be unloaded, and the interpreter must hold none of its code.
void uninstallMaterialsLibrary();

}  // namespace wx
