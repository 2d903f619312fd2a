// The fall's icon and label: the scale rule, every label letter drawn inside its own cell,
// characters without glyphs only advancing, and the icon's box holding all its points.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fall/fall_icon.h"
#include "fall/stroke_font.h"

namespace {

using wx::V3;

TEST(FallIcon, ScaleIsOneForSmallVolumesAndGrowsWithTheDiagonal) {
    EXPECT_FLOAT_EQ(wx::fallIconScale(1.0f, 1.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(wx::fallIconScale(0.001f, 0.001f, 0.001f), 1.0f);
    // 0.06 x sqrt(1000^2 + 1000^2 + 500^2) = 90.
    EXPECT_NEAR(wx::fallIconScale(1000.0f, 1000.0f, 500.0f), 90.0f, 1e-3f);
}

TEST(FallIcon, EveryLabelLetterHasStrokesInsideItsCell) {
    const std::string label = wx::kFallLabel;
    for (float s : {1.0f, 37.5f}) {
        const float bottom = wx::fallLabelBaseline(s), top = bottom + wx::fallLabelHeight(s);
        const float eps = 1e-5f * s;
        for (size_t i = 0; i < label.size(); ++i) {
            // The label with every other character blanked leaves only letter i's strokes.
            std::string only(label.size(), ' ');
            only[i] = label[i];
            wx::StrokeTextLayout layout;
            layout.left = 1.15f * s;
            layout.baseline = bottom;
            layout.height = wx::fallLabelHeight(s);
            std::vector<V3> strokes;
            wx::appendStrokeText(only, layout, strokes);
            if (label[i] == ' ') {
                EXPECT_TRUE(strokes.empty());
                continue;
            }
            ASSERT_FALSE(strokes.empty()) << "letter " << label[i];
            ASSERT_EQ(strokes.size() % 2, 0u);
            const float left = wx::fallLabelCellLeft(s, i), right = left + wx::fallLabelCellWidth(s);
            bool touchesBottom = false, touchesTop = false;
            for (const V3& p : strokes) {
                EXPECT_GE(p.x, left - eps) << label[i];
                EXPECT_LE(p.x, right + eps) << label[i];
                EXPECT_GE(p.y, bottom - eps) << label[i];
                EXPECT_LE(p.y, top + eps) << label[i];
                EXPECT_EQ(p.z, 0.0f);
                touchesBottom |= std::fabs(p.y - bottom) <= eps;
                touchesTop |= std::fabs(p.y - top) <= eps;
            }
            // A capital stands on the baseline and reaches the top line.
            EXPECT_TRUE(touchesBottom && touchesTop) << label[i];
        }
        // The first cell starts at 1.15 s, right of the icon; cells advance by 0.3s x (0.62 + 0.34).
        EXPECT_FLOAT_EQ(wx::fallLabelCellLeft(s, 0), 1.15f * s);
        EXPECT_NEAR(wx::fallLabelCellLeft(s, 3) - wx::fallLabelCellLeft(s, 2), 0.3f * s * 0.96f, 1e-5f * s);
    }
}

TEST(FallIcon, CharactersWithoutGlyphsOnlyAdvance) {
    wx::StrokeTextLayout layout;
    std::vector<V3> plain, shifted, none;
    wx::appendStrokeText("T", layout, plain);
    wx::appendStrokeText("a1T", layout, shifted);
    wx::appendStrokeText("a1 -", layout, none);
    EXPECT_TRUE(none.empty());
    ASSERT_EQ(plain.size(), shifted.size());
    const float advance = wx::strokeCellLeft(layout, 2);
    for (size_t k = 0; k < plain.size(); ++k) {
        EXPECT_FLOAT_EQ(shifted[k].x, plain[k].x + advance);
        EXPECT_FLOAT_EQ(shifted[k].y, plain[k].y);
    }
    for (char c = 'A'; c <= 'Z'; ++c) EXPECT_TRUE(wx::strokeGlyphExists(c)) << c;
    EXPECT_FALSE(wx::strokeGlyphExists('a'));
}

TEST(FallIcon, LinesComeInPairsAndTheBoxHoldsThemAll) {
    for (float s : {1.0f, 12.0f}) {
        const std::vector<V3> lines = wx::fallIconLines(s);
        ASSERT_EQ(lines.size() % 2, 0u);
        // Cloud 5 x 14, drop 24, wings 6, eyes 2 x 8 segments before the label.
        EXPECT_GT(lines.size() / 2, size_t(5 * 14 + 24 + 6 + 16));
        const wx::FallIconBox box = wx::fallIconBox(s);
        for (const V3& p : lines) {
            EXPECT_GE(p.x, box.min.x);
            EXPECT_LE(p.x, box.max.x);
            EXPECT_GE(p.y, box.min.y);
            EXPECT_LE(p.y, box.max.y);
        }
        EXPECT_EQ(box.min.z, 0.0f);
        EXPECT_EQ(box.max.z, 0.0f);
        // The cloud's leftmost puff reaches past -0.62s x cos(0.86 pi) - 0.34s; the label
        // ends right of 1.15s.
        EXPECT_LT(box.min.x, -0.8f * s);
        EXPECT_GT(box.max.x, 1.15f * s + 15.0f * 0.3f * s * 0.96f);
    }
}

}  // namespace
