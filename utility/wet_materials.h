// The wet and glass materials of TWeatherMtl. Each builds the node's new material from the
// material it wore before its first weather material (kept as original_materials.h says),
// so calling one again replaces its own layer instead of wetting the wet:
// - applyWet node W P R: every standard material (each one inside a multi/sub-object
//   material; a grey one when the node has none) becomes a wet copy, darker and glossier,
//   with Weather Maps for wetness W (glossiness slot), puddles P (specular level, P > 0) and
//   rain rings (bump, when R). Glass that carries drops keeps them instead.
// - glossWet node: the same with W 1, P 0.25 and no rings, leaving a snow layer as it is.
// - applyGlass node: glass (a standard material named with "glass", any case, or less than
//   fully opaque) gets a drops Weather Map in its bump slot.
// Each function takes its published arguments and answers the text scripts see; wrong
// arguments throw the SDK's script exceptions. Main thread only.
#pragma once

#include <string>

#include "max/ifnpub.h"

namespace wx {

std::wstring applyWetMaterial(FPParams& p);
std::wstring glossWetMaterial(FPParams& p);
// "Drops on glass: NAME", "Drops on the glass slots of NAME (K of N)" for a multi/sub-object
// material with other slots too, "No glass in NAME" (the node left as it was).
std::wstring applyGlassMaterial(FPParams& p);

}  // namespace wx
