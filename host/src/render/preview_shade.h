// Shading of one primary-ray sample of the preview renderer: the background sky for a
// miss; for a hit, the material's maps through the sample's ShadeContext, then sky light,
// each light with a hard shadow ray, Lambert diffuse and a Blinn gloss term. Pure reads of
// the frozen scene: safe on any number of threads, each with its own context.
#pragma once

#include "host/sample_shade_context.h"
#include "preview_scene.h"

namespace host::preview {

struct Sample {
    Point3 origin, dir;                  // world; dir is unit
    float pixelX = 0.0f, pixelY = 0.0f;  // position on the image, pixels from the top left
};

// The colour seen along the sample's ray, and the hit distance along dir (+infinity for
// a miss) in `distance`.
Point3 shadeSample(const Scene& scene, const Camera& camera, const Sample& sample, int width, int height, TimeValue t,
                   RenderGlobalContext* globals, SampleShadeContext& sc, float& distance);

}  // namespace host::preview
