#include "fall/fall_icon.h"

#include <cmath>

#include "fall/stroke_font.h"

namespace wx {
namespace {

constexpr float kPi = 3.14159265f;

void segment(std::vector<V3>& out, float ax, float ay, float bx, float by) {
    out.push_back({ax, ay, 0.0f});
    out.push_back({bx, by, 0.0f});
}

// n segments between the points at angles 2 pi k / n, k = 0 .. n, from (cx + r, cy).
void ellipse(std::vector<V3>& out, float cx, float cy, float rx, float ry, int n) {
    for (int k = 0; k < n; ++k) {
        const float a0 = 2.0f * kPi * float(k) / float(n), a1 = 2.0f * kPi * float(k + 1) / float(n);
        segment(out, cx + rx * std::cos(a0), cy + ry * std::sin(a0), cx + rx * std::cos(a1), cy + ry * std::sin(a1));
    }
}

StrokeTextLayout labelLayout(float s) {
    StrokeTextLayout layout;
    layout.left = 1.15f * s;
    layout.baseline = fallLabelBaseline(s);
    layout.height = fallLabelHeight(s);
    return layout;
}

}  // namespace

float fallIconScale(float width, float length, float height) {
    return std::fmax(1.0f, 0.06f * std::sqrt(width * width + length * length + height * height));
}

float fallLabelBaseline(float s) {
    return -0.42f * s;
}
float fallLabelHeight(float s) {
    return 0.3f * s;
}
float fallLabelCellWidth(float s) {
    return 0.62f * fallLabelHeight(s);
}
float fallLabelCellLeft(float s, size_t i) {
    return strokeCellLeft(labelLayout(s), i);
}

std::vector<V3> fallIconLines(float s) {
    std::vector<V3> out;
    // The cloud: five puffs on an arc over the drop.
    for (int k = 0; k < 5; ++k) {
        const float theta = kPi * (0.14f + 0.18f * float(k));
        ellipse(out, -0.62f * s * std::cos(theta), 0.62f * s * std::sin(theta) + 0.2f * s, 0.34f * s, 0.34f * s, 14);
    }
    // The drop's body.
    ellipse(out, 0.0f, -0.3f * s, 0.52f * s, 0.74f * s, 24);
    // A wing on each side: a thin triangle swept out and down.
    for (float side : {-1.0f, 1.0f}) {
        segment(out, 0.5f * side * s, -0.18f * s, 0.95f * side * s, -0.52f * s);
        segment(out, 0.95f * side * s, -0.52f * s, 0.48f * side * s, -0.46f * s);
        segment(out, 0.48f * side * s, -0.46f * s, 0.5f * side * s, -0.18f * s);
    }
    // The eyes.
    ellipse(out, -0.22f * s, -0.3f * s, 0.06f * s, 0.06f * s, 8);
    ellipse(out, 0.22f * s, -0.3f * s, 0.06f * s, 0.06f * s, 8);
    appendStrokeText(kFallLabel, labelLayout(s), out);
    return out;
}

FallIconBox fallIconBox(float s) {
    const std::vector<V3> lines = fallIconLines(s);
    FallIconBox box{lines.front(), lines.front()};
    for (const V3& p : lines) {
        box.min = vmin(box.min, p);
        box.max = vmax(box.max, p);
    }
    return box;
}

}  // namespace wx
