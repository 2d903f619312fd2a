#include "app/cmd_png_test.h"

#include <cstdio>
#include <new>
#include <vector>

#include "app/cmd_render.h"
#include "app/exit_codes.h"
#include "app/png_test_card.h"
#include "render/png_writer.h"

namespace tweather {

int runPngTestCommand(const std::string& output, const std::string& sizeText) {
    int width = 0, height = 0;
    if (!parseSize(sizeText, width, height)) {
        std::fprintf(stderr, "tweather png-test: --size must be WxH with both between 1 and 32768, not '%s'\n",
                     sizeText.c_str());
        return kExitUsage;
    }
    std::vector<float> card;
    try {
        card = makePngTestCard(width, height);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tweather png-test: not enough memory for a %dx%d card (%.1f GiB): ask for a smaller --size\n",
                     width, height, double(width) * double(height) * 16.0 / double(1ull << 30));
        return kExitIo;
    }
    std::string error;
    if (!wx::writePng16(output, card.data(), width, height, error)) {
        std::fprintf(stderr, "tweather png-test: %s\n", error.c_str());
        return kExitIo;
    }
    std::printf("wrote %s (%dx%d, 16-bit RGBA)\n", output.c_str(), width, height);
    return kExitOk;
}

PngTestCli::PngTestCli(CLI::App& app) {
    cmd_ = app.add_subcommand("png-test", "Write a 16-bit PNG test card (ramps, alpha, clamped values)");
    cmd_->add_option("output", output_, "PNG file to write")->required();
    cmd_->add_option("--size", size_, "Image size as WxH")->capture_default_str();
}

}  // namespace tweather
