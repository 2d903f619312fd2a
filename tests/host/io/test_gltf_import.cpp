// The glTF reader against hostile files: offsets that wrap, sparse accessors, buffer URIs
// that reach out of the file's folder (or into a shell), JSON nested to overflow a stack,
// a fault repeated 1,000 times, and node chains deeper than a call stack.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "host/scene_io.h"
#include "hostile_files.h"

using hostile::contains;

namespace {

// One triangle in glTF's frame: (0,0,0), (1,0,0), (0,1,0).
const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

std::string dataUri(const std::string& bytes) {
    return "data:application/octet-stream;base64," + hostile::base64(bytes);
}

// A file whose only mesh has one primitive with POSITION accessor 0.
std::string oneMesh(const std::string& buffers, const std::string& views, const std::string& accessors,
                    const std::string& primitiveExtra = "") {
    return R"({"asset":{"version":"2.0"},"buffers":[)" + buffers + R"(],"bufferViews":[)" + views +
           R"(],"accessors":[)" + accessors + R"(],"meshes":[{"name":"m","primitives":[{"attributes":{"POSITION":0})" +
           primitiveExtra + R"(}]}],"nodes":[{"name":"n","mesh":0}],"scenes":[{"nodes":[0]}]})";
}

std::string triangleBuffer() {
    return R"({"byteLength":36,"uri":")" + dataUri(hostile::bytesOf(kTriangle)) + R"("})";
}

std::string allWarnings(const host::ImportReport& r) {
    std::string out;
    for (const std::string& w : r.warnings) out += w + "\n";
    return out;
}

TEST(GltfImport, OffsetsStridesAndCountsThatWrapAreRefused) {
    hostile::ScratchFolder dir;
    const std::string good = R"({"buffer":0,"byteLength":36})";
    struct Case {
        const char* name;
        std::string views, accessor;
    } cases[] = {
        {"view offset near 2^64", R"({"buffer":0,"byteOffset":18446744073709551600,"byteLength":36})",
         R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})"},
        {"accessor offset near 2^64", good,
         R"({"bufferView":0,"byteOffset":18446744073709551608,"componentType":5126,"count":3,"type":"VEC3"})"},
        {"view longer than its buffer", R"({"buffer":0,"byteLength":4000})",
         R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})"},
        {"accessor past its view", R"({"buffer":0,"byteLength":24})",
         R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})"},
    };
    for (const Case& c : cases) {
        const std::string file = dir.write("wrap.gltf", oneMesh(triangleBuffer(), c.views, c.accessor));
        std::string error;
        host::ImportReport report;
        if (!host::importScene(file, error, &report)) {
            EXPECT_TRUE(contains(error, "wrap.gltf")) << c.name << ": " << error;
            continue;  // refused whole: nothing was read
        }
        Mesh* m = hostile::meshOf(L"n");
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_EQ(m->numVerts, 0) << c.name << ": no byte outside the buffer becomes a vertex";
        EXPECT_TRUE(contains(allWarnings(report), "reaches past its buffer")) << c.name << ": " << allWarnings(report);
    }
}

TEST(GltfImport, ImagesAreNeitherDecodedNorReadFromOutsideTheirBuffer) {
    hostile::ScratchFolder dir;
    // An image whose buffer view starts near 2^64: its bytes would be read from wild memory.
    const std::string json = R"({"asset":{"version":"2.0"},"buffers":[)" + triangleBuffer() +
                             R"(],"bufferViews":[{"buffer":0,"byteLength":36},
        {"buffer":0,"byteOffset":18446744073709551000,"byteLength":100000}],
        "images":[{"bufferView":1,"mimeType":"image/png"}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"nodes":[{"name":"n","mesh":0}],
        "scenes":[{"nodes":[0]}]})";
    std::string error;
    ASSERT_TRUE(host::importScene(dir.write("image.gltf", json), error)) << error;
    EXPECT_EQ(hostile::meshOf(L"n")->numFaces, 1);
}

