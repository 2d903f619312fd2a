// Frame-numbered names: '#' run expansion and naming a sequence by its first frame.
#include <gtest/gtest.h>

#include "fall/frame_pattern.h"

namespace wx {
namespace {

TEST(FramePattern, ExpandsOnlyTheFirstRunWithItsLengthAsMinimumWidth) {
    EXPECT_EQ(expandFramePattern(std::string("out_####.png"), 7), "out_0007.png");
    EXPECT_EQ(expandFramePattern(std::wstring(L"out_####.png"), 12), L"out_0012.png");
    // Two runs: the second stays as written.
    EXPECT_EQ(expandFramePattern(std::string("a_##/b_###.png"), 3), "a_03/b_###.png");
    // A number wider than the run is printed in full.
    EXPECT_EQ(expandFramePattern(std::string("f_##.png"), 12345), "f_12345.png");
    EXPECT_EQ(expandFramePattern(std::string("f_#.png"), 0), "f_0.png");
    // Negative frames pad after the sign, as "%0*d" does.
    EXPECT_EQ(expandFramePattern(std::string("f_####.png"), -5), "f_-005.png");
    // No run: the name is used for every frame.
    EXPECT_EQ(expandFramePattern(std::string("still.png"), 42), "still.png");
    EXPECT_TRUE(hasFrameRun(std::string("x#")));
    EXPECT_FALSE(hasFrameRun(std::wstring(L"x.png")));
}

TEST(FramePattern, FirstFrameNamesTheSequenceItStarts) {
    SequenceFromFirstFrame s;
    ASSERT_TRUE(sequenceFromFirstFrame(L"shot_0012.exr", s));
    EXPECT_EQ(s.start, 12);
    EXPECT_EQ(s.backgroundPattern, L"shot_####.exr");
    EXPECT_EQ(s.outputPattern, L"shot_weather_####.png");
    EXPECT_EQ(expandFramePattern(s.outputPattern, s.start), L"shot_weather_0012.png");

    // No extension: the whole name is the stem.
    ASSERT_TRUE(sequenceFromFirstFrame(L"/renders/take7", s));
    EXPECT_EQ(s.start, 7);
    EXPECT_EQ(s.backgroundPattern, L"/renders/take#");
    EXPECT_EQ(s.outputPattern, L"/renders/takeweather_#.png");

    // A dot in a folder name is not the extension, and digits in a folder are not a frame.
    ASSERT_TRUE(sequenceFromFirstFrame(L"/shots.v2/beauty.0100.png", s));
    EXPECT_EQ(s.start, 100);
    EXPECT_EQ(s.backgroundPattern, L"/shots.v2/beauty.####.png");
    EXPECT_FALSE(sequenceFromFirstFrame(L"/renders.v2/beauty", s));
    EXPECT_FALSE(sequenceFromFirstFrame(L"/take12/beauty.png", s));
}

TEST(FramePattern, NamesWithoutAUsableFrameNumberAreRefused) {
    SequenceFromFirstFrame s;
    s.start = -1;
    EXPECT_FALSE(sequenceFromFirstFrame(L"beauty.png", s));
    EXPECT_FALSE(sequenceFromFirstFrame(L"", s));
    // Too many digits for an int: no frame number rather than a wrapped one.
    EXPECT_FALSE(sequenceFromFirstFrame(L"shot_99999999999.exr", s));
    EXPECT_FALSE(sequenceFromFirstFrame(L"shot_2147483648.exr", s));
    EXPECT_EQ(s.start, -1);
    ASSERT_TRUE(sequenceFromFirstFrame(L"shot_2147483647.exr", s));
    EXPECT_EQ(s.start, 2147483647);
    EXPECT_STREQ(kNoFrameNumberText, L"That file has no frame number at the end of its name.");
}

}  // namespace
}  // namespace wx
