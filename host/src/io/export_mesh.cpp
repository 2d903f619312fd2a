#include "export_mesh.h"

#include "host/scene.h"

namespace host {

std::vector<ExportMesh> gatherExportMeshes(TimeValue t) {
    std::vector<ExportMesh> out;
    for (INode* node : currentScene().allNodes()) {
        if (node->IsNodeHidden(TRUE) || !node->Renderable()) continue;
        const ObjectState& os = node->EvalWorldState(t);
        Object* obj = os.obj;
        if (!obj || obj->IsParticleSystem() || !obj->CanConvertToType(triObjectClassID)) continue;
        Object* converted = obj->ConvertToType(t, triObjectClassID);
        if (!converted) continue;
        Mesh& m = static_cast<TriObject*>(converted)->GetMesh();
        Matrix3 tm = node->GetObjTMAfterWSM(t);
        // A mirroring transform turns faces inside out; swap two corners to keep them facing out.
        bool flip = tm.Parity();
        m.buildNormals();
        MeshNormalSpec* spec = m.GetSpecifiedNormals();
        if (spec) spec->CheckNormals();
        bool uv = m.mapSupport(1) && m.Map(1).fnum == m.numFaces;
        ExportMesh e;
        e.name = node->GetName();
        e.mtl = node->GetMtl();
        // Normals go through the inverse transpose: n'_j = n . row j of the inverse.
        Matrix3 normalTM = Inverse(tm);
        for (int f = 0; f < m.numFaces; ++f) {
            const int order[3] = {0, flip ? 2 : 1, flip ? 1 : 2};
            for (int c : order) {
                DWORD v = m.faces[f].v[c];
                if (v >= DWORD(m.numVerts)) v = 0;
                e.corners.push_back(m.verts[v] * tm);
                Point3 n = spec && spec->GetNumFaces() == m.numFaces ? spec->Normal(spec->Face(f).GetNormalID(c))
                                                                     : m.getNormal(f, c);
                Point3 wn(n % normalTM.GetRow(0), n % normalTM.GetRow(1), n % normalTM.GetRow(2));
                e.normals.push_back(wn.Normalize());
                if (uv) {
                    DWORD tvi = m.Map(1).tf[f].t[c];
                    e.uvs.push_back(tvi < DWORD(m.Map(1).vnum) ? m.Map(1).tv[tvi] : Point3());
                }
            }
            e.faceMtl.push_back(m.faces[f].getMatID());
        }
        if (converted != obj) converted->DeleteThis();
        if (!e.faceMtl.empty()) out.push_back(std::move(e));
    }
    return out;
}

}  // namespace host
