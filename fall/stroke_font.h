// A stroke font for labels drawn as lines in a viewport: each capital letter is a few
// straight segments inside its cell, on a grid of quarters of the cell's width and height
// (bottom, middle and top lines among them). Characters without a glyph (blanks, lower
// case, digits) only advance. Pure functions over the caller's array; no host types.
#pragma once

#include <string_view>
#include <vector>

#include "common/v3.h"

namespace wx {

struct StrokeTextLayout {
    float left = 0.0f;           // the first cell's left edge
    float baseline = 0.0f;       // the cells' bottom line
    float height = 1.0f;         // letter height
    float widthRatio = 0.62f;    // cell width / letter height
    float spacingRatio = 0.34f;  // gap between cells / letter height
    float z = 0.0f;
};

// Whether c has strokes (the capitals A to Z).
bool strokeGlyphExists(char c);

// The left edge of character `index`'s cell.
float strokeCellLeft(const StrokeTextLayout& layout, size_t index);

// Appends two points per stroke of every character of text, in order.
void appendStrokeText(std::string_view text, const StrokeTextLayout& layout, std::vector<V3>& points);

}  // namespace wx
