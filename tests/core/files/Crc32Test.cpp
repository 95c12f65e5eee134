// The folded CRC-32 must give zlib's value for every length and alignment,
// and when continued from an earlier part.
#include "engine/core/files/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

using namespace TarnEngine;

TEST(Crc32, GivesZlibsValueForEveryLengthAlignmentAndSplit)
{
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(70000);
    for (uint8_t& b : bytes)
        b = uint8_t(random());
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (size_t n : {1023u, 1024u, 4096u, 65535u, 65536u, 69990u})
        lengths.push_back(n);
    for (size_t offset = 0; offset < 5; ++offset)
        for (size_t length : lengths)
        {
            const uint8_t* data = bytes.data() + offset;
            const uint32_t expected = uint32_t(crc32(0, data, uInt(length)));
            ASSERT_EQ(Crc32(0, data, length), expected) << "offset " << offset << ", length " << length;
            const size_t half = length / 3;
            ASSERT_EQ(Crc32(Crc32(0, data, half), data + half, length - half), expected)
                << "split at " << half << " of " << length;
        }
    // All zeros and all ones, where a wrong constant shows at once.
    for (uint8_t fill : {uint8_t(0), uint8_t(0xFF)})
    {
        const std::vector<uint8_t> same(4096 + 48, fill);
        EXPECT_EQ(Crc32(0, same.data(), same.size()), uint32_t(crc32(0, same.data(), uInt(same.size()))));
    }
    Crc32ForcePortable(true);
    EXPECT_EQ(Crc32(0, bytes.data(), bytes.size()), uint32_t(crc32(0, bytes.data(), uInt(bytes.size()))));
    Crc32ForcePortable(false);
}
