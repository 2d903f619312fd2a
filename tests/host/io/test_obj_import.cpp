// The OBJ reader against hostile and careless files: faces outside the vertex list, huge
// polygons, numbers no float holds, byte-order marks, folders and devices, and material
// libraries named outside the file's folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>

#include "host/host_app.h"
#include "host/scene_io.h"
#include "host/std_materials.h"
#include "hostile_files.h"

using hostile::contains;

namespace {

const char* kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

TEST(ObjImport, FacesWithCornersOutsideTheVertexListAreDroppedWithOneWarningEach) {
    hostile::ScratchFolder dir;
    // Past the end, too negative, and one bad corner among good ones; then a shape with
    // nothing but bad faces.
    const std::string obj = dir.write("bad.obj", std::string("o kept\n") + kTriangle +
                                                     "f 1 2 3\nf 7 8 9\nf -9 -8 -7\nf 1 2 99\nf 4 5 6\n"
                                                     "o ghost\nf 10 11 12\nf -20 -21 -22\n");
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(obj, error, &report)) << error;
    ASSERT_NE(hostile::meshOf(L"kept"), nullptr);
    EXPECT_EQ(hostile::meshOf(L"kept")->numFaces, 1);
    EXPECT_EQ(hostile::meshOf(L"ghost"), nullptr) << "a shape with no face left makes no node";
    EXPECT_TRUE(hostile::everyFaceIsInside());
    const std::string said = joined(report.warnings);
    EXPECT_TRUE(contains(said, "shape 'kept': 4 faces")) << said;
    EXPECT_TRUE(contains(said, "shape 'ghost': 2 faces")) << said;
    EXPECT_EQ(report.warnings.size(), 2u) << said;
    // What crashed afterwards: converting the scene to another file.
    EXPECT_TRUE(host::exportScene(dir.path + "/out.obj", 0, error)) << error;
}

TEST(ObjImport, PolygonsTriangulateInLinearTimeKeepingTheirFacing) {
    hostile::ScratchFolder dir;
    // A kite whose 2-4 diagonal is the shorter: the quad splits along it.
    std::string kite = "o kite\nv 0 0 0\nv 1 -0.2 0\nv 3 0 0\nv 1 0.2 0\nf 1 2 3 4\n";
    ASSERT_TRUE(std::ofstream(dir.path + "/kite.obj") << kite);
    std::string error;
    ASSERT_TRUE(host::importScene(dir.path + "/kite.obj", error)) << error;
    Mesh* m = hostile::meshOf(L"kite");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->numFaces, 2);
    for (int f = 0; f < 2; ++f) {
        const DWORD* v = m->faces[f].v;
        EXPECT_TRUE((v[0] == 1 || v[1] == 1 || v[2] == 1) && (v[0] == 3 || v[1] == 3 || v[2] == 3))
            << "both triangles share the short diagonal";
    }

    // One counter-clockwise polygon of a million corners on a circle.
    constexpr int kCorners = 1000000;
    std::string text = "o disc\n";
    text.reserve(size_t(kCorners) * 40);
    char line[64];
    for (int i = 0; i < kCorners; ++i) {
        const double a = 2.0 * 3.14159265358979 * i / kCorners;
        text.append(line,
                    size_t(std::snprintf(line, sizeof line, "v %.7f %.7f 0\n", 100 * std::cos(a), 100 * std::sin(a))));
    }
    text += "f";
    for (int i = 1; i <= kCorners; ++i) (text += ' ') += std::to_string(i);
    text += "\n";
    const std::string disc = dir.write("disc.obj", text);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(host::importScene(disc, error)) << error;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << "a quadratic triangulation takes hours here";
    m = hostile::meshOf(L"disc");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->numFaces, kCorners - 2);
    // The triangles tile the disc: their signed areas add up to its area, and no triangle
    // folds back over another (the unsigned sum is the same).
    double signedArea = 0.0, unsignedArea = 0.0;
    for (int f = 0; f < m->numFaces; ++f) {
        const Point3 a = m->verts[m->faces[f].v[0]], b = m->verts[m->faces[f].v[1]], c = m->verts[m->faces[f].v[2]];
        const double z = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x);
        signedArea += z / 2;
        unsignedArea += std::fabs(z) / 2;
    }
    const double area = 3.14159265358979 * 100 * 100;
    EXPECT_NEAR(signedArea, area, area * 1e-4) << "counter-clockwise, as the polygon";
    EXPECT_NEAR(unsignedArea, area, area * 1e-4);
}

