#include "snow/snow_mod_inputs.h"

#include <type_traits>
#include <vector>

#include "common/hash.h"
#include "plugin/param_table_desc.h"
#include "snow/snow_params.h"

namespace wx {
namespace {

static_assert(sizeof(Point3) == 3 * sizeof(float), "vertex bytes are hashed as three floats");

struct KeyHasher {
    uint64_t h = kFnvOffsetBasis;
    void bytes(const void* data, size_t size) { h = fnv1a64(data, size, h); }
    void value(uint64_t v) { h = mixKey(h, v); }
    void value(float v) { h = mixKey(h, v); }
    void value(int32_t v) { h = mixKey(h, uint64_t(uint32_t(v))); }
    void value(bool v) { h = mixKey(h, uint64_t(v)); }
    void value(const std::vector<SnowRegion>& regions) {
        for (const SnowRegion& r : regions) bytes(&r, sizeof r);
    }
    void value(const std::vector<float>* weights) {
        if (weights && !weights->empty()) bytes(weights->data(), weights->size() * sizeof(float));
    }
    uint64_t key() const { return h ? h : 1; }
};

}  // namespace

SnowSettings readSnowSettings(IParamBlock2* pb, TimeValue t, Interval& valid) {
    SnowSettings s;
    readParamFields(pb, t, valid, snowParamRows(), s);
    return s;
}

uint64_t snowCacheKey(const Mesh& mesh, const SnowSettings& settings, const SnowKeyExtras& extras) {
    KeyHasher k;
    k.value(uint64_t(mesh.numVerts));
    k.value(uint64_t(mesh.numFaces));
    k.bytes(mesh.verts, size_t(mesh.numVerts) * sizeof(Point3));
    for (int f = 0; f < mesh.numFaces; ++f) {
        const Face& face = mesh.faces[f];
        k.bytes(face.v, sizeof face.v);
        k.value(uint64_t(face.getMatID()));
    }
    auto hash = [&k](const auto& field) { k.value(field); };
    forEachScalarSetting(settings, hash);
    k.value(extras.viewport);
    k.value(int32_t(extras.occluders));
    forEachAreaSetting(settings, hash);
    for (int id : extras.excluded) k.value(int32_t(id));
    if (extras.occluders == kShelterWholeScene) k.value(extras.sceneGeneration);
    return k.key();
}

}  // namespace wx
