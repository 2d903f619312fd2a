// PNG writer throughput against memcpy of the same number of output bytes.
// "vs_memcpy" is memcpy's time over ours for one image: 1 would be memcpy speed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_yardstick.h"
#include "render/png_writer.h"
#include "render/srgb16.h"
#include "render/zlib_stored.h"

namespace {

std::vector<float> renderLikeImage(int width, int height) {
    // Smooth gradients with a little noise, colour premultiplied by a varying alpha.
    std::vector<float> image(size_t(width) * height * 4);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            float n = float(noise >> 8) * (1.0f / 16777216.0f) * 0.02f;
            float a = 0.5f + 0.5f * float(x) / float(width);
            float* p = &image[(size_t(y) * width + x) * 4];
            p[0] = (float(x) / float(width) + n) * a;
            p[1] = (float(y) / float(height) + n) * a;
            p[2] = (0.3f + n) * a;
            p[3] = a;
        }
    }
    return image;
}

// Signature, IHDR, IDAT framing, the stored zlib stream and IEND.
size_t pngBytes(int width, int height) {
    return 8 + 25 + 12 + wx::zlibStoredSize(uint64_t(height) * (uint64_t(width) * 8 + 1)) + 12;
}

std::string scratchFile() {
    std::filesystem::path dir = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("wx_bench_" + std::to_string(::getpid()) + ".png")).string();
}

void BM_WritePng16ToFile(benchmark::State& state) {
    int width = int(state.range(0)), height = int(state.range(1));
    std::vector<float> image = renderLikeImage(width, height);
    std::string file = scratchFile();
    wx::Srgb16Encoder::instance();  // table set-up is once per process, not per image
    double memcpyTime = wxbench::memcpySeconds(pngBytes(width, height));
    for (auto _ : state) {
        if (!wx::writePng16(file, image.data(), width, height)) state.SkipWithError("write failed");
    }
    std::filesystem::remove(file);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pngBytes(width, height)));
    wxbench::reportRatio(state, "vs_memcpy", memcpyTime);
}

void BM_EncodePng16InMemory(benchmark::State& state) {
    int width = int(state.range(0)), height = int(state.range(1));
    std::vector<float> image = renderLikeImage(width, height);
    wx::Srgb16Encoder::instance();
    double memcpyTime = wxbench::memcpySeconds(pngBytes(width, height));
    for (auto _ : state) benchmark::DoNotOptimize(wx::encodePng16(image.data(), width, height));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pngBytes(width, height)));
    wxbench::reportRatio(state, "vs_memcpy", memcpyTime);
}

// The sample conversion alone, single-threaded: colour through the sRGB curve, alpha linear.
void BM_ColourConversion(benchmark::State& state) {
    int width = int(state.range(0)), height = int(state.range(1));
    std::vector<float> image = renderLikeImage(width, height);
    std::vector<uint16_t> samples(image.size());
    const wx::Srgb16Encoder& srgb = wx::Srgb16Encoder::instance();
    double memcpyTime = wxbench::memcpySeconds(samples.size() * 2);
    for (auto _ : state) {
        for (size_t y = 0; y < size_t(height); ++y)
            srgb.encodeRgbaRowBigEndian(&image[y * width * 4], width, reinterpret_cast<uint8_t*>(&samples[y * width * 4]));
        benchmark::DoNotOptimize(samples.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(image.size()));
    wxbench::reportRatio(state, "vs_memcpy", memcpyTime);
}

// The straightforward way, for scale: powf per colour sample.
void BM_ColourConversionByFormula(benchmark::State& state) {
    int width = int(state.range(0)), height = int(state.range(1));
    std::vector<float> image = renderLikeImage(width, height);
    std::vector<uint16_t> samples(image.size());
    for (auto _ : state) {
        for (size_t i = 0; i < image.size(); i += 4) {
            samples[i] = wx::srgb16Formula(image[i]);
            samples[i + 1] = wx::srgb16Formula(image[i + 1]);
            samples[i + 2] = wx::srgb16Formula(image[i + 2]);
            samples[i + 3] = wx::linear16(image[i + 3]);
        }
        benchmark::DoNotOptimize(samples.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}

}  // namespace

BENCHMARK(BM_WritePng16ToFile)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodePng16InMemory)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColourConversion)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColourConversionByFormula)->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
