#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "common/parallel_for.h"
#include "render/png_writer.h"
#include "render/srgb16.h"
#include "render/zlib_stored.h"

using namespace wx;
namespace fs = std::filesystem;

namespace {

// The sample encoding written out independently of the writer, in single precision.
uint16_t expectedColour(float c) {
    if (!(c > 0.0f)) c = 0.0f;
    if (c > 1.0f) c = 1.0f;
    float v;
    if (c <= 0.0031308f) v = 12.92f * c;
    else v = 1.055f * powf(c, 0.41666666f) - 0.055f;
    return uint16_t(int(v * 65535.0f + 0.5f));
}
uint16_t expectedAlpha(float a) {
    if (!(a > 0.0f)) a = 0.0f;
    if (a > 1.0f) a = 1.0f;
    return uint16_t(int(a * 65535.0f + 0.5f));
}

struct Decoded {
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
    std::vector<uint16_t> samples;  // RGBA, row 0 at the top
};

struct ReadCursor {
    const uint8_t* data;
    size_t size, pos;
};

// Decodes with libpng, no transforms: the bytes as stored, big-endian 16-bit samples.
bool decodeWithLibpng(const std::vector<uint8_t>& file, Decoded& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ReadCursor cursor{file.data(), file.size(), 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &cursor, [](png_structp p, png_bytep dst, png_size_t n) {
        auto* c = static_cast<ReadCursor*>(png_get_io_ptr(p));
        if (c->pos + n > c->size) png_error(p, "read past the end");
        std::memcpy(dst, c->data + c->pos, n);
        c->pos += n;
    });
    png_read_info(png, info);
    out.width = int(png_get_image_width(png, info));
    out.height = int(png_get_image_height(png, info));
    out.bitDepth = png_get_bit_depth(png, info);
    out.colourType = png_get_color_type(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<uint8_t> rows(rowBytes * out.height);
    std::vector<png_bytep> pointers(out.height);
    for (int y = 0; y < out.height; ++y) pointers[y] = rows.data() + y * rowBytes;
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    out.samples.resize(rows.size() / 2);
    for (size_t i = 0; i < out.samples.size(); ++i) out.samples[i] = uint16_t(rows[2 * i] << 8 | rows[2 * i + 1]);
    return true;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "wxpngXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

// Stored-block lengths of a zlib stream of stored blocks, or empty if it is not one.
std::vector<size_t> storedBlockLengths(const uint8_t* zlib, size_t size) {
    std::vector<size_t> lengths;
    if (size < 6 || zlib[0] != 0x78 || zlib[1] != 0x01) return {};
    size_t pos = 2;
    while (pos + 5 <= size) {
        uint8_t head = zlib[pos];
        size_t len = zlib[pos + 1] | zlib[pos + 2] << 8;
        size_t nlen = zlib[pos + 3] | zlib[pos + 4] << 8;
        if ((head & ~1) != 0 || (len ^ 0xFFFF) != nlen) return {};
        lengths.push_back(len);
        pos += 5 + len;
        if (head & 1) break;
    }
    return lengths;
}

std::vector<float> patternImage(int width, int height) {
    std::vector<float> image(size_t(width) * height * 4);
    for (size_t i = 0; i < image.size(); ++i) image[i] = float(int(i * 2654435761u % 1400u)) / 1000.0f - 0.2f;
    return image;
}

}  // namespace

std::vector<SimdPath> supportedPaths() {
    std::vector<SimdPath> paths;
    for (SimdPath p : {SimdPath::Scalar, SimdPath::Avx2, SimdPath::Avx512})
        if (Srgb16Encoder::supports(p)) paths.push_back(p);
    return paths;
}

TEST(Srgb16, EveryPathEqualsTheFormulaForEveryFloatInRange) {
    // Every non-negative float up to and including 1, on every instruction set this CPU
    // has: also proves the formula never decreases, which the thresholds rely on.
    const Srgb16Encoder& enc = Srgb16Encoder::instance();
    const uint32_t kOne = 0x3F800000u;
    const uint32_t stride = std::getenv("WX_QUICK_TESTS") ? 97 : 1;
    const size_t chunks = (kOne >> 16) + 1;
    const std::vector<SimdPath> paths = supportedPaths();
    std::atomic<uint64_t> mismatches{0};
    parallelFor(chunks, [&](size_t chunk) {
        std::vector<float> in;
        std::vector<uint16_t> expected;
        for (uint32_t bits = uint32_t(chunk << 16); bits <= kOne && bits < ((chunk + 1) << 16); bits += stride) {
            float c;
            std::memcpy(&c, &bits, 4);
            in.push_back(c);
            expected.push_back(expectedColour(c));
        }
        std::vector<uint16_t> got(in.size());
        uint64_t bad = 0;
        for (SimdPath path : paths) {
            enc.encodeColours(path, in.data(), got.data(), in.size());
            for (size_t i = 0; i < in.size(); ++i) bad += got[i] != expected[i];
        }
        mismatches += bad;
    });
    EXPECT_EQ(mismatches.load(), 0u);
}

TEST(Srgb16, EveryPathClampsOddValuesAndEncodesAlphaLinearly) {
    const float odd[] = {std::nanf(""), -std::nanf(""), -0.0f, 0.0f, 1.0f, 2.0f, -5.0f,
                         std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                         0.5f, std::numeric_limits<float>::denorm_min(), 1e-30f, 0.0031308f, 0.99999994f,
                         1.0000001f, 0.25f};
    constexpr size_t n = sizeof odd / sizeof odd[0];
    static_assert(n % 4 == 0);
    for (SimdPath path : supportedPaths()) {
        uint16_t codes[n];
        Srgb16Encoder::instance().encodeColours(path, odd, codes, n);
        uint8_t row[n * 2];
        Srgb16Encoder::instance().encodeRgbaRowBigEndian(path, odd, n / 4, row);
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ(codes[i], expectedColour(odd[i])) << "path " << int(path) << " value " << odd[i];
            uint16_t want = i % 4 == 3 ? expectedAlpha(odd[i]) : expectedColour(odd[i]);
            EXPECT_EQ(uint16_t(row[2 * i] << 8 | row[2 * i + 1]), want) << "path " << int(path) << " sample " << i;
        }
    }
}

TEST(PngWriter, LibpngReadsBackExactSamples) {
    TempDir dir;
    for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{32, 255}, std::pair{301, 77}, std::pair{640, 4}}) {
        std::vector<float> image = patternImage(w, h);
        image[0] = std::nanf("");
        image[1] = -std::numeric_limits<float>::infinity();
        fs::path file = dir.path / "out.png";
        ASSERT_TRUE(writePng16(file.string(), image.data(), w, h));
        Decoded d;
        ASSERT_TRUE(decodeWithLibpng(readFile(file), d)) << w << "x" << h;
        ASSERT_EQ(d.width, w);
        ASSERT_EQ(d.height, h);
        ASSERT_EQ(d.bitDepth, 16);
        ASSERT_EQ(d.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
        for (size_t i = 0; i < image.size(); ++i) {
            uint16_t want = (i % 4 == 3) ? expectedAlpha(image[i]) : expectedColour(image[i]);
            ASSERT_EQ(d.samples[i], want) << "sample " << i << " of " << w << "x" << h << " from " << image[i];
        }
        EXPECT_EQ(dir.entries(), 1u) << "a temporary file was left behind";
    }
}

