#include "weathermap/map_cpu.h"

#include "shelter/sky_visibility.h"
#include "weathermap/map_eval.h"

namespace wx {

float mapMonoCpu(const MapState& state, const MapSample& sample, const ShelterBVH* shelter) {
    if (shelter == nullptr || shelter->tris.empty()) return mapMonoUnprobed(state, sample);
    if (shelter->wide && !shelter->wide->empty()) {
        const WideTracer tracer{shelter->wide.get()};
        return mapMonoWith(state, sample, &tracer);
    }
    const BinaryTracer tracer{shelter->view()};
    return mapMonoWith(state, sample, &tracer);
}

}  // namespace wx
