#include "render/png_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "render/checksum.h"
#include "render/srgb16.h"
#include "render/zlib_stored.h"
#include "shelter/parallel_for.h"

namespace wx {
namespace {

constexpr size_t kSignatureSize = 8;
constexpr size_t kIhdrChunkSize = 12 + 13;
constexpr size_t kIendChunkSize = 12;
constexpr uint64_t kMaxChunkData = 0x7FFFFFFFu;  // PNG chunk lengths stop at 2^31 - 1

void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size < (size_t(1) << 30) ? size : (size_t(1) << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::vector<uint8_t> encodePng16(const float* image, int width, int height) {
    if (!image || width <= 0 || height <= 0) return {};
    const uint64_t rowBytes = uint64_t(width) * 8 + 1;
    const uint64_t rawSize = rowBytes * uint64_t(height);
    const uint64_t zlibSize = zlibStoredSize(rawSize);
    if (zlibSize + 4 > kMaxChunkData) return {};  // does not fit the single IDAT chunk

    const size_t idatStart = kSignatureSize + kIhdrChunkSize;  // the IDAT chunk's length field
    const size_t zlibStart = idatStart + 8;
    std::vector<uint8_t> file(zlibStart + zlibSize + 4 + kIendChunkSize);
    uint8_t* f = file.data();

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::memcpy(f, kSignature, 8);
    uint8_t* ihdr = f + kSignatureSize;
    putBe32(ihdr, 13);
    std::memcpy(ihdr + 4, "IHDR", 4);
    putBe32(ihdr + 8, uint32_t(width));
    putBe32(ihdr + 12, uint32_t(height));
    ihdr[16] = 16;  // bit depth
    ihdr[17] = 6;   // colour type RGBA
    ihdr[18] = ihdr[19] = ihdr[20] = 0;
    putBe32(ihdr + 21, crc32(ihdr + 4, 17));

    putBe32(f + idatStart, uint32_t(zlibSize));
    std::memcpy(f + idatStart + 4, "IDAT", 4);
    uint8_t* zlib = f + zlibStart;
    writeZlibStoredFraming(zlib, rawSize);

    // Rows are encoded in parallel into a small buffer each, their Adler-32 taken while
    // the bytes are still in cache, and scattered around the block headers.
    const Srgb16Encoder& srgb = Srgb16Encoder::instance();
    std::vector<uint32_t> rowAdler(size_t(height), 1);
    parallelFor(size_t(height), [&](size_t y) {
        thread_local std::vector<uint8_t> row;
        row.resize(rowBytes);
        row[0] = 0;  // filter type None
        srgb.encodeRgbaRowBigEndian(image + y * size_t(width) * 4, size_t(width), row.data() + 1);
        rowAdler[y] = adler32(row.data(), rowBytes);
        scatterZlibStored(zlib, y * rowBytes, row.data(), rowBytes);
    });
    uint32_t adler = 1;
    for (uint32_t a : rowAdler) adler = adler32Combine(adler, a, rowBytes);
    writeZlibStoredTrailer(zlib, rawSize, adler);

    putBe32(zlib + zlibSize, crc32(f + idatStart + 4, 4 + zlibSize));
    uint8_t* iend = zlib + zlibSize + 4;
    putBe32(iend, 0);
    std::memcpy(iend + 4, "IEND", 4);
    putBe32(iend + 8, crc32(iend + 4, 4));
    return file;
}

bool writePng16(const std::string& fileName, const float* image, int width, int height) {
    if (fileName.empty()) return false;
    std::vector<uint8_t> file = encodePng16(image, width, height);
    if (file.empty()) return false;

    // A name unique to this process and call, beside the target, so the rename stays on
    // one file system and is atomic.
    static std::atomic<unsigned> serial{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.tmp", int(::getpid()), serial.fetch_add(1));
    const std::string tempName = fileName + suffix;

    int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, file.data(), file.size());
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tempName.c_str(), fileName.c_str()) == 0;
    if (!ok) ::unlink(tempName.c_str());
    return ok;
}

}  // namespace wx
