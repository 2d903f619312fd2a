// The snow modifier's class descriptor and its parameter block: ids, internal names,
// defaults, ranges, animatable flags and the six rollouts with their controls.
#include "max/param_block2.h"
#include "plugin/module_state.h"
#include "snow/snow_mod.h"

namespace wx {
namespace {

class SnowModDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new SnowMod(); }
    const MCHAR* ClassName() override { return L"Tarnwick Snow"; }
    const MCHAR* NonLocalizedClassName() override { return L"Tarnwick Snow"; }
    SClass_ID SuperClassID() override { return WSM_CLASS_ID; }
    Class_ID ClassID() override { return kSnowModClassID; }
    const MCHAR* Category() override { return L"TarnwickFX"; }
    const MCHAR* InternalName() override { return L"TarnwickSnow"; }
    HINSTANCE HInstance() override { return moduleInstance(); }
    int BeginCreate(Interface*) override { return 0; }
    int EndCreate(Interface*) override { return 0; }
    BOOL OkToCreate(Interface*) override { return 1; }
};

SnowModDesc gSnowModDesc;

enum Rollout : MapID { kMain = 0, kShape = 1, kShelter = 2, kRegions = 3, kOutput = 4, kAbout = 5 };

// Spinner shorthands: world spinners show scene units, float and int plain numbers.
ParamDef& world(ParamDef& d, MapID map, int edit, float step) {
    return d.Spinner(map, EDITTYPE_UNIVERSE, edit, edit + 1, step);
}
ParamDef& number(ParamDef& d, MapID map, int edit, float step) {
    return d.Spinner(map, EDITTYPE_FLOAT, edit, edit + 1, step);
}
ParamDef& integer(ParamDef& d, MapID map, int edit, float step) {
    return d.Spinner(map, EDITTYPE_INT, edit, edit + 1, step);
}

