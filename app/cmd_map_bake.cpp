// tweather map bake: shades a Weather Map at the surface point under each texel centre of
// a node's map channel (face, barycentric weights, interpolated normal, seen straight on)
// and writes the texture: islands and their padding opaque, the rest transparent.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/cmd_map.h"
#include "app/cmd_render.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/map_command_support.h"
#include "app/map_shade_context.h"
#include "app/param_assign.h"
#include "app/weather_module.h"
#include "common/parallel_for.h"
#include "host/image_files.h"
#include "host/scene_io.h"
#include "max/inode.h"
#include "max/material.h"
#include "max/mesh.h"
#include "max/object.h"
#include "max/render.h"
#include "render/png_writer.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather map bake";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

// A texel centre over a face: where to shade it.
struct TexelHit {
    size_t texel;
    int face;
    Point3 bary;
};

// The texel centres inside each face of the channel, in face order (a later face wins a
// texel two faces share). Texel (i, j) has its centre at u = (i + 0.5) / W and
// v = 1 - (j + 0.5) / H: row 0 is the top of the texture.
std::vector<TexelHit> coveredTexels(Mesh& mesh, int channel, int width, int height) {
    std::vector<TexelHit> hits;
    std::vector<int> owner(size_t(width) * size_t(height), -1);
    const UVVert* tv = mesh.mapVerts(channel);
    const TVFace* tf = mesh.mapFaces(channel);
    const int nt = mesh.Map(channel).vnum;
    for (int f = 0; f < mesh.getNumFaces() && f < mesh.Map(channel).fnum; ++f) {
        Point3 c[3];
        bool ok = true;
        for (int k = 0; k < 3; ++k) {
            const int i = int(tf[f].t[k]);
            if (i < 0 || i >= nt) {
                ok = false;
                break;
            }
            c[k] = Point3(tv[i].x * float(width), (1.0f - tv[i].y) * float(height), 0.0f);  // texel units
        }
        if (!ok) continue;
        const float area = (c[1].x - c[0].x) * (c[2].y - c[0].y) - (c[2].x - c[0].x) * (c[1].y - c[0].y);
        if (!(std::fabs(area) > 0.0f) || !std::isfinite(area)) continue;
        const float x0 = std::min({c[0].x, c[1].x, c[2].x}), x1 = std::max({c[0].x, c[1].x, c[2].x});
        const float y0 = std::min({c[0].y, c[1].y, c[2].y}), y1 = std::max({c[0].y, c[1].y, c[2].y});
        const int i0 = std::max(0, int(std::floor(x0 - 0.5f))), i1 = std::min(width - 1, int(std::ceil(x1 - 0.5f)));
        const int j0 = std::max(0, int(std::floor(y0 - 0.5f))), j1 = std::min(height - 1, int(std::ceil(y1 - 0.5f)));
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i) {
                const float px = float(i) + 0.5f, py = float(j) + 0.5f;
                const float w0 = ((c[1].x - px) * (c[2].y - py) - (c[2].x - px) * (c[1].y - py)) / area;
                const float w1 = ((c[2].x - px) * (c[0].y - py) - (c[0].x - px) * (c[2].y - py)) / area;
                const float w2 = 1.0f - w0 - w1;
                if (w0 < 0.0f || w1 < 0.0f || w2 < 0.0f) continue;
                const size_t texel = size_t(j) * size_t(width) + size_t(i);
                if (owner[texel] >= 0)
                    hits[size_t(owner[texel])] = {texel, f, Point3(w0, w1, w2)};
                else {
                    owner[texel] = int(hits.size());
                    hits.push_back({texel, f, Point3(w0, w1, w2)});
                }
            }
    }
    return hits;
}