TEST(ObjImport, NumbersNoFloatHoldsAreRefusedWithTheirLine) {
    hostile::ScratchFolder dir;
    host::resetScene();
    struct Case {
        const char* text;
        const char* said;
    } cases[] = {
        {"v 0 0 0\nv 1e39 0 0\n", "line 2: the number '1e39'"},
        {"# big\nv 0 0 0\nvt 0 -1e400\n", "line 3: the number '-1e400'"},
        {"v 0 0 0\r\nv 0 0 0\r\nvn 0 inf 0\r\n", "line 3: the number 'inf'"},
        {"v nan 0 0\n", "line 1: the number 'nan'"},
    };
    const size_t before = host::currentScene().allNodes().size();
    for (const Case& c : cases) {
        const std::string obj = dir.write("huge.obj", std::string(c.text) + "f 1 1 1\n");
        std::string error;
        EXPECT_FALSE(host::importScene(obj, error)) << c.text;
        EXPECT_TRUE(contains(error, c.said) && contains(error, "huge.obj")) << error;
        EXPECT_EQ(host::currentScene().allNodes().size(), before) << "the open scene is kept";
    }
    // Tiny numbers are a fine zero, and the largest float is still a float.
    const std::string fine = dir.write("fine.obj", "o fine\nv 1e-50 0 0\nv 3.4e38 0 0\nv 0 1 0\nf 1 2 3\n");
    std::string error;
    ASSERT_TRUE(host::importScene(fine, error)) << error;
    ASSERT_NE(hostile::meshOf(L"fine"), nullptr);
    EXPECT_FLOAT_EQ(hostile::meshOf(L"fine")->verts[1].x, 3.4e38f);
}

TEST(ObjImport, ByteOrderMarksFoldersDevicesAndPipesAreHandled) {
    hostile::ScratchFolder dir;
    // With the mark read as text, the first vertex was lost and the face pointed past the end.
    const std::string marked = dir.write("marked.obj", std::string("\xEF\xBB\xBF") + kTriangle + "o marked\nf 1 2 3\n");
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(marked, error, &report)) << error;
    ASSERT_NE(hostile::meshOf(L"marked"), nullptr);
    EXPECT_EQ(hostile::meshOf(L"marked")->numFaces, 1);
    EXPECT_TRUE(report.warnings.empty()) << joined(report.warnings);

    std::filesystem::create_directory(dir.path + "/folder.obj");
    EXPECT_FALSE(host::importScene(dir.path + "/folder.obj", error));
    EXPECT_TRUE(contains(error, "folder.obj': it is a folder, not a file")) << error;

    std::filesystem::create_symlink("/dev/zero", dir.path + "/zero.obj");
    EXPECT_FALSE(host::importScene(dir.path + "/zero.obj", error));
    EXPECT_TRUE(contains(error, "it is a device, not a file")) << error;

    // A pipe with no writer would block a reader that opened it for reading and waited.
    ASSERT_EQ(mkfifo((dir.path + "/pipe.obj").c_str(), 0600), 0);
    EXPECT_FALSE(host::importScene(dir.path + "/pipe.obj", error));
    EXPECT_TRUE(contains(error, "it is a pipe, not a file")) << error;
}

TEST(ObjImport, MaterialLibrariesAreReadOnlyBesideTheFile) {
    hostile::ScratchFolder dir;
    dir.write("secret.mtl", "newmtl red\nKd 1 0 0\n");
    dir.write("inside/own.mtl", "newmtl green\nKd 0 1 0\n");
    const std::string outside = dir.write(
        "inside/outside.obj", std::string("mtllib ../secret.mtl\nusemtl red\no box\n") + kTriangle + "f 1 2 3\n");
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(outside, error, &report)) << error;
    ASSERT_NE(host::currentScene().findByName(L"box"), nullptr);
    EXPECT_EQ(host::currentScene().findByName(L"box")->GetMtl(), nullptr) << "the library outside was not read";
    EXPECT_TRUE(contains(joined(report.warnings), "'../secret.mtl' is outside the OBJ's folder"))
        << joined(report.warnings);

    const std::string own =
        dir.write("inside/own.obj", std::string("mtllib own.mtl\nusemtl green\no box\n") + kTriangle + "f 1 2 3\n");
    ASSERT_TRUE(host::importScene(own, error, &report)) << error;
    Mtl* m = host::currentScene().findByName(L"box")->GetMtl();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(host::diffuseOf(m), Color(0, 1, 0));

    // One fault on 500 lines is one warning with its count.
    std::string many = std::string("mtllib own.mtl\n") + kTriangle;
    for (int i = 0; i < 500; ++i) many += "usemtl nothing\nf 1 2 3\n";
    ASSERT_TRUE(host::importScene(dir.write("inside/many.obj", many), error, &report)) << error;
    ASSERT_EQ(report.warnings.size(), 1u) << joined(report.warnings).substr(0, 1000);
    EXPECT_TRUE(contains(report.warnings[0], "'nothing'") && contains(report.warnings[0], "(500 times in all)"))
        << report.warnings[0];
}

}  // namespace
