// The fall's render mesh: nothing in GPU-splat mode, every particle as a small closed solid
// in geometry mode. The mesh is sized once for the whole render count and filled in one
// pass on the thread pool; running out of memory (ten million flakes need about 2.3 GB) or
// of threads gives the shared empty mesh and a status that says why, never an exception.
#include <climits>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <system_error>

#include "fall/fall_render_mesh.h"
#include "fall/weather_fall.h"
#include "fall/weather_fall_inputs.h"
#include "fall/weather_fall_mesh_sink.h"
#include "max/inode.h"
#include "max/mesh.h"
#include "max/param_block2.h"

namespace wx {
namespace {

constexpr float kTicksPerSecond = 4800.0f;

Mesh& sharedEmptyMesh() {
    static Mesh* empty = new Mesh();  // never freed: renderers may hold it past unload order
    return *empty;
}

std::wstring tooBig(int64_t count, const FallMeshTopology& topo) {
    const double gb = double(count) * (topo.verts * sizeof(Point3) + topo.faces * sizeof(Face)) / 1e9;
    wchar_t text[200];
    std::swprintf(text, 200, L"not enough memory for %lld particles (%.1f GB): lower Count or render as GPU splats",
                  static_cast<long long>(count), gb);
    return text;
}

}  // namespace

Mesh* WeatherFall::GetRenderMesh(TimeValue t, INode* inode, View&, BOOL& needDelete) {
    needDelete = FALSE;
    int renderMode = kFallRenderSplats;
    Interval ignored = FOREVER;
    pblock_->GetValue(kFallRenderMode, t, renderMode, ignored);
    if (renderMode == kFallRenderSplats) return &sharedEmptyMesh();
    std::wstring problem;
    Mesh* mesh = geometryMesh(t, inode, problem);
    if (!mesh) return &sharedEmptyMesh();
    needDelete = TRUE;
    return mesh;
}

Mesh* WeatherFall::geometryMesh(TimeValue t, INode* node, std::wstring& problem) {
    problem.clear();
    if (!node) node = findNode();
    Interval ignored = FOREVER;
    const FallParams p = makeFallParams(readFallInputs(pblock_, t), FallCountMode::Render);
    FallMeshInputs in;
    in.seconds = float(t) / kTicksPerSecond;
    if (node) in.worldFromObject = fallMatrix(node->GetObjectTM(t));
    TornadoWind wind;
    fetchTornadoWind(t, false, wind);
    in.wind = TornadoDriftWind{wind};
    int tumble = 1, matID = 1;
    pblock_->GetValue(kFallTumble, t, tumble, ignored);
    pblock_->GetValue(kFallMatID, t, matID, ignored);
    in.tumble = tumble != 0;
    Face style;
    style.setMatID(MtlID(matID >= 2 ? matID - 1 : 0));
    style.setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);

    const FallMeshTopology topo = fallMeshTopology(p.type);
    const int64_t count = p.count > 0 ? p.count : 0;
    Mesh* mesh = nullptr;
    try {
        // The host's meshes count vertices and faces in int.
        if (count > INT_MAX / topo.faces) throw std::length_error("mesh too large");
        mesh = new Mesh();
        mesh->setNumVerts(int(count * topo.verts));
        mesh->setNumFaces(int(count * topo.faces));
        HostMeshSink sink{mesh->verts, mesh->faces, style.flags};
        fillFallMesh(p, in, sink);
    } catch (const std::bad_alloc&) {
        problem = tooBig(count, topo);
    } catch (const std::length_error&) {
        problem = tooBig(count, topo);
    } catch (const std::system_error&) {
        problem = L"no worker thread could start: try again with fewer programs running";
    } catch (const std::exception& e) {
        problem = L"the mesh could not be built (" + MSTR::FromUTF8(e.what()) + L")";
    }
    if (!problem.empty()) {
        delete mesh;
        meshStatus_ = L" | render mesh: " + problem;
        return nullptr;
    }
    meshStatus_.clear();
    mesh->InvalidateGeomCache();
    mesh->InvalidateTopologyCache();
    return mesh;
}

}  // namespace wx