TEST(GltfImport, SparseAccessorsAreAppliedOrRefused) {
    hostile::ScratchFolder dir;
    // Positions start as zeros; the sparse part sets elements 1 and 2.
    const std::vector<uint16_t> at = {1, 2};
    const std::vector<float> values = {1, 0, 0, 0, 1, 0};
    const std::string buffer = hostile::bytesOf(at) + hostile::bytesOf(values);
    const std::string buffers = R"({"byteLength":28,"uri":")" + dataUri(buffer) + R"("})";
    const std::string views = R"({"buffer":0,"byteLength":4},{"buffer":0,"byteOffset":4,"byteLength":24})";
    auto sparse = [](int count) {
        return R"({"componentType":5126,"count":)" + std::to_string(count) +
               R"(,"type":"VEC3","sparse":{"count":2,"indices":{"bufferView":0,"componentType":5123},"values":{"bufferView":1}}})";
    };
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.write("sparse.gltf", oneMesh(buffers, views, sparse(3))), error, &report))
        << error;
    Mesh* m = hostile::meshOf(L"n");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->numVerts, 3) << allWarnings(report);
    ASSERT_EQ(m->numFaces, 1);
    // glTF (x, y, z) is the host's (x, -z, y).
    EXPECT_EQ(m->verts[0], Point3(0, 0, 0));
    EXPECT_EQ(m->verts[1], Point3(1, 0, 0));
    EXPECT_EQ(m->verts[2], Point3(0, 0, 1));

    // Index 2 of a 2-element accessor lies past its end.
    ASSERT_TRUE(host::importScene(dir.write("sparse.gltf", oneMesh(buffers, views, sparse(2))), error, &report))
        << error;
    EXPECT_EQ(hostile::meshOf(L"n")->numVerts, 0);
    EXPECT_TRUE(contains(allWarnings(report), "sparse index 2 is past the accessor's 2 elements"))
        << allWarnings(report);
}

TEST(GltfImport, BufferUrisAreReadOnlyInsideTheFilesFolder) {
    hostile::ScratchFolder dir;
    const std::string triangle = hostile::bytesOf(kTriangle);
    dir.write("secret.bin", triangle);
    dir.write("model/own.bin", triangle);
    std::filesystem::create_symlink(dir.path + "/secret.bin", dir.path + "/model/link.bin");
    const std::string view = R"({"buffer":0,"byteLength":36})";
    const std::string accessor = R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})";
    auto withUri = [&](const std::string& uri) {
        return oneMesh(R"({"byteLength":36,"uri":")" + uri + R"("})", view, accessor);
    };
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.write("model/own.gltf", withUri("own.bin")), error, &report)) << error;
    EXPECT_EQ(hostile::meshOf(L"n")->numFaces, 1) << "a buffer beside the file is read";

    const std::string pwned = dir.path + "/pwned";
    for (const std::string& uri :
         {std::string("../secret.bin"), std::string("%2E%2E/secret.bin"), dir.path + "/secret.bin",
          std::string("link.bin"), "$(touch " + pwned + ").bin", "`touch " + pwned + "`.bin"}) {
        const bool read = host::importScene(dir.write("model/evil.gltf", withUri(uri)), error, &report) &&
                          hostile::meshOf(L"n") && hostile::meshOf(L"n")->numVerts > 0;
        EXPECT_FALSE(read) << uri << " was read from outside the folder";
        EXPECT_FALSE(std::filesystem::exists(pwned)) << uri << " ran a shell command";
    }
}

