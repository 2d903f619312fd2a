#include "export_mesh.h"

#include <memory>

#include "host/scene.h"
#include "max/render.h"

namespace host {

namespace {

// The mesh a node exports: its triangle mesh where the object converts to one, else the
// render mesh of a geometric object that only renders as a mesh (a fall in geometry mode;
// a fall of splats hands over an empty one). Owns what it has to free.
class NodeMesh {
public:
    NodeMesh(INode* node, Object* obj, TimeValue t) : obj_(obj) {
        if (obj->CanConvertToType(triObjectClassID)) {
            if (obj->IsParticleSystem()) return;
            converted_ = obj->ConvertToType(t, triObjectClassID);
            if (converted_) mesh_ = &static_cast<TriObject*>(converted_)->GetMesh();
        } else if (obj->SuperClassID() == GEOMOBJECT_CLASS_ID) {
            View view;
            BOOL needDelete = FALSE;
            mesh_ = static_cast<GeomObject*>(obj)->GetRenderMesh(t, node, view, needDelete);
            // The renderer's mesh may be shared: a private copy takes the normals.
            owned_.reset(mesh_ && !needDelete ? new Mesh(*mesh_) : mesh_);
            mesh_ = owned_.get();
        }
    }
    ~NodeMesh() {
        if (converted_ && converted_ != obj_) converted_->DeleteThis();
    }
    NodeMesh(const NodeMesh&) = delete;
    NodeMesh& operator=(const NodeMesh&) = delete;
    Mesh* mesh() const { return mesh_; }

private:
    Object* obj_;
    Object* converted_ = nullptr;
    Mesh* mesh_ = nullptr;
    std::unique_ptr<Mesh> owned_;
};

}  // namespace

std::vector<ExportMesh> gatherExportMeshes(TimeValue t, INode* onlyNode) {
    std::vector<ExportMesh> out;
    for (INode* node : currentScene().allNodes()) {
        if (onlyNode && node != onlyNode) continue;
        if (node->IsNodeHidden(TRUE) || !node->Renderable()) continue;
        const ObjectState& os = node->EvalWorldState(t);
        Object* obj = os.obj;
        if (!obj) continue;
        const NodeMesh source(node, obj, t);
        if (!source.mesh() || source.mesh()->getNumFaces() == 0) continue;
        Mesh& m = *source.mesh();
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
        if (!e.faceMtl.empty()) out.push_back(std::move(e));
    }
    return out;
}

}  // namespace host
