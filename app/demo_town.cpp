#include "app/demo_town.h"

#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "host/builtin_objects.h"
#include "host/std_materials.h"
#include "max/interface.h"

namespace tweather {
namespace {

// Builds one mesh from quads and triangles, sharing corners at equal positions, so the
// snow sees connected surfaces with real edges rather than a soup.
class MeshBuilder {
public:
    int vertex(Point3 p) {
        const auto key = std::make_tuple(p.x, p.y, p.z);
        auto [it, fresh] = index_.try_emplace(key, int(verts_.size()));
        if (fresh) verts_.push_back(p);
        return it->second;
    }
    void triangle(Point3 a, Point3 b, Point3 c, MtlID id) {
        faces_.push_back({vertex(a), vertex(b), vertex(c), id});
    }
    // Quad a-b-c-d, counter-clockwise seen from its front, cut into nu x nv cells.
    void quad(Point3 a, Point3 b, Point3 c, Point3 d, int nu, int nv, MtlID id = 0) {
        auto at = [&](int i, int j) {
            const float u = float(i) / float(nu), v = float(j) / float(nv);
            return a * ((1 - u) * (1 - v)) + b * (u * (1 - v)) + c * (u * v) + d * ((1 - u) * v);
        };
        for (int j = 0; j < nv; ++j)
            for (int i = 0; i < nu; ++i) {
                triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), id);
                triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), id);
            }
    }
    // An axis-aligned box, each face cut into cells of about `cell` centimetres.
    void box(Point3 lo, Point3 hi, float cell, MtlID id = 0) {
        auto n = [&](float extent) { return std::max(1, int(std::lround(extent / cell))); };
        const int nx = n(hi.x - lo.x), ny = n(hi.y - lo.y), nz = n(hi.z - lo.z);
        Point3 c[8];
        for (int k = 0; k < 8; ++k) c[k] = Point3(k & 1 ? hi.x : lo.x, k & 2 ? hi.y : lo.y, k & 4 ? hi.z : lo.z);
        quad(c[0], c[2], c[3], c[1], ny, nx, id);  // bottom
        quad(c[4], c[5], c[7], c[6], nx, ny, id);  // top
        quad(c[0], c[1], c[5], c[4], nx, nz, id);
        quad(c[1], c[3], c[7], c[5], ny, nz, id);
        quad(c[3], c[2], c[6], c[7], nx, nz, id);
        quad(c[2], c[0], c[4], c[6], ny, nz, id);
    }
    TriObject* make() const {
        TriObject* tri = CreateNewTriObject();
        Mesh& m = tri->GetMesh();
        m.setNumVerts(int(verts_.size()));
        for (size_t i = 0; i < verts_.size(); ++i) m.verts[i] = verts_[i];
        m.setNumFaces(int(faces_.size()));
        for (size_t f = 0; f < faces_.size(); ++f) {
            m.faces[f].setVerts(faces_[f].a, faces_[f].b, faces_[f].c);
            m.faces[f].setMatID(faces_[f].id);
            m.faces[f].setSmGroup(0);  // faceted: boxes keep their corners
            m.faces[f].setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
        }
        m.buildNormals();
        return tri;
    }

private:
    struct Tri {
        int a, b, c;
        MtlID id;
    };
    std::map<std::tuple<float, float, float>, int> index_;
    std::vector<Point3> verts_;
    std::vector<Tri> faces_;
};

Mtl* material(const wchar_t* name, Color colour, float glossinessPercent = 10.0f) {
    return host::createStdMaterial(name, colour, glossinessPercent);
}

void place(const wchar_t* name, const MeshBuilder& mesh, Mtl* mtl) {
    INode* node = GetCOREInterface()->CreateObjectNode(mesh.make());
    node->SetName(name);
    if (mtl) node->SetMtl(mtl);
}

// A house: walls, and a gabled roof whose ridge runs along x, overhanging by 40 cm.
MeshBuilder house(float x, float y, float w, float d, float wallHeight, float ridgeHeight) {
    MeshBuilder b;
    b.box(Point3(x, y, 0), Point3(x + w, y + d, wallHeight), 100.0f, 0);
    const float o = 40.0f, h = wallHeight, r = wallHeight + ridgeHeight;
    const Point3 e0(x - o, y - o, h), e1(x + w + o, y - o, h), e2(x + w + o, y + d + o, h), e3(x - o, y + d + o, h);
    const Point3 r0(x - o, y + d / 2, r), r1(x + w + o, y + d / 2, r);
    b.quad(e0, e1, r1, r0, 6, 4, 1);  // the two roof slopes
    b.quad(e2, e3, r0, r1, 6, 4, 1);
    b.quad(e1, e0, e3, e2, 4, 4, 1);  // the roof's underside
    b.triangle(e1, e2, r1, 1);         // gables
    b.triangle(e3, e0, r0, 1);
    return b;
}

