// The host's own materials: the standard material (name, diffuse colour, glossiness in
// percent, bump amount in percent, opacity in percent and twelve texture-map slots) and the multi/sub-object
// material (a list of sub-materials, each with the material index it serves), plus a
// bitmap texture that maps an image file. All settings live in parameter blocks, so scene
// files keep them. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "max/material.h"
#include "max/stdmat.h"

inline constexpr Class_ID kStdMtlClassID{DMTL_CLASS_ID, 0};
inline constexpr Class_ID kMultiMtlClassID{MULTI_CLASS_ID, 0};
inline constexpr Class_ID kBitmapTexClassID{BMTEX_CLASS_ID, 0};

namespace host {

enum { kStdDiffuse = 0, kStdGlossiness = 1, kStdBumpAmount = 2, kStdMaps = 3, kStdOpacity = 4 };
enum { kMultiMaterials = 0, kMultiIds = 1 };
enum { kBitmapFile = 0 };

Mtl* createStdMaterial(const std::wstring& name, Color diffuse, float glossinessPercent);
// One sub-material per entry, serving material index ids[i] (0-based, as Face::getMatID).
Mtl* createMultiMaterial(const std::wstring& name, const std::vector<Mtl*>& subs, const std::vector<int>& ids);
Texmap* createBitmapTex(const std::wstring& fileName);
// The sub-material a face with this material index uses: the entry whose id matches, else
// the entry at index % count, as the host does; the material itself when not a multi.
Mtl* materialForIndex(Mtl* mtl, MtlID index);
// Standard-material values, or neutral ones for any other material.
Color diffuseOf(Mtl* mtl);
float glossinessOf(Mtl* mtl);  // percent, 0..100
float opacityOf(Mtl* mtl);     // percent, 0..100; 100 for anything but a standard material

}  // namespace host