ParamBlockDesc2 gSnowParams(0, L"params", 0, &gSnowModDesc, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

const bool gSnowParamsBuilt = [] {
    ParamBlockDesc2& b = gSnowParams;
    b.AddRollout(kMain, 1800, 1900, L"Tarnwick Snow");
    b.AddRollout(kShape, 1801, 1901, L"Shape & Edges", 0, APPENDROLL_CLOSED);
    b.AddRollout(kShelter, 1802, 1902, L"Shelter & Wind", 0, APPENDROLL_CLOSED);
    b.AddRollout(kRegions, 1803, 1903, L"Regions (gizmos)", 0, APPENDROLL_CLOSED);
    b.AddRollout(kOutput, 1804, 1904, L"Output", 0, APPENDROLL_CLOSED);
    b.AddRollout(kAbout, 7702, 1905, L"About / Help", 0, APPENDROLL_CLOSED);
    const int A = P_ANIMATABLE;

    b.AddParam(kSnowEnabled, L"enabled", TYPE_BOOL, 0, 3001).Label(L"Snow on").Default(1)
        .Control(kMain, TYPE_SINGLECHECKBOX, {2001});
    world(b.AddParam(kSnowDepth, L"depth", TYPE_WORLD, A, 3002).Label(L"Depth").Default(10.0).Range(0.0, 1e6), kMain,
          2002, 0.1f);
    number(b.AddParam(kSnowSlopeMax, L"slopeMax", TYPE_FLOAT, A, 3003).Label(L"Steepest slope (deg)").Default(55.0)
               .Range(0.0, 89.0), kMain, 2004, 1.0f);
    number(b.AddParam(kSnowSlopeSoft, L"slopeSoft", TYPE_FLOAT, A, 3004).Label(L"Thins over (deg)").Default(20.0)
               .Range(0.0, 89.0), kMain, 2006, 1.0f);
    number(b.AddParam(kSnowCoverage, L"coverage", TYPE_FLOAT, A, 3005).Label(L"Coverage").Default(1.0)
               .Range(0.0, 1.0), kMain, 2008, 0.01f);
    world(b.AddParam(kSnowPatchScale, L"patchScale", TYPE_WORLD, A, 3006).Label(L"Patch size").Default(80.0)
              .Range(0.001, 1e7), kMain, 2010, 1.0f);
    integer(b.AddParam(kSnowSeed, L"seed", TYPE_INT, A, 3007).Label(L"Seed").Default(1).Range(0, 999999), kMain, 2012,
            1.0f);
    number(b.AddParam(kSnowGroundCover, L"groundCover", TYPE_FLOAT, A, 3008).Label(L"Street level coverage")
               .Default(1.0).Range(0.0, 1.0), kMain, 2014, 0.01f);
    world(b.AddParam(kSnowGroundBand, L"groundBand", TYPE_WORLD, A, 3009).Label(L"Street level band").Default(40.0)
              .Range(0.0, 1e6), kMain, 2016, 1.0f);

    world(b.AddParam(kSnowEdgeRound, L"edgeRound", TYPE_WORLD, A, 3010).Label(L"Rounded lip width").Default(6.0)
              .Range(0.0, 1e6), kShape, 2018, 0.1f);
    integer(b.AddParam(kSnowSmoothing, L"smoothing", TYPE_INT, A, 3011).Label(L"Soften amount (passes)").Default(2)
                .Range(0, 50), kShape, 2020, 1.0f);
    world(b.AddParam(kSnowOverhang, L"overhang", TYPE_WORLD, A, 3012).Label(L"Overhang (cornice)").Default(0.0)
              .Range(0.0, 1e6), kShape, 2022, 0.1f);
    number(b.AddParam(kSnowNoiseAmount, L"noiseAmount", TYPE_FLOAT, A, 3013).Label(L"Bumps").Default(0.25)
               .Range(0.0, 2.0), kShape, 2024, 0.01f);
    world(b.AddParam(kSnowNoiseScale, L"noiseScale", TYPE_WORLD, A, 3014).Label(L"Bump size").Default(50.0)
              .Range(0.001, 1e7), kShape, 2026, 1.0f);
    world(b.AddParam(kSnowResolution, L"resolution", TYPE_WORLD, A, 3015).Label(L"Detail (edge length)").Default(3.0)
              .Range(0.001, 1e6), kShape, 2028, 0.1f);
    integer(b.AddParam(kSnowMaxTris, L"maxTris", TYPE_INT, A, 3016).Label(L"Max triangles").Default(500000)
                .Range(1000, 50000000), kShape, 2030, 10000.0f);
    b.AddParam(kSnowVpCoarse, L"vpCoarse", TYPE_INT, 0, 3017).Label(L"Viewport").Default(1).Range(0, 1)
        .Combo(kShape, 2032, {3501, 3502});

    b.AddParam(kSnowOccluders, L"occluders", TYPE_INT, 0, 3018).Label(L"Shelter from").Default(0).Range(0, 2)
        .Combo(kShelter, 2033, {3503, 3504, 3505});
    number(b.AddParam(kSnowOcclusion, L"occlusion", TYPE_FLOAT, A, 3019).Label(L"Shelter strength").Default(1.0)
               .Range(0.0, 1.0), kShelter, 2034, 0.01f);
    integer(b.AddParam(kSnowOccRays, L"occRays", TYPE_INT, A, 3020).Label(L"Rays per point").Default(24)
                .Range(1, 256), kShelter, 2036, 1.0f);
    number(b.AddParam(kSnowSpread, L"spread", TYPE_FLOAT, A, 3021).Label(L"Fall spread (deg)").Default(25.0)
               .Range(1.0, 80.0), kShelter, 2038, 1.0f);
    world(b.AddParam(kSnowOccDist, L"occDist", TYPE_WORLD, A, 3022).Label(L"Max distance (0 = any)").Default(0.0)
              .Range(0.0, 1e7), kShelter, 2040, 1.0f);
    b.AddParam(kSnowUseGPU, L"useGPU", TYPE_BOOL, 0, 3023).Label(L"Use the GPU (same result)").Default(1)
        .Control(kShelter, TYPE_SINGLECHECKBOX, {2042});
    number(b.AddParam(kSnowWindAngle, L"windAngle", TYPE_FLOAT, A, 3024).Label(L"Blows toward (deg)").Default(0.0)
               .Range(-360.0, 360.0), kShelter, 2043, 1.0f);
    number(b.AddParam(kSnowDrift, L"drift", TYPE_FLOAT, A, 3025).Label(L"Drift").Default(0.0).Range(0.0, 1.0),
           kShelter, 2045, 0.01f);
    world(b.AddParam(kSnowLeeDist, L"leeDist", TYPE_WORLD, A, 3026).Label(L"Lee reach").Default(300.0)
              .Range(0.0, 1e7), kShelter, 2047, 1.0f);

    b.AddParam(kSnowRegions, L"regions", TYPE_INODE_TAB, P_VARIABLE_SIZE, 3027)
        .Label(L"Region objects (box, sphere, any)").TableSize(0).Control(kRegions, TYPE_NODELISTBOX, {2049, 2065, 0, 2066});
    b.AddParam(kSnowRegionMode, L"regionMode", TYPE_INT, 0, 3028).Label(L"Inside").Default(0).Range(0, 2)
        .Combo(kRegions, 2050, {3506, 3507, 3508});
    number(b.AddParam(kSnowRegionFalloff, L"regionFalloff", TYPE_FLOAT, A, 3029).Label(L"Soft edge").Default(0.3)
               .Range(0.0, 1.0), kRegions, 2051, 0.01f);
    number(b.AddParam(kSnowRegionStrength, L"regionStrength", TYPE_FLOAT, A, 3030).Label(L"Strength").Default(1.0)
               .Range(0.0, 1.0), kRegions, 2053, 0.01f);
    b.AddParam(kSnowUsePaint, L"usePaint", TYPE_BOOL, 0, 3031).Label(L"Use painted colour (white = snow)").Default(0)
        .Control(kRegions, TYPE_SINGLECHECKBOX, {2055});
    integer(b.AddParam(kSnowPaintChannel, L"paintChannel", TYPE_INT, A, 3032).Label(L"Map channel (0 = vertex colour)")
                .Default(0).Range(-2, 99), kRegions, 2056, 1.0f);

    b.AddParam(kSnowOutput, L"output", TYPE_INT, 0, 3033).Label(L"Result").Default(0).Range(0, 1)
        .Combo(kOutput, 2058, {3509, 3510});
    integer(b.AddParam(kSnowMatID, L"matID", TYPE_INT, A, 3034).Label(L"Snow material ID").Default(2).Range(1, 65535),
            kOutput, 2059, 1.0f);
    b.AddParam(kSnowExcludeIDs, L"excludeIDs", TYPE_STRING, 0, 3035).Label(L"No snow on IDs").Default(L"")
        .Control(kOutput, TYPE_EDITBOX, {2061});
    b.AddParam(kSnowClosed, L"closed", TYPE_BOOL, 0, 3036).Label(L"Closed solid (for SSS)").Default(1)
        .Control(kOutput, TYPE_SINGLECHECKBOX, {2062});
    world(b.AddParam(kSnowUvScale, L"uvScale", TYPE_WORLD, A, 3037).Label(L"UV tile size").Default(100.0)
              .Range(0.001, 1e7), kOutput, 2063, 1.0f);
    return true;
}();

}  // namespace

ClassDesc2* GetSnowModDesc() { return &gSnowModDesc; }

}  // namespace wx
