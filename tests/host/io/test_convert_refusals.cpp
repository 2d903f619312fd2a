// Hostile inputs through the convert command: each is refused with exit code 1 and one
// line naming the file, and no output is written; the OBJ whose faces point past its
// vertices converts, without those faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/cmd_scene.h"
#include "hostile_files.h"

namespace {

TEST(ConvertRefusals, HostileInputsExitOneAndWriteNothing) {
    hostile::ScratchFolder dir;
    dir.write("secret.bin", std::string(36, '\0'));
    std::filesystem::create_directory(dir.path + "/folder.obj");
    const std::string gltfHead = R"({"asset":{"version":"2.0"},)";
    struct Case {
        std::string name, bytes, said;
    } cases[] = {
        {"huge.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n", "line 2: the number '1e39' does not fit a float"},
        {"deep.gltf", gltfHead + R"("extras":)" + std::string(5000, '[') + std::string(5000, ']') + "}",
         "nests deeper than 256 levels"},
        {"outside.gltf",
         gltfHead +
             R"("buffers":[{"byteLength":36,"uri":"../secret.bin"}],"bufferViews":[{"buffer":0,"byteLength":36}]})",
         "read only from the glTF's own folder"},
        {"folder.obj", "", "it is a folder, not a file"},
    };
    for (const Case& c : cases) {
        tweather::SceneOptions o;
        o.input = c.bytes.empty() ? dir.path + "/" + c.name : dir.write("in/" + c.name, c.bytes);
        o.output = dir.path + "/out.glb";
        testing::internal::CaptureStderr();
        EXPECT_EQ(tweather::runSceneConvert(o), 1) << c.name;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.said), std::string::npos) << c.name << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(std::filesystem::exists(o.output)) << c.name;
    }
    tweather::SceneOptions o;
    o.input = dir.write("bad-faces.obj", "o kept\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\no ghost\nf 7 8 9\n");
    o.output = dir.path + "/out.obj";
    testing::internal::CaptureStderr();
    EXPECT_EQ(tweather::runSceneConvert(o), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("shape 'ghost': 1 faces"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(o.output));
}

}  // namespace
