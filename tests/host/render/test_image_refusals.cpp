// Image paths that name no image file: a folder, a device that never ends, and a pipe
// with no writer, which a plain open would wait on for ever.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "host/image_files.h"

namespace {

TEST(ImageRefusals, FoldersDevicesAndPipesAreRefusedWithoutReading) {
    char t[] = "/tmp/wx_image_refusals_XXXXXX";
    const std::string dir = mkdtemp(t);
    std::filesystem::create_directory(dir + "/folder.png");
    ASSERT_EQ(mkfifo((dir + "/pipe.png").c_str(), 0600), 0);
    struct Case {
        std::string path, said;
    } cases[] = {{dir + "/folder.png", "it is a folder"},
                 {"/dev/zero", "it is a device or a pipe"},
                 {dir + "/pipe.png", "it is a device or a pipe"}};
    for (const Case& c : cases) {
        host::ImageFile image;
        std::string error;
        EXPECT_EQ(host::readImageFile(c.path, image, true, error), BMMRES_FILENOTFOUND) << c.path;
        EXPECT_NE(error.find("'" + c.path + "': " + c.said), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
