#include "app/png_test_card.h"

#include <algorithm>
#include <cmath>

namespace tweather {
namespace {

constexpr int kBands = 7;

void hueToRgb(float h, float rgb[3]) {
    // h in [0, 1) around the colour wheel from red, at full saturation and value.
    static const float kPhase[3] = {5.0f, 3.0f, 1.0f};
    for (int c = 0; c < 3; ++c) {
        float k = std::fmod(kPhase[c] + h * 6.0f, 6.0f);
        rgb[c] = 1.0f - std::clamp(std::min(k, 4.0f - k), 0.0f, 1.0f);
    }
}

}  // namespace

std::vector<float> makePngTestCard(int width, int height) {
    std::vector<float> image(size_t(width) * size_t(height) * 4, 0.0f);
    for (int y = 0; y < height; ++y) {
        int band = std::min(kBands - 1, y * kBands / height);
        for (int x = 0; x < width; ++x) {
            float u = width > 1 ? float(x) / float(width - 1) : 0.0f;
            float* p = &image[(size_t(y) * width + x) * 4];
            p[3] = 1.0f;
            switch (band) {
                case 0: p[0] = u; break;
                case 1: p[1] = u; break;
                case 2: p[2] = u; break;
                case 3: p[0] = p[1] = p[2] = u; break;
                case 4: hueToRgb(std::min(u, 0.9999f), p); break;
                case 5: p[0] = p[1] = p[2] = -0.5f + 2.0f * u; break;
                default: p[0] = p[1] = p[2] = p[3] = u; break;
            }
        }
    }
    return image;
}

}  // namespace tweather
