#include "snow/snow_mod_mesh.h"

#include <algorithm>
#include <utility>

namespace wx {

void reverseWinding(Mesh& mesh) {
    for (int f = 0; f < mesh.numFaces; ++f) {
        Face& face = mesh.faces[f];
        std::swap(face.v[1], face.v[2]);
        // Edges ab, bc, ca become ac, cb, ba: the first and last trade places.
        const int ab = face.getEdgeVis(0), ca = face.getEdgeVis(2);
        face.setEdgeVis(0, ca);
        face.setEdgeVis(2, ab);
    }
    for (int c = -NUM_HIDDENMAPS; c < mesh.getNumMaps(); ++c) {
        if (!mesh.mapSupport(c)) continue;
        MeshMap& map = mesh.Map(c);
        for (int f = 0; f < map.fnum; ++f) std::swap(map.tf[f].t[1], map.tf[f].t[2]);
    }
    if (MeshNormalSpec* normals = mesh.GetSpecifiedNormals()) {
        for (int f = 0; f < normals->GetNumFaces(); ++f) {
            MeshNormalFace& face = normals->Face(f);
            const int id1 = face.GetNormalID(1), id2 = face.GetNormalID(2);
            const bool s1 = face.GetSpecified(1), s2 = face.GetSpecified(2);
            face.SetNormalID(1, id2);
            face.SetNormalID(2, id1);
            face.SetSpecified(1, s2);
            face.SetSpecified(2, s1);
        }
    }
    mesh.InvalidateTopologyCache();
}

std::vector<float> paintWeights(const Mesh& mesh, int channel) {
    if (channel < -NUM_HIDDENMAPS || channel >= MAX_MESHMAPS || !mesh.mapSupport(channel)) return {};
    const MeshMap& map = mesh.Map(channel);
    if (map.fnum != mesh.numFaces) return {};
    std::vector<float> sum(size_t(mesh.numVerts), 0.0f);
    std::vector<int> count(size_t(mesh.numVerts), 0);
    for (int f = 0; f < mesh.numFaces; ++f) {
        for (int c = 0; c < 3; ++c) {
            const DWORD v = mesh.faces[f].v[c], tv = map.tf[f].t[c];
            if (v >= DWORD(mesh.numVerts) || tv >= DWORD(map.vnum)) continue;  // a broken face: no weight
            const UVVert& colour = map.tv[tv];
            sum[v] += std::clamp((colour.x + colour.y + colour.z) / 3.0f, 0.0f, 1.0f);
            ++count[v];
        }
    }
    for (size_t v = 0; v < sum.size(); ++v) sum[v] = count[v] ? sum[v] / float(count[v]) : 1.0f;
    return sum;
}

int highestMaterialID(const Mesh& mesh) {
    int highest = 0;
    for (int f = 0; f < mesh.numFaces; ++f) highest = std::max(highest, int(mesh.faces[f].getMatID()));
    return highest + 1;
}

namespace {

DWORD smoothingGroupOf(uint8_t kind) {
    if (kind == kSnowTop) return 0x40000000u;
    if (kind == kSnowWall) return 0x20000000u;
    return 0x10000000u;
}

}  // namespace

void flattenMesh(const Mesh& mesh, std::span<const int> excluded, std::vector<V3>& positions,
                 std::vector<int32_t>& indices, std::vector<uint8_t>& mask) {
    positions.resize(size_t(mesh.numVerts));
    for (int v = 0; v < mesh.numVerts; ++v) positions[size_t(v)] = {mesh.verts[v].x, mesh.verts[v].y, mesh.verts[v].z};
    indices.reserve(size_t(mesh.numFaces) * 3);
    std::vector<int> faceOf;
    for (int f = 0; f < mesh.numFaces; ++f) {
        const DWORD* v = mesh.faces[f].v;
        if (v[0] >= DWORD(mesh.numVerts) || v[1] >= DWORD(mesh.numVerts) || v[2] >= DWORD(mesh.numVerts)) continue;
        indices.insert(indices.end(), {int32_t(v[0]), int32_t(v[1]), int32_t(v[2])});
        faceOf.push_back(f);
    }
    if (excluded.empty()) return;
    std::vector<bool> isExcluded(65537, false);
    for (int id : excluded)
        if (id >= 0 && id <= 65536) isExcluded[size_t(id)] = true;
    mask.assign(faceOf.size(), 1);
    for (size_t i = 0; i < faceOf.size(); ++i)
        if (isExcluded[mesh.faces[faceOf[i]].getMatID() + 1u]) mask[i] = 0;
}

void writeSnowShell(Mesh& mesh, const SnowShell& shell, bool snowOnly, MtlID snowMatIndex) {
    if (snowOnly) {
        mesh.setNumVerts(0);
        mesh.setNumFaces(0);
        mesh.setNumMaps(2, TRUE);
        mesh.setMapSupport(0, FALSE);
        for (int c = -NUM_HIDDENMAPS; c < mesh.getNumMaps(); ++c)
            if (mesh.mapSupport(c)) mesh.Map(c).setNumVerts(0);
        mesh.ClearSpecifiedNormals();
    }
    const int V = mesh.numVerts, F = mesh.numFaces;
    const int newVerts = int(shell.vertices.size()), newFaces = int(shell.indices.size() / 3);
    mesh.setNumVerts(V + newVerts, TRUE);
    for (int i = 0; i < newVerts; ++i)
        mesh.verts[V + i] = Point3(shell.vertices[i].x, shell.vertices[i].y, shell.vertices[i].z);
    mesh.setNumFaces(F + newFaces, TRUE);
    for (int i = 0; i < newFaces; ++i) {
        Face& face = mesh.faces[F + i];
        face.setVerts(V + shell.indices[3 * i], V + shell.indices[3 * i + 1], V + shell.indices[3 * i + 2]);
        face.setSmGroup(smoothingGroupOf(size_t(i) < shell.kinds.size() ? shell.kinds[i] : uint8_t(kSnowBottom)));
        // The snow material index in the high half of the flags; no visible edges.
        face.flags = DWORD(snowMatIndex) << FACE_MATID_SHIFT;
    }
    if (!mesh.mapSupport(1)) {
        mesh.setMapSupport(1, TRUE);
        mesh.Map(1).setNumFaces(F);
    }
    for (int c = -NUM_HIDDENMAPS; c < mesh.getNumMaps(); ++c) {
        if (!mesh.mapSupport(c)) continue;
        MeshMap& map = mesh.Map(c);
        const int M = map.vnum;
        map.setNumFaces(F + newFaces, TRUE, map.fnum);
        if (c == 1) {
            map.setNumVerts(M + newVerts, TRUE);
            for (int i = 0; i < newVerts; ++i) {
                const V3 uv = size_t(i) < shell.uvw.size() ? shell.uvw[i] : V3{};
                map.tv[M + i] = UVVert(uv.x, uv.y, 0.0f);
            }
            for (int i = 0; i < newFaces; ++i)
                map.tf[F + i].setTVerts(M + shell.indices[3 * i], M + shell.indices[3 * i + 1],
                                        M + shell.indices[3 * i + 2]);
        } else {
            map.setNumVerts(M + 1, TRUE);
            map.tv[M] = UVVert(1.0f, 1.0f, 1.0f);
            for (int i = 0; i < newFaces; ++i) map.tf[F + i].setTVerts(M, M, M);
        }
    }
    if (MeshNormalSpec* normals = mesh.GetSpecifiedNormals(); normals && normals->GetNumFaces() > 0) {
        normals->SetNumFaces(F + newFaces);
        for (int i = 0; i < newFaces; ++i) {
            MeshNormalFace& face = normals->Face(F + i);
            face.SpecifyAll(false);
            for (int c = 0; c < 3; ++c) face.SetNormalID(c, -1);
        }
        normals->CheckNormals();
    }
    mesh.InvalidateGeomCache();
    mesh.InvalidateTopologyCache();
    mesh.buildNormals();
}

}  // namespace wx
