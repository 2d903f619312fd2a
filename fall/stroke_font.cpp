#include "fall/stroke_font.h"

namespace wx {
namespace {

// Each glyph: segments of four digits x0 y0 x1 y1 in quarters of the cell (0 to 4; y 0 is
// the bottom line, 2 the middle, 4 the top), separated by blanks.
constexpr const char* kGlyphs[26] = {
    "0024 2440 1232",                           // A
    "0004 0434 3443 4332 0232 3241 4130 3000",  // B
    "4404 0400 0040",                           // C
    "0004 0434 3443 4341 4130 3000",            // D
    "4404 0400 0040 0232",                      // E
    "4404 0400 0232",                           // F
    "4404 0400 0040 4042 4222",                 // G
    "0004 4044 0242",                           // H
    "2024 1434 1030",                           // I
    "4440 4000 0001",                           // J
    "0004 4402 0240",                           // K
    "0400 0040",                                // L
    "0004 0422 2244 4440",                      // M
    "0004 0440 4044",                           // N
    "0004 0444 4440 4000",                      // O
    "0004 0444 4442 4202",                      // P
    "0004 0444 4440 4000 2240",                 // Q
    "0004 0444 4442 4202 2240",                 // R
    "4404 0402 0242 4240 4000",                 // S
    "0444 2420",                                // T
    "0400 0040 4044",                           // U
    "0420 2044",                                // V
    "0410 1022 2230 3044",                      // W
    "0044 0440",                                // X
    "0422 4422 2220",                           // Y
    "0444 4400 0040",                           // Z
};

const char* glyphOf(char c) {
    return c >= 'A' && c <= 'Z' ? kGlyphs[c - 'A'] : nullptr;
}

}  // namespace

bool strokeGlyphExists(char c) {
    return glyphOf(c) != nullptr;
}

float strokeCellLeft(const StrokeTextLayout& layout, size_t index) {
    const float cellWidth = layout.widthRatio * layout.height;
    const float advance = cellWidth + layout.spacingRatio * layout.height;
    return layout.left + float(index) * advance;
}

void appendStrokeText(std::string_view text, const StrokeTextLayout& layout, std::vector<V3>& points) {
    const float quarterX = 0.25f * layout.widthRatio * layout.height;
    const float quarterY = 0.25f * layout.height;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* glyph = glyphOf(text[i]);
        if (!glyph) continue;
        const float left = strokeCellLeft(layout, i);
        for (const char* s = glyph; *s;) {
            if (*s == ' ') {
                ++s;
                continue;
            }
            auto at = [&](char x, char y) {
                return V3{left + float(x - '0') * quarterX, layout.baseline + float(y - '0') * quarterY, layout.z};
            };
            points.push_back(at(s[0], s[1]));
            points.push_back(at(s[2], s[3]));
            s += 4;
        }
    }
}

}  // namespace wx
