#include "render/png_writer.h"

#include <algorithm>
#include <cstring>

#include "common/atomic_file.h"
#include "render/checksum.h"
#include "render/srgb16.h"
#include "render/zlib_stored.h"

namespace wx {
namespace {

constexpr uint64_t kMaxChunkData = 0x7FFFFFFFu;  // PNG chunk lengths stop at 2^31 - 1

void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Pixels as data: each channel clamped to [0, 1] (NaN as 0) and scaled to 65535, big-endian.
void encodeDataRowBigEndian(const float* pixels, size_t width, uint8_t* out) {
    for (size_t i = 0; i < width * 4; ++i) {
        const float v = pixels[i];
        const float c = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
        const auto code = uint16_t(c * 65535.0f + 0.5f);
        out[2 * i] = uint8_t(code >> 8);
        out[2 * i + 1] = uint8_t(code);
    }
}

// The scanlines as one byte sequence: each row is a filter byte 0 and width x 8 bytes.
struct RawImage {
    const float* image;
    uint64_t width;
    uint64_t rowBytes;
    PngColour colour = PngColour::srgb;

    void encodePixels(const float* pixels, size_t count, uint8_t* out, const Srgb16Encoder& srgb) const {
        if (colour == PngColour::data)
            encodeDataRowBigEndian(pixels, count, out);
        else
            srgb.encodeRgbaRowBigEndian(pixels, count, out);
    }

    // Writes raw bytes [from, to) of the scanlines into out (to - from bytes).
    void encode(uint64_t from, uint64_t to, uint8_t* out, const Srgb16Encoder& srgb) const {
        uint8_t pixelBytes[8 * 2];  // a pixel cut by the range start or end
        while (from < to) {
            uint64_t y = from / rowBytes, inRow = from % rowBytes;
            uint64_t rowEnd = std::min(to, (y + 1) * rowBytes) - y * rowBytes;  // exclusive, within the row
            const float* row = image + y * width * 4;
            if (inRow == 0) {
                *out++ = 0;  // filter type None
                inRow = 1;
            }
            while (inRow < rowEnd) {
                uint64_t pixel = (inRow - 1) / 8, offset = (inRow - 1) % 8;
                uint64_t wholeEnd = (rowEnd - 1) / 8;  // pixels [pixel, wholeEnd) may be whole
                if (offset == 0 && wholeEnd > pixel) {
                    encodePixels(row + pixel * 4, wholeEnd - pixel, out, srgb);
                    out += (wholeEnd - pixel) * 8;
                    inRow += (wholeEnd - pixel) * 8;
                } else {
                    encodePixels(row + pixel * 4, 1, pixelBytes, srgb);
                    uint64_t take = std::min<uint64_t>(8 - offset, rowEnd - inRow);
                    std::memcpy(out, pixelBytes + offset, take);
                    out += take;
                    inRow += take;
                }
            }
            from = y * rowBytes + rowEnd;
        }
    }
};

}  // namespace

bool streamPng16(const float* image, int width, int height, const PngByteSink& sink, PngColour colour) {
    if (!image || width <= 0 || height <= 0) return false;
    const RawImage raw{image, uint64_t(width), uint64_t(width) * 8 + 1, colour};
    const uint64_t rawSize = raw.rowBytes * uint64_t(height);
    const uint64_t zlibSize = zlibStoredSize(rawSize);
    if (zlibSize + 4 > kMaxChunkData) return false;  // does not fit the single IDAT chunk

    // Signature, IHDR, and the IDAT chunk's length and type.
    uint8_t head[8 + 25 + 8];
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::memcpy(head, kSignature, 8);
    uint8_t* ihdr = head + 8;
    putBe32(ihdr, 13);
    std::memcpy(ihdr + 4, "IHDR", 4);
    putBe32(ihdr + 8, uint32_t(width));
    putBe32(ihdr + 12, uint32_t(height));
    ihdr[16] = 16;  // bit depth
    ihdr[17] = 6;   // colour type RGBA
    ihdr[18] = ihdr[19] = ihdr[20] = 0;
    putBe32(ihdr + 21, crc32(ihdr + 4, 17));
    uint8_t* idat = head + 33;
    putBe32(idat, uint32_t(zlibSize));
    std::memcpy(idat + 4, "IDAT", 4);
    if (!sink(head, sizeof head)) return false;

    // The chunk's CRC runs over its type and the whole stream, on the thread that writes.
    uint32_t idatCrc = crc32(idat + 4, 4);
    const Srgb16Encoder& srgb = Srgb16Encoder::instance();
    bool ok = streamZlibStored(
        rawSize, [&](uint64_t from, uint64_t to, uint8_t* out) { raw.encode(from, to, out, srgb); },
        [&](const uint8_t* bytes, size_t size) {
            idatCrc = crc32(bytes, size, idatCrc);
            return sink(bytes, size);
        });
    if (!ok) return false;

    uint8_t tail[4 + 12];
    putBe32(tail, idatCrc);
    putBe32(tail + 4, 0);
    std::memcpy(tail + 8, "IEND", 4);
    putBe32(tail + 12, crc32(tail + 8, 4));
    return sink(tail, sizeof tail);
}

std::vector<uint8_t> encodePng16(const float* image, int width, int height, PngColour colour) {
    std::vector<uint8_t> file;
    if (width > 0 && height > 0)
        file.reserve(8 + 25 + 12 + zlibStoredSize(uint64_t(height) * (uint64_t(width) * 8 + 1)) + 12);
    bool ok = streamPng16(
        image, width, height,
        [&](const uint8_t* bytes, size_t size) {
            file.insert(file.end(), bytes, bytes + size);
            return true;
        },
        colour);
    if (!ok) file.clear();
    return file;
}

bool writePng16(const std::string& fileName, const float* image, int width, int height, std::string& error,
                PngColour colour) {
    if (fileName.empty() || !image || width <= 0 || height <= 0) {
        error = "cannot write '" + fileName + "': the image is empty";
        return false;
    }
    AtomicFile file(fileName);
    if (!file.open(error)) return false;
    // The sink stops the encoding at the first failed write (a full disk): the error is
    // the file's, reported by commit.
    const bool encoded = streamPng16(
        image, width, height,
        [&file](const uint8_t* bytes, size_t size) {
            file.write(bytes, size);
            return !file.failed();
        },
        colour);
    if (!encoded && !file.failed()) {
        file.abandon();
        error = "cannot write '" + fileName + "': a " + std::to_string(width) + "x" + std::to_string(height) +
                " image is too large for one PNG";
        return false;
    }
    return file.commit(error);
}

bool writePng16(const std::string& fileName, const float* image, int width, int height, PngColour colour) {
    std::string error;
    return writePng16(fileName, image, width, height, error, colour);
}

}  // namespace wx
