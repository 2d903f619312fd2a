// PNG, JPEG and TGA through stb_image (compiled here, its symbols kept private to this
// file); OpenEXR files are handed to exr_files.cpp.
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/image_files.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace host {

BMMRES readExrFile(const std::string& path, ImageFile& out, bool pixels, std::string& error);

namespace {

constexpr int kMaxSide = 65535;  // BitmapInfo keeps sizes in 16 bits

// Linear value of every 16-bit sRGB code, built once (8-bit codes c are 16-bit codes 257c).
const std::array<float, 65536>& srgbDecodeTable() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<float, 65536>>();
        for (int i = 0; i < 65536; ++i) (*t)[i] = srgbToLinear(float(i) / 65535.0f);
        return t;
    }();
    return *table;
}

bool startsWith(const unsigned char* head, size_t got, const unsigned char* magic, size_t n) {
    return got >= n && std::memcmp(head, magic, n) == 0;
}

int pixelType(int channels, bool sixteen) {
    if (channels <= 2) return sixteen ? BMM_GRAY_16 : BMM_GRAY_8;
    if (channels == 3) return sixteen ? BMM_TRUE_48 : BMM_TRUE_24;
    return sixteen ? BMM_TRUE_64 : BMM_TRUE_32;
}

BMMRES readStbFile(const std::string& path, FILE* f, bool knownMagic, ImageFile& out, bool pixels, std::string& error) {
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_file(f, &w, &h, &channels)) {
        if (knownMagic) {
            error = "cannot read image '" + path + "': the file is damaged (" + stbi_failure_reason() + ")";
            return BMMRES_CORRUPTFILE;
        }
        error = "cannot read image '" + path + "': not a PNG, JPEG, TGA or OpenEXR image";
        return BMMRES_NODRIVER;
    }
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        error = "cannot read image '" + path + "': " + std::to_string(w) + "x" + std::to_string(h) +
                " is larger than 65535 pixels on a side";
        return BMMRES_INVALIDFORMAT;
    }
    const bool sixteen = stbi_is_16_bit_from_file(f) != 0;
    out.width = w;
    out.height = h;
    out.type = pixelType(channels, sixteen);
    out.hasAlpha = channels == 2 || channels == 4;
    if (!pixels) return BMMRES_SUCCESS;

    int got = 0;
    std::unique_ptr<stbi_us, void (*)(void*)> data(stbi_load_from_file_16(f, &w, &h, &got, 4), stbi_image_free);
    if (!data) {
        error = "cannot read image '" + path + "': the file is damaged (" + stbi_failure_reason() + ")";
        return BMMRES_CORRUPTFILE;
    }
    const auto& decode = srgbDecodeTable();
    const size_t n = size_t(w) * size_t(h);
    try {
        out.rgba.resize(n * 4);
    } catch (const std::bad_alloc&) {
        error = "cannot read image '" + path + "': not enough memory for " + std::to_string(w) + "x" +
                std::to_string(h) + " pixels";
        return BMMRES_MEMORYERROR;
    }
    const stbi_us* src = data.get();
    for (size_t i = 0; i < n * 4; i += 4) {
        out.rgba[i] = decode[src[i]];
        out.rgba[i + 1] = decode[src[i + 1]];
        out.rgba[i + 2] = decode[src[i + 2]];
        out.rgba[i + 3] = float(src[i + 3]) / 65535.0f;
    }
    return BMMRES_SUCCESS;
}

}  // namespace

float srgbToLinear(float encoded) {
    double c = encoded < 0.0f ? 0.0 : encoded > 1.0f ? 1.0 : double(encoded);
    return float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
}

BMMRES readImageFile(const std::string& path, ImageFile& out, bool pixels, std::string& error) {
    out = ImageFile{};
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        error = "cannot read image '" + path + "': no such file";
        return BMMRES_FILENOTFOUND;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read image '" + path + "': it is a folder, not an image file";
        return BMMRES_FILENOTFOUND;
    }
    // A pipe would block the read until some writer came; a device may never end.
    if (!S_ISREG(st.st_mode)) {
        error = "cannot read image '" + path + "': it is a device or a pipe, not an image file";
        return BMMRES_FILENOTFOUND;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        error = "cannot read image '" + path + "': " + std::strerror(errno);
        return BMMRES_IOERROR;
    }
    unsigned char head[8] = {};
    const size_t got = std::fread(head, 1, sizeof head, f.get());
    std::rewind(f.get());
    static const unsigned char kExr[] = {0x76, 0x2f, 0x31, 0x01};
    static const unsigned char kPng[] = {0x89, 'P', 'N', 'G'};
    static const unsigned char kJpeg[] = {0xFF, 0xD8, 0xFF};
    if (startsWith(head, got, kExr, sizeof kExr)) {
        f.reset();
        return readExrFile(path, out, pixels, error);
    }
    const bool knownMagic = startsWith(head, got, kPng, sizeof kPng) || startsWith(head, got, kJpeg, sizeof kJpeg);
    return readStbFile(path, f.get(), knownMagic, out, pixels, error);
}

}  // namespace host
