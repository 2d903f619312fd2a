#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "render/checksum.h"

using namespace wx;

TEST(Checksum, MatchesPublishedCheckValues) {
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32Portable("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32("", 0), 0u);
    EXPECT_EQ(adler32("Wikipedia", 9), 0x11E60398u);
    EXPECT_EQ(adler32("", 0), 1u);
}

TEST(Checksum, FastFormsEqualPortableFormsOnEveryLengthAndAlignment) {
    std::mt19937 rng(1234);
    std::vector<uint8_t> data(70000 + 64);
    for (auto& b : data) b = uint8_t(rng());
    // Runs of 0xFF push Adler-32's sums to their largest before each reduction.
    std::vector<uint8_t> ones(3 * 5552 + 77, 0xFF);
    for (size_t offset : {0, 1, 7, 15}) {
        for (size_t size : {0, 1, 15, 16, 31, 32, 63, 64, 65, 127, 128, 1000, 5551, 5552, 5553, 11104, 65536, 70000}) {
            const uint8_t* p = data.data() + offset;
            ASSERT_EQ(crc32(p, size), crc32Portable(p, size)) << "offset " << offset << " size " << size;
            ASSERT_EQ(adler32(p, size), adler32Portable(p, size)) << "offset " << offset << " size " << size;
        }
    }
    EXPECT_EQ(adler32(ones.data(), ones.size()), adler32Portable(ones.data(), ones.size()));
    EXPECT_EQ(crc32(ones.data(), ones.size()), crc32Portable(ones.data(), ones.size()));
}

TEST(Checksum, ChainingAndCombiningEqualOnePass) {
    std::vector<uint8_t> data(100000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + (i >> 7));
    for (size_t cut : {0, 1, 100, 65535, 99999, 100000}) {
        const uint8_t* p = data.data();
        size_t rest = data.size() - cut;
        EXPECT_EQ(crc32(p + cut, rest, crc32(p, cut)), crc32(p, data.size()));
        EXPECT_EQ(adler32(p + cut, rest, adler32(p, cut)), adler32(p, data.size()));
        EXPECT_EQ(adler32Combine(adler32(p, cut), adler32(p + cut, rest), rest), adler32(p, data.size()))
            << "cut " << cut;
    }
}
