#include "app/complete_output.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "host/image_files.h"
#include "host/scene_io.h"

namespace tweather {
namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Length 0, "IEND", and the CRC-32 of "IEND".
constexpr unsigned char kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
constexpr uint64_t kStoredBlockBytes = 65535;

uint32_t bigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace

uint64_t pngFileBytes(int width, int height) {
    const uint64_t raw = uint64_t(height) * (8 * uint64_t(width) + 1);
    const uint64_t blocks = (raw + kStoredBlockBytes - 1) / kStoredBlockBytes;
    return 63 + raw + 5 * blocks;
}

bool pngComplete(const std::string& path, int width, int height) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (uint64_t(st.st_size) != pngFileBytes(width, height)) return false;
    std::ifstream in(path, std::ios::binary);
    // Signature, then the IHDR chunk: length 13, type, width, height, depth, colour type.
    unsigned char head[8 + 8 + 13];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
    if (std::memcmp(head, kSignature, 8) != 0) return false;
    if (bigEndian32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
    if (bigEndian32(head + 16) != uint32_t(width) || bigEndian32(head + 20) != uint32_t(height)) return false;
    if (head[24] != 16 || head[25] != 6) return false;
    unsigned char tail[12];
    if (!in.seekg(-12, std::ios::end) || !in.read(reinterpret_cast<char*>(tail), sizeof tail)) return false;
    return std::memcmp(tail, kIend, sizeof tail) == 0;
}

bool exrComplete(const std::string& path, int width, int height) {
    host::ImageFile image;
    std::string error;
    if (host::readImageFile(path, image, true, error) != BMMRES_SUCCESS) return false;
    return image.width == width && image.height == height;
}

bool outputComplete(const std::string& path, int width, int height) {
    const std::string ext = host::extensionOf(path);
    if (ext == ".png") return pngComplete(path, width, height);
    if (ext == ".exr") return exrComplete(path, width, height);
    return false;
}

}  // namespace tweather
