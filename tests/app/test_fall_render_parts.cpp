// The pieces of `tweather fall render` that need no scene: frame ranges and their chunks,
// and the check that tells a whole output from an earlier run from a cut or foreign one.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "app/complete_output.h"
#include "app/frame_range.h"
#include "file_test.h"
#include "render/png_writer.h"

using namespace tweather;

namespace {

TEST(FrameRangeText, ReadsSingleFramesRangesAndNegativesAndRefusesTheRest) {
    FrameRange r;
    ASSERT_TRUE(parseFrames("7", r));
    EXPECT_EQ(r.first, 7);
    EXPECT_EQ(r.last, 7);
    ASSERT_TRUE(parseFrames("-5--2", r));
    EXPECT_EQ(r.first, -5);
    EXPECT_EQ(r.last, -2);
    ASSERT_TRUE(parseFrames("-3-4", r));
    EXPECT_EQ(r.first, -3);
    EXPECT_EQ(r.last, 4);
    EXPECT_EQ(r.count(), 8);
    for (const char* bad : {"", "-", "5-", "-5-", "5-3", "1.5", "1-2-3", "a", "1 - 2", "99999999999", "+3", "3-+4"})
        EXPECT_FALSE(parseFrames(bad, r)) << bad;

    Chunk c;
    ASSERT_TRUE(parseChunk("2/4", c));
    EXPECT_EQ(c.index, 2);
    EXPECT_EQ(c.count, 4);
    for (const char* bad : {"", "1", "0/3", "4/3", "-1/3", "1/0", "1/-2", "1/3/4", "a/b", "/3", "1/"})
        EXPECT_FALSE(parseChunk(bad, c)) << bad;
}

// Whatever the range and the number of chunks, chunks 1..N follow one another without a
// gap or an overlap, cover the range, and differ in length by at most one frame.
TEST(FrameChunks, PartitionEveryRangeIntoNearEqualContiguousParts) {
    for (int first : {-7, 0, 12})
        for (int frames = 1; frames <= 23; ++frames)
            for (int n = 1; n <= 30; ++n) {
                const FrameRange range{first, first + frames - 1};
                long long next = first, shortest = LLONG_MAX, longest = 0;
                for (int i = 1; i <= n; ++i) {
                    const FrameRange part = chunkOf(range, {i, n});
                    SCOPED_TRACE(std::to_string(i) + "/" + std::to_string(n) + " of " + std::to_string(frames));
                    EXPECT_EQ(part.first, next);
                    next = (long long)part.last + 1;
                    shortest = std::min(shortest, part.count());
                    longest = std::max(longest, part.count());
                }
                EXPECT_EQ(next, (long long)range.last + 1);
                EXPECT_LE(longest - shortest, 1);
            }
    // Large ranges and counts stay exact (no int overflow in I x F).
    const FrameRange wide{INT_MIN / 2, INT_MAX / 2};
    EXPECT_EQ(chunkOf(wide, {1, 1000}).first, wide.first);
    EXPECT_EQ(chunkOf(wide, {1000, 1000}).last, wide.last);
    // More chunks than frames: some are empty.
    EXPECT_TRUE(chunkOf({3, 4}, {2, 5}).empty());
}

class CompleteOutputTest : public FileTest {};

// The byte count is checked against what our writer really produces, around the sizes
// where the stored blocks split (a 65535-byte block is the largest).
TEST_F(CompleteOutputTest, PngSizeMatchesTheWriterAcrossBlockBoundaries) {
    // R = H (8W + 1): 8191 x 1 -> 65529, 4 x 1927 -> 63591, 8192 x 1 -> 65537, 1 x 7281 -> 65529 ...
    const int sizes[][2] = {{1, 1}, {8191, 1}, {8192, 1}, {1, 7281}, {1, 7282}, {3, 2621}, {300, 200}};
    for (const auto& s : sizes) {
        const std::vector<float> image(size_t(s[0]) * s[1] * 4, 0.5f);
        const std::vector<uint8_t> bytes = wx::encodePng16(image.data(), s[0], s[1]);
        EXPECT_EQ(pngFileBytes(s[0], s[1]), bytes.size()) << s[0] << "x" << s[1];
    }
}

TEST_F(CompleteOutputTest, OnlyAWholePngOfTheSizeAskedForCounts) {
    const std::vector<float> image(size_t(20) * 10 * 4, 0.25f);
    const std::string whole = path("whole.png");
    ASSERT_TRUE(wx::writePng16(whole, image.data(), 20, 10));
    EXPECT_TRUE(pngComplete(whole, 20, 10));
    EXPECT_TRUE(outputComplete(whole, 20, 10));
    EXPECT_FALSE(pngComplete(whole, 10, 20));
    EXPECT_FALSE(pngComplete(whole, 20, 11));
    EXPECT_FALSE(pngComplete(path("missing.png"), 20, 10));

    const std::string bytes = read(whole);
    // Cut short by one byte, grown by one, the IEND chunk damaged, another bit depth.
    EXPECT_FALSE(pngComplete(write("short.png", bytes.substr(0, bytes.size() - 1)), 20, 10));
    EXPECT_FALSE(pngComplete(write("long.png", bytes + '\0'), 20, 10));
    std::string badEnd = bytes;
    badEnd[badEnd.size() - 5] ^= 1;
    EXPECT_FALSE(pngComplete(write("badend.png", badEnd), 20, 10));
    std::string eightBit = bytes;
    eightBit[24] = 8;
    EXPECT_FALSE(pngComplete(write("eight.png", eightBit), 20, 10));
    std::string badSignature = bytes;
    badSignature[1] = 'J';
    EXPECT_FALSE(pngComplete(write("sig.png", badSignature), 20, 10));
    // A zeroed file of the right length (a crash that left the size but not the bytes).
    EXPECT_FALSE(pngComplete(write("zeros.png", std::string(bytes.size(), '\0')), 20, 10));
    // Neither PNG nor EXR by its name: never complete.
    std::filesystem::copy_file(whole, path("whole.tif"));
    EXPECT_FALSE(outputComplete(path("whole.tif"), 20, 10));
}

TEST_F(CompleteOutputTest, AnExrMustReadAtTheSizeAskedFor) {
    // A PNG named .exr is read by content: of the right size it reads, cut short it does not.
    const std::vector<float> image(size_t(6) * 4 * 4, 0.25f);
    ASSERT_TRUE(wx::writePng16(path("pic.png"), image.data(), 6, 4));
    const std::string bytes = read(path("pic.png"));
    EXPECT_FALSE(exrComplete(write("cut.exr", bytes.substr(0, bytes.size() / 2)), 6, 4));
    EXPECT_FALSE(exrComplete(write("empty.exr", ""), 6, 4));
    EXPECT_FALSE(exrComplete(path("none.exr"), 6, 4));
}

}  // namespace