TEST(PngWriter, ClampsColourAndAlphaAndKeepsPremultipliedColour) {
    const float image[] = {-0.5f, 0.0f, 1.0f, 2.0f,    // below 0, 0, 1, alpha above 1
                           0.25f, 0.25f, 0.25f, 0.5f,  // colour is not divided by alpha
                           1e9f, 0.5f, -1e-9f, -3.0f};
    std::vector<uint8_t> file = encodePng16(image, 3, 1);
    Decoded d;
    ASSERT_TRUE(decodeWithLibpng(file, d));
    const uint16_t want[] = {0, 0, 65535, 65535, expectedColour(0.25f), expectedColour(0.25f),
                             expectedColour(0.25f), 32768, 65535, expectedColour(0.5f), 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(d.samples[i], want[i]) << "sample " << i;
}

// A mask is written as data: every channel's code is the value times 65535, with no sRGB
// curve, clamped, NaN as 0; the picture encoding of the same pixels differs.
TEST(PngWriter, DataEncodingWritesValuesAsTheyAre) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float image[] = {0.25f, 0.5f,      0.75f, 1.0f,  // mid values
                           -1.0f, 2.0f,      nan,   0.5f,  // clamped, NaN
                           1e-6f, 0.999999f, 0.0f,  0.0f};
    const int width = 3;
    std::vector<uint8_t> file;
    // Wider rows split pixels across encoding bands as well.
    std::vector<float> wide;
    for (int k = 0; k < 20000; ++k) wide.insert(wide.end(), image, image + 12);
    for (int w : {width, width * 20000}) {
        file = encodePng16(w == width ? image : wide.data(), w, 1, PngColour::data);
        Decoded d;
        ASSERT_TRUE(decodeWithLibpng(file, d));
        const uint16_t want[] = {16384, 32768, 49151, 65535, 0, 65535, 0, 32768, 0, 65535, 0, 0};
        for (int i = 0; i < w * 4; ++i) ASSERT_EQ(d.samples[size_t(i)], want[i % 12]) << "sample " << i;
    }
    Decoded picture;
    ASSERT_TRUE(decodeWithLibpng(encodePng16(image, width, 1), picture));
    EXPECT_NE(picture.samples[0], 16384) << "the picture encoding keeps its sRGB curve";
}

