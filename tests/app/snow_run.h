// Helpers for the snow command's tests: run it, then look at what it wrote through the
// host's own importer.
#pragma once

#include <string>
#include <vector>

#include "app/cmd_snow.h"
#include "host/host_app.h"
#include "host/scene.h"
#include "host/scene_io.h"
#include "max/object.h"

namespace tweather {

// Every vertex of the named node in an exported OBJ (world space).
inline std::vector<Point3> exportedVertices(const std::string& obj, const wchar_t* node) {
    std::vector<std::string> errors;
    host::startUp({}, errors);
    std::vector<Point3> out;
    std::string error;
    if (host::importScene(obj, error)) {
        if (INode* n = host::currentScene().findByName(node)) {
            const ObjectState& os = n->EvalWorldState(0);
            if (os.obj && os.obj->CanConvertToType(triObjectClassID)) {
                auto* tri = static_cast<TriObject*>(os.obj->ConvertToType(0, triObjectClassID));
                const Matrix3 tm = n->GetObjTMAfterWSM(0);
                for (int v = 0; v < tri->GetMesh().numVerts; ++v) out.push_back(tri->GetMesh().verts[v] * tm);
                if (tri != os.obj) tri->MaybeAutoDelete();
            }
        }
    }
    host::shutDown();
    return out;
}

// The highest vertex over the rectangle, or -1e30 when none lies there.
inline float highestIn(const std::vector<Point3>& verts, float x0, float y0, float x1, float y1) {
    float top = -1e30f;
    for (const Point3& p : verts)
        if (p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1) top = std::max(top, p.z);
    return top;
}

}  // namespace tweather