constexpr Footprint kCarport{1700, 400, 2100, 1000};  // roof at 240-252 cm on four posts
constexpr Footprint kBridge{300, 1800, 1300, 2200};   // deck at 220-250 cm over the path

}  // namespace

Footprint carportFootprint() { return kCarport; }
Footprint bridgeFootprint() { return kBridge; }

void buildDemoTown() {
    Mtl* grass = material(L"Ground", Color(0.35f, 0.42f, 0.3f));
    Mtl* stone = material(L"Stone", Color(0.55f, 0.53f, 0.5f));
    Mtl* roofTiles = material(L"Roof tiles", Color(0.55f, 0.22f, 0.18f));
    Mtl* plaster = material(L"Plaster", Color(0.85f, 0.8f, 0.7f));
    Mtl* wood = material(L"Wood", Color(0.45f, 0.3f, 0.2f));
    Mtl* metal = material(L"Metal", Color(0.2f, 0.2f, 0.22f));

    MeshBuilder ground;
    ground.quad(Point3(0, 0, 0), Point3(3000, 0, 0), Point3(3000, 3000, 0), Point3(0, 3000, 0), 30, 30);
    place(L"Ground", ground, grass);

    MeshBuilder path;  // a paved path the bridge crosses, just proud of the ground
    path.box(Point3(700, 1000, 0), Point3(900, 2800, 2), 100.0f);
    place(L"Path", path, stone);

    const struct {
        const wchar_t* name;
        float x, y, w, d, wall, ridge;
    } houses[] = {{L"House A", 1500, 1500, 800, 600, 300, 220},
                  {L"House B", 2200, 2000, 600, 700, 280, 200},
                  {L"House C", 1800, 2500, 700, 400, 260, 180}};
    Mtl* houseMtl = host::createMultiMaterial(L"House", {plaster, roofTiles}, {0, 1});
    for (const auto& h : houses) place(h.name, house(h.x, h.y, h.w, h.d, h.wall, h.ridge), houseMtl);

    MeshBuilder carport;
    const Footprint c = kCarport;
    for (int k = 0; k < 4; ++k) {
        const float px = k & 1 ? c.x1 - 12 : c.x0, py = k & 2 ? c.y1 - 12 : c.y0;
        carport.box(Point3(px, py, 0), Point3(px + 12, py + 12, 240), 60.0f);
    }
    carport.box(Point3(c.x0 - 20, c.y0 - 20, 240), Point3(c.x1 + 20, c.y1 + 20, 252), 100.0f);
    place(L"Carport", carport, metal);

    MeshBuilder bridge;  // a deck on two abutments either side of the path
    const Footprint br = kBridge;
    bridge.box(Point3(br.x0, br.y0, 220), Point3(br.x1, br.y1, 250), 100.0f);
    bridge.box(Point3(br.x0, br.y0, 0), Point3(br.x0 + 150, br.y1, 220), 100.0f);
    bridge.box(Point3(br.x1 - 150, br.y0, 0), Point3(br.x1, br.y1, 220), 100.0f);
    place(L"Bridge", bridge, stone);

    MeshBuilder wall;
    wall.box(Point3(200, 300, 0), Point3(1400, 330, 150), 50.0f);
    place(L"Wall", wall, stone);

    MeshBuilder lamp;
    lamp.box(Point3(1200, 1200, 0), Point3(1215, 1215, 400), 50.0f);
    lamp.box(Point3(1177, 1177, 400), Point3(1238, 1238, 420), 30.0f);
    place(L"Lamp post", lamp, metal);

    MeshBuilder bench;
    bench.box(Point3(1000, 600, 42), Point3(1180, 645, 47), 20.0f);     // seat
    bench.box(Point3(1000, 640, 47), Point3(1180, 645, 90), 20.0f);     // back
    for (float lx : {1005.0f, 1165.0f}) bench.box(Point3(lx, 605, 0), Point3(lx + 10, 640, 42), 20.0f);
    place(L"Bench", bench, wood);

    // A low winter sun, and a camera looking over the town from the south-west.
    GenLight* sun = host::createLight(DIRECT_LGT, Color(1.0f, 0.96f, 0.9f), 1.0f);
    INode* sunNode = GetCOREInterface()->CreateObjectNode(sun);
    sunNode->SetName(L"Sun");
    sunNode->SetRotation(0, Point3(0.9f, 0.0f, 0.6f));
    INode* camera = GetCOREInterface()->CreateObjectNode(host::createFreeCamera(0.9f));
    camera->SetName(L"Camera");
    camera->SetPosition(0, Point3(-600, -900, 1400));
    camera->SetRotation(0, Point3(1.157f, 0.0f, -0.719f));  // towards the town's middle
}

}  // namespace tweather