TEST(PngWriter, StoredBlocksSplitAt65535Bytes) {
    // 1x1: nine raw bytes (filter byte + 8 sample bytes) in one final block.
    const float pixel[] = {1, 0, 0, 1};
    std::vector<uint8_t> one = encodePng16(pixel, 1, 1);
    const uint8_t* idat = one.data() + 8 + 25;
    ASSERT_EQ(std::memcmp(idat + 4, "IDAT", 4), 0);
    size_t idatLen = size_t(idat[0]) << 24 | idat[1] << 16 | idat[2] << 8 | idat[3];
    EXPECT_EQ(idatLen, 2u + 5 + 9 + 4);
    EXPECT_EQ(storedBlockLengths(idat + 8, idatLen), std::vector<size_t>{9});
    EXPECT_EQ(one.size(), 8u + 25 + 12 + idatLen + 12);

    // 32x255: 255 rows of 257 bytes = 65535 raw bytes, exactly one block.
    std::vector<float> image = patternImage(32, 255);
    std::vector<uint8_t> full = encodePng16(image.data(), 32, 255);
    idat = full.data() + 8 + 25;
    idatLen = size_t(idat[0]) << 24 | idat[1] << 16 | idat[2] << 8 | idat[3];
    EXPECT_EQ(storedBlockLengths(idat + 8, idatLen), std::vector<size_t>{65535});

    // No PNG has 65536 raw bytes (rows are odd-sized), so the stream is checked alone:
    // two blocks, the second of length 1, inflated by zlib to the same bytes. The larger
    // sizes cross the writer's internal bands.
    for (uint64_t rawSize : {uint64_t(0), uint64_t(65535), uint64_t(65536), uint64_t(64 * 65535 + 1),
                             uint64_t(3 * 64 * 65535 + 12345)}) {
        std::vector<uint8_t> stream;
        bool ok = streamZlibStored(
            rawSize,
            [](uint64_t from, uint64_t to, uint8_t* out) {
                for (uint64_t i = from; i < to; ++i) *out++ = uint8_t(i * 7 + (i >> 11));
            },
            [&](const uint8_t* bytes, size_t size) {
                stream.insert(stream.end(), bytes, bytes + size);
                return true;
            });
        ASSERT_TRUE(ok);
        ASSERT_EQ(stream.size(), zlibStoredSize(rawSize));
        std::vector<size_t> lengths = storedBlockLengths(stream.data(), stream.size());
        if (rawSize == 65536) {
            EXPECT_EQ(lengths, (std::vector<size_t>{65535, 1}));
        }
        if (rawSize == 0) {
            EXPECT_EQ(lengths, std::vector<size_t>{0});
        }
        std::vector<uint8_t> inflated(rawSize + 1);
        uLongf inflatedSize = uLongf(inflated.size());
        ASSERT_EQ(uncompress(inflated.data(), &inflatedSize, stream.data(), uLong(stream.size())), Z_OK) << rawSize;
        ASSERT_EQ(inflatedSize, rawSize);
        for (uint64_t i = 0; i < rawSize; ++i) ASSERT_EQ(inflated[i], uint8_t(i * 7 + (i >> 11))) << i;
    }

    // A sink that refuses part-way stops the stream with false.
    int calls = 0;
    EXPECT_FALSE(streamZlibStored(
        5 * 64 * 65535, [](uint64_t, uint64_t, uint8_t*) {}, [&](const uint8_t*, size_t) { return ++calls < 3; }));
}

TEST(PngWriter, FailuresReturnFalseAndLeaveNothingBehind) {
    TempDir dir;
    std::vector<float> image = patternImage(64, 64);
    EXPECT_FALSE(writePng16((dir.path / "missing" / "x.png").string(), image.data(), 64, 64));
    EXPECT_FALSE(writePng16((dir.path / "x.png").string(), nullptr, 64, 64));
    EXPECT_FALSE(writePng16((dir.path / "x.png").string(), image.data(), 0, 64));
    EXPECT_FALSE(writePng16("", image.data(), 64, 64));
    // A folder in the target's place cannot be replaced by a file.
    fs::create_directory(dir.path / "taken.png");
    EXPECT_FALSE(writePng16((dir.path / "taken.png").string(), image.data(), 64, 64));
    fs::remove(dir.path / "taken.png");
    EXPECT_EQ(dir.entries(), 0u);

    // A device that fills up part-way: a file size limit makes write() fail the same way.
    // The child reports the writer's answer in its exit code.
    const fs::path target = dir.path / "full.png";
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writePng16(target.string(), image.data(), 64, 64) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "a short write was reported as success";
    EXPECT_EQ(dir.entries(), 0u);
}

TEST(PngWriter, ReplacesAnExistingFileWhole) {
    TempDir dir;
    fs::path file = dir.path / "frame.png";
    std::ofstream(file) << std::string(1 << 20, 'x');
    std::vector<float> image = patternImage(5, 5);
    ASSERT_TRUE(writePng16(file.string(), image.data(), 5, 5));
    EXPECT_EQ(readFile(file), encodePng16(image.data(), 5, 5));
}
