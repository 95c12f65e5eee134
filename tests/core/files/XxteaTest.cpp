// The block cipher against vectors computed with an independent implementation.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/files/Xxtea.h"

using namespace TarnEngine;

namespace
{
const uint32_t kKey[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};
}

TEST(Xxtea, KnownVectors)
{
    struct Case
    {
        std::vector<uint32_t> key;
        std::vector<uint32_t> plain;
        std::vector<uint32_t> cipher;
    } cases[] = {
        {{0, 0, 0, 0}, {0, 0}, {0x053704AB, 0x575D8C80}},
        {{kKey, kKey + 4}, {0x11111111, 0x22222222}, {0x89D8EFDE, 0x26283467}},
        {{kKey, kKey + 4},
         {0x00000000, 0x01010101, 0x02020202, 0x03030303, 0x04040404, 0x05050505, 0x06060606},
         {0x1A662F60, 0x9C178985, 0xED0F3BC3, 0x18CF54C5, 0xFC8796D0, 0xBBDCD686, 0xAC641130}},
    };
    for (const Case& c : cases)
    {
        std::vector<uint32_t> words = c.plain;
        XxteaEncipher(uint32_t(words.size()), words.data(), c.key.data());
        EXPECT_EQ(words, c.cipher);
        XxteaDecipher(uint32_t(words.size()), words.data(), c.key.data());
        EXPECT_EQ(words, c.plain);
    }
}

TEST(Xxtea, ManyWordsRunSixRoundsAndRoundTrip)
{
    std::vector<uint32_t> words(60);
    for (uint32_t i = 0; i < 60; ++i)
        words[i] = i * 0x9E3779B1u;
    const std::vector<uint32_t> plain = words;
    XxteaEncipher(60, words.data(), kKey);
    EXPECT_EQ(words[0], 0x36578D2Bu);
    EXPECT_EQ(words[1], 0x2E965161u);
    EXPECT_EQ(words[59], 0x9C905974u);
    XxteaDecipher(60, words.data(), kKey);
    EXPECT_EQ(words, plain);
}

TEST(Xxtea, OneWordRunsTheFinalStepAlone)
{
    // Stored protected files of 1 to 4 bytes are deciphered as one word this way.
    uint32_t word = 0x64636261;
    XxteaEncipher(1, &word, kKey);
    EXPECT_EQ(word, 0xC3331484u);
    word = 0x64636261;
    XxteaDecipher(1, &word, kKey);
    EXPECT_EQ(word, 0x10013C34u);
}

TEST(Xxtea, NoWordsIsLeftAlone)
{
    XxteaEncipher(0, nullptr, kKey);
    XxteaDecipher(0, nullptr, kKey);
}