// Grows the opaque texels by `rings` rings: each transparent texel next to opaque ones (of
// the ring before) takes their mean colour and becomes opaque.
void pad(std::vector<float>& rgba, int width, int height, int rings) {
    for (int ring = 0; ring < rings; ++ring) {
        std::vector<float> next = rgba;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) {
                const size_t at = (size_t(j) * size_t(width) + size_t(i)) * 4;
                if (rgba[at + 3] > 0.0f) continue;
                float sum[3] = {0, 0, 0};
                int n = 0;
                for (int dj = -1; dj <= 1; ++dj)
                    for (int di = -1; di <= 1; ++di) {
                        const int x = i + di, y = j + dj;
                        if ((di == 0 && dj == 0) || x < 0 || y < 0 || x >= width || y >= height) continue;
                        const size_t o = (size_t(y) * size_t(width) + size_t(x)) * 4;
                        if (rgba[o + 3] <= 0.0f) continue;
                        for (int k = 0; k < 3; ++k) sum[k] += rgba[o + size_t(k)];
                        ++n;
                    }
                if (n == 0) continue;
                for (int k = 0; k < 3; ++k) next[at + size_t(k)] = sum[k] / float(n);
                next[at + 3] = 1.0f;
            }
        rgba.swap(next);
    }
}

// Map coordinates from above: u along world x and v along world y across the mesh's world
// box in plan view, one map vertex per mesh vertex.
void givePlanarChannel(Mesh& mesh, int channel, const Matrix3& worldFromObject) {
    Box3 box;
    for (int i = 0; i < mesh.getNumVerts(); ++i) box += mesh.verts[i] * worldFromObject;
    const float sx = std::max(box.pmax.x - box.pmin.x, 1e-6f), sy = std::max(box.pmax.y - box.pmin.y, 1e-6f);
    mesh.setMapSupport(channel);
    mesh.setNumMapVerts(channel, mesh.getNumVerts());
    mesh.setNumMapFaces(channel, mesh.getNumFaces());
    for (int i = 0; i < mesh.getNumVerts(); ++i) {
        const Point3 w = mesh.verts[i] * worldFromObject;
        mesh.mapVerts(channel)[i] = Point3((w.x - box.pmin.x) / sx, (w.y - box.pmin.y) / sy, 0.0f);
    }
    for (int f = 0; f < mesh.getNumFaces(); ++f)
        mesh.mapFaces(channel)[f].setTVerts(int(mesh.faces[f].v[0]), int(mesh.faces[f].v[1]), int(mesh.faces[f].v[2]));
}

Matrix3 normalMatrixOf(const Matrix3& worldFromObject) {
    const Matrix3 inv = Inverse(worldFromObject);
    Matrix3 out;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out.m[i][j] = inv.m[j][i];
    out.SetTrans(Point3(0, 0, 0));
    return out;
}

}  // namespace

