// The host's standard and multi/sub-object materials as a plug-in sees them, as the SDK's
// stdmat.h offers: create one with Interface::CreateInstance(MATERIAL_CLASS_ID,
// Class_ID(DMTL_CLASS_ID, 0)) or Class_ID(MULTI_CLASS_ID, 0) and set it up through these
// interfaces. Main thread only.
#pragma once

#include "max/material.h"

// Standard-material map slots.
enum {
    ID_AM = 0,
    ID_DI = 1,
    ID_SP = 2,
    ID_SH = 3,
    ID_SS = 4,
    ID_SI = 5,
    ID_OP = 6,
    ID_FI = 7,
    ID_BU = 8,
    ID_RL = 9,
    ID_RR = 10,
    ID_DP = 11,
    STD_NUM_MAPS = 12
};

// The standard material.
class StdMat : public Mtl {
public:
    virtual void SetDiffuse(Color c, TimeValue t) = 0;
    // Glossiness as a fraction, 0..1 (the material editor shows it in percent).
    virtual void SetShininess(float v, TimeValue t) = 0;
    // Opacity as a fraction, 0..1 (the editor shows it in percent; 1 is fully opaque).
    virtual void SetOpacity(float v, TimeValue t) = 0;
    virtual float GetOpacity(TimeValue t) = 0;
};

class StdMat2 : public StdMat {};

// The multi/sub-object material: a list of slots, each holding a sub-material, the material
// id of the faces it serves and a slot name. The stand-in keeps slot names for the session
// only; scene files do not save them.
class MultiMtl : public Mtl {
public:
    // Grows (new slots are empty and serve their own index) or shrinks the slot list.
    virtual void SetNumSubMtls(int n) = 0;
    // Sets slot `mtlid`'s sub-material and name (slots count from 0).
    virtual void SetSubMtlAndName(int mtlid, Mtl* m, MSTR& subMtlName) = 0;
    // Removes the slot serving material id `mtlid`, if any.
    virtual void RemoveMtl(int mtlid) = 0;
    // Appends a slot holding `rt` (a material) for faces with material id `id` (0-based).
    virtual void AddMtl(ReferenceTarget* rt, int id, const MCHAR* name) = 0;
    virtual void GetSubMtlName(int mtlid, MSTR& s) = 0;
};