TEST(GltfImport, JsonNestedTooDeepIsRefusedBeforeParsing) {
    hostile::ScratchFolder dir;
    // About 40 KB: deep enough to overflow the stack of a recursive reader.
    const std::string deep = std::string(20000, '[') + std::string(20000, ']');
    const std::string json = R"({"asset":{"version":"2.0"},"extras":)" + deep + "}";
    std::string error;
    EXPECT_FALSE(host::importScene(dir.write("deep.gltf", json), error));
    EXPECT_TRUE(contains(error, "deep.gltf': its JSON nests deeper than 256 levels")) << error;

    std::string glb = "glTF";
    auto word = [&](uint32_t v) { glb.append(reinterpret_cast<const char*>(&v), 4); };
    std::string chunk = json;
    chunk.resize((chunk.size() + 3) / 4 * 4, ' ');
    word(2);
    word(uint32_t(12 + 8 + chunk.size()));
    word(uint32_t(chunk.size()));
    glb += "JSON" + chunk;
    EXPECT_FALSE(host::importScene(dir.write("deep.glb", glb), error));
    EXPECT_TRUE(contains(error, "deep.glb': its JSON nests deeper")) << error;

    // Brackets inside strings are text, not nesting.
    const std::string quoted =
        oneMesh(triangleBuffer(), R"({"buffer":0,"byteLength":36,"name":")" + std::string(1000, '[') + R"("})",
                R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})");
    EXPECT_TRUE(host::importScene(dir.write("quoted.gltf", quoted), error)) << error;

    std::filesystem::create_directory(dir.path + "/folder.glb");
    EXPECT_FALSE(host::importScene(dir.path + "/folder.glb", error));
    EXPECT_TRUE(contains(error, "it is a folder, not a file")) << error;
}

TEST(GltfImport, ARepeatedFaultIsWarnedOnceWithItsCount) {
    hostile::ScratchFolder dir;
    // 1,000 triangles whose indices are all past the three vertices, then 500 point lists.
    const std::vector<uint16_t> indices(3000, 99);
    const std::string bytes = hostile::bytesOf(kTriangle) + hostile::bytesOf(indices);
    std::string points;
    for (int i = 0; i < 500; ++i) points += R"(,{"attributes":{"POSITION":0},"mode":0})";
    const std::string json =
        R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":)" + std::to_string(bytes.size()) + R"(,"uri":")" +
        dataUri(bytes) +
        R"("}],"bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6000}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},
                     {"bufferView":1,"componentType":5123,"count":3000,"type":"SCALAR"}],
        "meshes":[{"name":"m","primitives":[{"attributes":{"POSITION":0},"indices":1})" +
        points + R"(]}],"nodes":[{"name":"n","mesh":0}],"scenes":[{"nodes":[0]}]})";
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.write("repeat.gltf", json), error, &report)) << error;
    const std::string said = allWarnings(report);
    EXPECT_EQ(report.warnings.size(), 2u) << said.substr(0, 2000);
    EXPECT_TRUE(contains(said, "1000 triangles have an index out of range; skipped")) << said.substr(0, 2000);
    EXPECT_TRUE(contains(said, "not triangles; skipped (500 times in all)")) << said.substr(0, 2000);
}

TEST(GltfImport, NodeChainsDeeperThanACallStackImport) {
    hostile::ScratchFolder dir;
    constexpr int kDepth = 100000;
    std::string nodes;
    for (int i = 0; i < kDepth; ++i) {
        if (i) nodes += ',';
        nodes += i + 1 < kDepth ? R"({"children":[)" + std::to_string(i + 1) + "]}" : std::string("{}");
    }
    const std::string json = R"({"asset":{"version":"2.0"},"nodes":[)" + nodes + R"(],"scenes":[{"nodes":[0]}]})";
    std::string error;
    host::ImportReport report;
    ASSERT_TRUE(host::importScene(dir.write("chain.gltf", json), error, &report)) << error;
    EXPECT_EQ(report.nodes, kDepth);
    INode* deepest = host::currentScene().findByName(L"node" + std::to_wstring(kDepth - 1));
    ASSERT_NE(deepest, nullptr);
    EXPECT_NE(deepest->GetParentNode(), host::currentScene().root());
}

}  // namespace
