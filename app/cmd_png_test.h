// `tweather png-test OUT [--size WxH]`: writes the PNG test card (png_test_card.h) with
// the program's own 16-bit PNG writer, to check the writer against other readers.
#pragma once

#include <string>

#include "app/subcommand.h"

namespace tweather {

// Returns the exit code (app/exit_codes.h).
int runPngTestCommand(const std::string& output, const std::string& sizeText);

class PngTestCli : public Subcommand {
public:
    explicit PngTestCli(CLI::App& app);
    int run() override { return runPngTestCommand(output_, size_); }
    bool runsHost() const override { return false; }

private:
    std::string output_;
    std::string size_ = "1024x512";
};

}  // namespace tweather
