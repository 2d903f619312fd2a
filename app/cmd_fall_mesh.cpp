#include "app/cmd_fall_mesh.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/atomic_file.h"
#include "app/cmd_scene.h"
#include "app/exit_codes.h"
#include "app/fall_command_support.h"
#include "app/weather_module.h"
#include "fall/weather_fall_fp.h"
#include "host/class_registry.h"
#include "host/scene_io.h"
#include "host/text.h"
#include "max/inode.h"
#include "max/mesh.h"
#include "max/param_block2.h"
#include "max/units.h"

namespace tweather {
namespace {

constexpr const char* kCommand = "tweather fall mesh";

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kCommand, message.c_str());
}

// Text in blocks of about a megabyte, so that ten million faces never sit in memory twice.
class ObjWriter {
public:
    explicit ObjWriter(AtomicFile& file) : file_(file) { buffer_.reserve(kBlock + 256); }
    void text(const std::string& s) {
        buffer_ += s;
        flushIfFull();
    }
    void vertex(const Point3& p) {
        char line[96];
        char* at = line;
        *at++ = 'v';
        for (float c : {p.x, p.y, p.z}) {
            *at++ = ' ';
            at = std::to_chars(at, line + sizeof(line), double(c), std::chars_format::general, 9).ptr;
        }
        *at++ = '\n';
        buffer_.append(line, at);
        flushIfFull();
    }
    void face(DWORD a, DWORD b, DWORD c) {
        char line[48];
        char* at = line;
        *at++ = 'f';
        for (DWORD v : {a, b, c}) {
            *at++ = ' ';
            at = std::to_chars(at, line + sizeof(line), uint64_t(v) + 1).ptr;  // OBJ counts from 1
        }
        *at++ = '\n';
        buffer_.append(line, at);
        flushIfFull();
    }
    void finish() {
        file_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    void flushIfFull() {
        if (buffer_.size() >= kBlock) finish();
    }
    AtomicFile& file_;
    std::string buffer_;
};

bool writeMeshObj(const std::string& path, const Mesh& mesh, const Matrix3& worldFromObject, const std::string& name,
                  std::string& error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    ObjWriter out(file);
    // OBJ names end at white space.
    std::string objectName = name;
    for (char& ch : objectName)
        if (ch == ' ' || ch == '\t') ch = '_';
    out.text("# tweather fall mesh, world space, +Z up, scene units\no " + objectName + "\n");
    for (int i = 0; i < mesh.numVerts; ++i) out.vertex(mesh.verts[i] * worldFromObject);
    int current = -1;
    for (int f = 0; f < mesh.numFaces; ++f) {
        const Face& face = mesh.faces[f];
        if (face.getMatID() != current) {
            current = face.getMatID();
            out.text("usemtl material_" + std::to_string(current) + "\n");
        }
        out.face(face.v[0], face.v[1], face.v[2]);
    }
    out.finish();
    return file.commit(error);
}

// glTF goes through the host's exporter, which takes what a renderer takes: the fall is
// switched to geometry for the export and put back.
bool writeMeshGltf(const std::string& path, INode* node, TimeValue t, std::string& error) {
    IParamBlock2* pb = node->GetObjectRef() ? node->GetObjectRef()->FindBaseObject()->GetParamBlock(0) : nullptr;
    const int index = pb ? pb->GetDesc()->NameToIndex(L"renderMode") : -1;
    if (index < 0) {
        error = "the fall has no renderMode parameter";
        return false;
    }
    const ParamID id = pb->GetDesc()->IndextoID(index);
    const int saved = pb->GetInt(id, t);
    constexpr int kGeometry = 1;
    pb->SetValue(id, t, kGeometry);
    const bool ok = host::exportGltf(path, t, error, node);
    pb->SetValue(id, t, saved);
    return ok;
}

}  // namespace

int runFallMesh(const FallMeshCommand& c) {
    double frame = 0.0;
    if (int rc = readFrame(c.frame, frame, fail)) return rc;
    if (int rc =
            checkOutputKind(c.output, {".obj", ".gltf", ".glb"}, "the output", "an .obj, .gltf or .glb file", fail))
        return rc;
    const std::string ext = host::extensionOf(c.output);
    if (int rc = checkOutputFolder(c.output, fail)) return rc;
    if (int rc = checkOutputFiles(c.scene, {{"-o", c.output, false}}, fail)) return rc;

    const WeatherHost session(c.plugins, fail);
    if (int rc = openFallScene(session.started(), c.scene, fail)) return rc;

    TimeValue t = 0;
    if (int rc = frameToTicks(frame, c.frame, fail, t)) return rc;

    INode* node = nullptr;
    if (int rc = pickFall(c.node, c.scene, fail, node)) return rc;
    wx::WeatherFallFP* fall = fallOf(node);

    std::wstring problem;
    std::unique_ptr<Mesh> mesh;
    {
        FallProgress computing(FallProgress::kShownFrom);
        computing.say("building the mesh");
        mesh.reset(fall->geometryMesh(t, node, problem));
    }
    if (!mesh) {
        fail("cannot build the mesh: " + host::toUtf8(problem));
        return kExitIo;
    }
    bool written = false;
    std::string error;
    {
        FallProgress writing(FallProgress::kShownFrom);
        writing.say("writing the mesh");
        written = ext == ".obj" ? writeMeshObj(c.output, *mesh, node->GetObjTMAfterWSM(t), nodeNameOf(node), error)
                                : writeMeshGltf(c.output, node, t, error);
    }
    if (!written) {
        fail(error);
        return kExitIo;
    }
    std::printf("wrote %s: %d vertices, %d faces of \"%s\" at frame %g\n", c.output.c_str(), mesh->numVerts,
                mesh->numFaces, nodeNameOf(node).c_str(), frame);
    return kExitOk;
}

void FallMeshCli::attach(CLI::App& fall) {
    FallMeshCommand& c = command_;
    cmd_ = fall.add_subcommand("mesh", "Write a fall's particles as render geometry (world space) to OBJ or glTF");
    cmd_->add_option("scene", c.scene, "Scene file (.scene/.json) holding the fall")->required();
    cmd_->add_option("--node", c.node, "The fall's node (needed when the scene holds several)");
    cmd_->add_option("--frame", c.frame, "Frame number; fractions and negatives are fine")->required();
    cmd_->add_option("-o,--output", c.output, "File to write: .obj, .gltf or .glb")->required();
    cmd_->add_option("--plugin", c.plugins, "Plug-in module to load besides the weather plug-in (repeatable)")
        ->allow_extra_args(false);
}

bool FallMeshCli::chosen() const {
    return cmd_ && bool(*cmd_);
}

}  // namespace tweather
