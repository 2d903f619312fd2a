// The tornado wind-file reader over any bytes: taken whole or refused whole, and never
// more memory reserved than the file could fill.
#include "fall/tornado_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = wx::fuzz::asFile(data, size, ".ttw");
    wx::TornadoFileData wind;
    const wx::TornadoReadError error = wx::readTornadoFile(path, wind);
    if (error != wx::TornadoReadError::None && !wind.frames.empty()) __builtin_trap();
    if (wind.reservedBytes > size) __builtin_trap();
    return 0;
}