int runMapBake(const MapBakeCommand& c) {
    const std::string ext = host::extensionOf(c.output);
    if (ext != ".png" && ext != ".exr") {
        fail("-o '" + c.output + "' must be a .png or .exr texture");
        return kExitUsage;
    }
    int width = 0, height = 0;
    if (!parseSize(c.size, width, height)) {
        fail("--size takes WxH, each 1 to 32768, not '" + c.size + "'");
        return kExitUsage;
    }
    if (c.channel < 1 || c.channel > 99) {
        fail("--channel must be a map channel from 1 to 99, not " + std::to_string(c.channel));
        return kExitUsage;
    }
    if (c.what != "mono" && c.what != "perturb") {
        fail("--output takes mono or perturb, not '" + c.what + "'");
        return kExitUsage;
    }
    if (c.padding < 0 || c.padding > 1024) {
        fail("--padding must be 0 to 1024 texels");
        return kExitUsage;
    }
    double frame = 0.0;
    if (!parseFrame(c.frame, frame)) {
        fail("--time must be a frame number, not '" + c.frame + "'");
        return kExitUsage;
    }
    if (int rc = checkOutputFolder(c.output, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openMapScene(session.started(), c.scene, fail)) return rc;
    INode* node = nodeNamed(c.node);
    if (!node) {
        fail("--node '" + c.node + "': no node has that name");
        return kExitUsage;
    }
    Texmap* map = findWeatherMap(c.map, fail);
    if (!map) return kExitUsage;
    TimeValue t = 0;
    if (int rc = frameToTicks(frame, c.frame, fail, t)) return rc;

    const ObjectState& os = node->EvalWorldState(t);
    if (!os.obj || os.obj->SuperClassID() != GEOMOBJECT_CLASS_ID) {
        fail("--node '" + c.node + "' has no surface to bake");
        return kExitUsage;
    }
    View view;
    BOOL needDelete = FALSE;
    Mesh* rendered = static_cast<GeomObject*>(os.obj)->GetRenderMesh(t, node, view, needDelete);
    if (!rendered) {
        fail("--node '" + c.node + "' has no surface to bake");
        return kExitUsage;
    }
    std::unique_ptr<Mesh> mesh(needDelete ? rendered : new Mesh(*rendered));
    const Matrix3 worldFromObject = node->GetObjTMAfterWSM(t);
    if (c.planar && !mesh->mapSupport(c.channel)) givePlanarChannel(*mesh, c.channel, worldFromObject);
    if (!mesh->mapSupport(c.channel) || !mesh->mapVerts(c.channel) || !mesh->mapFaces(c.channel)) {
        fail("--node '" + c.node + "' has no map channel " + std::to_string(c.channel));
        return kExitUsage;
    }
    mesh->buildNormals();

    if (!c.noCapture) captureShelterThrough(map, t);
    Interval valid = FOREVER;
    map->Update(t, valid);

    const std::vector<TexelHit> hits = coveredTexels(*mesh, c.channel, width, height);
    const Matrix3 normalToWorld = normalMatrixOf(worldFromObject);
    const bool perturb = c.what == "perturb";
    std::vector<float> rgba(size_t(width) * size_t(height) * 4, 0.0f);
    const bool showProgress = ::isatty(2) && hits.size() > 200000;
    constexpr size_t kChunk = 4096;
    const size_t chunks = (hits.size() + kChunk - 1) / kChunk;
    std::atomic<size_t> doneChunks{0};
    wx::parallelFor(chunks, [&](size_t chunk) {
        MapShadeContext sc;
        sc.worldFromObject = worldFromObject;
        sc.objectFromWorld = Inverse(worldFromObject);
        sc.mesh = mesh.get();
        for (size_t h = chunk * kChunk; h < std::min(hits.size(), (chunk + 1) * kChunk); ++h) {
            const TexelHit& hit = hits[h];
            const Face& face = mesh->faces[hit.face];
            Point3 p, n;
            for (int k = 0; k < 3; ++k) {
                p += mesh->verts[face.v[k]] * hit.bary[k];
                n += mesh->getNormal(hit.face, k) * hit.bary[k];
            }
            const Point3 pw = p * worldFromObject;
            const Point3 nw = normalToWorld.VectorTransform(n).Normalize();
            sc.aim(pw, nw, -nw, t, node, hit.face);
            sc.bary = hit.bary;
            float* out = &rgba[hit.texel * 4];
            if (perturb) {
                const Point3 b = map->EvalNormalPerturb(sc);
                out[0] = 0.5f + 0.5f * b.x;
                out[1] = 0.5f + 0.5f * b.y;
                out[2] = 0.5f + 0.5f * b.z;
            } else {
                out[0] = out[1] = out[2] = map->EvalMono(sc);
            }
            out[3] = 1.0f;
        }
        const size_t done = doneChunks.fetch_add(1) + 1;
        if (showProgress) std::fprintf(stderr, "\rbaking %zu texels: %3d%%", hits.size(), int(100 * done / chunks));
    });
    if (showProgress) std::fprintf(stderr, "\r%60s\r", "");
    pad(rgba, width, height, c.padding);

    std::string error;
    bool written = false;
    if (ext == ".png") {
        written = wx::writePng16(c.output, rgba.data(), width, height, wx::PngColour::data);
        if (!written) error = "cannot write '" + c.output + "' (check the folder exists and is writable)";
    } else {
        written = host::writeExrRgba(c.output, rgba.data(), width, height, error);
    }
    if (!written) {
        fail(error);
        return kExitIo;
    }
    std::printf("baked \"%s\" on \"%s\" (channel %d, %s): %zu of %d x %d texels on islands, to %s\n", c.map.c_str(),
                c.node.c_str(), c.channel, c.what.c_str(), hits.size(), width, height, c.output.c_str());
    return kExitOk;
}

}  // namespace tweather
